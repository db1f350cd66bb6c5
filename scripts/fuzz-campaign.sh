#!/usr/bin/env bash
# Runs every fuzz target for SECONDS, one after another (a target uses one core), and prints a
# table: inputs run, inputs a second, coverage (edges and features), corpus size and crashes.
#
#   scripts/fuzz-campaign.sh SECONDS [TARGET...]
#
# Each target fuzzes a corpus kept between campaigns in $CORPUS_ROOT/TARGET (default
# build-fuzz/campaign-corpus/TARGET), started from the seeds in tests/fuzz/corpus/TARGET; the
# inputs that add coverage stay there for the next campaign. Crashing inputs and the log of
# each run go to $CORPUS_ROOT/TARGET.artifacts/ and $CORPUS_ROOT/TARGET.log.
#
# The targets are built first in $BUILD_ROOT/build-fuzz (clang, AddressSanitizer + UBSan,
# as scripts/setup.sh test builds them). Environment: BUILD_ROOT (default: the repo), JOBS
# (build parallelism, default: all cores), CORPUS_ROOT, RUNS (stop a target after this many
# inputs when that comes before SECONDS). Exits with 1 when any target crashed.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD_ROOT=${BUILD_ROOT:-$ROOT}
BUILD="$BUILD_ROOT/build-fuzz"
JOBS=${JOBS:-$(nproc)}
CORPUS_ROOT=${CORPUS_ROOT:-$BUILD/campaign-corpus}

if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]] || [ "$1" -eq 0 ]; then
    echo "usage: scripts/fuzz-campaign.sh SECONDS [TARGET...]" >&2
    exit 2
fi
SECONDS_EACH=$1
shift
RUNS=${RUNS:--1}
[[ $RUNS =~ ^-?[0-9]+$ ]] || { echo "RUNS must be a number of inputs" >&2; exit 2; }
if [ $# -gt 0 ]; then
    TARGETS=("$@")
else
    mapfile -t TARGETS < <(ls "$ROOT/tests/fuzz/corpus")
fi
for target in "${TARGETS[@]}"; do
    [ -d "$ROOT/tests/fuzz/corpus/$target" ] || { echo "no fuzz target $target" >&2; exit 2; }
done

log=$(mktemp)
if ! { CXX=clang++ CC=clang cmake -S "$ROOT" -B "$BUILD" -G Ninja -DTATV_WERROR=ON \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTATV_FUZZ=ON -DTATV_SANITIZE=address,undefined \
        -DTATV_TESTS=OFF -DTATV_APP=OFF &&
    cmake --build "$BUILD" -j "$JOBS" --target "${TARGETS[@]}"; } >"$log" 2>&1; then
    cat "$log"
    rm -f "$log"
    echo "the fuzz build in $BUILD failed" >&2
    exit 1
fi
rm -f "$log"

# final_stat NAME LOG: the value of libFuzzer's final "stat::NAME:" line.
final_stat() {
    sed -n "s/^stat::$1: *//p" "$2" | tail -1
}

printf '%-22s %12s %10s %8s %8s %8s %8s\n' target inputs inputs/s cov ft corpus crashes
any_crash=0
for target in "${TARGETS[@]}"; do
    corpus="$CORPUS_ROOT/$target"
    artifacts="$CORPUS_ROOT/$target.artifacts"
    runlog="$CORPUS_ROOT/$target.log"
    mkdir -p "$corpus" "$artifacts"
    before=$(find "$artifacts" -type f | wc -l)
    # New coverage-adding inputs are written to the first folder, the kept corpus.
    set +e
    "$BUILD/tests/fuzz/$target" -max_total_time="$SECONDS_EACH" -runs="$RUNS" -timeout=10 -rss_limit_mb=4096 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" \
        "$ROOT/tests/fuzz/corpus/$target" >"$runlog" 2>&1
    rc=$?
    set -e
    inputs=$(final_stat number_of_executed_units "$runlog")
    rate=$(final_stat average_exec_per_sec "$runlog")
    last=$(grep -E '^#[0-9]+.*cov: ' "$runlog" | tail -1 || true)
    cov=$(sed -nE 's/.*cov: ([0-9]+).*/\1/p' <<<"$last")
    ft=$(sed -nE 's/.* ft: ([0-9]+).*/\1/p' <<<"$last")
    crashes=$(($(find "$artifacts" -type f | wc -l) - before))
    if [ "$rc" -ne 0 ] && [ "$crashes" -eq 0 ]; then
        crashes=1 # stopped without an artifact (out of memory, a sanitizer report): see the log
    fi
    [ "$crashes" -eq 0 ] || any_crash=1
    printf '%-22s %12s %10s %8s %8s %8s %8s\n' "$target" "${inputs:-?}" "${rate:-?}" \
        "${cov:-?}" "${ft:-?}" "$(find "$corpus" -type f | wc -l)" "$crashes"
done
[ "$any_crash" -eq 0 ]
