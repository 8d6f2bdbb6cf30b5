#!/usr/bin/env bash
# Imaging figures: sizeAnalyser against cat and its peak memory (also with a huge sparse image)
# and its time over that sparse image alone, readImage against one fread and against stb_image
# for every TGA kind, and a header scan with readBankImage against a bare open/read/close loop
# over the same files.
set -euo pipefail
bin="$TGAKIT_BUILD/bin"
work="$TGAKIT_BENCH_WORK/imaging"
mkdir -p "$work/hd" "$work/small" "$work/huge" "$work/sparse" "$work/kinds"

"$bin/imagingMake" "$work/hd" 64 1920 1080
"$bin/imagingMake" "$work/small" 20000 16 16
# The same 64 images beside a sparse 46340 x 46340 one: 6.4 GB claimed, a few KB on disk.
ln -f "$work/hd"/* "$work/huge/"
printf '\x00\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00\x04\xb5\x04\xb5\x18\x00' >"$work/huge/sparse.tga"
truncate -s $((18 + 46340 * 46340 * 3)) "$work/huge/sparse.tga"
ln -f "$work/huge/sparse.tga" "$work/sparse/"
echo -1 >"$work/input"
cat "$work/hd"/* >/dev/null  # page-cache everything first

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.2f", k / 1024 }'; }

read -r cat_s _ < <("$bin/imagingMeasure" 7 -- cat "$work/hd"/*)
read -r sa_s sa_kib < <("$bin/imagingMeasure" 7 --stdin "$work/input" -- "$bin/sizeAnalyser" "$work/hd")
echo "imaging.sizeAnalyser_vs_cat: $(ratio "$sa_s" "$cat_s")x cat (64 images of 1920x1080, sizeAnalyser ${sa_s} s, cat ${cat_s} s; goal <= 1.1x)"
echo "imaging.sizeAnalyser_peak_rss: $(mib "$sa_kib") MiB (64 images of 1920x1080; goal <= 16 MiB)"
read -r huge_s huge_kib < <("$bin/imagingMeasure" 1 --stdin "$work/input" -- "$bin/sizeAnalyser" "$work/huge")
echo "imaging.sizeAnalyser_peak_rss_with_sparse: $(mib "$huge_kib") MiB (the same images and one sparse 46340x46340 file, $(du -k "$work/huge/sparse.tga" | cut -f1) KB on disk, read in ${huge_s} s; goal <= 16 MiB)"
read -r sparse_s _ < <("$bin/imagingMeasure" 5 --stdin "$work/input" -- "$bin/sizeAnalyser" "$work/sparse")
echo "imaging.sizeAnalyser_sparse_46340x46340: $sparse_s s (one file of $(du -k "$work/sparse/sparse.tga" | cut -f1) KB on disk claiming 6.4 GB, holes passed over; goal <= 0.1 s)"

csv=$("$bin/imagingRead" --benchmark_format=csv --benchmark_min_time=0.5 \
      "$work/hd/img00000.tga" "$work/small" 2>/dev/null)
ms() { echo "$csv" | awk -F, -v n="\"$1\"" '$1 == n { print $3 }'; }
echo "imaging.readImage_vs_fread: $(ratio "$(ms readImage)" "$(ms fread_whole)")x fread (readImage $(ms readImage) ms, fread $(ms fread_whole) ms; goal <= 2.0x)"
cold=$(TGAKIT_BENCH_DEFAULT_ALLOCATOR=1 "$bin/imagingRead" --benchmark_format=csv \
       --benchmark_filter=readImage --benchmark_min_time=0.5 "$work/hd/img00000.tga" "$work/small" 2>/dev/null |
       awk -F, '$1 == "\"readImage\"" { print $3 }')
echo "imaging.readImage_fresh_pages_vs_fread: $(ratio "$cold" "$(ms fread_whole)")x fread (glibc's default allocator hands the planes back after each read, readImage $cold ms; no goal)"
# The two scans take turns, and each keeps its best run: the machine's other work only adds.
scans=$("$bin/imagingRead" --benchmark_format=csv --benchmark_filter='readBankImage|bare_scan' \
        --benchmark_min_time=0.2 --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true \
        "$work/hd/img00000.tga" "$work/small" 2>/dev/null)
best() { echo "$scans" | awk -F, -v n="\"$1\"" '$1 == n && (b == "" || $3 + 0 < b) { b = $3 + 0 } END { print b }'; }
echo "imaging.readBankImage_vs_bare_scan: $(ratio "$(best readBankImage)" "$(best bare_scan)")x open/read/close (20000 headers, readBankImage $(best readBankImage) ms, open/read/close $(best bare_scan) ms; goal <= 1.10x)"

# Every TGA kind at 1920x1080 against stb_image, median of 15 runs each, side by side.
if [ -x "$bin/imagingKinds" ]; then
    kinds=$("$bin/imagingKinds" --benchmark_format=csv --benchmark_min_time=0.05 \
            --benchmark_repetitions=15 --benchmark_report_aggregates_only=true \
            --benchmark_enable_random_interleaving=true "$work/kinds" 2>/dev/null)
    median() { echo "$kinds" | awk -F, -v n="\"$1_median\"" '$1 == n { print $3 }'; }
    # The kinds are those of the store's table, as the benchmark names them.
    for kind in $(echo "$kinds" | awk -F, '$1 ~ /^"readImage\/.*_median"$/ { gsub(/^"readImage\/|_median"$/, "", $1); print $1 }'); do
        ours=$(median "readImage/$kind")
        stb=$(median "stb_image/$kind")
        echo "imaging.readImage_vs_stb_image_$kind: $(ratio "$ours" "$stb")x stb_image (readImage $ours ms, stb_image $stb ms; goal <= 0.5x)"
    done
else
    echo "imaging.readImage_vs_stb_image: not built (package libstb-dev)" >&2
    exit 1
fi
