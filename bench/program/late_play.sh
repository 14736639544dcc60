#!/usr/bin/env bash
# A track played after waiting prerolled, as the first track of a run waits
# for the window: how much later than a track played at once its first sound
# comes, less the wait itself, through the media layer alone on the rig's null
# sink. The probe times both from exec to the first sound.
# Usage: late_play.sh BUILD_DIR [RUNS] [WAIT_MS]
# shellcheck source=bench/program/bench.sh
source "$(dirname "$0")/bench.sh"
bench_init late-play "$1"
runs=${2:-7}
wait_ms=${3:-1000}
tool="$BENCH_BIN/melvane-bench-late-play"
[ -x "$tool" ] || rig_fail "$tool is not built"

rig_step "rig, and a 3 s tone"
bench_start_rig
tone="$RIG_MEDIA/tone.wav"
rig_make_wav "$tone" 3 440

at_once=()
waited=()
for ((i = 0; i <= runs; i++)); do
    bench_player_env
    BENCH_CMD=("${BENCH_ENV[@]}" "$tool" "$tone" 0)
    bench_launch "at-once-$i"
    [ "$i" -eq 0 ] || at_once+=("${B[startup_ms]}")
    bench_wait_quiet
    BENCH_CMD=("${BENCH_ENV[@]}" "$tool" "$tone" "$wait_ms")
    bench_launch "waited-$i"
    [ "$i" -eq 0 ] || waited+=("${B[startup_ms]}")
    rig_log "run $i: at once ${at_once[*]: -1} ms, after waiting ${B[startup_ms]} ms"
    bench_wait_quiet
done

first=$(bench_median "${at_once[@]}")
late=$(bench_median "${waited[@]}")
added=$(bench_calc "$late - $first - $wait_ms" "%+.1f")
rig_log "played at once (ms from exec): ${at_once[*]}"
rig_log "played after ${wait_ms} ms (ms from exec): ${waited[*]}"
bench_row "first sound after waiting ${wait_ms} ms prerolled" "$added ms" "played at once" \
    "(none)" "-"
rig_done
