#!/usr/bin/env bash
# The installer engine against the one-process reference tools, fetching the
# same release from the same nginx on loopback, in interleaved rounds with a
# warm cache (see common.sh). Prints the median and range of each, the ratio
# of the medians, where the engine's time goes and its memory growth.
#
#   bench/engine_bench.sh [files] [rounds]    (defaults: 400 files, about 200 MiB; 7 rounds)
#   bench/engine_bench.sh [files] [rounds] scan    (the scan figure alone)
#   bench/engine_bench.sh [files] [rounds] link    (the install over the throttled link alone)
#
# The release is the corpus of bench/make_corpus.py, one zip per file, with
# "directory.txt.zip" and "serverlist.txt" as the servers publish them.
#   install, _use_max_cpu 1, 4 streams: engine_bench install (lists, scan of
#     the fresh destination, download, unpack; frames back to back)
#   install, default preferences: the same with the 16 ms frame wait and the
#     automatic number of streams
#   reference for both: one curl with 4 parallel transfers (-Z
#     --parallel-max 4), then bench/unpack_ref over what it fetched
#   install over a link of about 100 MB/s, default preferences: nginx holds
#     each connection to 25 MB/s (limit_rate), so curl's 4 connections share
#     100 MB/s; the same reference over the same server
#   scan of the up-to-date installation: engine_bench scan (signing on the
#     library's workers) against one md5sum over the same files, both held
#     to cores 0-3 (taskset)
#   unpack of the release's archives: zip_to_file for each (bench/data_bench,
#     one process) against bench/unpack_ref
# Every install is compared with the release after its timed run.
set -euo pipefail
source "$(dirname "$0")/common.sh"
files="${1:-400}"
n_rounds="${2:-7}"
only="${3:-}"
release="9.00r1"
bench_build engine_bench unpack_ref data_bench
engine="$build/bench/engine_bench"
ref="$build/bench/unpack_ref"
unzip_ours="$build/bench/data_bench"

work="$(mktemp -d "${TMPDIR:-/tmp}/zz_engine_bench_XXXXXX")"
cleanup() {
  stop_nginx
  rm -rf "$work"
}
trap cleanup EXIT

make_corpus "$files" "$work" "$release"
serve_release "$work" "$release"
www="$work/www"
(cd "$rel_dir" && find Zudezud -name '*.zip' | LC_ALL=C sort) | while IFS= read -r z; do
  printf 'url = "http://files.test/files/%s/%s"\noutput = "%s/dl/%s"\n' "$release" "$z" "$work" "$z"
done > "$work/curl.cfg"
(cd "$work/tree/Zudezud" && find . -type f -print0 | LC_ALL=C sort -z) > "$work/list0"

# The scan of an up-to-date installation (a copy of the release's files), both
# tools on the same four cores.
mkdir "$work/installed" && cp -r "$work/tree/Zudezud/." "$work/installed/"
prep_engine_scan() { :; }
engine_scan() { taskset -c 0-3 "$engine" scan "$work/installed/" "$port" > "$work/scan.out"; }
check_engine_scan() { grep -q ' down_kb=0$' "$work/scan.out"; }
prep_md5sum_scan() { :; }
md5sum_scan() { (cd "$work/installed" && taskset -c 0-3 xargs -0 md5sum < "$work/list0" > "$work/md5sum.out"); }
check_md5sum_scan() { (cd "$work/tree/Zudezud" && md5sum --quiet -c "$work/md5sum.out"); }
[ "$only" = link ] || rounds "$n_rounds" engine_scan md5sum_scan
scan_line() { compare "scan of the installation, 4 cores:" engine times_engine_scan md5sum times_md5sum_scan; }
if [ "$only" = scan ]; then
  echo; echo "$(du -sm "$work/tree" | cut -f1) MiB in $files files; $n_rounds interleaved rounds, warm cache"
  scan_line
  exit 0
fi

fresh() { rm -rf "$work/$1"; mkdir "$work/$1"; sync; }
# The engine also makes its seven fixed folders; every release file must match.
release_in() { ! diff -r "$work/tree/Zudezud" "$work/$1" | grep -v "^Only in $work/$1" | grep -q .; }

