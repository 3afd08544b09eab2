#!/usr/bin/env bash
# Measures what installseq adds beyond the waits it has to make, under Wine,
# next to the floor the system itself sets, all in one run:
#   bench/run.sh            build what is needed, measure, print the table
#   bench/run.sh --write    the same, and write the table to docs/performance.md
#
# Each figure comes with its floor from the same run:
#   per-item overhead   19 items whose installer window is up when the first
#                       search comes; for each item but the last, the next
#                       launch minus the end of the installer minus the pause
#                       (0 here). Floor: the same helpers run by bench/starter.exe,
#                       which starts, waits and starts the next, nothing more.
#   the same with 1000 other top-level windows open (200 of the installer
#                       class, titles that do not match, all above the item's
#                       window in the Z order).
#   one search          a list whose window never turns up: 120 searches, 500 ms
#                       apart; per search, the time beyond the 500 ms sleep.
#                       Floor: bench/walk.exe, 120 times the same sleep and a
#                       walk making only the calls a search must make.
#   CPU and memory      of the installseq process itself, from the host kernel
#                       (bench/meter.cpp), over a run of about 20 s of waits;
#                       floors: the starter over the same items, a helper
#                       process that only sleeps as long.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
write=0
[ "${1:-}" = --write ] && write=1

scripts/setup.sh
echo "bench: building" >&2
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86 --target installseq marker fake_installer \
  bench_starter bench_spawner bench_walk >/dev/null
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 --target installseq >/dev/null
build=build/windows-x86

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
tests/wine/make_prefix.sh build/wine-template/pfx
work=$(mktemp -d /tmp/installseq-bench-XXXXXX)
spawner_pid=
cleanup() {
  WINEPREFIX=$work/pfx wineserver -k 2>/dev/null || true
  [ -n "$spawner_pid" ] && wait "$spawner_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
tests/wine/copy_prefix.sh build/wine-template/pfx "$work/pfx"
g++ -O2 -Wall -Wextra bench/meter.cpp -o "$work/meter"
export WINEPREFIX=$work/pfx
sysprep=$WINEPREFIX/drive_c/sysprep
mkdir -p "$sysprep"
cp $build/installseq.exe $build/helpers/marker.exe $build/helpers/fake_installer.exe \
   $build/bench/starter.exe $build/bench/spawner.exe $build/bench/walk.exe "$sysprep/"
printf 'REGEDIT4\r\n\r\n' >"$sysprep/sys_hide.reg"
cp "$sysprep/sys_hide.reg" "$sysprep/arunonce.reg"

items=19
life_ms=1000  # from the installer's start: well past the first search, 500 ms after its launcher ended

# path.ini for installseq; items given as "TITLE_FRAGMENT|TIME|COMMAND" lines on stdin.
write_list() {
  local n=0 lines=()
  while IFS= read -r line; do lines+=("$line"); done
  {
    printf '[OS_Language_Tag]\r\n0409=ENU\r\n[ENUPath]\r\nNum=%d\r\n' ${#lines[@]}
    for line in "${lines[@]}"; do
      n=$((n + 1))
      IFS='|' read -r title time command <<<"$line"
      printf 'Path%d=%s\r\nTitle%d=%s\r\nTime%d=%s\r\n' $n "$command" $n "$title" $n "$time"
    done
  } >"$sysprep/path.ini"
}

# The 19 items, for either runner: "fragment|pause|command".
item_lines() {
  local log=$1
  for n in $(seq -w 1 $items); do
    printf 'bench item %s|0|C:\\sysprep\\fake_installer.exe C:\\sysprep\\%s item%s "Bench Item %s Setup" 0 %d\n' \
      "$n" "$log" "$n" "$n" "$life_ms"
  done
}

# Runs a Wine program under the meter: "user_ms system_ms peak_resident_kb
# wall_ms exit_code" in $work/OUT.
metered() {  # OUT COMMAND...
  local out=$1
  shift
  timeout 600 "$work/meter" "$work/$out" "$@"
}
run_installseq() {  # RESULT_NAME: installseq on the current path.ini
  metered "$1" wine "$sysprep/installseq.exe"
}
run_starter() {  # LIST_NAME RESULT_NAME
  metered "$2" wine "$sysprep/starter.exe" seq "C:\\sysprep\\$1"
}
items_for_starter() {  # LOG LIST_NAME
  item_lines "$1" | awk -F'|' '{ print $2 " " $3 }' >"$sysprep/$2"
}

# Per-item overhead from a helper log, one line per item but the last:
# "ms up_at_first_search(1/0)". An item's window counts as up at the first
# search when it was shown less than 500 ms after the item's launcher ended.
overheads() {
  awk '{ sub(/\r$/, "") }
       $2 == "launcher-start" { start[$3] = $1; order[++count] = $3 }
       $2 == "launcher-end"   { launcher_end[$3] = $1 }
       $2 == "window-shown"   { shown[$3] = $1 }
       $2 == "installer-end"  { ended[$3] = $1 }
       END { for (i = 1; i < count; i++) {
               a = order[i]; b = order[i + 1]
               printf "%.2f %d\n", (start[b] - ended[a]) / 1000, (shown[a] - launcher_end[a]) < 500000
             } }' "$1"
}
# "median min max n up_count" of the first column.
stats() {
  sort -n | awk '{ v[++n] = $1; up += $2 }
    END { if (n == 0) { print "nan nan nan 0 0"; exit }
          m = (n % 2) ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
          printf "%.2f %.2f %.2f %d %d\n", m, v[1], v[n], n, up }'
}

load() { awk '{ print $1, $2, $3 }' /proc/loadavg; }
loads=()
note_load() { loads+=("$1: $(load)"); }

echo "bench: Wine prefix ready, starting runs ($(date -u +%H:%M:%S) UTC, load $(load))" >&2
wine "$sysprep/marker.exe" 'C:\sysprep\warmup.txt' warmup >/dev/null  # Wine's first start is slower

start_spawner() {
  rm -f "$sysprep/ready.txt"
  wine "$sysprep/spawner.exe" 'C:\sysprep\ready.txt' 1000 200 &
  spawner_pid=$!
  for _ in $(seq 600); do [ -s "$sysprep/ready.txt" ] && break; sleep 0.1; done
  [ "$(tr -d '\r\n' <"$sysprep/ready.txt" 2>/dev/null)" = 1000 ] ||
    { echo "bench: the spawner did not open 1000 windows" >&2; exit 1; }
}
stop_spawner() {
  wine "$sysprep/spawner.exe" stop
  wait "$spawner_pid" || true
  spawner_pid=
}
# One 19-item run of each runner, in the order given: CONDITION ROUND FIRST SECOND.
item_runs() {
  local condition=$1 round=$2 runner
  for runner in "$3" "$4"; do
    if [ "$runner" = starter ]; then
      items_for_starter "st_${condition}_$round.txt" "st_$condition.lst"
      run_starter "st_$condition.lst" "m_st_${condition}_$round"
    else
      item_lines "is_${condition}_$round.txt" | write_list
      run_installseq "m_${condition}_$round"
    fi
  done
}

# 1-2. The 19 items with no other windows, then with 1000 windows held open
# above the items' windows; the runners take turns going first, so that a
# change in the machine's load falls on both alike.
rounds=2
for round in $(seq $rounds); do
  first=starter second=installseq
  [ $((round % 2)) -eq 0 ] && first=installseq second=starter
  note_load "19 items, no other windows, round $round"
  item_runs plain "$round" $first $second
  start_spawner
  note_load "19 items, 1000 other windows, round $round"
  item_runs windows "$round" $second $first
  stop_spawner
done

# 3. Searches that find nothing: installseq's minute of searching, between two
# halves of the bare walk's.
start_spawner
note_load "searches, 1000 other windows"
walk_polls=60
metered m_walk_a wine "$sysprep/walk.exe" 'C:\sysprep\walk_a.txt' $walk_polls 500
printf '%s\n' 'no such installer|0|C:\sysprep\marker.exe C:\sysprep\giveup.txt giveup 0' \
              'x|-1|C:\sysprep\marker.exe C:\sysprep\giveup.txt after 0' | write_list
run_installseq m_giveup
metered m_walk_b wine "$sysprep/walk.exe" 'C:\sysprep\walk_b.txt' $walk_polls 500
stop_spawner
timeout 60 wine "$sysprep/walk.exe" 'C:\sysprep\walk_plain.txt' 5 500

# 4. A run of long waits: two installers of 8 s, each followed by a 2 s pause;
# the starter over the same items; a process that only sleeps as long.
note_load "long waits"
long_items() {
  for n in 1 2; do
    printf 'bench long %d|%s|C:\\sysprep\\fake_installer.exe C:\\sysprep\\long.txt long%d "Bench Long %d Setup" 0 8000\n' \
      $n "$1" $n $n
  done
}
long_items 2 | write_list
run_installseq m_long
long_items 2000 | awk -F'|' '{ print $2 " " $3 }' >"$sysprep/long.lst"
run_starter long.lst m_st_long
long_wall=$(awk '{ print $4 }' "$work/m_long")
metered m_sleep wine "$sysprep/marker.exe" 'C:\sysprep\sleep.txt' sleep "$long_wall"
note_load "end"

# ---- figures
pooled() { for round in $(seq $rounds); do overheads "$sysprep/$1_$round.txt"; done | stats; }
read -r st_plain_med st_plain_min st_plain_max st_plain_n st_plain_up < <(pooled st_plain)
read -r is_plain_med is_plain_min is_plain_max is_plain_n is_plain_up < <(pooled is_plain)
read -r st_win_med st_win_min st_win_max st_win_n st_win_up < <(pooled st_windows)
read -r is_win_med is_win_min is_win_max is_win_n is_win_up < <(pooled is_windows)
# The two halves of the bare walk: windows and class count of the first, the
# larger of the medians and extremes, the mean of the per-poll times.
read -r walk_windows walk_class walk_med walk_min walk_max walk_poll < <(
  cat "$sysprep/walk_a.txt" "$sysprep/walk_b.txt" | tr -d '\r' |
  awk '{ if (NR == 1) { w = $1; c = $2; med = $3; mn = $4; mx = $5 }
         else { if ($3 > med) med = $3; if ($4 < mn) mn = $4; if ($5 > mx) mx = $5 }
         poll += $6 }
       END { printf "%d %d %d %d %d %.0f\n", w, c, med, mn, mx, poll / NR }')
read -r plain_windows _ plain_walk_med _ _ _ < <(tr -d '\r' <"$sysprep/walk_plain.txt")
# installseq's searching: from the end of the item to the next launch, less one
# item's start-and-wait overhead (the median of the run with the same windows),
# per search, beyond the 500 ms sleep before it.
search_loop_ms=$(awk '{ sub(/\r$/, "") } $2 == "end" && $3 == "giveup" { e = $1 }
                      $2 == "start" && $3 == "after" { s = $1 } END { printf "%.1f", (s - e) / 1000 }' \
                 "$sysprep/giveup.txt")
search_ms=$(awk -v l="$search_loop_ms" -v o="$is_win_med" 'BEGIN { printf "%.2f", (l - o) / 120 - 500 }')
bare_ms=$(awk -v p="$walk_poll" 'BEGIN { printf "%.2f", p / 1000 }')
walk_med_ms=$(awk -v p="$walk_med" 'BEGIN { printf "%.2f", p / 1000 }')
per_window_us=$(awk -v p="$walk_med" -v n="$walk_windows" 'BEGIN { printf "%.1f", p / n }')
cpu() { awk '{ printf "%.0f", $1 + $2 }' "$work/$1"; }
cpu_mean() { for round in $(seq $rounds); do cat "$work/$1_$round"; done | awk '{ t += $1 + $2 } END { printf "%.0f", t / NR }'; }
cpu_walk=$(cat "$work/m_walk_a" "$work/m_walk_b" | awk '{ t += $1 + $2 } END { printf "%.0f", t }')
field() { awk -v f="$2" '{ print $f }' "$work/$1"; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b + 0 == 0) print "n/a"; else printf "%.2f", a / b }'; }
verdict() { awk -v v="$1" -v g="$2" 'BEGIN { print (v != "n/a" && v + 0 <= g + 0) ? "met" : "missed" }'; }
size32=$(stat -c %s $build/installseq.exe)
size64=$(stat -c %s build/windows-x64/installseq.exe)
imports() { objdump -p "$1" | awk '/DLL Name/ { printf "%s%s", sep, $3; sep = ", " }'; }
imports32=$(imports $build/installseq.exe)
imports64=$(imports build/windows-x64/installseq.exe)
only_allowed=$(objdump -p $build/installseq.exe | awk '/DLL Name/ { n = toupper($3)
  if (n != "KERNEL32.DLL" && n != "USER32.DLL" && n != "ADVAPI32.DLL" && n != "MSVCRT.DLL") bad = 1 }
  END { print bad ? "missed" : "met" }')
r_plain=$(ratio "$is_plain_med" "$st_plain_med")
r_win=$(ratio "$is_win_med" "$st_win_med")
r_search=$(ratio "$search_ms" "$bare_ms")
diff_is=$(awk -v a="$is_win_med" -v b="$is_plain_med" 'BEGIN { printf "%.2f", a - b }')
diff_st=$(awk -v a="$st_win_med" -v b="$st_plain_med" 'BEGIN { printf "%.2f", a - b }')

table=$(cat <<EOF
| figure | installseq | floor, same run | ratio | goal |
| --- | ---: | ---: | ---: | --- |
| per-item overhead, ms: median (min-max) over ${is_plain_n} items | ${is_plain_med} (${is_plain_min}-${is_plain_max}) | ${st_plain_med} (${st_plain_min}-${st_plain_max}) starter | ${r_plain} | <= 1.10: $(verdict "$r_plain" 1.10) |
| the same, 1000 other windows open | ${is_win_med} (${is_win_min}-${is_win_max}) | ${st_win_med} (${st_win_min}-${st_win_max}) starter | ${r_win} | <= 1.10: $(verdict "$r_win" 1.10) |
| what the 1000 windows add to an item's overhead, ms | ${diff_is} | ${diff_st} starter | | |
| one search over ${walk_windows} windows (${walk_class} of the class), ms beyond its 500 ms sleep | ${search_ms} (mean of 120) | ${bare_ms} bare walk (mean of 2 x ${walk_polls}; the walk alone ${walk_med_ms}, ${per_window_us} us a window) | ${r_search} | <= 1.10: $(verdict "$r_search" 1.10) |
| bare walk when no other window is open (${plain_windows} windows), us | | ${plain_walk_med} | | |
| CPU time (user+system), run of waits of $(field m_long 4) ms | $(cpu m_long) ($(field m_long 1)+$(field m_long 2)) | $(cpu m_st_long) starter; $(cpu m_sleep) a process that only sleeps | | < 100: $(verdict "$(cpu m_long)" 99.9) |
| CPU time, a 19-item run (mean of ${rounds}): no other windows / 1000 | $(cpu_mean m_plain) / $(cpu_mean m_windows) | $(cpu_mean m_st_plain) / $(cpu_mean m_st_windows) starter | | |
| CPU time, 120 searches over 1000 windows | $(cpu m_giveup) | ${cpu_walk} bare walk (two processes of 60) | $(ratio "$(cpu m_giveup)" "$cpu_walk") | |
| peak resident memory, KB, run of waits | $(field m_long 3) | $(field m_walk_a 3) bare walk (a process that reads windows); $(field m_sleep 3) one that only sleeps | | |
| installseq.exe size, bytes (32-bit / 64-bit) | ${size32} / ${size64} | | | 32-bit < 32768: $(verdict "$size32" 32767) |
| imports, 32-bit | ${imports32} | | | KERNEL32, USER32, ADVAPI32, msvcrt only: ${only_allowed} |
| imports, 64-bit | ${imports64} | | | |
EOF
)
machine="$(nproc) cores, $(wine --version), $(date -u '+%Y-%m-%d %H:%M UTC')"
load_lines=$(printf -- '- %s\n' "${loads[@]}")
checks="windows up at the first search: installseq ${is_plain_up}/${is_plain_n} and ${is_win_up}/${is_win_n}, starter ${st_plain_up}/${st_plain_n} and ${st_win_up}/${st_win_n}; exit codes of the metered runs $(cat "$work"/m_* | awk '{ printf "%s%s", sep, $5; sep = " " }')"

echo
echo "$machine"
echo "load average (1, 5, 15 min) at the start of each part:"
echo "$load_lines"
echo "$checks"
echo
echo "$table"

# The raw logs stay for a look afterwards.
rm -rf "$root/build/bench-results"
mkdir -p "$root/build/bench-results"
cp "$sysprep"/*.txt "$sysprep"/*.lst "$work"/m_* "$root/build/bench-results/"

# The prose of docs/performance.md stays; what follows its marker line is replaced.
if [ $write -eq 1 ]; then
  {
    [ -f "$root/docs/performance.md" ] && sed '/^<!-- figures -->$/,$d' "$root/docs/performance.md"
    echo "<!-- figures -->"
    echo
    echo "Measured by \`bench/run.sh --write\`: $machine."
    echo "Load average (1, 5, 15 min) at the start of each part:"
    echo
    echo "$load_lines"
    echo
    echo "$table"
    echo
    echo "Checks: $checks."
  } >"$work/performance.md"
  cp "$work/performance.md" "$root/docs/performance.md"
  echo "bench: wrote docs/performance.md" >&2
fi
