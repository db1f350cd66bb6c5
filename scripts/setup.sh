#!/usr/bin/env bash
# Sets up a Debian 12 machine for tatview, builds it, and runs the demo or the tests.
#
#   scripts/setup.sh demo   install what is missing, build, make the demo card on first run
#                           and show what is on it
#   scripts/setup.sh test   install what is missing, build, and run every test: the unit tests
#                           (the window's on the offscreen platform, the PulseAudio output's
#                           against a private sound server), the parts without Qt again
#                           under AddressSanitizer+UBSan and ThreadSanitizer, the fuzz targets
#                           over their corpora and for a bounded time, and the format check
#   scripts/setup.sh package
#                           install what is missing, build the Debian package in its own build
#                           folder (build-package), check it unpacked in a scratch root and run
#                           lintian on it
#
# Environment: JOBS (parallel build jobs, default: all cores), FUZZ_SECONDS (per fuzz target,
# default 15), BUILD_ROOT (where the build folders go, default: the repo), DEMO_CARD (the demo
# card's folder, default: $XDG_DATA_HOME/tatview/demo-card).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD_ROOT=${BUILD_ROOT:-$ROOT}
JOBS=${JOBS:-$(nproc)}
FUZZ_SECONDS=${FUZZ_SECONDS:-15}

PACKAGES=(cmake ninja-build g++ pkg-config clang libclang-rt-14-dev clang-format
          libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev
          libavfilter-dev libgtest-dev libgmock-dev libbenchmark-dev ffmpeg
          libopencv-core-dev libpulse-dev qt6-base-dev qt6-base-dev-tools libgl-dev fonts-nanum
          xvfb xauth librsvg2-bin qt6-webengine-dev libjs-leaflet libqt6sql6-sqlite python3
          strace time pulseaudio pulseaudio-utils libssl-dev nlohmann-json3-dev libprotobuf-dev
          protobuf-compiler fonts-dejavu-core dpkg-dev lintian man-db bash-completion ccache)

