#!/usr/bin/env bash
# Imaging figures: sizeAnalyser against cat, its peak memory, readImage against one fread,
# and a header scan with readBankImage against ImageMagick's identify.
set -euo pipefail
bin="$TGAKIT_BUILD/bin"
work="$TGAKIT_BENCH_WORK/imaging"
mkdir -p "$work/hd" "$work/small"

"$bin/imaging_make" "$work/hd" 64 1920 1080
"$bin/imaging_make" "$work/small" 20000 16 16
# imaging_sizeAnalyser analyses the directory compiled into it: point that at the data.
mkdir -p "$TGAKIT_BUILD/imaging-bench"
ln -sfn "$work/hd" "$TGAKIT_BUILD/imaging-bench/hd"
echo -1 >"$work/input"
cat "$work/hd"/* >/dev/null  # page-cache everything first

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

read -r cat_s _ < <("$bin/imaging_measure" 7 -- cat "$work/hd"/*)
read -r sa_s sa_kib < <("$bin/imaging_measure" 7 --stdin "$work/input" -- "$bin/imaging_sizeAnalyser")
echo "sizeAnalyser_vs_cat_ratio: $(ratio "$sa_s" "$cat_s") (floor 2.0; 64 images of 1920x1080, sizeAnalyser ${sa_s}s, cat ${cat_s}s)"
planes_mib=$(awk 'BEGIN { printf "%.2f", 1920 * 1080 * 3 / 1048576 }')
over=$(awk -v k="$sa_kib" -v p="$planes_mib" 'BEGIN { printf "%.2f", k / 1024 - p }')
echo "sizeAnalyser_peak_rss_over_planes_mib: $over (ceiling 16.0; peak $(ratio "$sa_kib" 1024) MiB, one image's planes $planes_mib MiB)"

csv=$("$bin/imaging_read" --benchmark_format=csv --benchmark_min_time=0.5 \
      "$work/hd/img00000.tga" "$work/small" 2>/dev/null)
ms() { echo "$csv" | awk -F, -v n="\"$1\"" '$1 == n { print $3 }'; }
echo "readImage_vs_fread_ratio: $(ratio "$(ms readImage)" "$(ms fread_whole)") (floor 2.0; readImage $(ms readImage) ms, fread $(ms fread_whole) ms)"
cold=$(TGAKIT_BENCH_DEFAULT_ALLOCATOR=1 "$bin/imaging_read" --benchmark_format=csv \
       --benchmark_filter=readImage --benchmark_min_time=0.5 "$work/hd/img00000.tga" "$work/small" 2>/dev/null |
       awk -F, '$1 == "\"readImage\"" { print $3 }')
echo "readImage_fresh_pages_vs_fread_ratio: $(ratio "$cold" "$(ms fread_whole)") (no floor; glibc's default allocator hands the planes back after each read, readImage $cold ms)"

# identify reads every file in full; it runs over all 20,000 in one process.
read -r id_s _ < <(cd "$work/small" && "$bin/imaging_measure" 1 -- identify ./*.tga)
scan_s=$(awk -v m="$(ms readBankImage)" 'BEGIN { print m / 1000 }')
echo "readBankImage_vs_identify_speedup: $(ratio "$id_s" "$scan_s") (floor 30; 20000 headers, identify ${id_s}s, readBankImage ${scan_s}s, a bare open/read/close scan $(ratio "$id_s" "$(ms bare_scan)e-3")x)"
