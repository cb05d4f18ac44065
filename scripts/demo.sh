#!/usr/bin/env bash
# Builds the installer and installs a small demo release, served by nginx on
# loopback, into a temporary folder /tmp/zudezud-demo.*. With a DISPLAY the
# window opens there: click INSTALL, then AGREE, then QUIT. Without one the
# script runs the installer under Xvfb and clicks INSTALL and AGREE itself,
# then QUIT. Either way it then prints what the installer did (from its log),
# the files installed and the requests nginx served.
#   ./scripts/demo.sh [seconds allowed under Xvfb, default 60] [--clean]
# --clean removes the temporary folder at the end; without it the summary
# says where it is.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
secs=60 clean=0
for arg in "$@"; do
  case "$arg" in
    --clean) clean=1 ;;
    *[!0-9]* | '') echo "usage: $0 [seconds] [--clean]" >&2; exit 2 ;;
    *) secs=$arg ;;
  esac
done

./scripts/deps.sh
echo "building the installer in build/ ..."
buildlog=$(mktemp)
if ! { cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
       cmake --build build -j"$(nproc)" --target zudezud_installer make_demo_release; } >"$buildlog" 2>&1; then
  cat "$buildlog"; rm -f "$buildlog"; exit 1
fi
rm -f "$buildlog"

work=$(mktemp -d /tmp/zudezud-demo.XXXXXX)
web="$work/web"; mkdir -p "$web" "$work/home"
build/tests/make_demo_release "$web" >/dev/null

source bench/common.sh
start_nginx "$web" "$work/nginx" "$work/nginx/access.log"
finish() {
  stop_nginx
  if ((clean)); then rm -rf "$work"; fi
}
trap finish EXIT

dest="$work/Zudezud/"
log="$repo/build/Log.txt" # the installer writes its log beside itself
rm -f "$log"
# Every host name reaches the loopback nginx through the proxy settings; a
# private HOME keeps the demo's preferences away from the real ones, and
# _log_actions puts every installed file in the log.
args=(-path "$dest" "--pref:_proxy_host=127.0.0.1" "--pref:_proxy_port_int=$port"
      "--pref:_log_actions=1")
echo "demo release served at http://127.0.0.1:$port/; installing into $dest"
echo "(the folder takes the release's name, \"Zudezud 9.00 demo\", when the install is done)"
if [ -n "${DISPLAY:-}" ]; then
  echo "in the window: click INSTALL, then AGREE; when it says the install is done, QUIT"
  HOME="$work/home" build/zudezud_installer "${args[@]}" || true
else
  # Without a window manager the window sits at (0, 0): INSTALL is at
  # (491, 679), AGREE in the centred licence window at (691, 513), QUIT at
  # (985, 679). A click that lands while the other screen shows does nothing,
  # so the two are repeated until the log has the install's result.
  echo "no DISPLAY: running it under Xvfb and clicking for you ($secs s at most)"
  HOME="$work/home" LIBGL_ALWAYS_SOFTWARE=1 xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$0" "${@:3}" & app=$!
    end=$((SECONDS + $1))
    until grep -qE "^Installation (finished|stopped)" "$2" 2>/dev/null || [ $SECONDS -ge $end ]; do
      xdotool mousemove 491 679 click 1 sleep 0.3 mousemove 691 513 click 1 sleep 0.3
    done
    xdotool sleep 1
    import -window root "'"$work"'/screenshot.png" 2>/dev/null || true
    xdotool mousemove 985 679 click 1
    wait $app' \
    "$repo/build/zudezud_installer" "$secs" "$log" "${args[@]}" || true
fi

echo
echo "--- what the installer did (from $log; paths inside $work/):"
grep -E '^(Destination folder:|EXPANDING file |now we want to nuke|cleanup: DELETING|Not renaming|Installation (finished|stopped))' \
  "$log" 2>/dev/null | sed "s|$work/||g" || echo "nothing: it did not get to installing"
final=$(sed -n 's/^Installation finished in \(.*\): .*/\1/p' "$log" 2>/dev/null | tail -n 1)
if [ -n "$final" ] && [ -d "$final" ]; then
  echo "--- files in $final:"; (cd "$final" && find . -type f | sort)
else
  echo "--- the demo release was not installed"
fi
echo "--- requests nginx served:"
awk '$7 != "/" {print $7, $9}' "$work/nginx/access.log" 2>/dev/null || true
echo "---"
if ((clean)); then
  echo "removed $work"
else
  [ -f "$work/screenshot.png" ] && echo "screenshot: $work/screenshot.png"
  echo "the demo's files (release, installation, its preferences, nginx's log) are in $work"
  echo "remove them with: rm -rf '$work'   (or run the demo with --clean)"
fi
