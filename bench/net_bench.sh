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
src="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$src/build-bench}"
repeat=3

cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZUDEZUD_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target net_bench -j"$(nproc)" >/dev/null
bench="$build/bench/net_bench"

work="$(mktemp -d "${TMPDIR:-/tmp}/zz_net_bench_XXXXXX")"
nginx_pid=""
cleanup() {
  if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/www" "$work/out_net" "$work/out_curl" "$work/nginx"
paths=()
for i in 1 2 3; do head -c $((64 * 1024 * 1024)) /dev/urandom > "$work/www/big$i.bin"; paths+=("/big$i.bin"); done
for i in $(seq 1 20); do head -c $((1024 * 1024)) /dev/urandom > "$work/www/mid$i.bin"; paths+=("/mid$i.bin"); done
for i in $(seq 1 50); do head -c $((16 * 1024)) /dev/urandom > "$work/www/small$i.bin"; paths+=("/small$i.bin"); done

port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
user_line=""; [ "$(id -u)" = 0 ] && user_line="user root;"
cat > "$work/nginx/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
$user_line
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 256; }
http {
  access_log off;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  default_type application/octet-stream;
  sendfile on;
  server { listen 127.0.0.1:$port; root $work/www; location / { } }
}
CONF
/usr/sbin/nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" &
nginx_pid=$!
for _ in $(seq 1 200); do
  if curl -s -o /dev/null "http://127.0.0.1:$port/small1.bin"; then break; fi
  sleep 0.05
done

host="zudezud.test"
curl_args=()
for i in "${!paths[@]}"; do curl_args+=("http://$host${paths[$i]}" -o "$work/out_curl/$i.bin"); done
best_curl=""
for _ in $(seq 1 $repeat); do
  t0=$(date +%s.%N)
  curl -s --fail -x "http://127.0.0.1:$port" "${curl_args[@]}"
  t1=$(date +%s.%N)
  best_curl=$(awk -v a="$t0" -v b="$t1" -v best="$best_curl" 'BEGIN { t = b - a; if (best == "" || t < best) best = t; print best }')
done

net0="$("$bench" "$port" "$host" "$work/out_net" 0 $repeat "${paths[@]}")"
for i in "${!paths[@]}"; do cmp -s "$work/www${paths[$i]}" "$work/out_net/$i.bin" || { echo "net_check: wrong bytes for ${paths[$i]}"; exit 1; }; done
net16="$("$bench" "$port" "$host" "$work/out_net" 16 $repeat "${paths[@]}")"

total_mb=$(( (3 * 64 * 1024 + 20 * 1024 + 50 * 16) / 1024 ))
printf 'files: %d (%d MiB), best of %d\n' "${#paths[@]}" "$total_mb" "$repeat"
printf 'curl, one connection:          %8.3f s\n' "$best_curl"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
printf 'net_check, frame wait 0 ms:    %8.3f s   ratio %s\n' "$net0" "$(ratio "$net0" "$best_curl")"
printf 'net_check, frame wait 16 ms:   %8.3f s   ratio %s\n' "$net16" "$(ratio "$net16" "$best_curl")"
