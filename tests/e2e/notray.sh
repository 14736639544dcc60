# shellcheck shell=bash
# Start-up with no tray to live in: after a short wait for one the window
# shows instead of staying hidden. Once the user has clicked it, a tray that
# starts later gets the icon while the window stays as it was.
# Usage: notray.sh MELVANE MAKETUNES
# shellcheck disable=SC2317  # the small checks below run through rig_wait_for
source "$(dirname "$0")/rig.sh"
rig_init notray "$1" "$2"

rig_setup none
! rig_x xdotool search --onlyvisible --name '^panel$' >/dev/null 2>&1 || rig_fail "a tray host is running"

rig_step "start the program: the window shows at 0,0, 508x325"
rig_start_app
rig_expect_window 15
window=$RIG_WINDOW
rig_expect_sound_within "$RIG_APP_MARK" 3 "first entry at start"
shot=$(rig_shot without-tray)
rig_expect_skin "$shot"
[ -z "$(rig_app_embedded)" ] || rig_fail "the program has a window inside another client already"
# The program must stay up without a tray: a second's wait shows it does.
sleep 1
rig_app_alive || rig_fail "the program ended without a tray"

rig_step "the user clicks the window's background"
rig_click 250 40
rig_app_alive || rig_fail "the program ended"

rig_step "a tray host starts: the icon appears in it within a few seconds"
tray_start=$SECONDS
rig_start_trayer
rig_wait_tray_icon 8
rig_ok "icon docked $((SECONDS - tray_start))s after the tray host was started"

rig_step "the window is still shown, where it was"
window_unchanged() {
    [ "$(rig_window_geometry "$window")" = "0 0 508 325" ] &&
        rig_x xwininfo -id "$window" | grep -q 'Map State: IsViewable'
}
window_unchanged ||
    rig_fail "the window changed: $(rig_window_geometry "$window"), $(rig_x xwininfo -id "$window" |
        grep 'Map State')"
sleep 1
window_unchanged || rig_fail "the window changed a second later: $(rig_window_geometry "$window")"
[ "$(rig_app_toplevels)" = "$window" ] || rig_fail "other top-level windows appeared: $(rig_app_toplevels)"
rig_ok "window $window still viewable at 0,0, 508x325"
rig_shot with-tray >/dev/null
rig_expect_sound "$(rig_rec_now)" 1.0 "the track goes on"

rig_step "the icon works: a right click opens the menu; Escape closes it"
rig_open_tray_menu
rig_x xdotool key Escape
rig_wait_for 5 "the menu to close" rig_window_gone "$RIG_MENU_WINDOW"
rig_ok "menu closed"
rig_app_alive || rig_fail "the program ended"

rig_done
