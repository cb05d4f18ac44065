# Helpers shared by the bench/*.sh scripts; sourced, not run.
#
#   bench_build <target> [build folder]  Release build of one bench program;
#                                        sets src, build and bench (its path)
#   best_of <command...>                 best wall time of $repeat runs, in s
#                                        ($BEFORE, when set, is run before each)
#   ratio <a> <b>                        a / b with two decimals
#   start_nginx <root> <folder> [log]    nginx on a free 127.0.0.1 port serving
#                                        <root>, its files in <folder>, requests
#                                        logged to [log] if given; sets port
#                                        and nginx_pid
#   stop_nginx                           ends it (for the EXIT trap)

src="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

bench_build() {
  build="${2:-$src/build-bench}"
  cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZUDEZUD_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$build" --target "$1" -j"$(nproc)" >/dev/null
  bench="$build/bench/$1"
}

best_of() {
  local best="" t0 t1
  for _ in $(seq 1 "$repeat"); do
    if [ -n "${BEFORE:-}" ]; then eval "$BEFORE"; fi
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    t1=$(date +%s.%N)
    best=$(awk -v a="$t0" -v b="$t1" -v best="$best" \
      'BEGIN { t = b - a; if (best == "" || t < best) best = t; printf "%.6f", best }')
  done
  echo "$best"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

nginx_pid=""
start_nginx() {
  local root="$1" dir="$2" access="${3:-off}" user_line=""
  port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
  [ "$(id -u)" = 0 ] && user_line="user root;"
  mkdir -p "$dir"
  cat > "$dir/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
$user_line
pid $dir/nginx.pid;
error_log $dir/error.log;
events { worker_connections 256; }
http {
  access_log $access;
  client_body_temp_path $dir/body;
  proxy_temp_path $dir/proxy;
  fastcgi_temp_path $dir/fastcgi;
  uwsgi_temp_path $dir/uwsgi;
  scgi_temp_path $dir/scgi;
  default_type application/octet-stream;
  sendfile on;
  server { listen 127.0.0.1:$port; root $root; location / { } }
}
CONF
  /usr/sbin/nginx -p "$dir" -c "$dir/nginx.conf" &
  nginx_pid=$!
  # Any answer will do (a 404 too): the port is bound.
  for _ in $(seq 1 200); do
    if curl -s -o /dev/null "http://127.0.0.1:$port/"; then break; fi
    sleep 0.05
  done
}

stop_nginx() {
  if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
  nginx_pid=""
}
