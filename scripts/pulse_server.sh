#!/usr/bin/env bash
# A private PulseAudio sound server for the tests: one null sink ("null"), reached through the
# socket DIR/pulse/native (PULSE_SERVER=unix:DIR/pulse/native), its runtime folder DIR kept
# apart from any desktop session's. The tests of the PulseAudio output play into it.
#
#   scripts/pulse_server.sh start DIR   starts it and waits until it answers; without the
#                                       pulseaudio program it says so and starts nothing (the
#                                       tests that need a server then skip)
#   scripts/pulse_server.sh stop DIR    stops the server started in DIR, if any
set -uo pipefail
ACTION=${1:-}
DIR=${2:-}
[ -n "$ACTION" ] && [ -n "$DIR" ] || { echo "usage: $0 start|stop DIR" >&2; exit 2; }
PIDFILE=$DIR/server.pid

stop() {
    [ -f "$PIDFILE" ] || return 0
    local pid
    pid=$(cat "$PIDFILE")
    rm -f "$PIDFILE"
    kill "$pid" 2>/dev/null || return 0
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
}

case "$ACTION" in
start)
    command -v pulseaudio >/dev/null || {
        echo "pulseaudio is not installed: no private sound server (its tests skip)"
        exit 0
    }
    stop
    mkdir -p "$DIR"
    chmod 700 "$DIR"
    # A socket path is limited to 107 bytes.
    [ ${#DIR} -le 90 ] || { echo "$DIR is too long for the server's socket" >&2; exit 1; }
    XDG_RUNTIME_DIR=$DIR nohup pulseaudio -n --daemonize=no --exit-idle-time=-1 \
        --load="module-null-sink sink_name=null" --load=module-native-protocol-unix \
        >"$DIR/server.log" 2>&1 </dev/null &
    echo $! >"$PIDFILE"
    for _ in $(seq 100); do
        if [ -S "$DIR/pulse/native" ] &&
            PULSE_SERVER=unix:$DIR/pulse/native pactl info >/dev/null 2>&1; then
            echo "private sound server at unix:$DIR/pulse/native"
            exit 0
        fi
        kill -0 "$(cat "$PIDFILE")" 2>/dev/null || break
        sleep 0.1
    done
    cat "$DIR/server.log" >&2
    stop
    echo "the private sound server did not start" >&2
    exit 1
    ;;
stop)
    stop
    ;;
*)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
