#!/usr/bin/env bash
# Processor time of the window playing a whole recording against `tatcard play` of the same
# recording, and the window's peak memory. Both run on a virtual X display (Xvfb) with no sound
# server, so both use the null sound device; the window starts with --play and closes itself
# when the recording's length has passed. Times are user + system seconds of the process and
# its children (for the window, the map's browser processes too). Rounds alternate the two
# programs; the figures are medians over the rounds.
#
#   bench/window_cpu.sh BUILD CARD NAME [ROUNDS]
#
# BUILD is a build folder holding ui/app/varnelplayer and tools/tatcard/tatcard; a 60 s
# two-channel card comes from `tatcard demo CARD --seconds 60` (its first recording is
# REC_20240305_090000_D).
set -euo pipefail
source "$(dirname "$0")/bench_lib.sh"
BUILD=$(cd "$1" && pwd)
CARD=$(cd "$2" && pwd)
NAME=$3
ROUNDS=${4:-5}
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package time)" >&2; exit 1; }
WINDOW=$BUILD/ui/app/varnelplayer
TATCARD=$BUILD/tools/tatcard/tatcard

# The recording's length in milliseconds, from `tatcard info` ("length  60.0 s").
LENGTH_MS=$("$TATCARD" info "$CARD" "$NAME" | awk '$1 == "length" { printf "%d", $2 * 1000 }')
[ -n "$LENGTH_MS" ] || { echo "no length for $NAME on $CARD" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --disable-background-networking"
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    for ((r = 0; r < '"$ROUNDS"'; r++)); do
        /usr/bin/time -f "window %U %S %M" -o w.txt "'"$WINDOW"'" --card "'"$CARD"'" \
            --play "'"$NAME"'" --screenshot shot.png --after '"$LENGTH_MS"' >/dev/null 2>&1
        tail -n 1 w.txt
        /usr/bin/time -f "play %U %S %M" -o p.txt "'"$TATCARD"'" play "'"$CARD"'" \
            "'"$NAME"'" --null-audio >/dev/null 2>&1
        tail -n 1 p.txt
    done' | tee rounds.txt | awk '{ printf "%-7s cpu %.2f s  peak %d MiB\n", $1, $2 + $3, $4 / 1024 }'

window=$(awk '$1 == "window" { print $2 + $3 }' rounds.txt | median)
play=$(awk '$1 == "play" { print $2 + $3 }' rounds.txt | median)
peak=$(awk '$1 == "window" { print $4 }' rounds.txt | median)
paste <(awk '$1 == "window" { print $2 + $3 }' rounds.txt) \
    <(awk '$1 == "play" { print $2 + $3 }' rounds.txt) | awk '{ print $1 / $2 }' >ratios.txt
awk -v w="$window" -v p="$play" -v k="$peak" -v r="$(median <ratios.txt)" 'BEGIN {
    printf "window %.2f s  tatcard play %.2f s  ratio of medians %.2fx  median of round ratios %.2fx\n",
        w, p, w / p, r
    printf "window peak memory %d MiB (median)\n", k / 1024 }'
