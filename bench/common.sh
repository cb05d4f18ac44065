# Helpers shared by the bench/*.sh scripts; sourced, not run.
#
#   bench_build <target...>              Release build of bench programs in
#                                        $build (default build-bench); sets src
#   make_corpus <files> <work> [release] the corpus (bench/make_corpus.py) in
#                                        <work>/tree and <work>/zips; files
#                                        of at most $corpus_max_kib KiB when
#                                        set
#   rounds <n> A B                       times the commands named A and B in n
#                                        interleaved rounds (A B B A A B ...),
#                                        warm cache: one untimed run of each
#                                        first. For a name X it runs prep_X
#                                        (untimed), X (timed), check_X
#                                        (untimed, after the timed part); the
#                                        times go to the array times_X
#   stats <times...>                     "median M s (range lo-hi)"
#   median <times...>                    the median
#   ratio <a> <b>                        a / b with two decimals
#   compare <what> <ours> A <reference> B one summary line from the arrays
#                                        named A and B: each one's stats and
#                                        the ratio of the medians
#   serve_release <work> <release>      the corpus's archives as the servers
#                                        publish them, with "directory.txt.zip"
#                                        and "serverlist.txt", in <work>/www,
#                                        served by start_nginx; sets rel_dir
#   start_nginx <root> <folder> [log] [conf]
#                                        nginx on a free 127.0.0.1 port serving
#                                        <root>, its files in <folder>, requests
#                                        logged to [log] if given (or "off"),
#                                        [conf] added to its http block (e.g.
#                                        "limit_rate 25m;"); sets port and
#                                        nginx_pid
#   stop_nginx                           ends it (for the EXIT trap)

src="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

bench_build() {
  build="${build:-$src/build-bench}"
  cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZUDEZUD_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$build" --target "$@" -j4 >/dev/null
}

make_corpus() {
  python3 "$src/bench/make_corpus.py" ${corpus_max_kib:+--max-kib "$corpus_max_kib"} \
    "$1" "$2/tree" "$2/zips" ${3:+"$2/directory.txt" "$3"}
}

now() { date +%s.%N; }

# One timed run of the function named $1; its time is appended to times_$1.
timed_run() {
  local t0 t1
  "prep_$1"
  t0=$(now)
  "$1" || { echo "failed: $1" >&2; exit 1; }
  t1=$(now)
  "check_$1" || { echo "wrong output: $1" >&2; exit 1; }
  eval "times_$1+=(\$(awk -v a=\"\$t0\" -v b=\"\$t1\" 'BEGIN { printf \"%.4f\", b - a }'))"
}

rounds() {
  local n="$1" a="$2" b="$3" r
  eval "times_$a=(); times_$b=()"
  "prep_$a"; "$a" || exit 1; "prep_$b"; "$b" || exit 1   # warm the cache for both
  eval "times_$a=(); times_$b=()"
  for r in $(seq 1 "$n"); do
    if (( r % 2 )); then timed_run "$a"; timed_run "$b"; else timed_run "$b"; timed_run "$a"; fi
  done
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

stats() {
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "median %.3f s (range %.3f-%.3f)", m, v[1], v[NR] }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

compare() {
  local -n ours_t="$3" ref_t="$5"
  printf '%-37s %s %s   %s %s   ratio %s\n' "$1" "$2" "$(stats "${ours_t[@]}")" "$4" \
    "$(stats "${ref_t[@]}")" "$(ratio "$(median "${ours_t[@]}")" "$(median "${ref_t[@]}")")"
}

serve_release() {
  local work="$1" release="$2" www="$1/www"
  rel_dir="$www/files/$release"
  mkdir -p "$rel_dir"
  mv "$work/zips/Zudezud" "$rel_dir/Zudezud"
  (cd "$work" && zip -q "$rel_dir/directory.txt.zip" directory.txt)
  printf 'I\n820 version\nSERVERS\n\nFINAL %s\nSERVER files.test\n/files/\nBench server\nENDOFLIST\n' \
    "$release" > "$www/serverlist.txt"
  start_nginx "$www" "$work/nginx"
}

nginx_pid=""
start_nginx() {
  local root="$1" dir="$2" access="${3:-off}" extra="${4:-}" user_line=""
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
  $extra
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
