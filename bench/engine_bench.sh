#!/usr/bin/env bash
# The installer engine against aria2c + unzip, both fetching the same release
# from the same nginx on loopback, in one run. Prints the wall time and peak
# memory of each and the ratio; then times the scan of an up-to-date
# installation against md5sum over the same files.
#
#   bench/engine_bench.sh [build folder] [megabytes]   (defaults: build-bench, 1024)
#
# The release: about 2 000 files of mixed sizes (incompressible data), one
# zip per file, "directory.txt.zip" and "serverlist.txt", as the servers
# publish them. The engine runs with _use_max_cpu 1 and 4 streams (frames
# back to back, 10 ms of download passes each); aria2c runs with -j4.
set -euo pipefail
total_mb="${2:-1024}"
release="9.00r1"

source "$(dirname "$0")/common.sh"
bench_build engine_bench "${1:-}"

work="$(mktemp -d "${TMPDIR:-/tmp}/zz_engine_bench_XXXXXX")"
cleanup() {
  stop_nginx
  rm -rf "$work"
}
trap cleanup EXIT

# --- the release tree: 1 900 small, 90 medium, 10 large files ------------
tree="$work/tree"
mkdir -p "$tree"
small=1900; medium=90; large=10
large_mb=$(( total_mb * 55 / 100 / large )); medium_mb=$(( total_mb * 40 / 100 / medium ))
[ "$large_mb" -ge 1 ] || large_mb=1; [ "$medium_mb" -ge 1 ] || medium_mb=1
echo "making the release: $small x 4-60 KiB, $medium x ${medium_mb} MiB, $large x ${large_mb} MiB"
for i in $(seq 1 $small); do
  d="$tree/Resources/set$((i % 40))"; mkdir -p "$d"
  head -c $(( (i * 7919 % 57 + 4) * 1024 )) /dev/urandom > "$d/file$i.dat"
done
mkdir -p "$tree/Resources/mid" "$tree/bin"
for i in $(seq 1 $medium); do head -c $(( medium_mb * 1048576 )) /dev/urandom > "$tree/Resources/mid/m$i.bin"; done
for i in $(seq 1 $large); do head -c $(( large_mb * 1048576 )) /dev/urandom > "$tree/bin/big$i.bin"; done
chmod 755 "$tree/bin/"*

www="$work/www"; rel_dir="$www/files/$release"
mkdir -p "$rel_dir/Zudezud"
list="$work/directory.txt"
printf 'I\n900 version\nINSTALLER\n\n' > "$list"
urls="$work/urls.txt"; : > "$urls"
last_dir=""
while IFS= read -r f; do
  rel="${f#$tree/}"; dir="$(dirname "$rel")"; name="$(basename "$rel")"
  out="$rel_dir/Zudezud/$rel.zip"; mkdir -p "$(dirname "$out")"
  (cd "$tree/$dir" && zip -q -1 "$out" "$name")
  if [ "$dir" != "$last_dir" ]; then echo "DIR Zudezud/$dir/" >> "$list"; last_dir="$dir"; fi
  sum="$(md5sum "$f" | cut -d' ' -f1)"
  zkb=$(( ($(stat -c %s "$out") + 1023) / 1024 )); kb=$(( ($(stat -c %s "$f") + 1023) / 1024 ))
  echo "FILE 0 0 0 $zkb $kb $sum $name" >> "$list"
  printf 'http://files.test/files/%s/Zudezud/%s.zip\n  out=%s.zip\n' "$release" "$rel" "$rel" >> "$urls"
done < <(find "$tree" -type f | LC_ALL=C sort)
(cd "$work" && zip -q "$rel_dir/directory.txt.zip" directory.txt)
printf 'I\n820 version\nSERVERS\n\nFINAL %s\nSERVER files.test\n/files/\nBench server\nENDOFLIST\n' "$release" > "$www/serverlist.txt"
echo "files: $(find "$tree" -type f | wc -l), bytes: $(du -sb "$tree" | cut -f1)"

# --- nginx on loopback, answering absolute URIs as a proxy would ----------
start_nginx "$www" "$work/nginx"

now() { date +%s.%N; }
peak() { sed -n 's/^peak=//p' "$1" | sort -n | tail -1; }

# --- the engine ------------------------------------------------------------
mkdir -p "$work/dest_engine"
t0=$(now)
/usr/bin/time -f "peak=%M" -o "$work/engine.time" "$bench" install "$work/dest_engine/" "$port" 4
t1=$(now)
engine_s=$(awk -v a="$t0" -v b="$t1" 'BEGIN{print b-a}'); engine_kb=$(peak "$work/engine.time")

# --- aria2c -j4, then unzip every archive ----------------------------------
mkdir -p "$work/zips" "$work/dest_aria"
t0=$(now)
/usr/bin/time -f "peak=%M" -o "$work/aria.time" \
  aria2c -q -j4 --all-proxy="http://127.0.0.1:$port" -d "$work/zips" -i "$urls" --allow-overwrite=true
: > "$work/unzip.time"
while IFS= read -r z; do
  rel="${z#$work/zips/}"; dir="$(dirname "$rel")"; mkdir -p "$work/dest_aria/$dir"
  /usr/bin/time -f "peak=%M" -a -o "$work/unzip.time" unzip -q -o "$z" -d "$work/dest_aria/$dir"
done < <(find "$work/zips" -name '*.zip')
t1=$(now)
aria_s=$(awk -v a="$t0" -v b="$t1" 'BEGIN{print b-a}'); aria_kb=$(peak "$work/aria.time"); unzip_kb=$(peak "$work/unzip.time")

# The engine also makes the seven fixed folders; every release file must match.
if diff -rq "$tree" "$work/dest_engine" | grep -v "^Only in $work/dest_engine" | grep -q .; then
  echo "engine result differs from the release!"; diff -rq "$tree" "$work/dest_engine" | head; exit 1
fi

printf '\ninstall: engine %.2f s (peak %s KiB)   aria2c+unzip %.2f s (peak aria2c %s KiB, unzip %s KiB)\n' \
  "$engine_s" "$engine_kb" "$aria_s" "$aria_kb" "$unzip_kb"
printf 'ratio engine / (aria2c+unzip) = %.2f\n' "$(awk -v a="$engine_s" -v b="$aria_s" 'BEGIN{print a/b}')"

# --- scan of the up-to-date installation against md5sum --------------------
sync
scan_line="$("$bench" scan "$work/dest_engine/" "$port")"
scan_s="$(echo "$scan_line" | sed -n 's/.*seconds=\([0-9.]*\).*/\1/p')"
t0=$(now)
find "$work/dest_engine" -type f -print0 | xargs -0 md5sum > /dev/null
t1=$(now)
md5_s=$(awk -v a="$t0" -v b="$t1" 'BEGIN{print b-a}')
printf 'scan: engine %.2f s   md5sum %.2f s   ratio %.2f\n' "$scan_s" "$md5_s" "$(awk -v a="$scan_s" -v b="$md5_s" 'BEGIN{print a/b}')"
