#!/usr/bin/env bash
# Copies a template prefix for one test. The system folders (about 1.2 GB of
# DLLs that no test writes to) are hard-linked; everything a run may write
# (registry files, users, settings) is copied for real, so tests never share
# state through the template.
set -euo pipefail
shopt -s dotglob
src=$1 dst=$2
mkdir -p "$dst/drive_c/windows"
for entry in "$src"/*; do
  [ "$(basename "$entry")" = drive_c ] || cp -a "$entry" "$dst/"
done
for entry in "$src"/drive_c/*; do
  [ "$(basename "$entry")" = windows ] || cp -a "$entry" "$dst/drive_c/"
done
for entry in "$src"/drive_c/windows/*; do
  case $(basename "$entry") in
    system32|syswow64|winsxs) cp -al "$entry" "$dst/drive_c/windows/" ;;
    *) cp -a "$entry" "$dst/drive_c/windows/" ;;
  esac
done
