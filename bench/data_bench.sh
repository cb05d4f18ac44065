#!/usr/bin/env bash
# Signing and unpacking against the one-process reference tools, on the same
# corpus, in interleaved rounds with a warm cache (see common.sh). Prints the
# median and range of each and the ratio of the medians (below 1.00: faster
# than the reference).
#
#   bench/data_bench.sh [files] [rounds]      (defaults: 400 files, about 200 MiB; 7 rounds)
#
# The corpus (bench/make_corpus.py): log-uniform sizes 1 KiB to 4 MiB, half
# text, half random bytes, one deflated zip per file. Signing: calc_file_md5
# over every file against one md5sum over all of them. Unpacking: zip_to_file
# for each archive, in one process, against bench/unpack_ref.cpp (one process
# that reads each archive whole and writes each entry once, zlib's minizip).
# Every result is compared with the source after its timed run.
set -euo pipefail
source "$(dirname "$0")/common.sh"
files="${1:-400}"
n_rounds="${2:-7}"
bench_build data_bench unpack_ref
ours="$build/bench/data_bench"
ref="$build/bench/unpack_ref"

work="$(mktemp -d "${TMPDIR:-/tmp}/zz_data_bench_XXXXXX")"
trap 'rm -rf "$work"' EXIT
make_corpus "$files" "$work"
find "$work/tree" -type f -print0 | LC_ALL=C sort -z > "$work/list0"
(cd "$work/tree" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum) > "$work/want.md5"

# --- signing -----------------------------------------------------------------
prep_sign_ours() { :; }
sign_ours() { "$ours" md5 "$work/tree" > "$work/sig_ours"; }
check_sign_ours() { diff <(cut -c1-32 "$work/sig_ours" | sort) <(cut -c1-32 "$work/want.md5" | sort) >/dev/null; }
sign_md5sum() { xargs -0 md5sum < "$work/list0" > "$work/sig_ref"; }
check_sign_md5sum() { diff <(cut -c1-32 "$work/sig_ref" | sort) <(cut -c1-32 "$work/want.md5" | sort) >/dev/null; }
prep_sign_md5sum() { :; }
rounds "$n_rounds" sign_ours sign_md5sum

# --- unpacking -----------------------------------------------------------------
fresh() { rm -rf "$work/$1"; mkdir "$work/$1"; sync; }
same_as_tree() { diff -r "$work/tree" "$work/$1" >/dev/null; }
prep_unzip_ours() { fresh out_ours; }
unzip_ours() { "$ours" unzip "$work/zips" "$work/out_ours/"; }
check_unzip_ours() { same_as_tree out_ours; }
prep_unzip_ref() { fresh out_ref; }
unzip_ref() { "$ref" "$work/zips" "$work/out_ref/"; }
check_unzip_ref() { same_as_tree out_ref; }
rounds "$n_rounds" unzip_ours unzip_ref

echo
echo "$n_rounds interleaved rounds each, warm cache"
compare "sign:" calc_file_md5 times_sign_ours md5sum times_sign_md5sum
compare "unpack:" zip_to_file times_unzip_ours unpack_ref times_unzip_ref
