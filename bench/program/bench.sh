# shellcheck shell=bash
# Shared set-up of the whole-program benchmarks, on top of the end-to-end rig
# (tests/e2e/rig.sh): a private X display with trayer, a private PulseAudio
# with its null sink recorded at low latency, and the same environment for the
# program and for its baseline, gst-launch-1.0 playbin.
#
# Usage in a benchmark script:
#   source "$(dirname "$0")/bench.sh"
#   bench_init NAME BUILD_DIR
#   bench_start_rig                # Xvfb, trayer, PulseAudio, recording
#   bench_launch OUT [probe options] -- COMMAND...   # sets B[...] from OUT
#   rig_done

# shellcheck source=tests/e2e/rig.sh
source "$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/tests/e2e/rig.sh"

# bench_init NAME BUILD_DIR
bench_init() {
    local build
    build=$(cd "$2" && pwd) || exit 1
    BENCH_BIN="$build/bin"
    BENCH_PROBE="$BENCH_BIN/melvane-bench-probe"
    local tool
    for tool in melvane melvane-maketunes melvane-bench-probe gst-launch-1.0; do
        if [ "$tool" = gst-launch-1.0 ]; then
            command -v "$tool" >/dev/null || { echo "$1: $tool is not installed" >&2; exit 1; }
        elif [ ! -x "$BENCH_BIN/$tool" ]; then
            echo "$1: $BENCH_BIN/$tool is not built" >&2
            exit 1
        fi
    done
    rig_init "bench-$1" "$BENCH_BIN/melvane" "$BENCH_BIN/melvane-maketunes"
}

# The monitor recorded with a 2 ms latency: the sink then renders in small
# blocks, and the recording's clock is known to within about that much.
bench_start_recording() {
    rig_pulse_env
    "${RIG_ENV[@]}" parec --device=cap.monitor --raw --format=s16le --rate="$RIG_RATE" \
        --channels=2 --latency-msec=2 >"$RIG_REC" 2>"$RIG_DIR/logs/parec.log" &
    rig_track $! parec
    rig_wait_for 10 "the monitor recording to start" rig_recording_beyond 0
    rig_ok "recording the sink's monitor (2 ms latency)"
}

bench_start_rig() {
    rig_start_x
    rig_start_trayer
    rig_start_pulse
    bench_start_recording
    rig_install_app
    # A GStreamer registry of its own, built before any clock starts.
    rig_env
    "${RIG_ENV[@]}" GST_REGISTRY="$RIG_HOME/gst-registry.bin" gst-inspect-1.0 >/dev/null 2>&1 || true
}

# Sets BENCH_ENV: the rig's environment for a player, the same for the program
# and for gst-launch-1.0.
bench_player_env() {
    rig_env
    BENCH_ENV=("${RIG_ENV[@]}" PULSE_SERVER="unix:$RIG_PULSE_DIR/native"
        GST_REGISTRY="$RIG_HOME/gst-registry.bin" QT_QPA_PLATFORM=xcb)
}

# The baseline command for a file: gst-launch-1.0 playbin, nothing else.
bench_playbin() {
    bench_player_env
    BENCH_CMD=("${BENCH_ENV[@]}" gst-launch-1.0 -q playbin "uri=file://$1")
}

bench_program() {
    bench_player_env
    BENCH_CMD=("${BENCH_ENV[@]}" "$RIG_APP")
}

# The General MIDI soundfonts installed, by path: TimGM6mb, and FluidR3_GM
# where it is installed.
bench_soundfonts() {
    local font
    for font in /usr/share/sounds/sf2/TimGM6mb.sf2 /usr/share/sounds/sf2/FluidR3_GM.sf2; do
        [ -r "$font" ] && echo "$font"
    done
}

# bench_with_soundfont FONT: BENCH_CMD run where FONT is the only soundfont
# to be found, and the system's default one: in a mount namespace of its own,
# /usr/share/sounds/sf2 holds FONT and default-GM.sf2 naming it, and
# /usr/share/sounds/sf3 nothing. The program and playbin both look there.
# The command keeps its PID (each step execs the next). Needs root, or user
# namespaces.
bench_with_soundfont() {
    local font=$1 name held
    name=$(basename "$font")
    held="$RIG_DIR/soundfont-$name"
    : >"$held"
    # shellcheck disable=SC2016  # expanded by the sh -c inside the new namespace
    local view='mount --bind "$1" "$2" &&
        mount -t tmpfs tmpfs /usr/share/sounds/sf3 &&
        mount -t tmpfs tmpfs /usr/share/sounds/sf2 &&
        : >"/usr/share/sounds/sf2/$3" && mount --bind "$2" "/usr/share/sounds/sf2/$3" &&
        ln -s "$3" /usr/share/sounds/sf2/default-GM.sf2 && shift 3 && exec "$@"'
    local unshare=(unshare -m --propagation private)
    [ "$(id -u)" -eq 0 ] || unshare=(unshare -r -m --propagation private)
    BENCH_CMD=("${unshare[@]}" -- sh -c "$view" sh "$font" "$held" "$name" "${BENCH_CMD[@]}")
}

# bench_launch NAME [probe options]: runs the probe on BENCH_CMD and reads its
# key=value answer into the associative array B. Fails on a probe error.
bench_launch() {
    local name=$1 out="$RIG_DIR/logs/$1.probe" pid status=0
    shift
    "$BENCH_PROBE" launch --record "$RIG_REC" "$@" -- "${BENCH_CMD[@]}" \
        >"$out" 2>"$RIG_DIR/logs/$name.log" &
    pid=$!
    rig_track "$pid" "probe $name"
    wait "$pid" || status=$?
    # shellcheck disable=SC2034  # the rig's record of processes already waited for
    RIG_REAPED[$pid]=1
    declare -gA B=()
    while IFS='=' read -r key value; do
        [ -n "$key" ] && B[$key]=$value
    done <"$out"
    if [ "$status" -ne 0 ] || [ -n "${B[error]:-}" ]; then
        rig_fail "$name: ${B[error]:-probe failed with status $status}: $(tail -n 5 "$RIG_DIR/logs/$name.log")"
    fi
}

# bench_wait_quiet: lets the sink fall silent after a player was stopped.
bench_wait_quiet() {
    sleep 0.5
    rig_expect_silence "$(rig_plus "$(rig_rec_now)" -0.3)" 0.2 "sink between runs" >/dev/null
}

# bench_median VALUES...
bench_median() {
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
        if (NR % 2) print v[(NR + 1) / 2]; else printf "%.2f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# bench_calc EXPRESSION: awk arithmetic, printed with the format given last.
bench_calc() {
    awk "BEGIN { printf \"$2\", $1 }"
}

# bench_verdict VALUE OP LIMIT: "yes" or "NO".
bench_verdict() {
    awk -v v="$1" -v l="$3" -v op="$2" 'BEGIN {
        ok = (op == "<=") ? v + 0 <= l + 0 : v + 0 < l + 0
        print ok ? "yes" : "NO" }'
}

# bench_row FIGURE VALUE BASELINE GOAL MET: one line of the results table;
# every benchmark prints its rows with this prefix so run-all.sh can gather them.
bench_row() {
    printf 'RESULT | %-44s | %-18s | %-26s | %-28s | %-4s |\n' "$@"
}
