#!/usr/bin/env bash
# Memory of the window over many recordings played back to back: the window starts with --play
# on the bottom row of its list and, as at the end of every recording, goes on to the row
# above, up to the top. Its resident memory (VmRSS of the window's own process, without the
# map's browser processes) is read every 5 seconds; the figures are the memory after the first
# minute, at the end of the last recording, the largest, and the growth from the first minute
# to the end.
#
#   bench/window_soak.sh BUILD [RECORDINGS] [SECONDS]
#
# BUILD is a build folder holding ui/app/varnelplayer and tools/tatcard/tatcard. The card is
# made in a temporary folder: a demonstration card of SECONDS-second recordings (default 5;
# `tatcard demo --seconds`), filled up to RECORDINGS (default 100) with copies of one of its
# two-channel recordings imported under new names (`tatcard import`; they carry pictures and
# sound, the demonstration recordings also GPS and G-sensor lines). The window runs on the
# offscreen platform with the null sound device, as the tests run it.
set -euo pipefail
BUILD=$(cd "$1" && pwd)
RECORDINGS=${2:-100}
SECONDS_EACH=${3:-5}
WINDOW=$BUILD/ui/app/varnelplayer
TATCARD=$BUILD/tools/tatcard/tatcard
command -v ffmpeg >/dev/null || { echo "needs ffmpeg (Debian package ffmpeg)" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
CARD=$WORK/card
echo "== making a card of $RECORDINGS recordings of $SECONDS_EACH s in $CARD"
"$TATCARD" demo "$CARD" --seconds "$SECONDS_EACH" >/dev/null
SOURCE=EVENT_20240305_090702_D
"$TATCARD" export "$CARD" "$SOURCE" "$WORK/source.avi" >/dev/null
ffmpeg -nostdin -v error -i "$WORK/source.avi" -map 0:v:0 -map 0:a -c copy "$WORK/front.mkv"
ffmpeg -nostdin -v error -i "$WORK/source.avi" -map 0:v:1 -c copy "$WORK/rear.mkv"
listed() { "$TATCARD" ls "$CARD" | awk '$2 >= 524288' | wc -l; }
have=$(listed)
for ((i = 0; have + i < RECORDINGS; i++)); do
    name=$(printf 'REC_20240402_%02d%02d%02d_D' $((i / 360)) $((i / 6 % 60)) $((i % 6 * 10)))
    "$TATCARD" import "$CARD" --front "$WORK/front.mkv" --rear "$WORK/rear.mkv" \
        --category rec --name "$name" >/dev/null 2>&1
done
COUNT=$(listed)
# The window lists names in descending order and NEXT goes up the list: the bottom row, the
# smallest name, comes first.
FIRST=$("$TATCARD" ls "$CARD" | awk '$2 >= 524288 { print $1 }' | LC_ALL=C sort | head -1)
TOTAL_MS=$((COUNT * SECONDS_EACH * 1000))
echo "== $COUNT recordings listed, playing from $FIRST for about $((TOTAL_MS / 1000)) s"

cd "$WORK"
export QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --disable-background-networking"
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
# The screenshot's timer closes the window a while after the last recording has ended.
# --verbose: the window's line at the end of each recording counts the recordings played.
"$WINDOW" --card "$CARD" --play "$FIRST" --screenshot "$WORK/end.png" --verbose \
    --after $((TOTAL_MS + COUNT * 500 + 20000)) >"$WORK/window.out" 2>"$WORK/window.err" &
PID=$!
START=$(date +%s)
: >rss.txt
while kill -0 "$PID" 2>/dev/null; do
    rss=$(awk '$1 == "VmRSS:" { print $2 }' "/proc/$PID/status" 2>/dev/null || true)
    [ -z "$rss" ] || echo "$(($(date +%s) - START)) $rss" >>rss.txt
    sleep 5
done
wait "$PID" || { echo "the window failed:" >&2; cat "$WORK/window.err" >&2; exit 1; }
echo "== $(grep -c '^Media End Recv \[1\]' "$WORK/window.out") recordings played to their end"
awk -v total=$((TOTAL_MS / 1000)) '
    { t[NR] = $1; k[NR] = $2; if ($2 > peak) peak = $2 }
    END {
        for (i = 1; i <= NR; i++) {
            if (first == "" && t[i] >= 60) first = k[i]
            if (t[i] <= total) last = k[i]
        }
        printf "rss after 60 s %.1f MiB, at the end of the last recording (%d s) %.1f MiB, " \
               "peak %.1f MiB, growth %+.1f MiB\n", first / 1024, total, last / 1024,
               peak / 1024, (last - first) / 1024
    }' rss.txt
