#!/usr/bin/env bash
# Chat figures: a 256 MiB image from `server` to `client` over loopback, stored file included,
# against socat moving the same file into a file (goal: at least 0.8x its throughput), and the
# peak resident memory of each program during that transfer (goal: at most 32 MiB each), and
# the server's intake of one 100 MB chat line from a stand-in client, its console output
# thrown away, timed from connect to the server's exit (goal: at least 100 MB/s).
# Each conversation runs in a network namespace of its own where the machine allows it, so the
# fixed talk port is its own. Elsewhere a single conversation runs on loopback.
set -euo pipefail
build=${TGAKIT_BUILD:?}
work=${TGAKIT_BENCH_WORK:?}/chat
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
. "$(dirname "$self")/part.bash"
size=$((256 * 1024 * 1024))
port=$((20000 + $$ % 20000))

# One conversation: "envoie", then the end of input. The transfer runs from the client's line
# that announces the image's size to the next one that gives that number again, its report of
# the bytes received: found by the number, whatever the wording. Both programs run under
# /usr/bin/time for their peak memory. Prints the transfer's nanoseconds and the two peaks in
# KiB.
chat_once() {
    rm -rf cli/output t0 t1
    (cd srv && exec /usr/bin/time -f %M -o ../server.rss "$build/bin/server" "$port" \
        </dev/null >../server.out 2>&1) &
    local spid=$!
    listening "$port"
    (cd cli && printf 'envoie\n' | /usr/bin/time -f %M -o ../client.rss \
        "$build/bin/client" 127.0.0.1 "$port" bench) |
        while IFS= read -r line; do
            case " $line " in
                *[!0-9]"$size"[!0-9]*) if [ -e t0 ]; then [ -e t1 ] || now >t1; else now >t0; fi ;;
            esac
        done
    wait "$spid"
    [ -e t1 ] || {
        echo "chat bench: the client did not announce and then report $size bytes" >&2
        exit 1
    }
    cmp -s srv/input/vorla.tga cli/output/testsortie.tga || {
        echo "chat bench: the stored image differs from the sent one" >&2
        exit 1
    }
    echo $(($(cat t1) - $(cat t0))) "$(cat server.rss)" "$(cat client.rss)"
}

socat_once() {
    rm -f sink
    socat -u -b 131072 "TCP-LISTEN:$port,reuseaddr" OPEN:sink,creat,trunc &
    local rpid=$!
    listening "$port"
    local t0
    t0=$(now)
    socat -u -b 131072 OPEN:srv/input/vorla.tga "TCP:127.0.0.1:$port"
    wait "$rpid"
    echo $(($(now) - t0))
}

# One conversation of a single 100 MB line; prints its nanoseconds. Its own service port, for
# where it shares the loopback network with the transfer's conversation.
intake_once() {
    local iport=$((port + 1))
    (cd srv && exec "$build/bin/server" "$iport" </dev/null >/dev/null 2>../intake.err) &
    local spid=$!
    listening "$iport"
    local t0
    t0=$(now)
    "$build/bin/chatLineSender" "$iport" "$line_bytes"
    wait "$spid"
    echo $(($(now) - t0))
}
line_bytes=100000000

if [ "${1:-}" = one ]; then
    cd "$work"
    chat_once
    exit 0
fi
if [ "${1:-}" = intake ]; then
    cd "$work"
    intake_once
    exit 0
fi

need_tools chat.transfer_256MiB socat /usr/bin/time ss
isolated_runs 5
mkdir -p "$work/srv/input" "$work/cli"
cd "$work"
head -c "$size" /dev/urandom >srv/input/vorla.tga

best_chat=0 best_socat=0 server_rss=0 client_rss=0
for _ in $(seq "$runs"); do
    read -r ns srss crss < <("${isolate[@]}" bash "$self" one)
    if ((best_chat == 0 || ns < best_chat)); then best_chat=$ns; fi
    if ((srss > server_rss)); then server_rss=$srss; fi
    if ((crss > client_rss)); then client_rss=$crss; fi
    ns=$(socat_once)
    if ((best_socat == 0 || ns < best_socat)); then best_socat=$ns; fi
done

best_intake=0
for _ in $(seq "$runs"); do
    ns=$("${isolate[@]}" bash "$self" intake)
    if ((best_intake == 0 || ns < best_intake)); then best_intake=$ns; fi
done

awk -v c="$best_chat" -v s="$best_socat" -v n="$size" 'BEGIN {
    chat = n / 1048576 / (c / 1e9); socat = n / 1048576 / (s / 1e9)
    printf "chat.transfer_256MiB: %.0f MiB/s (%.2fx socat -b 131072 at %.0f MiB/s; goal >= 0.8x)\n",
           chat, chat / socat, socat }'
for side in server client; do
    rss=${side}_rss
    awk -v k="${!rss}" -v side="$side" 'BEGIN {
        printf "chat.%s_peak_rss: %.1f MiB (%.2fx 32 MiB; goal <= 32 MiB)\n",
               side, k / 1024, k / 32768 }'
done
awk -v t="$best_intake" -v n="$line_bytes" 'BEGIN {
    mbs = n / 1e6 / (t / 1e9)
    printf "chat.talk_intake_100MB_line: %.0f MB/s (%.2fx 100 MB/s; goal >= 100 MB/s)\n",
           mbs, mbs / 100 }'
