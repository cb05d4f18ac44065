#!/usr/bin/env bash
# Signing and extraction speed against md5sum and unzip, in one run. Prints
# each time and the ratios calc_file_md5 / md5sum and zip_to_file / unzip
# (below 1.0 means faster than the reference tool).
#
#   bench/data_bench.sh [build folder]      (default: build-bench)
#
# Data: 16 files of 64 MiB (1 GiB) signed from the page cache; 3000 small
# archives (one folder entry and one file of 1 to 16 KiB each) extracted by
# one process each way (unzip takes the whole set as one wildcard). Each
# measurement is the best of 3.
set -euo pipefail
source "$(dirname "$0")/common.sh"
repeat=3
bench_build data_bench "${1:-}"

work="$(mktemp -d "${TMPDIR:-/tmp}/zz_data_bench_XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/sign" "$work/zips"

for i in $(seq -w 1 16); do head -c $((64 * 1024 * 1024)) /dev/urandom > "$work/sign/f$i.bin"; done
python3 - "$work/zips" <<'PY'
import random, sys, zipfile
out = sys.argv[1]
rnd = random.Random(1)
words = [bytes(rnd.choice(b"abcdefghij ") for _ in range(rnd.randint(3, 9))) for _ in range(500)]
for i in range(3000):
    folder = "d%02d/" % (i % 50)
    size = rnd.randint(1024, 16 * 1024)
    data = b" ".join(rnd.choice(words) for _ in range(size // 5))[:size]
    with zipfile.ZipFile("%s/a%04d.zip" % (out, i), "w", zipfile.ZIP_DEFLATED) as z:
        d = zipfile.ZipInfo(folder, (2020, 5, 6, 7, 8, 10))
        d.external_attr = (0o040755 << 16) | 0x10
        z.writestr(d, b"")
        f = zipfile.ZipInfo(folder + "f%04d.txt" % i, (2020, 5, 6, 7, 8, 10))
        f.external_attr = 0o100644 << 16
        f.compress_type = zipfile.ZIP_DEFLATED
        z.writestr(f, data)
PY

cat "$work"/sign/* > /dev/null   # into the page cache
# Same signatures both ways, or the timing means nothing.
if ! diff <("$bench" md5 "$work/sign/" | cut -c1-32) <(md5sum "$work"/sign/* | cut -c1-32) >/dev/null; then
  echo "signatures differ from md5sum" >&2; exit 1
fi
t_md5sum=$(best_of md5sum "$work"/sign/*)
t_sign=$(best_of "$bench" md5 "$work/sign/")

BEFORE='rm -rf "$work/out_unzip" && mkdir "$work/out_unzip"'
t_unzip=$(best_of unzip -qq -o "$work/zips/*.zip" -d "$work/out_unzip")
BEFORE='rm -rf "$work/out_ours" && mkdir "$work/out_ours"'
t_ours=$(best_of "$bench" unzip "$work/zips/" "$work/out_ours/")
unset BEFORE
if ! diff -r "$work/out_unzip" "$work/out_ours" >/dev/null; then
  echo "extracted trees differ from unzip's" >&2; exit 1
fi

printf 'sign 1 GiB:         md5sum %.3f s   calc_file_md5 %.3f s   ratio %s\n' \
  "$t_md5sum" "$t_sign" "$(ratio "$t_sign" "$t_md5sum")"
printf 'extract 3000 zips:  unzip  %.3f s   zip_to_file   %.3f s   ratio %s\n' \
  "$t_unzip" "$t_ours" "$(ratio "$t_ours" "$t_unzip")"
