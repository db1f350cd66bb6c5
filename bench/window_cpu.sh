#!/usr/bin/env bash
# Processor time of the window playing a whole recording against `tatcard play` of the same
# recording and against a video player showing the same pictures (two mpv windows, software
# decoding, X11 output, each playing one of the recording's tracks from its AVI export at the
# size of the window's pane for it: front 640x360 with the sound to a null output, rear
# 320x180), and the window's peak memory. Both run on a virtual X display (Xvfb) with no sound
# server, so both use the null sound device; the window starts with --play and closes itself
# when the recording's length has passed. Times are user + system seconds of the process and
# its children (for the window, the map's browser processes too). Rounds alternate the two
# programs; the figures are medians over the rounds. Last, the window is left open on the card
# for 30 s without playing anything (the idle line). Needs mpv (Debian package mpv).
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
command -v mpv >/dev/null || { echo "needs mpv (Debian package mpv)" >&2; exit 1; }
WINDOW=$BUILD/ui/app/varnelplayer
TATCARD=$BUILD/tools/tatcard/tatcard

# The recording's length in milliseconds, from `tatcard info` ("length  60.0 s").
LENGTH_MS=$("$TATCARD" info "$CARD" "$NAME" | awk '$1 == "length" { printf "%d", $2 * 1000 }')
[ -n "$LENGTH_MS" ] || { echo "no length for $NAME on $CARD" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
"$TATCARD" export "$CARD" "$NAME" "$WORK/rec.avi" >/dev/null
# The panes of the normal layout (ui/logic/MainLayout.h: kLargeSlot, kSmallSlot).
MPV="mpv --no-config --really-quiet --vo=x11 --hwdec=no --no-osc --keepaspect=no --no-border"
MPV_PAIR="$MPV --ao=null --vid=1 --geometry=640x360+4+64 rec.avi & $MPV --aid=no --vid=2 --geometry=320x180+650+268 rec.avi & wait"
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
        /usr/bin/time -f "mpv %U %S %M" -o m.txt bash -c "'"$MPV_PAIR"'" >/dev/null 2>&1
        tail -n 1 m.txt
    done
    # The window left open on the card for 30 s, nothing played: what an idle window costs
    # (its start-up included).
    /usr/bin/time -f "idle %U %S %M" -o i.txt "'"$WINDOW"'" --card "'"$CARD"'" \
        --screenshot idle.png --after 30000 >/dev/null 2>&1
    tail -n 1 i.txt' | tee rounds.txt | awk '{ printf "%-7s cpu %.2f s  peak %d MiB\n", $1, $2 + $3, $4 / 1024 }'

window=$(awk '$1 == "window" { print $2 + $3 }' rounds.txt | median)
play=$(awk '$1 == "play" { print $2 + $3 }' rounds.txt | median)
mpv=$(awk '$1 == "mpv" { print $2 + $3 }' rounds.txt | median)
peak=$(awk '$1 == "window" { print $4 }' rounds.txt | median)
paste <(awk '$1 == "window" { print $2 + $3 }' rounds.txt) \
    <(awk '$1 == "play" { print $2 + $3 }' rounds.txt) | awk '{ print $1 / $2 }' >ratios.txt
awk -v w="$window" -v p="$play" -v k="$peak" -v r="$(median <ratios.txt)" 'BEGIN {
    printf "window %.2f s  tatcard play %.2f s  ratio of medians %.2fx  median of round ratios %.2fx\n",
        w, p, w / p, r
    printf "window peak memory %d MiB (median)\n", k / 1024 }'
paste <(awk '$1 == "window" { print $2 + $3 }' rounds.txt) \
    <(awk '$1 == "mpv" { print $2 + $3 }' rounds.txt) | awk '{ print $1 / $2 }' >mpv_ratios.txt
awk -v w="$window" -v m="$mpv" -v r="$(median <mpv_ratios.txt)" 'BEGIN {
    printf "window %.2f s  two mpv windows %.2f s  ratio of medians %.2fx  median of round ratios %.2fx\n",
        w, m, w / m, r }'