install_packages() {
    local missing=() p
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    echo "== installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# configure_build DIR [cmake options...] [-- targets...]: configures and builds the targets
# (all when none are named).
configure_build() {
    local dir=$1
    shift
    local options=() targets=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do
        options+=("$1")
        shift
    done
    [ $# -eq 0 ] || { shift; targets=("$@"); }
    # ccache, where it is installed, keeps the objects of earlier builds; paths under the
    # checkout are read relative to it, and the build folder's own path is left out of the
    # key (debug information names sources relative to it), so another clone of the same
    # sources hits them too.
    if command -v ccache >/dev/null; then
        export CCACHE_BASEDIR=$ROOT CCACHE_NOHASHDIR=1
        options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    fi
    local log
    log=$(mktemp)
    if ! { cmake -S "$ROOT" -B "$dir" -G Ninja -DTATV_WERROR=ON "${options[@]}" &&
        cmake --build "$dir" -j "$JOBS" ${targets[@]+--target "${targets[@]}"}; } >"$log" 2>&1; then
        cat "$log"
        rm -f "$log"
        echo "build in $dir failed" >&2
        return 1
    fi
    rm -f "$log"
}

PASSED=0
FAILED=0
# run_ctest DIR [ctest options...]: runs and tallies.
run_ctest() {
    local dir=$1 log
    shift
    log=$(mktemp)
    if ctest --test-dir "$dir" --output-on-failure -j "$JOBS" "$@" 2>&1 | tee "$log" | grep -E '(tests passed|tests failed|\*\*\*|Failed|Timeout)'; then :; fi
    local line total failed
    line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1 || true)
    if [ -z "$line" ]; then
        echo "ctest in $dir did not finish"
        FAILED=$((FAILED + 1))
    else
        failed=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
        total=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
        PASSED=$((PASSED + total - failed))
        FAILED=$((FAILED + failed))
        [ "$failed" -eq 0 ] || grep -A 200 'The following tests FAILED' "$log" || true
    fi
    rm -f "$log"
}

# check NAME COMMAND...: one pass/fail step outside ctest.
check() {
    local name=$1
    shift
    if "$@"; then
        echo "   ok: $name"
        PASSED=$((PASSED + 1))
    else
        echo "   FAILED: $name"
        FAILED=$((FAILED + 1))
    fi
}

format_check() {
    git -C "$ROOT" ls-files '*.cpp' '*.h' | (cd "$ROOT" && xargs clang-format --dry-run --Werror)
}

# fuzz_run BUILD TARGET: the libFuzzer program for a bounded time over a copy of its corpus.
fuzz_run() {
    local build=$1 target=$2 work
    work=$(mktemp -d)
    cp -r "$ROOT/tests/fuzz/corpus/$target/." "$work/"
    (cd "$work" && "$build/tests/fuzz/$target" -max_total_time="$FUZZ_SECONDS" -timeout=10 \
        -rss_limit_mb=4096 -print_final_stats=0 . >"$work.log" 2>&1)
    local rc=$?
    [ $rc -eq 0 ] || tail -40 "$work.log"
    rm -rf "$work" "$work.log"
    return $rc
}

demo() {
    local build="$BUILD_ROOT/build"
    local card=${DEMO_CARD:-${XDG_DATA_HOME:-$HOME/.local/share}/tatview/demo-card}
    # The demo shares the test command's build folder and configuration and builds only the
    # programs it runs, so that either command may come first.
    configure_build "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -- tatcard tatcard-media aviinfo \
        varnelplayer
    if [ ! -f "$card/TATSTORE/VOLUME.TAT" ]; then
        echo "== making the demo card in $card"
        rm -rf "$card"
        mkdir -p "$(dirname "$card")"
        "$build/tools/tatcard/tatcard" demo "$card"
    fi
    echo "== recordings on $card"
    "$build/tools/tatcard/tatcard" ls "$card" --category all
    local first
    first=$("$build/tools/tatcard/tatcard" ls "$card" --category event | awk '$2 > 0 { print $1; exit }')
    if [ -n "$first" ]; then
        echo "== $first"
        "$build/tools/tatcard/tatcard" info "$card" "$first"
        "$build/tools/tatcard/tatcard" export "$card" "$first" "$build/$first.avi"
        "$build/tools/aviinfo/aviinfo" info "$build/$first.avi"
        echo "== $build/$first.avi plays in any video player, for example: ffplay $build/$first.avi"
    fi
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        echo "== opening the window on $card"
        # The map's browser does not run as root with its sandbox on.
        [ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
        (cd "$build" && "$build/ui/app/varnelplayer" --card "$card")
    else
        [ -z "$first" ] || {
            echo "== no display: playing $first for 10 s through the player engine instead"
            "$build/tools/tatcard/tatcard" play "$card" "$first" --limit-ms 10000
        }
        echo "== on a desktop this opens the window: $build/ui/app/varnelplayer --card $card"
    fi
}

tests() {
    # Each ctest run starts a private sound server for the PulseAudio tests in its build
    # folder and stops it at its end (scripts/pulse_server.sh); an interrupted run stops it here.
    trap 'for b in build build-asan build-tsan; do
              for d in pulse tests/tools/pulse; do
                  "$ROOT/scripts/pulse_server.sh" stop "$BUILD_ROOT/$b/$d" >/dev/null 2>&1
              done
          done' EXIT
    echo "== unit tests (at ${SECONDS} s)"
    configure_build "$BUILD_ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTATV_TESTS=ON
    run_ctest "$BUILD_ROOT/build"

    echo "== AddressSanitizer + UBSan (at ${SECONDS} s)"
    configure_build "$BUILD_ROOT/build-asan" -DCMAKE_BUILD_TYPE=Debug -DTATV_SANITIZE=address,undefined \
        -DTATV_APP=OFF
    ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp" UBSAN_OPTIONS=print_stacktrace=1 run_ctest "$BUILD_ROOT/build-asan"

    echo "== ThreadSanitizer (at ${SECONDS} s)"
    configure_build "$BUILD_ROOT/build-tsan" -DCMAKE_BUILD_TYPE=Debug -DTATV_SANITIZE=thread -DTATV_APP=OFF
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$ROOT/scripts/tsan.supp" \
        run_ctest "$BUILD_ROOT/build-tsan" -L 'threads|parsers'

    echo "== fuzzing (${FUZZ_SECONDS}s a target) (at ${SECONDS} s)"
    CXX=clang++ CC=clang configure_build "$BUILD_ROOT/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTATV_FUZZ=ON -DTATV_SANITIZE=address,undefined -DTATV_TESTS=OFF -DTATV_APP=OFF
    run_ctest "$BUILD_ROOT/build-fuzz" -L fuzz
    local target
    for target in $(ls "$ROOT/tests/fuzz/corpus"); do
        check "fuzz $target" fuzz_run "$BUILD_ROOT/build-fuzz" "$target"
    done

    echo "== format and layers (at ${SECONDS} s)"
    check "clang-format" format_check
    check "layers" python3 "$ROOT/scripts/check_layers.py" "$ROOT"

    echo "tests: $PASSED passed, $FAILED failed (${SECONDS} s)"
    [ "$FAILED" -eq 0 ]
}

package() {
    local build="$BUILD_ROOT/build-package"
    echo "== building the package in $build (at ${SECONDS} s)"
    # Optimised and with debugging information as Debian builds its packages (-O2 -g), the
    # programs then stripped by CPack; GCC 12's -O3 warns falsely about std::optional members.
    configure_build "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTATV_TESTS=OFF -- package
    local version deb
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
    deb=$(ls -t "$build"/tatview_"$version"_*.deb | head -1)
    echo "== checking $deb unpacked (at ${SECONDS} s)"
    python3 "$ROOT/tests/package/check_package.py" "$version" "$build"
    echo "== lintian (at ${SECONDS} s)"
    lintian --fail-on error,warning "$deb"
    echo "package: $deb ($(du -h "$deb" | cut -f1)); install it with: sudo apt install $deb"
}

case "${1:-}" in
demo) install_packages && demo ;;
test) install_packages && tests ;;
package) install_packages && package ;;
*)
    echo "usage: scripts/setup.sh demo|test|package" >&2
    exit 2
    ;;
esac
