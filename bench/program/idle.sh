#!/usr/bin/env bash
# Idle cost: CPU seconds over SECONDS (60) in the tray after Stop, and RSS. The
# program starts playing a one-entry playlist; " Stop" is then chosen from its
# tray menu (a right press on the icon, six items down, Return). The baseline
# is a bare Qt 6 tray process (melvane-bench-bare-tray) in the same session.
# CPU is summed over the process's threads from /proc/PID/task/*/schedstat
# (nanoseconds, per thread); /proc/PID/stat's clock ticks (10 ms, ended
# threads included) are shown beside it.
# Usage: idle.sh BUILD_DIR [SECONDS]
# shellcheck source=bench/program/bench.sh
source "$(dirname "$0")/bench.sh"
bench_init idle "$1"
seconds=${2:-60}
[ -x "$BENCH_BIN/melvane-bench-bare-tray" ] || rig_fail "melvane-bench-bare-tray is not built"

# bench_cpu PID: one line per thread, "TID NANOSECONDS", then "ticks N" (user
# and system time of the whole process, ended threads included, in 10 ms).
bench_cpu() {
    local task
    for task in /proc/"$1"/task/*; do
        echo "${task##*/} $(cut -d' ' -f1 "$task/schedstat" 2>/dev/null || echo 0)"
    done
    echo "ticks $(rig_pid_fields "$1" | awk '{ print $12 + $13 }')"
}

rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }

# idle_cost NAME: measures RIG_APP_PID for `seconds`; sets IDLE_CPU (s) and
# IDLE_RSS (kB). A thread that ends within the window takes its last moments
# with it; the window's ticks and the thread counts are shown to tell.
idle_cost() {
    local before after
    before=$(bench_cpu "$RIG_APP_PID")
    sleep "$seconds"
    rig_app_alive || rig_fail "$1 ended while idle"
    after=$(bench_cpu "$RIG_APP_PID")
    local summary
    summary=$(awk 'NR == FNR { was[$1] = $2; next }
        $1 == "ticks" { ticks = $2 - was["ticks"]; next }
        { used += $2 - ($1 in was ? was[$1] : 0); seen[$1] = 1; now++ }
        END {
            for (t in was) if (t != "ticks") { then++; if (!(t in seen)) gone++ }
            printf "%.4f %d %d %d %d", used / 1e9, ticks, then, now, gone
        }' <(echo "$before") <(echo "$after"))
    read -r IDLE_CPU ticks threads_before threads_after gone <<<"$summary"
    IDLE_RSS=$(rss_kb "$RIG_APP_PID")
    rig_log "$1: ${IDLE_CPU} s CPU over ${seconds} s ($ticks ticks of 10 ms; threads" \
        "$threads_before -> $threads_after, $gone ended), RSS ${IDLE_RSS} kB"
}

rig_step "rig and a one-entry playlist of a 30 s tone"
bench_start_rig
tone="$RIG_MEDIA/tone.wav"
rig_make_wav "$tone" 30 440
rig_write_playlist "$tone"

rig_step "baseline: a bare Qt tray icon"
program_path=$RIG_APP
RIG_APP="$BENCH_BIN/melvane-bench-bare-tray"
rig_start_app
rig_wait_tray_icon 15
sleep 2
idle_cost "bare tray"
bare_cpu=$IDLE_CPU bare_rss=$IDLE_RSS
rig_stop_pid "$RIG_APP_PID"
RIG_APP=$program_path

rig_step "the program plays, then Stop from its tray menu"
rig_start_app
rig_wait_tray_icon 15
rig_expect_sound_within "$RIG_APP_MARK" 3 "the tone"
rig_x xdotool mousemove --sync "$RIG_ICON_CX" "$RIG_ICON_CY" click 3
# shellcheck disable=SC2317  # run through rig_wait_for
popup_open() { rig_find_app_toplevel_other_than 0 60 100; }
rig_wait_for 5 "the tray menu" popup_open
rig_ok "tray menu $RIG_FOUND_WINDOW at $(rig_window_geometry "$RIG_FOUND_WINDOW")"
rig_x xdotool key Down Down Down Down Down Down Return
rig_wait_for 5 "the tray menu to close" rig_window_gone "$RIG_FOUND_WINDOW"
mark=$(rig_rec_now)
rig_expect_silence "$(rig_plus "$mark" 0.3)" 1.0 "after Stop"
sleep 1

rig_step "idle in the tray for ${seconds} s"
idle_cost "melvane"
rig_expect_silence "$(rig_plus "$(rig_rec_now)" -5)" 4 "still stopped"
per_minute=$(bench_calc "$IDLE_CPU * 60 / $seconds" "%.4f")
bare_per_minute=$(bench_calc "$bare_cpu * 60 / $seconds" "%.4f")
bench_row "idle CPU s per minute after Stop" "$per_minute s" "bare Qt tray $bare_per_minute s" \
    "<= 0.02 s" "$(bench_verdict "$per_minute" "<=" 0.02)"
bench_row "idle RSS after Stop" "$(bench_calc "$IDLE_RSS / 1024" "%.1f") MB" \
    "bare Qt tray $(bench_calc "$bare_rss / 1024" "%.1f") MB" "(no goal)" "-"
rig_done
