# Start-up with no tray to live in: the window shows instead of staying hidden,
# and a tray that starts later gets the icon while the window stays as it was.
# Usage: notray.sh MELVANE MAKETUNES
# shellcheck disable=SC2317  # the small checks below run through rig_wait_for
source "$(dirname "$0")/rig.sh"
rig_init notray "$1" "$2"

rig_step "set up display and sound server, no tray host, a one-entry playlist"
rig_start_x
rig_start_pulse
rig_start_recording
rig_make_tunes
rig_install_app
rig_write_playlist "$RIG_TUNE_WAV"
! rig_x xdotool search --onlyvisible --name '^panel$' >/dev/null 2>&1 || rig_fail "a tray host is running"

rig_step "start the program: the window shows at 0,0, 508x325"
rig_start_app
rig_wait_for 15 "the 508x325 window" rig_find_app_toplevel_sized 508 325
window=$RIG_FOUND_WINDOW
geometry=$(rig_x xdotool getwindowgeometry "$window")
grep -q 'Position: 0,0 ' <<<"$geometry" || rig_fail "window is not at 0,0: $geometry"
rig_ok "window $window: $(grep -E 'Position|Geometry' <<<"$geometry" | xargs)"
rig_expect_sound_within "$RIG_APP_MARK" 3 "first entry at start"
shot=$(rig_shot without-tray)
for point in "20 20" "250 40" "300 70" "480 310"; do
    read -r x y <<<"$point"
    [ "$(rig_pixel "$shot" "$x" "$y")" = "$(rig_pixel "$RIG_SOURCE_ROOT/src/res/157.png" "$x" "$y")" ] ||
        rig_fail "the window at $x,$y is not the background picture (157.png)"
done
rig_ok "the window shows its skin"
[ -z "$(rig_app_embedded)" ] || rig_fail "the program has a window inside another client already"
sleep 1
rig_app_alive || rig_fail "the program ended without a tray"

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
rig_x xdotool mousemove --sync "$RIG_ICON_CX" "$RIG_ICON_CY" click 3
rig_wait_tray_menu 5
rig_x xdotool key Escape
rig_wait_for 5 "the menu to close" rig_window_gone "$RIG_MENU_WINDOW"
rig_ok "menu closed"
rig_app_alive || rig_fail "the program ended"

rig_done
