#!/usr/bin/env bash
# Start-up time of the window: five runs on a virtual X display (Xvfb), each from process
# start until the window has been shown, painted into a picture and closed again (an upper
# bound of start to shown). Prints each run and the median in seconds.
#
#   scripts/startup_time.sh [RUNS]     (needs a build in build/ and the demo card)
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${1:-5}
BUILD=${BUILD:-build}
CARD=${DEMO_CARD:-${XDG_DATA_HOME:-$HOME/.local/share}/tatview/demo-card}
PROGRAM=$(pwd)/$BUILD/ui/app/varnelplayer
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    for ((i = 0; i < '"$RUNS"'; i++)); do
        start=$(date +%s.%N)
        "'"$PROGRAM"'" --card "'"$CARD"'" --screenshot shot.png --after 0 2>/dev/null
        end=$(date +%s.%N)
        awk -v a="$start" -v b="$end" "BEGIN { printf \"%.3f\\n\", b - a }"
    done' | tee times.txt
sort -n times.txt | awk '{ v[NR] = $1 } END { printf "median %.3f s of %d runs\n", v[int((NR + 1) / 2)], NR }'
