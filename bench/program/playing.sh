#!/usr/bin/env bash
# Playing cost: CPU seconds and peak RSS while the program plays a demo tune of
# SECONDS (60) as MP3, WAV and MIDI, its window hidden and its tray icon
# animating in trayer, against gst-launch-1.0 playbin on the same file.
# The two play at the same time, into the same sink: whatever else the
# machine does then weighs on both alike, which one after the other it does
# not (single runs apart drifted by 10% and more). CPU is read from /proc
# from LEAD seconds after the start (start-up done) to LEAD seconds before the
# end, and given per minute of playing. RUNS (3) runs per format; medians.
# Usage: playing.sh BUILD_DIR [SECONDS] [RUNS]
# shellcheck source=bench/program/bench.sh
source "$(dirname "$0")/bench.sh"
bench_init playing "$1"
seconds=${2:-60}
runs=${3:-3}
readonly lead=3
window=$((seconds - 2 * lead))

# cpu_s PID: user and system time so far, in seconds (threads that ended
# included).
cpu_s() {
    awk -v hz="$(getconf CLK_TCK)" '{ printf "%.2f", ($14 + $15) / hz }' "/proc/$1/stat"
}
hwm_kb() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status"; }

rig_step "rig and ${seconds} s tunes"
bench_start_rig

for format in mp3 wav mid; do
    file="$RIG_MEDIA/tune-$seconds.$format"
    "$BENCH_PROBE" tune "$format" "$file" "$seconds" || rig_fail "cannot write $file"
    rig_write_playlist "$file"
    our_cpu=() base_cpu=() our_hwm=() base_hwm=() ratios=()
    for ((run = 1; run <= runs; run++)); do
        rig_step "$format, run $run: the program and playbin together"
        bench_program
        "${BENCH_CMD[@]}" >"$RIG_DIR/logs/melvane-$format-$run.log" 2>&1 &
        ours=$!
        rig_track "$ours" "melvane ($format, run $run)"
        bench_playbin "$file"
        "${BENCH_CMD[@]}" >"$RIG_DIR/logs/playbin-$format-$run.log" 2>&1 &
        base=$!
        rig_track "$base" "playbin ($format, run $run)"
        sleep "$lead"
        rig_pid_alive "$ours" && rig_pid_alive "$base" || rig_fail "a player ended early"
        rig_expect_sound "$(rig_plus "$(rig_rec_now)" -1)" 0.5 "$format playing" >/dev/null
        ours0=$(cpu_s "$ours") base0=$(cpu_s "$base")
        sleep "$window"
        ours1=$(cpu_s "$ours") base1=$(cpu_s "$base")
        our_hwm+=("$(hwm_kb "$ours")") base_hwm+=("$(hwm_kb "$base")")
        rig_stop_pid "$ours"
        rig_stop_pid "$base"
        our_cpu+=("$(bench_calc "($ours1 - $ours0) * 60 / $window" "%.3f")")
        base_cpu+=("$(bench_calc "($base1 - $base0) * 60 / $window" "%.3f")")
        ratios+=("$(bench_calc "${our_cpu[-1]} / (${base_cpu[-1]} > 0 ? ${base_cpu[-1]} : 0.01)" "%.3f")")
        rig_log "melvane ${our_cpu[-1]} s/min, playbin ${base_cpu[-1]} s/min (${ratios[-1]} x);" \
            "peak RSS ${our_hwm[-1]} kB and ${base_hwm[-1]} kB"
        bench_wait_quiet
    done
    ours=$(bench_median "${our_cpu[@]}") base=$(bench_median "${base_cpu[@]}")
    ratio=$(bench_median "${ratios[@]}")
    hwm=$(printf '%s\n' "${our_hwm[@]}" | sort -n | tail -n 1)
    base_peak=$(printf '%s\n' "${base_hwm[@]}" | sort -n | tail -n 1)
    bench_row "$format: CPU s per minute playing" "$ours s" "playbin $base s" \
        "<= 1.10x (median $ratio x)" "$(bench_verdict "$ratio" "<=" 1.10)"
    bench_row "$format: ratio of each run" "${ratios[*]}" "-" "(for reference)" "-"
    bench_row "$format: peak RSS (VmHWM)" "$(bench_calc "$hwm / 1024" "%.1f") MB" \
        "playbin $(bench_calc "$base_peak / 1024" "%.1f") MB" "<= 45 MB" \
        "$(bench_verdict "$hwm" "<=" $((45 * 1024)))"
done
rig_done
