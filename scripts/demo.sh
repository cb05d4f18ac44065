#!/usr/bin/env bash
# Builds the installer and runs it against a small demo release served by
# nginx on loopback. With a DISPLAY it opens the window there; without one it
# runs under Xvfb for a while, saves a screenshot and shows the log.
#   ./scripts/demo.sh [seconds under Xvfb, default 20]
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
./scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target zudezud_installer make_demo_release

work=$(mktemp -d /tmp/zudezud-demo.XXXXXX)
web="$work/web"; mkdir -p "$web" "$work/home"
build/tests/make_demo_release "$web"

source bench/common.sh
start_nginx "$web" "$work/nginx" "$work/nginx/access.log"
trap stop_nginx EXIT

dest="$work/Zudezud/"
# Every host name reaches the loopback nginx through the proxy settings; a
# private HOME keeps the demo's preferences away from the real ones.
args=(-path "$dest" "--pref:_proxy_host=127.0.0.1" "--pref:_proxy_port_int=$port")
echo "demo release: http://127.0.0.1:$port/  destination: $dest"
if [ -n "${DISPLAY:-}" ]; then
  HOME="$work/home" build/zudezud_installer "${args[@]}"
else
  secs=${1:-20}
  HOME="$work/home" LIBGL_ALWAYS_SOFTWARE=1 xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$0" "${@:2}" & app=$!
    sleep "$1"
    import -window root "'"$work"'/screenshot.png" 2>/dev/null || true
    kill $app 2>/dev/null; wait $app 2>/dev/null || true' \
    "$repo/build/zudezud_installer" "$secs" "${args[@]}"
  echo "screenshot: $work/screenshot.png"
fi
echo "--- requests served:"; cat "$work/nginx/access.log" 2>/dev/null | awk '$7 != "/" {print $7, $9}'
echo "--- log: $repo/build/Log.txt"; tail -n 25 "$repo/build/Log.txt" 2>/dev/null || true
