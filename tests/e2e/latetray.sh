# shellcheck shell=bash
# Start-up before the tray host, as at login: the program waits a moment for
# a tray with its window hidden. A tray that comes within that moment gets the
# icon and the window never shows; a tray that comes later finds the window
# shown, and the window goes back into the tray since nobody touched it. The
# music starts at once either way. Brought back from the icon, the window's
# Exit button ends the program and takes the icon with it.
# Usage: latetray.sh MELVANE MAKETUNES
# shellcheck disable=SC2317  # the small checks below run through rig_wait_for
source "$(dirname "$0")/rig.sh"
rig_init latetray "$1" "$2"

rig_setup none

# no_window_until SECONDS: watches for the 508x325 window until SECONDS have
# passed since the program started, and fails if it ever shows.
no_window_until() {
    while [ "$SECONDS" -lt $((started + $1)) ]; do
        ! rig_find_app_toplevel_sized 508 325 ||
            rig_fail "the window showed $((SECONDS - started))s after start with a tray on its way"
        sleep 0.2
    done
}

rig_step "a tray host starts a second after the program: the window never shows"
started=$SECONDS
rig_start_app
# The scenario's own timing, not a wait for anything: the tray comes late.
sleep 1
rig_start_trayer
rig_wait_tray_icon 10
rig_expect_sound_within "$RIG_APP_MARK" 3 "first entry at start"
# Well past the wait for a tray.
no_window_until 8
rig_expect_no_window "with the tray that came a second late"
rig_shot early-tray >/dev/null

rig_expect_exit "Exit in the menu" eval 'rig_open_tray_menu; rig_choose_menu_item Exit'
rig_stop_pid "$RIG_TRAY_HOST_PID"
rig_wait_for 10 "the tray host's panel to go" eval '! rig_find_visible_named "^panel$"'
rig_ok "tray host stopped"

rig_step "no tray host comes in time: the window shows, and the music plays"
rig_start_app
rig_expect_window 15
window=$RIG_WINDOW
rig_expect_sound_within "$RIG_APP_MARK" 3 "first entry at start"
rig_shot without-tray >/dev/null

rig_step "a tray host starts later: the untouched window goes into the tray"
rig_start_trayer
rig_wait_tray_icon 10
rig_wait_for 5 "the untouched window to hide" rig_window_gone "$window"
rig_ok "window hidden once the icon docked"
rig_expect_no_window "with the tray that came late"
rig_shot late-tray >/dev/null
rig_expect_sound "$(rig_rec_now)" 1.0 "the track goes on"

rig_step "the window comes back from the tray icon"
rig_double_click "$RIG_ICON_CX" "$RIG_ICON_CY"
rig_expect_window 10
rig_expect_exit "the Exit button" rig_click 464 296
rig_expect_tray_icon_gone

rig_done
