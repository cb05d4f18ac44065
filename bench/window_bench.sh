#!/usr/bin/env bash
# The installer's window under Xvfb with Mesa's software OpenGL (1024x768),
# against xmessage, a plain Xlib window, in interleaved rounds:
#   start: from exec to the first pixels the program changes on the screen
#     (bench/first_pixels), and for the installer also to its first drawn
#     frame;
#   idle: the share of one core the main screen takes while it waits for
#     INSTALL (lists read, the destination scanned), over 10 s, with its
#     threads and resident memory; xmessage is measured over the same time.
#     The release has 2 000 small files, so its directory list is over
#     64 KiB and is unpacked through the extraction's worker threads, as a
#     real release's is.
#
#   bench/window_bench.sh [rounds]    (default 5)
set -euo pipefail
source "$(dirname "$0")/common.sh"
n_rounds="${1:-5}"
release="9.00r1"
bench_build zudezud_installer first_pixels
app="$build/zudezud_installer"
stopwatch="$build/bench/first_pixels"

work="$(mktemp -d "${TMPDIR:-/tmp}/zz_window_bench_XXXXXX")"
xvfb_pid=""
cleanup() {
  stop_nginx
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

corpus_max_kib=8 make_corpus 2000 "$work" "$release" >/dev/null
list_kib=$(($(stat -c %s "$work/directory.txt") / 1024))
serve_release "$work" "$release"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")" LIBGL_ALWAYS_SOFTWARE=1 HOME="$work/home"
mkdir -p "$HOME"
installer=("$app" -path "$work/dest/" "--pref:_proxy_host=127.0.0.1" "--pref:_proxy_port_int=$port")
reference=(xmessage -geometry +0+0 "Zudezud")

# start: each round runs both, alternating which goes first. The stopwatch
# gives the first change and the next one: the installer's window shows its
# backdrop, then its first drawn frame.
t_ours=(); t_ours_drawn=(); t_ref=()
for r in $(seq 0 "$n_rounds"); do
  for who in $( ((r % 2)) && echo "ref ours" || echo "ours ref"); do
    if [ "$who" = ours ]; then
      read -r first drawn < <("$stopwatch" 10 "${installer[@]}")
    else
      read -r first drawn < <("$stopwatch" 10 "${reference[@]}" 2>/dev/null)
    fi
    ((r)) || continue # round 0 warms the caches
    if [ "$who" = ours ]; then t_ours+=("$first"); t_ours_drawn+=("$drawn"); else t_ref+=("$first"); fi
  done
done

# idle: the CPU ticks of the process (user + system, all threads) over 10 s.
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
idle_share() { # <pid> -> percent of one core
  local a b
  a=$(ticks "$1"); sleep 10; b=$(ticks "$1")
  awk -v a="$a" -v b="$b" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.1f", (b - a) / hz * 10 }'
}
"${installer[@]}" >/dev/null 2>&1 &
ours_pid=$!
"${reference[@]}" 2>/dev/null &
ref_pid=$!
# The main screen waits for INSTALL once the installation has been scanned:
# its total is in the log.
log="$build/Log.txt"
for _ in $(seq 1 200); do grep -q "^Destination folder:" "$log" 2>/dev/null && break; sleep 0.05; done
sleep 3
ours_idle=$(idle_share "$ours_pid")
ours_threads=$(awk '/^Threads:/ { print $2 }' "/proc/$ours_pid/status")
ours_rss=$(awk '/^VmRSS:/ { printf "%.0f", $2 / 1024 }' "/proc/$ours_pid/status")
ref_idle=$(idle_share "$ref_pid")
kill "$ours_pid" "$ref_pid"; wait "$ours_pid" "$ref_pid" 2>/dev/null || true

echo
echo "window 1024x768 under Xvfb, Mesa's software OpenGL; $n_rounds interleaved rounds"
printf '%-37s installer %s   xmessage %s   ratio %s\n' "start to the first pixels:" \
  "$(stats "${t_ours[@]}")" "$(stats "${t_ref[@]}")" "$(ratio "$(median "${t_ours[@]}")" "$(median "${t_ref[@]}")")"
printf '%-37s installer %s\n' "start to the first drawn frame:" "$(stats "${t_ours_drawn[@]}")"
printf '%-37s installer %s %% of a core (%s threads, %s MB resident)   xmessage %s %%\n' \
  "main screen idle, waiting for INSTALL:" "$ours_idle" "$ours_threads" "$ours_rss" "$ref_idle"
printf '%-37s 2000 files, directory list %s KiB\n' "release:" "$list_kib"
