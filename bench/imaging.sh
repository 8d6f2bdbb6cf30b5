#!/usr/bin/env bash
# Imaging figures: sizeAnalyser against cat and its peak memory (also with a huge sparse image),
# readImage against one fread, and a header scan with readBankImage against a bare
# open/read/close loop over the same files.
set -euo pipefail
bin="$TGAKIT_BUILD/bin"
work="$TGAKIT_BENCH_WORK/imaging"
mkdir -p "$work/hd" "$work/small" "$work/huge"

"$bin/imaging_make" "$work/hd" 64 1920 1080
"$bin/imaging_make" "$work/small" 20000 16 16
# The same 64 images beside a sparse 46340 x 46340 one: 6.4 GB claimed, a few KB on disk.
ln -f "$work/hd"/* "$work/huge/"
printf '\x00\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00\x04\xb5\x04\xb5\x18\x00' >"$work/huge/sparse.tga"
truncate -s $((18 + 46340 * 46340 * 3)) "$work/huge/sparse.tga"
echo -1 >"$work/input"
cat "$work/hd"/* >/dev/null  # page-cache everything first

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.2f", k / 1024 }'; }

read -r cat_s _ < <("$bin/imaging_measure" 7 -- cat "$work/hd"/*)
read -r sa_s sa_kib < <("$bin/imaging_measure" 7 --stdin "$work/input" -- "$bin/sizeAnalyser" "$work/hd")
echo "sizeAnalyser_vs_cat_ratio: $(ratio "$sa_s" "$cat_s") (goal <= 1.1; 64 images of 1920x1080, sizeAnalyser ${sa_s}s, cat ${cat_s}s)"
echo "sizeAnalyser_peak_rss_mib: $(mib "$sa_kib") (goal <= 16; 64 images of 1920x1080)"
read -r huge_s huge_kib < <("$bin/imaging_measure" 1 --stdin "$work/input" -- "$bin/sizeAnalyser" "$work/huge")
echo "sizeAnalyser_peak_rss_with_sparse_46340x46340_mib: $(mib "$huge_kib") (goal <= 16; the same images and one sparse 46340x46340 file, $(du -k "$work/huge/sparse.tga" | cut -f1) KB on disk, read in ${huge_s}s)"

csv=$("$bin/imaging_read" --benchmark_format=csv --benchmark_min_time=0.5 \
      "$work/hd/img00000.tga" "$work/small" 2>/dev/null)
ms() { echo "$csv" | awk -F, -v n="\"$1\"" '$1 == n { print $3 }'; }
echo "readImage_vs_fread_ratio: $(ratio "$(ms readImage)" "$(ms fread_whole)") (goal <= 2.0; readImage $(ms readImage) ms, fread $(ms fread_whole) ms)"
cold=$(TGAKIT_BENCH_DEFAULT_ALLOCATOR=1 "$bin/imaging_read" --benchmark_format=csv \
       --benchmark_filter=readImage --benchmark_min_time=0.5 "$work/hd/img00000.tga" "$work/small" 2>/dev/null |
       awk -F, '$1 == "\"readImage\"" { print $3 }')
echo "readImage_fresh_pages_vs_fread_ratio: $(ratio "$cold" "$(ms fread_whole)") (no goal; glibc's default allocator hands the planes back after each read, readImage $cold ms)"
# The two scans take turns, and each keeps its best run: the machine's other work only adds.
scans=$("$bin/imaging_read" --benchmark_format=csv --benchmark_filter='readBankImage|bare_scan' \
        --benchmark_min_time=0.2 --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true \
        "$work/hd/img00000.tga" "$work/small" 2>/dev/null)
best() { echo "$scans" | awk -F, -v n="\"$1\"" '$1 == n && (b == "" || $3 + 0 < b) { b = $3 + 0 } END { print b }'; }
echo "readBankImage_vs_bare_scan_ratio: $(ratio "$(best readBankImage)" "$(best bare_scan)") (goal <= 1.10; 20000 headers, readBankImage $(best readBankImage) ms, open/read/close $(best bare_scan) ms)"
