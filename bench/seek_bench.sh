#!/usr/bin/env bash
# Seek latency: `tatcard play SOURCE NAME --null-audio` with SEEKS seeks spread over the
# recording (times that are not whole seconds, forward and back, PAUSE ms apart). The play
# line's seek_first_frame_ms (median) and seek_p95_ms are the time from asking for each seek
# to its first picture on screen.
#
#   bench/seek_bench.sh TATCARD SOURCE NAME [SEEKS] [PAUSE]
set -euo pipefail
TATCARD=$1
SOURCE=$2
NAME=$3
SEEKS=${4:-12}
PAUSE=${5:-700}

duration=$("$TATCARD" play "$SOURCE" "$NAME" --null-audio --limit-ms 300 2>/dev/null |
    sed -E 's/.* duration_ms=([0-9]+).*/\1/')
# Spread over the first nine tenths of the recording, alternately forward and back.
times=$(awk -v d="$duration" -v n="$SEEKS" 'BEGIN {
    for (i = 0; i < n; i++) {
        f = (i % 2 == 0) ? (0.15 + 0.7 * i / n) : (0.85 - 0.7 * i / n)
        printf "%s%d", (i ? "," : ""), int(d * f) + 137
    }
}')
line=$("$TATCARD" play "$SOURCE" "$NAME" --null-audio --gap-ms "$PAUSE" --seek-ms "$times" \
    --limit-ms $((SEEKS * PAUSE + 1500)) 2>/dev/null)
echo "recording $NAME ($duration ms), $SEEKS seeks to $times"
echo "seek first picture: median $(sed -E 's/.* seek_first_frame_ms=([^ ]+).*/\1/' <<<"$line") ms," \
    "p95 $(sed -E 's/.* seek_p95_ms=([^ ]+).*/\1/' <<<"$line") ms"
echo "play line: $line"
