# Sourced by each bench/<area>.sh: its work folder, and the medians of a Google Benchmark
# program's repeated runs.
#   bench_part AREA           enters $TGAKIT_BENCH_WORK/AREA; sets build to the bench build
#   bench_medians PROGRAM N   runs build/bin/PROGRAM N times into bench.csv
#   median NAME               the median real time of benchmark NAME in bench.csv
# and, for the chat's parts:
#   now                       the time in nanoseconds
#   listening PORT            waits until something listens on the TCP port, else fails
#   need_tools FIGURE TOOL... skips the part, naming FIGURE, unless every tool is installed
#   isolated_runs N           each run in a network namespace of its own, N of them, where
#                             the machine allows it; else one run on loopback: sets runs and
#                             isolate, the command prefix that enters the namespace
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
now() { date +%s%N; }
listening() {
    for _ in $(seq 500); do
        [ -n "$(ss -Hltn "sport = :$1")" ] && return 0
        sleep 0.01
    done
    echo "$(basename "$0" .sh) bench: nothing listens on port $1" >&2
    exit 1
}
need_tools() {
    local figure=$1 tool
    shift
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            echo "$figure: skipped ($tool is not installed)"
            exit 0
        fi
    done
}
isolated_runs() {
    runs=$1
    isolate=(unshare --net bash -c 'ip link set lo up && exec "$@"' isolate)
    if ! unshare --net true 2>/dev/null; then
        runs=1
        isolate=()
    fi
}
