#!/usr/bin/env bash
# An incident clip of one SECONDS-long two-camera recording (front 1920x1080 H.264 at 30 fps
# with 48 kHz AAC, rear 1280x720, a GPS side file; made with ffmpeg by the acceptance suite's
# drive maker), in one run each:
#   - `tatcard clip --layout pip` with the overlay at the default quality (x264 veryfast,
#     CRF 23): wall time as a multiple of the clip's length, and its processor time against
#     the ffmpeg program making the same picture (clip_graph's filter graph with one second's
#     text, libx264 veryfast CRF 23 with the same key frame interval, AAC 128 kb/s mono,
#     MP4 with +faststart);
#   - `tatcard clip --lossless` of the whole recording against `cp` of its two files: the
#     speed of the copy as a share of cp's (both from a warm page cache, the copy's evidence
#     record included), and against cp, sync and sha256sum of the sources and the copies
#     (what the export guarantees, from the shell's tools); the program's start is printed.
#
#   bench/clip_bench.sh BUILD_DIR [SECONDS]   (BUILD_DIR configured with -DTATV_BENCHMARKS=ON)
# CLIP_BENCH_DRIVE=FOLDER takes a drive made before with `play_trips.py --make FOLDER 1 SECONDS
# 1920x1080 1280x720` instead of making one.
set -euo pipefail
source "$(dirname "$0")/bench_lib.sh"
BUILD=$1
SECONDS_LONG=${2:-60}
TATCARD=$BUILD/tools/tatcard/tatcard
GRAPH=$BUILD/bench/clip_graph

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
if [[ -n ${CLIP_BENCH_DRIVE:-} ]]; then
    ln -s "$(realpath "$CLIP_BENCH_DRIVE")" "$WORK/drive" # one made before by the same maker
else
    python3 "$(dirname "$0")/../tests/acceptance/play_trips.py" --make "$WORK/drive" \
        1 "$SECONDS_LONG" 1920x1080 1280x720 >/dev/null
fi
front=$(ls "$WORK/drive" | grep '_NF\.mp4$' | head -1)
rear=${front/_NF.mp4/_NR.mp4}
name=${front%F.mp4}
to=$(printf '%02d:%02d' $((SECONDS_LONG / 60)) $((SECONDS_LONG % 60)))
cat "$WORK/drive/$front" "$WORK/drive/$rear" >/dev/null # both runs read from the page cache

# wall_cpu COMMAND...: "WALL_MS CPU_MS" of the command and its children.
wall_cpu() {
    local TIMEFORMAT='%3R %3U %3S' t
    t=$({ time "$@" >/dev/null 2>&1; } 2>&1) || true # the status is the command's own
    awk '{ printf "%d %d\n", $1 * 1000, ($2 + $3) * 1000 }' <<<"$t"
}

read -r clip_wall clip_cpu < <(wall_cpu "$TATCARD" clip "$WORK/drive" --from "$name@00:00" \
    --to "$name@$to" --layout pip --out "$WORK/clip.mp4")
[[ -s $WORK/clip.mp4 ]] || { echo "clip_bench: tatcard clip wrote no clip" >&2; exit 1; }

text=$'2024-01-01 10:10:10 +00:00   52 km/h\n37.51872, 127.01234\n'"$name"$'   G x +0.02 y -0.10 z +0.98'
graph=$("$GRAPH" pip 1920x1080 1280x720 --text "$text")
read -r ff_wall ff_cpu < <(wall_cpu ffmpeg -nostdin -y -i "$WORK/drive/$front" \
    -i "$WORK/drive/$rear" -filter_complex "$graph" -map '[out]' -map 0:a -c:v libx264 \
    -preset veryfast -crf 23 -g 60 -c:a aac -b:a 128k -ac 1 -movflags +faststart \
    "$WORK/ffmpeg.mp4")
[[ -s $WORK/ffmpeg.mp4 ]] || { echo "clip_bench: ffmpeg wrote no clip" >&2; exit 1; }

read -r copy_wall _ < <(wall_cpu "$TATCARD" clip "$WORK/drive" --from "$name@00:00" \
    --to "$name@$to" --lossless --out "$WORK/lossless.mp4")
[[ -s $WORK/lossless.mp4 ]] || { echo "clip_bench: tatcard clip --lossless wrote nothing" >&2; exit 1; }
mkdir "$WORK/cp" "$WORK/tools"
read -r cp_wall _ < <(wall_cpu cp "$WORK/drive/$front" "$WORK/drive/$rear" "$WORK/cp/")
# The same guarantees from the shell's tools: the copies on the disk, both sides hashed.
read -r tools_wall _ < <(wall_cpu bash -c 'cp "$1" "$2" "$3/" && sync "$3"/* &&
    sha256sum "$1" "$2" "$3"/*' _ "$WORK/drive/$front" "$WORK/drive/$rear" "$WORK/tools")
read -r start_wall _ < <(wall_cpu "$TATCARD-media" --help)

echo "clip of ${SECONDS_LONG} s, pip with overlay, veryfast CRF 23 (1080p30 front + 720p30 rear, AAC)"
awk -v w="$clip_wall" -v c="$clip_cpu" -v fw="$ff_wall" -v fc="$ff_cpu" -v s="$SECONDS_LONG" \
    'BEGIN { printf "export: %.1f s wall = %.2fx real time; cpu %.1f s against ffmpeg %.1f s" \
                    " (wall %.1f s) = %.2fx\n", w / 1000, w / 1000 / s, c / 1000, fc / 1000,
                    fw / 1000, c / fc }'
awk -v w="$copy_wall" -v cw="$cp_wall" -v tw="$tools_wall" -v sw="$start_wall" \
    'BEGIN { printf "lossless: %d ms against cp %d ms: speed %.2fx of cp'"'"'s; against cp, sync" \
                    " and sha256sum of both sides %d ms: %.2fx (the program'"'"'s start alone" \
                    " %d ms)\n", w, cw, (w > 0 ? cw / w : 0), tw, (w > 0 ? tw / w : 0), sw }'
