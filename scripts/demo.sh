#!/usr/bin/env bash
# Builds the installer and installs a small demo release, served by nginx on
# loopback, into a temporary folder. With a DISPLAY the window opens there:
# click INSTALL, then AGREE. Without one the script runs the installer under
# Xvfb and clicks INSTALL and AGREE itself, then QUIT, and prints what was
# installed and where the screenshot is.
#   ./scripts/demo.sh [seconds allowed under Xvfb, default 60]
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
release="$work/Zudezud 9.00 demo/"  # the installed folder takes the release's name
if [ -n "${DISPLAY:-}" ]; then
  echo "click INSTALL, then AGREE; the release is installed into $dest (renamed to $release)"
  HOME="$work/home" build/zudezud_installer "${args[@]}"
else
  secs=${1:-60}
  # Without a window manager the window sits at (0, 0): INSTALL is at
  # (491, 679), AGREE in the centred licence window at (691, 513), QUIT at
  # (985, 679). A click that lands while the other screen shows does nothing,
  # so the two are repeated until the release's folder appears.
  HOME="$work/home" LIBGL_ALWAYS_SOFTWARE=1 xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$0" "${@:3}" & app=$!
    end=$((SECONDS + $1))
    until [ -d "$2" ] || [ $SECONDS -ge $end ]; do
      xdotool mousemove 491 679 click 1 sleep 0.3 mousemove 691 513 click 1 sleep 0.3
    done
    xdotool sleep 1
    import -window root "'"$work"'/screenshot.png" 2>/dev/null || true
    xdotool mousemove 985 679 click 1
    wait $app' \
    "$repo/build/zudezud_installer" "$secs" "$release" "${args[@]}" || true
  if [ -d "$release" ]; then
    echo "installed into $release:"; (cd "$release" && find . -type f | sort)
  else
    echo "the demo release was not installed within $secs s"
  fi
  echo "screenshot: $work/screenshot.png"
fi
echo "--- requests served:"; cat "$work/nginx/access.log" 2>/dev/null | awk '$7 != "/" {print $7, $9}'
echo "--- log: $repo/build/Log.txt"; tail -n 25 "$repo/build/Log.txt" 2>/dev/null || true
