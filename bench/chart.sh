#!/usr/bin/env bash
# Chart figures: one 600x600 histogram chart rendered and written in-process, held to one
# fwrite of its 1,080,018 bytes on the same file system (goal <= 2.0x), and histoDemo
# as a whole process beside `true`, the cost of starting any process.
set -euo pipefail
. "$(dirname "$0")/part.bash"
bench_part chart
bench_medians chartBench 15
baseline=$(median OneFwrite)
chart=$(median HistogramChart)
bytes=$(median FputcPerByte)
awk -v c="$chart" -v f="$baseline" 'BEGIN {
    printf "chart.render_600: %.0f us (%.2fx one fwrite at %.0f us; goal <= 2.0x)\n", c, c / f, f }'
awk -v b="$bytes" -v f="$baseline" 'BEGIN {
    printf "chart.fputc_per_byte: %.0f us (%.2fx one fwrite; no goal)\n", b, b / f }'

if command -v hyperfine >/dev/null; then
    hyperfine -N --warmup 5 --runs 50 --export-csv hyperfine.csv "$build/bin/histoDemo" true \
        >/dev/null 2>&1
    awk -F, 'NR == 2 { demo = $4 } NR == 3 { start = $4 } END {
        printf "chart.histoDemo_process: %.2f ms median (%.2fx `true` at %.2f ms; no goal)\n",
               demo * 1000, demo / start, start * 1000 }' hyperfine.csv
else
    echo "chart.histoDemo_process: skipped (hyperfine is not installed)"
fi
