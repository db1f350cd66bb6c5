#!/usr/bin/env bash
# A car's recording of six cameras as its firmware writes them: front, back, left and right
# repeaters and pillars, each 1280x960 H.264 at 36 fps without sound (x264 veryfast, a key
# frame every 36 pictures; testsrc2 in another hue per camera), made here with ffmpeg in a
# TeslaCam folder. Played in real time with `tatcard play DIR NAME --null-audio --speed 1`
# (front at 640x480, the other cameras at 320x240) with 1, 2, 4 and 6 of the cameras, and with
# all six decoded whole (--full-decode); for each: the share of front pictures on time, the
# other cameras' drop rate, how many cameras play on time (the front with at least 95 % of
# its pictures on time, another camera with at most 5 % of its pictures dropped) and the
# processor time (user + system, the play line's cpu_ms) against `ffmpeg -threads 1 -i FILE
# -f null -` decoding the same files one after another.
#
#   bench/six_camera_bench.sh TATCARD [SECONDS]
set -euo pipefail
source "$(dirname "$0")/bench_lib.sh"
TATCARD=$1
LENGTH=${2:-60}

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
CAMERAS=(front back left_repeater right_repeater left_pillar right_pillar)
STEM=2024-03-05_09-07-02
mkdir -p "$WORK/clips"
for c in "${!CAMERAS[@]}"; do
    ffmpeg -nostdin -v error -f lavfi -i "testsrc2=size=1280x960:rate=36" -t "$LENGTH" \
        -vf "hue=h=$((c * 60))" -c:v libx264 -preset veryfast -g 36 -pix_fmt yuv420p \
        "$WORK/clips/$STEM-${CAMERAS[$c]}.mp4"
done

# One car folder per camera count: the first N cameras (hard links of the clips).
folder() {
    local n=$1 dir=$WORK/car$1$2/TeslaCam/RecentClips
    mkdir -p "$dir"
    for ((c = 0; c < n; c++)); do
        ln "$WORK/clips/$STEM-${CAMERAS[$c]}.mp4" "$dir/"
    done
    echo "$WORK/car$1$2"
}

# report N LABEL LINE: the figures of one play line.
report() {
    local n=$1 label=$2 line=$3 ffmpeg_ms=$4
    awk -v n="$n" -v label="$label" -v ff="$ffmpeg_ms" '{
        for (i = 2; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
        onTime = v["on_time_pct"]; shown = 0; dropped = 0; ok = (onTime >= 95) ? 1 : 0
        # Two cameras or fewer: the line has no per-camera counts; only the front is judged.
        counted = ("cameras" in v) ? n : 1
        for (c = 1; c < counted; c++) {
            p = v["camera" c "_presented"]; d = v["camera" c "_dropped"]
            shown += p; dropped += d
            if (p + d > 0 && d / (p + d) <= 0.05) ok++
        }
        rate = (shown + dropped > 0) ? sprintf("%.1f %%", 100 * dropped / (shown + dropped)) : "n/a"
        printf "%-18s front on time %5.1f %% (%d pictures, %d skipped), other cameras dropped %s, cameras on time %d of %d, cpu %.1f s vs ffmpeg %.1f s (%.2fx)\n",
            label, onTime, v["frames"], v["skipped"], rate, ok, counted, v["cpu_ms"] / 1000, ff / 1000,
            v["cpu_ms"] / ff
    }' <<<"$line"
}

echo "six-camera car recording: 1280x960 H.264 36 fps, $LENGTH s, $(nproc) processors"
for n in 1 2 4 6; do
    dir=$(folder "$n" "")
    ffmpeg_ms=0
    for ((c = 0; c < n; c++)); do
        ms=$(cpu_ms ffmpeg -nostdin -v error -threads 1 -i "$dir/TeslaCam/RecentClips/$STEM-${CAMERAS[$c]}.mp4" -f null -)
        ffmpeg_ms=$((ffmpeg_ms + ms))
    done
    echo "$n $ffmpeg_ms" >>"$WORK/ffmpeg"
    line=$("$TATCARD" play "$dir" "$STEM" --null-audio --speed 1 --size 640x480 2>/dev/null)
    report "$n" "$n camera(s)" "$line" "$ffmpeg_ms"
    echo "  $line" >>"$WORK/lines"
done
ffmpeg6=$(awk '$1 == 6 { print $2 }' "$WORK/ffmpeg")
line=$("$TATCARD" play "$(folder 6 full)" "$STEM" --null-audio --speed 1 --size 640x480 \
    --full-decode 2>/dev/null)
report 6 "6, --full-decode" "$line" "$ffmpeg6"
echo "  $line" >>"$WORK/lines"
echo "play lines:"
cat "$WORK/lines"
