#!/usr/bin/env bash
# A heavy two-camera dash-cam recording: front 3840x2160 and rear 2560x1440, both H.265 at
# 30 fps (the front with AAC sound at 48 kHz), made here with ffmpeg. Played in real time with
# `tatcard play DIR NAME --null-audio --speed 1`: its share of front pictures on time and its
# processor time, against `ffmpeg -threads 1 -i FILE -vf scale=640:360:flags=fast_bilinear
# -pix_fmt bgr24 -f null -` on the front file plus the same on the rear file. Rounds alternate
# the programs; the figures are medians over the rounds.
#
#   bench/uhd_two_camera_bench.sh TATCARD [SECONDS] [ROUNDS]
set -euo pipefail
source "$(dirname "$0")/bench_lib.sh"
TATCARD=$1
SECONDS_LONG=${2:-10}
ROUNDS=${3:-3}

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
DIR=$WORK/card/Record
mkdir -p "$DIR"
NAME=20240305_090702_N
make_h265_pair "$DIR" "$NAME" "$SECONDS_LONG" 3840x2160 2560x1440

: >"$WORK/ffmpeg" >"$WORK/play"
for ((r = 0; r < ROUNDS; r++)); do
    reference_pair_ms "$DIR/${NAME}F.mp4" "$DIR/${NAME}R.mp4" >>"$WORK/ffmpeg"
    "$TATCARD" play "$WORK/card" "$NAME" --null-audio --speed 1 2>/dev/null >>"$WORK/play"
done

ffmpeg_ms=$(median <"$WORK/ffmpeg")
play_cpu=$(field cpu_ms <"$WORK/play" | median)
echo "front 3840x2160 + rear 2560x1440 H.265 30 fps, $SECONDS_LONG s, $ROUNDS rounds, medians"
echo "ffmpeg -threads 1 front+rear cpu_ms=$ffmpeg_ms"
echo "tatcard play cpu_ms=$play_cpu ratio=$(awk -v a="$play_cpu" -v b="$ffmpeg_ms" 'BEGIN { printf "%.2f", a / b }')"
echo "tatcard play on_time_pct=$(field on_time_pct <"$WORK/play" | median) frames=$(field frames <"$WORK/play" | median) of $((SECONDS_LONG * 30))"
echo "play lines:"
cat "$WORK/play"
