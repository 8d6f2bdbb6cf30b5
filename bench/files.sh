#!/usr/bin/env bash
# Keep-path figures: a received image of 786,450 bytes written to a new file and renamed over
# its name, without and with the syncs of the file and its directory that make it durable,
# each held to one plain write of the same bytes. The sync cost depends on the disk under
# TGAKIT_BENCH_WORK (on tmpfs it is nothing), so its file system is named.
set -euo pipefail
. "$(dirname "$0")/part.bash"
bench_part files
bench_medians filesBench 10
fs=$(stat -f -c %T .)
awk -v p="$(median PlainWrite)" -v n="$(median KeepWithoutSync)" -v s="$(median KeepWithSync)" \
    -v fs="$fs" 'BEGIN {
    printf "files.keep_unsynced: %.0f us (%.2fx one plain write at %.0f us; no goal)\n", n, n / p, p
    printf "files.keep_synced: %.0f us (%.2fx one plain write, +%.0f us for the syncs, on %s; no goal)\n", s, s / p, s - n, fs }'
