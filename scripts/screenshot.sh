#!/usr/bin/env bash
# Takes the README's picture of the window: varnelplayer on a virtual X display (Xvfb) with
# the demo card, playing a two-channel recording for a few seconds (pictures, graph, and the
# route on the map, which stays blank offline), saved by the program itself.
#
#   scripts/screenshot.sh [OUT.png] [RECORDING] [MS]
#       default docs/window.png, EVENT_20240305_174503_D, 9000 ms; needs a build in build/
#       and the demo card, both made by scripts/setup.sh demo
set -euo pipefail
cd "$(dirname "$0")/.."
OUT=${1:-docs/window.png}
RECORDING=${2:-EVENT_20240305_174503_D}
AFTER=${3:-9000}
BUILD=${BUILD:-build}
CARD=${DEMO_CARD:-${XDG_DATA_HOME:-$HOME/.local/share}/tatview/demo-card}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
# The window reads and writes ./config.cfg; keep the user's own out of it.
(cd "$WORK" && xvfb-run -a -s "-screen 0 1280x800x24" \
    env QTWEBENGINE_DISABLE_SANDBOX=1 \
    QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox --disable-background-networking" \
    "$OLDPWD/$BUILD/ui/app/varnelplayer" --card "$CARD" --play "$RECORDING" \
    --screenshot "$WORK/shot.png" --after "$AFTER")
cp "$WORK/shot.png" "$OUT"
echo "saved $OUT"
