#!/usr/bin/env bash
# Playing cost: CPU seconds and peak RSS while the program plays a demo tune of
# SECONDS (60) as MP3, WAV and MIDI, the MIDI tune with each installed General
# MIDI soundfont in turn (TimGM6mb, FluidR3_GM), its window hidden and its
# tray icon animating in trayer, against gst-launch-1.0 playbin on the same
# file with the same soundfont.
# The two play at the same time, into the same sink: whatever else the
# machine does then weighs on both alike, which one after the other it does
# not (single runs apart drifted by 10% and more). CPU is read from /proc
# from LEAD seconds after the start (start-up done) to LEAD seconds before the
# end, and given per minute of playing. RUNS (3) runs per format; medians.
# Usage: playing.sh BUILD_DIR [SECONDS] [RUNS] [FORMATS ("mp3 wav mid")]
# shellcheck source=bench/program/bench.sh
source "$(dirname "$0")/bench.sh"
bench_init playing "$1"
seconds=${2:-60}
runs=${3:-3}
formats=" ${4:-mp3 wav mid} "
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

# What is played: a format, and for MIDI the soundfont, as "mid:FONT".
cases=()
for format in mp3 wav; do
    [[ "$formats" != *" $format "* ]] || cases+=("$format")
done
if [[ "$formats" == *" mid "* ]]; then
    fonts=$(bench_soundfonts)
    [ -n "$fonts" ] || rig_fail "no General MIDI soundfont installed"
    for font in $fonts; do
        cases+=("mid:$font")
    done
fi

for case in "${cases[@]}"; do
    format=${case%%:*}
    font=${case#*:}
    label=$format
    if [ "$format" = mid ]; then
        label="mid ($(basename "$font" .sf2))"
    fi
    tag=${label//[^a-zA-Z0-9]/-}
    file="$RIG_MEDIA/tune-$seconds.$format"
    "$BENCH_PROBE" tune "$format" "$file" "$seconds" || rig_fail "cannot write $file"
    rig_write_playlist "$file"
    our_cpu=() base_cpu=() our_hwm=() base_hwm=() ratios=()
    for ((run = 1; run <= runs; run++)); do
        rig_step "$label, run $run: the program and playbin together"
        bench_program
        [ "$format" != mid ] || bench_with_soundfont "$font"
        "${BENCH_CMD[@]}" >"$RIG_DIR/logs/melvane-$tag-$run.log" 2>&1 &
        ours=$!
        rig_track "$ours" "melvane ($label, run $run)"
        bench_playbin "$file"
        [ "$format" != mid ] || bench_with_soundfont "$font"
        "${BENCH_CMD[@]}" >"$RIG_DIR/logs/playbin-$tag-$run.log" 2>&1 &
        base=$!
        rig_track "$base" "playbin ($label, run $run)"
        sleep "$lead"
        if ! rig_pid_alive "$ours" || ! rig_pid_alive "$base"; then
            rig_fail "a player ended early"
        fi
        rig_expect_sound "$(rig_plus "$(rig_rec_now)" -1)" 0.5 "$label playing" >/dev/null
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
    # MIDI is to cost no more than playbin's synth with either soundfont.
    goal=1.10
    [ "$format" != mid ] || goal=1.00
    bench_row "$label: CPU s per minute playing" "$ours s" "playbin $base s" \
        "<= ${goal}x (median $ratio x)" "$(bench_verdict "$ratio" "<=" "$goal")"
    bench_row "$label: ratio of each run" "${ratios[*]}" "-" "(for reference)" "-"
    # FluidR3_GM alone is 148 MB; the synth holds only what a tune uses.
    if [[ "$font" == *FluidR3* ]]; then
        rss_goal="below playbin's" rss_met=$(bench_verdict "$hwm" "<" "$base_peak")
    else
        rss_goal="<= 45 MB" rss_met=$(bench_verdict "$hwm" "<=" $((45 * 1024)))
    fi
    bench_row "$label: peak RSS (VmHWM)" "$(bench_calc "$hwm / 1024" "%.1f") MB" \
        "playbin $(bench_calc "$base_peak / 1024" "%.1f") MB" "$rss_goal" "$rss_met"
done
rig_done
