#!/usr/bin/env bash
# Processor time of playing a dash-cam folder's two-channel recording against FFmpeg: a
# BlackVue-named recording of SECONDS seconds, front and rear 1920x1080 H.265 at 30 fps (the
# front with AAC sound at 48 kHz), made here with ffmpeg; then
#   - `tatcard play DIR NAME --null-audio` (real-time playback: both pictures decoded and
#     converted, the sound decoded and resampled) and `tatcard bench DIR NAME`, against
#   - `ffmpeg -threads 1 -i FILE -vf scale=640:360:flags=fast_bilinear -pix_fmt bgr24 -f null -`
#     on the front file plus the same on the rear file.
# Rounds alternate the programs; the figures are medians over the rounds.
#
#   bench/dashcam_play_bench.sh TATCARD [SECONDS] [ROUNDS]
set -euo pipefail
source "$(dirname "$0")/bench_lib.sh"
TATCARD=$1
SECONDS_LONG=${2:-20}
ROUNDS=${3:-3}

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
DIR=$WORK/card/Record
mkdir -p "$DIR"
NAME=20240305_090702_N
make_h265_pair "$DIR" "$NAME" "$SECONDS_LONG" 1920x1080 1920x1080

: >"$WORK/ffmpeg" >"$WORK/bench" >"$WORK/play"
for ((r = 0; r < ROUNDS; r++)); do
    reference_pair_ms "$DIR/${NAME}F.mp4" "$DIR/${NAME}R.mp4" >>"$WORK/ffmpeg"
    "$TATCARD" bench "$WORK/card" "$NAME" --size 640x360 | field cpu_ms >>"$WORK/bench"
    "$TATCARD" play "$WORK/card" "$NAME" --null-audio 2>/dev/null >>"$WORK/play"
done

ffmpeg_ms=$(median <"$WORK/ffmpeg")
bench_ms=$(median <"$WORK/bench")
play_cpu=$(field cpu_ms <"$WORK/play" | median)
echo "two-channel 1080p H.265 recording of $SECONDS_LONG s, $ROUNDS rounds, medians"
echo "ffmpeg -threads 1 front+rear cpu_ms=$ffmpeg_ms"
echo "tatcard bench cpu_ms=$bench_ms ratio=$(awk -v a="$bench_ms" -v b="$ffmpeg_ms" 'BEGIN { printf "%.2f", a / b }')"
echo "tatcard play cpu_ms=$play_cpu ratio=$(awk -v a="$play_cpu" -v b="$ffmpeg_ms" 'BEGIN { printf "%.2f", a / b }')"
echo "play lines:"
cat "$WORK/play"
