#!/usr/bin/env bash
# Takes the README's picture of the window: varnelplayer on a virtual X display (Xvfb) with
# the demo card, saved by the program itself once it is shown.
#
#   scripts/screenshot.sh [OUT.png]     (default docs/window.png; needs a build in build/ and
#                                       the demo card, both made by scripts/setup.sh demo)
set -euo pipefail
cd "$(dirname "$0")/.."
OUT=${1:-docs/window.png}
BUILD=${BUILD:-build}
CARD=${DEMO_CARD:-${XDG_DATA_HOME:-$HOME/.local/share}/tatview/demo-card}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
# The window reads and writes ./config.cfg; keep the user's own out of it.
(cd "$WORK" && xvfb-run -a -s "-screen 0 1280x800x24" \
    "$OLDPWD/$BUILD/app/varnelplayer" --card "$CARD" --screenshot "$WORK/shot.png" --after 1500)
cp "$WORK/shot.png" "$OUT"
echo "saved $OUT"
