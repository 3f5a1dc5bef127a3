#!/usr/bin/env bash
# A private PulseAudio daemon for the playback tests: at 44.1, 48 and 96 kHz
# (16-bit stereo, so a lone stream passes unchanged) a null sink
# "nalvo<rate>", which plays into nothing, and a pipe sink
# "nalvopipe<rate>" that writes every frame it plays, on the real-time clock,
# into the FIFO DIR/pipe<rate>, and drops what the FIFO has no room for (its
# reader must keep up: see PipeRecorder). No autospawn, no modules beyond
# these and the native socket.
#   pulse_server.sh start DIR   starts it with its runtime files in DIR
#   pulse_server.sh stop DIR    stops it (its pid is kept in DIR)
# Clients reach it with PULSE_RUNTIME_PATH=DIR/runtime and
# PULSE_CLIENTCONFIG=DIR/client.conf. Exit 0 when running, 1 when it cannot start.
set -u
cmd=${1:-}
dir=${2:-}
if [[ -z "$cmd" || -z "$dir" ]]; then
    echo "usage: $0 start|stop DIR" >&2
    exit 2
fi
runtime="$dir/runtime"
pidfile="$dir/daemon.pid"

stop() {
    if [[ -f "$pidfile" ]]; then
        local pid
        pid=$(cat "$pidfile")
        if [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null; then
            kill "$pid" 2>/dev/null
            for _ in $(seq 50); do
                kill -0 "$pid" 2>/dev/null || break
                sleep 0.1
            done
            kill -9 "$pid" 2>/dev/null
        fi
        rm -f "$pidfile"
    fi
}

case "$cmd" in
stop)
    stop
    exit 0
    ;;
start)
    if ! command -v pulseaudio >/dev/null || ! command -v pactl >/dev/null; then
        echo "pulseaudio or pactl is not installed" >&2
        exit 1
    fi
    stop
    mkdir -p "$runtime" "$dir/xdg" "$dir/home"
    chmod 700 "$runtime" "$dir/xdg"
    {
        echo "load-module module-native-protocol-unix"
        for rate in 44100 48000 96000; do
            echo "load-module module-null-sink sink_name=nalvo$rate rate=$rate channels=2 format=s16le"
            echo "load-module module-pipe-sink sink_name=nalvopipe$rate file=$dir/pipe$rate rate=$rate" \
                "channels=2 format=s16le use_system_clock_for_timing=yes"
        done
        echo "set-default-sink nalvo48000"
    } >"$dir/server.pa"
    printf 'autospawn = no\n' >"$dir/client.conf"
    export PULSE_RUNTIME_PATH="$runtime" XDG_RUNTIME_DIR="$dir/xdg" HOME="$dir/home"
    export PULSE_CLIENTCONFIG="$dir/client.conf"
    pulseaudio --daemonize=yes --exit-idle-time=-1 --use-pid-file=yes --system=no \
        --disallow-exit=no -n -F "$dir/server.pa" --log-target=file:"$dir/daemon.log" 2>>"$dir/daemon.log" || {
        echo "pulseaudio did not start (see $dir/daemon.log)" >&2
        exit 1
    }
    # A busy machine may take seconds to bring it up; one that does not
    # answer within 15 s (the tests wait 20 for this script) is stopped, so
    # that no server outlives the test.
    deadline=$((SECONDS + 15))
    while ((SECONDS < deadline)); do
        pid=$(cat "$runtime/pid" 2>/dev/null)
        [[ -n "$pid" ]] && echo "$pid" >"$pidfile"
        if pactl info >/dev/null 2>&1; then
            exit 0
        fi
        sleep 0.05
    done
    echo "pulseaudio did not answer (see $dir/daemon.log)" >&2
    stop
    exit 1
    ;;
*)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
