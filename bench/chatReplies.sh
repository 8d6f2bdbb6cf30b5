#!/usr/bin/env bash
# Info reply figures: the client's peak resident memory while 64 MiB of empty info replies
# arrive during a stalled image, from a stand-in server (goal: under 40 MiB); and a 16 MiB
# operator line sent as an info reply, followed by a 64 x 64 image, between the real server
# and client, timed from the client's talk connection to its copy report (goal: under 2 s).
# Each conversation runs in a network namespace of its own where the machine allows it,
# elsewhere on loopback.
set -euo pipefail
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
. "$(dirname "$self")/part.bash"
bench_part chatReplies
port=$((20000 + $$ % 20000))
reply_bytes=$((64 * 1024 * 1024))
line_bytes=$((16 * 1024 * 1024))
image_bytes=$((64 * 64 * 3 + 18))

# The client against the stalled stand-in; prints its peak memory in KiB and the seconds.
held_once() {
    rm -rf cli/output
    "$build/bin/chatStalledServer" "$port" "$reply_bytes" &
    local spid=$! t0
    listening "$port"
    t0=$(now)
    (cd cli && printf 'envoie\n' | /usr/bin/time -f %M -o ../client.rss \
        "$build/bin/client" 127.0.0.1 "$port" bench >../held.out 2>../held.err)
    wait "$spid"
    [ "$(stat -c %s cli/output/testsortie.tga 2>/dev/null)" = "$image_bytes" ] || {
        echo "chatReplies bench: the image did not arrive" >&2
        exit 1
    }
    echo "$(cat client.rss)" $(($(now) - t0))
}

# The real server answering "info" with a 16 MiB line, then "envoie"; prints nanoseconds.
reply_once() {
    rm -rf cli/output t0 t1 a
    (cd srv && exec "$build/bin/server" "$port" <../line >/dev/null 2>../server.err) &
    local spid=$!
    listening "$port"
    (cd cli && printf 'info\nenvoie\n' | "$build/bin/client" 127.0.0.1 "$port" bench) |
        while IFS= read -r line; do
            # From the talk connection to the second line that gives the image's byte count
            # (its announcement, then its copy report), whatever their wording.
            case " $line " in
                " Connexion au talk etablie"*) now >t0 ;;
                *[!0-9]"$image_bytes"[!0-9]*) if [ -e a ]; then [ -e t1 ] || now >t1; else : >a; fi ;;
            esac
        done
    wait "$spid"
    [ -e t0 ] && [ -e t1 ] || {
        echo "chatReplies bench: no talk connection, or no announcement and report of $image_bytes bytes" >&2
        exit 1
    }
    echo $(($(cat t1) - $(cat t0)))
}

case "${1:-}" in
    held) cd "$work" && held_once && exit 0 ;;
    reply) cd "$work" && reply_once && exit 0 ;;
esac

need_tools chat.client_peak_rss_held_replies /usr/bin/time ss
isolated_runs 3
mkdir -p srv/input cli
head -c "$image_bytes" /dev/urandom >srv/input/vorla.tga
{ head -c "$line_bytes" /dev/zero | tr '\0' a; echo; } >line

peak=0 held_ns=0 best_reply=0
for _ in $(seq "$runs"); do
    read -r kib ns < <("${isolate[@]}" bash "$self" held)
    if ((kib > peak)); then peak=$kib held_ns=$ns; fi
    ns=$("${isolate[@]}" bash "$self" reply)
    if ((best_reply == 0 || ns < best_reply)); then best_reply=$ns; fi
done
awk -v k="$peak" -v t="$held_ns" 'BEGIN {
    printf "chat.client_peak_rss_held_replies: %.1f MiB (64 MiB of empty replies held during a stalled 64x64 image, whole run %.1f s; goal <= 40 MiB)\n",
           k / 1024, t / 1e9 }'
awk -v t="$best_reply" 'BEGIN {
    printf "chat.info_reply_16MiB_then_image: %.2f s (a 16 MiB info reply, then a 64x64 image, talk connection to copy report; goal <= 2 s)\n",
           t / 1e9 }'