prep_engine_max() { fresh dest; }
engine_max() { "$engine" install "$work/dest/" "$port" 4 1 >> "$work/engine_max.out"; }
check_engine_max() { release_in dest; }
prep_engine_default() { fresh dest; }
engine_default() { "$engine" install "$work/dest/" "$port" 0 0 >> "$work/engine_default.out"; }
check_engine_default() { release_in dest; }
prep_curl_unpack() { rm -rf "$work/dl"; fresh dest_ref; }
curl_unpack() {
  curl -s --no-progress-meter --fail -Z --parallel-max 4 --create-dirs -x "http://127.0.0.1:$port" -K "$work/curl.cfg" &&
    "$ref" "$work/dl" "$work/dest_ref/"
}
check_curl_unpack() { diff -r "$work/tree" "$work/dest_ref" >/dev/null; }

# Median of field $2 over the timed runs in file $1 (the first line is the warm-up's).
field() { median $(sed -n "2,\$ s/.*$2=\([0-9.]*\).*/\1/p" "$1"); }
breakdown() {
  printf '    where the time goes (medians): lists %.3f s, scan %.3f s, inside the pump %.3f s, zip_to_file on a worker %.3f s, frame wait %.3f s over %s frames (%s ended by a reply); processor %.3f s; memory growth %s KiB\n' \
    "$(field "$1" lists_s)" "$(field "$1" scan_s)" "$(field "$1" pump_s)" "$(field "$1" unpack_s)" \
    "$(field "$1" wait_s)" "$(field "$1" frames)" "$(field "$1" wakes)" "$(field "$1" cpu_s)" "$(field "$1" growth_kb)"
}

heading() {
  echo
  echo "$(du -sm "$work/tree" | cut -f1) MiB in $files files; $n_rounds interleaved rounds each, warm cache"
}

# The link: the loopback server is replaced by one that holds each
# connection to 25 MB/s. nginx waits only between the pieces it sends, and
# a file that fits one piece (2 MiB by default) would pass at full speed.
prep_engine_link() { fresh dest; }
engine_link() { "$engine" install "$work/dest/" "$port" 0 0 >> "$work/engine_link.out"; }
check_engine_link() { release_in dest; }
link_rounds() {
  stop_nginx
  start_nginx "$www" "$work/nginx_link" off "limit_rate 25m; sendfile_max_chunk 256k;"
  rounds "$n_rounds" engine_link curl_unpack
  ref_link=("${times_curl_unpack[@]}")
}
link_summary() {
  compare "install at 100 MB/s, default prefs:" engine times_engine_link "curl -Z 4 + unpack_ref" ref_link
  breakdown "$work/engine_link.out"
}
if [ "$only" = link ]; then
  link_rounds
  heading
  link_summary
  exit 0
fi

rounds "$n_rounds" engine_max curl_unpack
ref_max=("${times_curl_unpack[@]}")
rounds "$n_rounds" engine_default curl_unpack
ref_default=("${times_curl_unpack[@]}")

prep_unpack_ours() { fresh out_ours; }
unpack_ours() { "$unzip_ours" unzip "$rel_dir/Zudezud" "$work/out_ours/"; }
check_unpack_ours() { diff -r "$work/tree/Zudezud" "$work/out_ours" >/dev/null; }
prep_unpack_ref() { fresh out_ref; }
unpack_ref() { "$ref" "$rel_dir/Zudezud" "$work/out_ref/"; }
check_unpack_ref() { diff -r "$work/tree/Zudezud" "$work/out_ref" >/dev/null; }
rounds "$n_rounds" unpack_ours unpack_ref
link_rounds

heading
compare "install, _use_max_cpu 1, 4 streams:" engine times_engine_max "curl -Z 4 + unpack_ref" ref_max
breakdown "$work/engine_max.out"
compare "install, default preferences:" engine times_engine_default "curl -Z 4 + unpack_ref" ref_default
breakdown "$work/engine_default.out"
scan_line
compare "unpack of the archives:" zip_to_file times_unpack_ours unpack_ref times_unpack_ref
link_summary
