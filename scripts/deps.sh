#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
set -euo pipefail
pkgs=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libminizip-dev libpng-dev libsquish-dev
  libx11-dev libgl-dev libglu1-mesa-dev libglx-mesa0 libgl1-mesa-dri mesa-utils
  xvfb xauth x11-utils xdotool imagemagick
  libfreetype-dev fonts-dejavu-core fonts-nanum
  nginx tinyproxy haproxy squid
  zip unzip curl aria2 time procps iproute2 python3
)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
# The packaged services must not hold the ports the tests choose.
for svc in nginx tinyproxy haproxy squid; do
  if command -v service >/dev/null 2>&1; then service "$svc" stop >/dev/null 2>&1 || true; fi
done
