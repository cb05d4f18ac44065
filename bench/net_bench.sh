#!/usr/bin/env bash
# Download speed of one net_check slot against curl, both from the same nginx
# on loopback, in one run. Prints each time and the ratio net_check / curl.
#
#   bench/net_bench.sh [build folder]      (default: build-bench)
#
# Needs nginx and curl. Files: 3 x 64 MiB, 20 x 1 MiB, 50 x 16 KiB, each
# method best of 3. net_check is polled as the installer polls it: passes for
# 10 ms per frame, then the frame's wait: 0 ms (_use_max_cpu) and 16 ms.
set -euo pipefail
source "$(dirname "$0")/common.sh"
repeat=3
bench_build net_bench "${1:-}"

work="$(mktemp -d "${TMPDIR:-/tmp}/zz_net_bench_XXXXXX")"
cleanup() {
  stop_nginx
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/www" "$work/out_net" "$work/out_curl"
paths=()
for i in 1 2 3; do head -c $((64 * 1024 * 1024)) /dev/urandom > "$work/www/big$i.bin"; paths+=("/big$i.bin"); done
for i in $(seq 1 20); do head -c $((1024 * 1024)) /dev/urandom > "$work/www/mid$i.bin"; paths+=("/mid$i.bin"); done
for i in $(seq 1 50); do head -c $((16 * 1024)) /dev/urandom > "$work/www/small$i.bin"; paths+=("/small$i.bin"); done

start_nginx "$work/www" "$work/nginx"

host="zudezud.test"
curl_args=()
for i in "${!paths[@]}"; do curl_args+=("http://$host${paths[$i]}" -o "$work/out_curl/$i.bin"); done
best_curl=$(best_of curl -s --fail -x "http://127.0.0.1:$port" "${curl_args[@]}")

net0="$("$bench" "$port" "$host" "$work/out_net" 0 $repeat "${paths[@]}")"
for i in "${!paths[@]}"; do cmp -s "$work/www${paths[$i]}" "$work/out_net/$i.bin" || { echo "net_check: wrong bytes for ${paths[$i]}"; exit 1; }; done
net16="$("$bench" "$port" "$host" "$work/out_net" 16 $repeat "${paths[@]}")"

total_mb=$(( (3 * 64 * 1024 + 20 * 1024 + 50 * 16) / 1024 ))
printf 'files: %d (%d MiB), best of %d\n' "${#paths[@]}" "$total_mb" "$repeat"
printf 'curl, one connection:          %8.3f s\n' "$best_curl"
printf 'net_check, frame wait 0 ms:    %8.3f s   ratio %s\n' "$net0" "$(ratio "$net0" "$best_curl")"
printf 'net_check, frame wait 16 ms:   %8.3f s   ratio %s\n' "$net16" "$(ratio "$net16" "$best_curl")"
