#!/usr/bin/env bash
# Exporting a whole card: `tatcard export CARD --to FOLDER NAME...` of every recording on the
# card (the window's download runs the same exporter) against `cp -r` of the card's recording
# folders (CARD/TATSTORE/<CATEGORY>/*.TRD), both into a fresh folder beside each other. Rounds
# alternate the two; the previous output is removed untimed. Prints the medians of the wall
# times and the ratio cp / export (1.0: as fast as cp; the target is 0.8 or more).
#
# Where the page cache can be dropped (root), the same again with the card read from the disk
# each time, as from a card reader.
#
# With bench/download_bench in BUILD, the window's download code runs too.
#
# Then the peak memory (maximum resident set, /usr/bin/time -v) of one export run on a small
# card (`tatcard demo` with 2 s recordings, made here) and on CARD with every recording
# exported four times over: it should not grow with the size or the number of recordings.
#
#   bench/export_bench.sh BUILD CARD [ROUNDS]
#
# BUILD is a build folder holding tools/tatcard/tatcard; CARD a card such as
# `tatcard demo CARD` makes (14 recordings of 20-30 s). ROUNDS defaults to 5. The output goes
# to a temporary folder under TMPDIR (default /tmp): put it on the disk to measure.
set -euo pipefail
source "$(dirname "$0")/bench_lib.sh"
BUILD=$(cd "$1" && pwd)
CARD=$(cd "$2" && pwd)
ROUNDS=${3:-5}
TATCARD=$BUILD/tools/tatcard/tatcard
[ -x "$TATCARD" ] || { echo "no $TATCARD" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package time)" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# Every recording on a card, in listing order.
names() { "$TATCARD" ls "$1" | awk '{ print $1 }'; }
mapfile -t NAMES < <(names "$CARD")
[ "${#NAMES[@]}" -gt 0 ] || { echo "no recordings on $CARD" >&2; exit 1; }
BYTES=$(du -cb "$CARD"/TATSTORE/*/*.TRD | tail -n 1 | cut -f 1)

now() { date +%s%N; }
run_export() {
    mkdir "$WORK/out"
    "$TATCARD" export "$CARD" --to "$WORK/out" "${NAMES[@]}" >/dev/null
}
# The window's download code (bench/download_bench, built with -DTATV_BENCHMARKS=ON): its own
# figure, which leaves out the start of Qt.
DOWNLOAD=$BUILD/bench/download_bench
run_download() {
    mkdir "$WORK/out"
    "$DOWNLOAD" "$CARD" "$WORK/out" "${NAMES[@]}" 2>/dev/null | sed -E 's/.* ms=([0-9.]+).*/\1/' >"$WORK/ms.txt"
}
run_copy() {
    mkdir "$WORK/out"
    for folder in "$CARD"/TATSTORE/*/; do
        cp -r "$folder" "$WORK/out/"
    done
}
# Reads the card once so that both start from the page cache.
run_copy
rm -rf "$WORK/out"

# measure LABEL COLD: ROUNDS rounds of both, alternately first; with COLD=1 the page cache is
# dropped before each run, so that both read the card from the disk as from a card reader.
measure() {
    local label=$1 cold=$2 r what start
    rm -f "$WORK/rounds.txt"
    for ((r = 0; r < ROUNDS; r++)); do
        order=(export copy)
        [ $((r % 2)) -eq 0 ] || order=(copy export)
        [ ! -x "$DOWNLOAD" ] || order+=(download)
        for what in "${order[@]}"; do
            if [ "$cold" -eq 1 ]; then
                sync
                echo 3 >/proc/sys/vm/drop_caches
            fi
            start=$(now)
            "run_$what"
            if [ "$what" = download ]; then
                echo "$what $(awk '{ printf "%d", $1 * 1000 }' "$WORK/ms.txt")" >>"$WORK/rounds.txt"
            else
                echo "$what $((($(now) - start) / 1000))" >>"$WORK/rounds.txt"
            fi
            rm -rf "$WORK/out"
        done
    done
    local exportUs copyUs downloadUs=0
    exportUs=$(awk '$1 == "export" { print $2 }' "$WORK/rounds.txt" | median)
    copyUs=$(awk '$1 == "copy" { print $2 }' "$WORK/rounds.txt" | median)
    [ ! -x "$DOWNLOAD" ] || downloadUs=$(awk '$1 == "download" { print $2 }' "$WORK/rounds.txt" | median)
    awk -v e="$exportUs" -v c="$copyUs" -v d="$downloadUs" -v b="$BYTES" -v n="${#NAMES[@]}" \
        -v r="$ROUNDS" -v l="$label" 'BEGIN {
        printf "%s: %d recordings, %.1f MB of recording files; medians of %d rounds\n", l, n, b / 1e6, r
        printf "  tatcard export --to  %8.1f ms  %7.1f MB/s\n", e / 1000, b / e
        printf "  cp -r                %8.1f ms  %7.1f MB/s\n", c / 1000, b / c
        printf "  ratio cp / export    %8.2fx (target >= 0.80x)\n", c / e
        if (d > 0) {
            printf "  window download      %8.1f ms  %7.1f MB/s\n", d / 1000, b / d
            printf "  ratio cp / download  %8.2fx\n", c / d
        } }'
}
measure "warm page cache" 0
if [ -w /proc/sys/vm/drop_caches ]; then
    measure "cold (page cache dropped before each run)" 1
else
    echo "cold: not measured (dropping the page cache needs root)"
fi

# Peak memory of one export run: "peak KIB".
peak() {
    local card=$1 times=$2 list=()
    mapfile -t one < <(names "$card")
    for ((t = 0; t < times; t++)); do list+=("${one[@]}"); done
    mkdir "$WORK/out"
    /usr/bin/time -v -o "$WORK/time.txt" "$TATCARD" export "$card" --to "$WORK/out" "${list[@]}" \
        >/dev/null
    rm -rf "$WORK/out"
    awk -F': ' '/Maximum resident set size/ { print $2 }' "$WORK/time.txt"
}
"$TATCARD" demo "$WORK/small" --seconds 2 >/dev/null
smallBytes=$(du -cb "$WORK"/small/TATSTORE/*/*.TRD | tail -n 1 | cut -f 1)
smallPeak=$(peak "$WORK/small" 1)
largePeak=$(peak "$CARD" 4)
awk -v s="$smallPeak" -v l="$largePeak" -v sb="$smallBytes" -v lb="$BYTES" \
    -v sn="$(names "$WORK/small" | wc -l)" -v ln="$((4 * ${#NAMES[@]}))" 'BEGIN {
    printf "peak memory, small card (%d exports, %.1f MB): %6.1f MiB\n", sn, sb / 1e6, s / 1024
    printf "peak memory, CARD x 4   (%d exports, %.1f MB): %6.1f MiB\n", ln, 4 * lb / 1e6, l / 1024 }'
