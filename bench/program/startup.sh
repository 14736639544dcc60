#!/usr/bin/env bash
# Start-up: from exec to the first sound in the null sink, the program with a
# one-entry WAV playlist against gst-launch-1.0 playbin on the same file, both
# started by the probe with the same environment on the same sound server.
# Each side runs once to warm the caches, then RUNS times, alternating.
# Usage: startup.sh BUILD_DIR [RUNS]
# shellcheck source=bench/program/bench.sh
source "$(dirname "$0")/bench.sh"
bench_init startup "$1"
runs=${2:-7}

rig_step "rig, and a one-entry playlist of a 3 s tone"
bench_start_rig
tone="$RIG_MEDIA/tone.wav"
rig_make_wav "$tone" 3 440
rig_write_playlist "$tone"

program=()
playbin=()
for ((i = 0; i <= runs; i++)); do
    bench_program
    bench_launch "melvane-$i"
    [ "$i" -eq 0 ] || program+=("${B[startup_ms]}")
    rig_log "run $i: melvane ${B[startup_ms]} ms (recording clock +-${B[clock_delay_ms]} ms)"
    bench_wait_quiet
    bench_playbin "$tone"
    bench_launch "playbin-$i"
    [ "$i" -eq 0 ] || playbin+=("${B[startup_ms]}")
    rig_log "run $i: playbin ${B[startup_ms]} ms (recording clock +-${B[clock_delay_ms]} ms)"
    bench_wait_quiet
done

# The method's own check: the same playbin started 200 ms late must measure
# 200 ms more (plus a shell's and a sleep's start, about 2 ms).
late_runs=()
for ((i = 1; i <= 3; i++)); do
    bench_playbin "$tone"
    # shellcheck disable=SC2016  # expanded by the inner shell
    BENCH_CMD=("${BENCH_ENV[@]}" sh -c 'sleep 0.2; exec "$0" "$@"' "${BENCH_CMD[@]:${#BENCH_ENV[@]}}")
    bench_launch "playbin-late-$i"
    late_runs+=("${B[startup_ms]}")
    bench_wait_quiet
done
late=$(bench_median "${late_runs[@]}")

ours=$(bench_median "${program[@]}")
base=$(bench_median "${playbin[@]}")
ratio=$(bench_calc "$ours / $base" "%.2f")
rig_log "melvane runs (ms): ${program[*]}"
rig_log "playbin runs (ms): ${playbin[*]}"
rig_log "check: playbin after a 200 ms sleep measured $late ms, $(bench_calc "$late - 200 - $base" "%+.1f") ms off its median + 200"
met=no
if [ "$(bench_verdict "$ours" "<=" "$(bench_calc "1.3 * $base" "%.1f")")" = yes ] &&
    [ "$(bench_verdict "$ours" "<" 150)" = yes ]; then
    met=yes
fi
bench_row "start-up to first sound, median of $runs" "$ours ms" "playbin $base ms" \
    "<= 1.3x ($ratio x) and < 150 ms" "$met"
rig_done
