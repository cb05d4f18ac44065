#!/usr/bin/env bash
# Download speed of one net_check slot against curl, both from the same nginx
# on loopback, in interleaved rounds with a warm cache (see common.sh).
# Prints the median and range of each and the ratio of the medians.
#
#   bench/net_bench.sh [rounds]      (default: 7)
#
# Files: 3 x 64 MiB, 20 x 1 MiB, 50 x 16 KiB, fetched one after the other by
# one curl process (one connection) and by net_bench. net_check is polled as
# the installer polls it: passes for 10 ms per frame, then the frame's wait:
# 0 ms (_use_max_cpu 1) and 16 ms (default preferences). Every file is
# compared with the source after each timed run.
set -euo pipefail
source "$(dirname "$0")/common.sh"
n_rounds="${1:-7}"
bench_build net_bench
net="$build/bench/net_bench"

work="$(mktemp -d "${TMPDIR:-/tmp}/zz_net_bench_XXXXXX")"
cleanup() {
  stop_nginx
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/www"
paths=()
for i in 1 2 3; do head -c $((64 * 1024 * 1024)) /dev/urandom > "$work/www/big$i.bin"; paths+=("/big$i.bin"); done
for i in $(seq 1 20); do head -c $((1024 * 1024)) /dev/urandom > "$work/www/mid$i.bin"; paths+=("/mid$i.bin"); done
for i in $(seq 1 50); do head -c $((16 * 1024)) /dev/urandom > "$work/www/small$i.bin"; paths+=("/small$i.bin"); done
start_nginx "$work/www" "$work/nginx"

host="zudezud.test"
curl_args=()
for i in "${!paths[@]}"; do curl_args+=("http://$host${paths[$i]}" -o "$work/out/$i.bin"); done

fresh_out() { rm -rf "$work/out"; mkdir "$work/out"; sync; }
all_fetched() {
  local i
  for i in "${!paths[@]}"; do cmp -s "$work/www${paths[$i]}" "$work/out/$i.bin" || return 1; done
}
prep_curl_one() { fresh_out; }
curl_one() { curl -s --fail -x "http://127.0.0.1:$port" "${curl_args[@]}"; }
check_curl_one() { all_fetched; }
prep_net_max() { fresh_out; }
net_max() { "$net" "$port" "$host" "$work/out" 0 "${paths[@]}"; }
check_net_max() { all_fetched; }
prep_net_default() { fresh_out; }
net_default() { "$net" "$port" "$host" "$work/out" 16 "${paths[@]}"; }
check_net_default() { all_fetched; }

rounds "$n_rounds" net_max curl_one
curl_max=("${times_curl_one[@]}")
rounds "$n_rounds" net_default curl_one
curl_default=("${times_curl_one[@]}")

printf 'files: %d (%d MiB); %d interleaved rounds each, warm cache\n' "${#paths[@]}" \
  $(( (3 * 64 * 1024 + 20 * 1024 + 50 * 16) / 1024 )) "$n_rounds"
compare "net_check, frame wait 0 ms:" net_check times_net_max curl curl_max
compare "net_check, frame wait 16 ms:" net_check times_net_default curl curl_default
