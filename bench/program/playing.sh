#!/usr/bin/env bash
# Playing cost: CPU seconds and peak RSS while the program plays a demo tune of
# SECONDS (60) as MP3, WAV and MIDI to its end, its window hidden and its tray
# icon animating in trayer, against gst-launch-1.0 playbin on the same files.
# CPU is read from /proc at the first sound and just before the last one, so
# "playing" is the cost between the two and "whole" adds the start-up. Each
# side plays each file RUNS times (1), taking turns; medians are judged.
# Usage: playing.sh BUILD_DIR [SECONDS] [RUNS]
# shellcheck source=bench/program/bench.sh
source "$(dirname "$0")/bench.sh"
bench_init playing "$1"
seconds=${2:-60}
runs=${3:-1}

rig_step "rig and ${seconds} s tunes"
bench_start_rig

for format in mp3 wav mid; do
    file="$RIG_MEDIA/tune-$seconds.$format"
    "$BENCH_PROBE" tune "$format" "$file" "$seconds" || rig_fail "cannot write $file"
    rig_write_playlist "$file"
    our_plays=() our_wholes=() our_hwms=() base_plays=() base_wholes=() base_hwms=()
    for ((run = 1; run <= runs; run++)); do
        rig_step "$format, run $run: the program"
        bench_program
        bench_launch "melvane-$format-$run" --play-seconds "$seconds"
        our_plays+=("${B[cpu_playing_s]}") our_wholes+=("${B[cpu_at_end_s]}") our_hwms+=("${B[hwm_kb]}")
        rig_log "melvane: playing ${B[cpu_playing_s]} s, whole ${B[cpu_at_end_s]} s," \
            "peak RSS ${B[hwm_kb]} kB, ${B[threads]} threads"
        bench_wait_quiet

        rig_step "$format, run $run: playbin"
        bench_playbin "$file"
        bench_launch "playbin-$format-$run" --play-seconds "$seconds" --until-exit
        base_plays+=("${B[cpu_playing_s]}") base_wholes+=("${B[cpu_at_end_s]}") base_hwms+=("${B[hwm_kb]}")
        rig_log "playbin: playing ${B[cpu_playing_s]} s, whole ${B[cpu_at_end_s]} s" \
            "(${B[cpu_at_exit_s]} s at its exit), peak RSS ${B[hwm_kb]} kB"
        bench_wait_quiet
    done
    ours=$(bench_median "${our_plays[@]}") base=$(bench_median "${base_plays[@]}")
    ours_whole=$(bench_median "${our_wholes[@]}") base_whole=$(bench_median "${base_wholes[@]}")
    hwm=$(printf '%s\n' "${our_hwms[@]}" | sort -n | tail -n 1)
    base_hwm=$(printf '%s\n' "${base_hwms[@]}" | sort -n | tail -n 1)
    ratio=$(bench_calc "$ours / ($base > 0 ? $base : 0.01)" "%.2f")
    whole_ratio=$(bench_calc "$ours_whole / ($base_whole > 0 ? $base_whole : 0.01)" "%.2f")
    bench_row "$format: CPU s while playing ${seconds} s" "$ours s" "playbin $base s" \
        "<= 1.10x ($ratio x)" "$(bench_verdict "$ours" "<=" "$(bench_calc "1.10 * $base" "%.3f")")"
    bench_row "$format: CPU s exec to end (incl. start-up)" "$ours_whole s" \
        "playbin $base_whole s" "(for reference: $whole_ratio x)" "-"
    bench_row "$format: peak RSS (VmHWM)" "$(bench_calc "$hwm / 1024" "%.1f") MB" \
        "playbin $(bench_calc "$base_hwm / 1024" "%.1f") MB" "<= 45 MB" \
        "$(bench_verdict "$hwm" "<=" $((45 * 1024)))"
done
rig_done
