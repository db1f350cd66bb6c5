# Helpers the benchmark scripts share; sourced, not run.

# cpu_ms COMMAND...: processor milliseconds (user + system) of the command and its children.
cpu_ms() {
    local TIMEFORMAT='%3U %3S' t
    t=$({ time "$@" >/dev/null 2>&1; } 2>&1)
    awk '{ printf "%d\n", ($1 + $2) * 1000 }' <<<"$t"
}

# median: the median of the numbers on standard input, one a line.
median() { sort -n | awk '{ v[NR] = $1 } END { m = int((NR + 1) / 2); if (NR % 2) print v[m]; else print (v[m] + v[m + 1]) / 2 }'; }

# field NAME: the value of NAME=VALUE in each line of standard input.
field() { sed -E "s/.* $1=([^ ]+).*/\1/"; }

# The reference decoder's options after its input: `ffmpeg -threads 1`, each picture scaled to
# 640x360 BGR with fast bilinear, written nowhere.
REFERENCE_ARGS=(-nostdin -v error -threads 1 -vf scale=640:360:flags=fast_bilinear -pix_fmt bgr24
    -f null -)

# reference_pair_ms FRONT REAR: processor milliseconds of the reference decoder on both files,
# one after the other.
reference_pair_ms() {
    local front rear
    front=$(cpu_ms ffmpeg -i "$1" "${REFERENCE_ARGS[@]}")
    rear=$(cpu_ms ffmpeg -i "$2" "${REFERENCE_ARGS[@]}")
    echo $((front + rear))
}

# make_h265_pair DIR NAME SECONDS FRONT_SIZE REAR_SIZE: a two-camera dash-cam recording,
# DIR/NAMEF.mp4 (testsrc2 with AAC sound at 48 kHz) and DIR/NAMER.mp4 (testsrc, no sound), both
# H.265 at 30 fps with a key frame a second.
make_h265_pair() {
    local dir=$1 name=$2 seconds=$3
    ffmpeg -nostdin -v error -f lavfi -i "testsrc2=size=$4:rate=30" \
        -f lavfi -i "sine=frequency=440:sample_rate=48000" -t "$seconds" \
        -c:v libx265 -preset ultrafast -x265-params log-level=error -g 30 -c:a aac -shortest \
        "$dir/${name}F.mp4"
    ffmpeg -nostdin -v error -f lavfi -i "testsrc=size=$5:rate=30" -t "$seconds" \
        -c:v libx265 -preset ultrafast -x265-params log-level=error -g 30 "$dir/${name}R.mp4"
}
