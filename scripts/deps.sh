#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
set -euo pipefail
# gdb: a test command that hangs is stopped with its threads' stacks.
pkgs=(
  build-essential cmake pkg-config clang-format git
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libminizip-dev libpng-dev libsquish-dev
  libx11-dev libgl-dev libglu1-mesa-dev libglx-mesa0 libgl1-mesa-dri mesa-utils
  xvfb xauth x11-utils xdotool imagemagick
  libfreetype-dev fonts-dejavu-core fonts-nanum
  nginx tinyproxy haproxy squid
  zip unzip curl aria2 time procps iproute2 python3 gdb
)
# One query for every package ("ii": installed and configured); a package
# dpkg has never seen is not listed, so it counts as missing.
installed=$(dpkg-query -W -f='${Package} ${db:Status-Abbrev}\n' "${pkgs[@]}" 2>/dev/null || true)
missing=()
for p in "${pkgs[@]}"; do
  grep -qx "$p ii *" <<<"$installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
# The packaged services must not hold the ports the tests choose. Installing
# a service starts it; otherwise only one whose pid file names a live
# process is stopped (asking each init script costs seconds).
declare -A pid_files=([nginx]=/run/nginx.pid [tinyproxy]=/run/tinyproxy/tinyproxy.pid
                      [haproxy]=/run/haproxy.pid [squid]=/run/squid.pid)
for svc in nginx tinyproxy haproxy squid; do
  pid_file=${pid_files[$svc]}
  if ((${#missing[@]})) || { [ -s "$pid_file" ] && kill -0 "$(cat "$pid_file")" 2>/dev/null; }; then
    if command -v service >/dev/null 2>&1; then service "$svc" stop >/dev/null 2>&1 || true; fi
  fi
done
