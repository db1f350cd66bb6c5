#!/usr/bin/env bash
# Listing time of a dash-cam folder: RECORDINGS one-minute recordings of a front and a rear
# file each (BlackVue names, 2 × RECORDINGS files, every file a hard link of one small MP4 so
# that the folder costs no disk), listed with `tatcard ls DIR` (names only: no file opened)
# and `tatcard ls DIR --json` (each played file's length and damage read from its boxes).
# Prints the medians over ROUNDS runs (wall time and processor time), warm page cache.
#
#   bench/folder_list_bench.sh TATCARD [RECORDINGS] [ROUNDS]
set -euo pipefail
source "$(dirname "$0")/bench_lib.sh"
TATCARD=$1
RECORDINGS=${2:-5000}
ROUNDS=${3:-5}

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
ffmpeg -nostdin -v error -f lavfi -i testsrc=size=160x90:rate=30 -t 1 -c:v libx264 \
    -movflags +faststart "$WORK/clip.mp4"
mkdir -p "$WORK/card/BlackVue/Record"
python3 - "$WORK" "$RECORDINGS" <<'PY'
import os, sys
work, count = sys.argv[1], int(sys.argv[2])
folder = os.path.join(work, "card/BlackVue/Record")
for i in range(count):
    day, minute = divmod(i, 1440)
    stem = "202403%02d_%02d%02d00_N" % (1 + day % 28, minute // 60, minute % 60)
    if day >= 28:
        stem = "2024%02d%02d_%02d%02d00_N" % (4 + day // 28, 1 + day % 28, minute // 60, minute % 60)
    for camera in "FR":
        os.link(os.path.join(work, "clip.mp4"), os.path.join(folder, stem + camera + ".mp4"))
PY

# ms COMMAND...: "WALL_MS CPU_MS" of the command (CPU: user + system).
ms() {
    local TIMEFORMAT='%3R %3U %3S' t
    t=$({ time "$@" >/dev/null 2>&1; } 2>&1)
    awk '{ printf "%d %d\n", $1 * 1000, ($2 + $3) * 1000 }' <<<"$t"
}
count=$("$TATCARD" ls "$WORK/card" | wc -l)
: >"$WORK/plain" >"$WORK/json"
for ((r = 0; r < ROUNDS; r++)); do
    ms "$TATCARD" ls "$WORK/card" >>"$WORK/plain"
    ms "$TATCARD" ls "$WORK/card" --json >>"$WORK/json"
done
echo "recordings listed: $count ($((2 * RECORDINGS)) files)"
for kind in plain json; do
    label="tatcard ls"
    [[ $kind == json ]] && label="tatcard ls --json"
    echo "$label: median wall $(cut -d' ' -f1 <"$WORK/$kind" | median) ms," \
        "cpu $(cut -d' ' -f2 <"$WORK/$kind" | median) ms"
done
