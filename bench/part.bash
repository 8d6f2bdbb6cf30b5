# Sourced by each bench/<area>.sh: its work folder, and the medians of a Google Benchmark
# program's repeated runs.
#   bench_part AREA           enters $TGAKIT_BENCH_WORK/AREA; sets build to the bench build
#   bench_medians PROGRAM N   runs build/bin/PROGRAM N times into bench.csv
#   median NAME               the median real time of benchmark NAME in bench.csv
bench_part() {
    build=${TGAKIT_BUILD:?}
    work=${TGAKIT_BENCH_WORK:?}/$1
    mkdir -p "$work"
    cd "$work"
}
bench_medians() {
    "$build/bin/$1" --benchmark_repetitions="$2" --benchmark_report_aggregates_only=true \
        --benchmark_format=csv >bench.csv 2>/dev/null
}
median() { awk -F, -v name="\"$1/real_time_median\"" '$1 == name { print $3 }' bench.csv; }
