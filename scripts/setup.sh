#!/usr/bin/env bash
# Installs what building and testing need, on Debian 12, and only what is
# missing: CMake, Ninja, GoogleTest, the mingw-w64 cross compilers (posix
# threading variant), Wine with its 32-bit part, and clang with its run-time
# libraries (libFuzzer, the sanitizers) for the fuzz targets. Needs root for
# apt-get.
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
          wine wine64 wine32:i386
          clang libclang-rt-14-dev)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
# 32-bit Wine needs the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${as_root[@]}" dpkg --add-architecture i386
fi
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends \
  "${missing[@]}" >/dev/null
