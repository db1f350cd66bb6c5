#!/usr/bin/env bash
# A drive played as one: RECORDINGS back-to-back two-camera recordings of SECONDS each (front
# 1920x1080 H.264 at 30 fps with 48 kHz AAC that clicks at every whole second under a white
# picture, rear 1280x720), made with ffmpeg by the acceptance suite's drive maker. Then:
#   - `tatcard play DIR --trip 1 --null-audio`: the largest front interval at a boundary, the
#     longest hole in the sound, the picture/click offset over the drive, and the resident
#     memory after the first recording and at the end;
#   - SEEKS seeks across the files (times that are not whole seconds, forward and back): the
#     median and 95th percentile from each request to its first picture, against the same
#     seeks inside one recording of the drive played alone (NAME).
#
#   bench/trip_play_bench.sh TATCARD [RECORDINGS] [SECONDS] [SEEKS]
set -euo pipefail
source "$(dirname "$0")/bench_lib.sh"
TATCARD=$1
RECORDINGS=${2:-30}
SECONDS_EACH=${3:-4}
SEEKS=${4:-12}

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
python3 "$(dirname "$0")/../tests/acceptance/play_trips.py" --make "$WORK/drive" \
    "$RECORDINGS" "$SECONDS_EACH" 1920x1080 1280x720

line=$("$TATCARD" play "$WORK/drive" --trip 1 --null-audio 2>/dev/null)
echo "drive of $RECORDINGS recordings of $SECONDS_EACH s (1080p + 720p H.264, AAC)"
echo "boundaries $(field boundaries <<<"$line"): largest front interval" \
    "$(field boundary_max_ms <<<"$line") ms, sound hole $(field sound_gap_ms <<<"$line") ms," \
    "picture/click offset $(field av_offset_mean_ms <<<"$line") ms (drift" \
    "$(field av_offset_drift_ms <<<"$line") ms), pictures $(field frames <<<"$line")"
echo "resident memory: after the first recording $(field rss_first_kb <<<"$line") KiB," \
    "at the end $(field rss_end_kb <<<"$line") KiB"

duration=$((RECORDINGS * SECONDS_EACH * 1000))
times=$(awk -v d="$duration" -v n="$SEEKS" 'BEGIN {
    for (i = 0; i < n; i++) {
        f = (i % 2 == 0) ? (0.1 + 0.8 * i / n) : (0.9 - 0.8 * i / n)
        printf "%s%d", (i ? "," : ""), int(d * f) + 137
    }
}')
across=$("$TATCARD" play "$WORK/drive" --trip 1 --null-audio --gap-ms 700 --seek-ms "$times" \
    --limit-ms $((SEEKS * 700 + 1500)) 2>/dev/null)
one=$(ls "$WORK/drive" | sed -n 's/_NF\.mp4$/_N/p' | sed -n 2p)
inside=$(awk -v d="$((SECONDS_EACH * 1000))" -v n="$SEEKS" 'BEGIN {
    for (i = 0; i < n; i++) printf "%s%d", (i ? "," : ""), int(d * ((i * 7) % 10) / 10) + 137
}')
alone=$("$TATCARD" play "$WORK/drive" "$one" --null-audio --gap-ms 700 --seek-ms "$inside" \
    --limit-ms $((SEEKS * 700 + 1500)) 2>/dev/null)
echo "seeks across files: median $(field seek_first_frame_ms <<<"$across") ms, p95" \
    "$(field seek_p95_ms <<<"$across") ms; inside one recording played alone: median" \
    "$(field seek_first_frame_ms <<<"$alone") ms, p95 $(field seek_p95_ms <<<"$alone") ms"
