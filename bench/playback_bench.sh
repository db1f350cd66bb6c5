#!/usr/bin/env bash
# Playback figures against FFmpeg, on one recording of a card:
#   - processor time of `tatcard bench` (decode + convert every front and rear picture to
#     640x360 BGR) against `ffmpeg -threads 1 ... scale=640:360:flags=fast_bilinear
#     -pix_fmt bgr24 -f null -` on the recording's front stream plus the same on its rear one
#   - processor time of `tatcard play` (real-time playback) against the same FFmpeg time, and
#     against the same two ffmpeg commands reading at the pictures' own pace (`-re`, the two
#     at once): what decoding in real time costs on this machine, where a processor that
#     sleeps between pictures wakes with cold caches
#   - `tatcard play --decode-ahead 1` (each picture decoded just before its moment) against
#     the default (a few decoded at a time), in the same rounds
#   - the play line's frame intervals and picture/sound offsets
# The streams are taken from the recording with `tatcard export` and `ffmpeg -c copy`.
# Rounds alternate the programs; the figures are medians over the rounds.
#
#   bench/playback_bench.sh TATCARD CARD NAME [ROUNDS] [PLAY_ROUNDS]
set -euo pipefail
source "$(dirname "$0")/bench_lib.sh"
TATCARD=$1
CARD=$2
NAME=$3
ROUNDS=${4:-5}
PLAY_ROUNDS=${5:-3}

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
"$TATCARD" export "$CARD" "$NAME" "$WORK/rec.avi" >/dev/null
ffmpeg -nostdin -v error -i "$WORK/rec.avi" -map 0:v:0 -c copy -f h264 "$WORK/front.h264"
ffmpeg -nostdin -v error -i "$WORK/rec.avi" -map 0:v:1 -c copy -f h264 "$WORK/rear.h264"

: >"$WORK/ffmpeg" >"$WORK/bench" >"$WORK/play" >"$WORK/paced" >"$WORK/single"
for ((r = 0; r < ROUNDS; r++)); do
    reference_pair_ms "$WORK/front.h264" "$WORK/rear.h264" >>"$WORK/ffmpeg"
    "$TATCARD" bench "$CARD" "$NAME" --size 640x360 | field cpu_ms >>"$WORK/bench"
done
for ((r = 0; r < PLAY_ROUNDS; r++)); do
    "$TATCARD" play "$CARD" "$NAME" --null-audio 2>/dev/null >>"$WORK/play"
    "$TATCARD" play "$CARD" "$NAME" --null-audio --decode-ahead 1 2>/dev/null >>"$WORK/single"
    cpu_ms bash -c 'ffmpeg -re -i "$1" "${@:3}" & ffmpeg -re -i "$2" "${@:3}" & wait' paced \
        "$WORK/front.h264" "$WORK/rear.h264" "${REFERENCE_ARGS[@]}" >>"$WORK/paced"
done

ffmpeg_ms=$(median <"$WORK/ffmpeg")
bench_ms=$(median <"$WORK/bench")
play_cpu=$(field cpu_ms <"$WORK/play" | median)
paced_ms=$(median <"$WORK/paced")
single_cpu=$(field cpu_ms <"$WORK/single" | median)
echo "recording $NAME, $ROUNDS rounds (play: $PLAY_ROUNDS), medians"
echo "ffmpeg front+rear cpu_ms=$ffmpeg_ms"
echo "tatcard bench cpu_ms=$bench_ms ratio=$(awk -v a="$bench_ms" -v b="$ffmpeg_ms" 'BEGIN { printf "%.2f", a / b }')"
echo "tatcard play cpu_ms=$play_cpu ratio=$(awk -v a="$play_cpu" -v b="$ffmpeg_ms" 'BEGIN { printf "%.2f", a / b }')"
echo "tatcard play --decode-ahead 1 cpu_ms=$single_cpu ratio=$(awk -v a="$single_cpu" -v b="$ffmpeg_ms" 'BEGIN { printf "%.2f", a / b }') default against it=$(awk -v a="$play_cpu" -v b="$single_cpu" 'BEGIN { printf "%.2f", a / b }')"
echo "ffmpeg -re front+rear cpu_ms=$paced_ms"
echo "tatcard play against ffmpeg -re ratio=$(awk -v a="$play_cpu" -v b="$paced_ms" 'BEGIN { printf "%.2f", a / b }')"
for f in interval_p50_ms interval_p95_ms interval_p99_ms av_offset_mean_ms av_offset_drift_ms; do
    echo "play $f=$(field "$f" <"$WORK/play" | median)"
done
echo "play lines:"
cat "$WORK/play"
