# The window's buttons, driven with the mouse: the window comes up from the
# tray icon, Stop shows its hover picture, Stop and Play stop and restart the
# sound, Add takes a file through the real file dialog into the list and
# Music.mus, and Exit ends the program and undoes the autostart entry.
# Usage: buttons.sh MELVANE MAKETUNES
# shellcheck disable=SC2317  # the small checks below run through rig_wait_for
source "$(dirname "$0")/rig.sh"
rig_init buttons "$1" "$2"

res="$RIG_SOURCE_ROOT/src/res"
# Screen positions of the controls (the window sits at 0,0): Stop's picture,
# the middle of each button, and the inside of the list.
stop_x=11 stop_y=185
stop_click=(20 195)
play_click=(22 171)
add_click=(52 93)
exit_click=(464 296)
list_area=(37 106 449 179)

rig_step "set up display, tray, sound server and a one-entry playlist"
rig_start_x
rig_start_trayer
rig_start_pulse
rig_start_recording
rig_make_tunes
rig_install_app
rig_write_playlist "$RIG_TUNE_WAV"
rig_start_app
rig_wait_tray_icon 15
rig_expect_sound_within "$RIG_APP_MARK" 3 "first entry at start"

rig_step "a double-click on the tray icon shows the window at 0,0, 508x325"
rig_double_click "$RIG_ICON_CX" "$RIG_ICON_CY"
rig_wait_for 10 "the 508x325 window" rig_find_app_toplevel_sized 508 325
window=$RIG_FOUND_WINDOW
geometry=$(rig_x xdotool getwindowgeometry "$window")
grep -q 'Position: 0,0 ' <<<"$geometry" || rig_fail "window is not at 0,0: $geometry"
grep -q 'Geometry: 508x325' <<<"$geometry" || rig_fail "window is not 508x325: $geometry"
rig_ok "window $window: $(grep -E 'Position|Geometry' <<<"$geometry" | xargs)"
shot=$(rig_shot window)
for point in "20 20" "250 40" "300 70" "480 310"; do
    read -r x y <<<"$point"
    [ "$(rig_pixel "$shot" "$x" "$y")" = "$(rig_pixel "$res/157.png" "$x" "$y")" ] ||
        rig_fail "the window at $x,$y is not the background picture (157.png)"
done
rig_ok "the window shows the background picture"
[ "$(rig_area_mismatch "$shot" "$stop_x" "$stop_y" "$res/186.png")" = 0 ] ||
    rig_fail "Stop does not show its normal picture (186.png) before the hover"
rig_ok "Stop shows its normal picture"

rig_step "hovering Stop shows its hover picture"
rig_hover "${stop_click[@]}"
stop_hot() {
    shot=$(rig_shot stop-hover)
    [ "$(rig_area_mismatch "$shot" "$stop_x" "$stop_y" "$res/187.png")" = 0 ]
}
rig_wait_for 5 "Stop's hover picture (187.png) at $stop_x,$stop_y" stop_hot
rig_ok "Stop shows 187.png under the mouse"

rig_step "Stop silences the player"
mark=$(rig_rec_now)
rig_click "${stop_click[@]}"
rig_expect_sound "$(rig_plus "$mark" -1.2)" 1.0 "before Stop"
rig_expect_silence "$(rig_plus "$mark" 0.5)" 1.5 "after Stop"

rig_step "Play starts it again"
mark=$(rig_rec_now)
rig_click "${play_click[@]}"
rig_expect_sound_within "$mark" 3 "after Play"

rig_step "Add takes a new file through the file dialog"
added="$RIG_MEDIA/added-tone.wav"
rig_make_wav "$added" 6 523
lines=$(rig_text_lines "$(rig_shot before-add)" "${list_area[@]}")
[ "$lines" = 1 ] || rig_fail "the list shows $lines lines before Add, expected 1"
rig_click "${add_click[@]}"
rig_wait_for 10 "the file dialog" rig_find_app_toplevel_other_than "$window" 300 200
dialog=$RIG_FOUND_WINDOW
rig_ok "file dialog $dialog \"$(rig_window_name "$dialog")\", $(rig_window_geometry "$dialog" | awk '{ print $3 "x" $4 }')"
rig_shot file-dialog >/dev/null
rig_type_into "$dialog" "$added"
rig_x xdotool key Return
rig_wait_for 10 "the file dialog to close" rig_window_gone "$dialog"
expected=$(printf '%s\r\n' "$added" "$RIG_TUNE_WAV" | od -c)
playlist_updated() { [ "$(od -c "$RIG_PLAYLIST")" = "$expected" ]; }
rig_wait_for 5 "Music.mus to hold both files in list order, CR LF ended" playlist_updated
rig_ok "Music.mus: $(tr -d '\r' <"$RIG_PLAYLIST" | paste -sd'|')"
list_shows_two() { [ "$(rig_text_lines "$(rig_shot after-add)" "${list_area[@]}")" = 2 ]; }
rig_wait_for 5 "two lines in the list" list_shows_two
rig_ok "the list shows two lines"
rig_expect_sound "$(rig_rec_now)" 1.0 "the sounding track goes on after Add"

rig_step "Exit ends the program, removes the tray icon and the autostart entry"
[ -f "$RIG_AUTOSTART" ] || rig_fail "no autostart entry before Exit"
mark=$(rig_rec_now)
rig_click "${exit_click[@]}"
rig_wait_app_exit 10
[ "$RIG_APP_STATUS" = 0 ] || rig_fail "the program exited with status $RIG_APP_STATUS"
rig_ok "program ended with status 0"
! rig_x xwininfo -id "$RIG_ICON_WINDOW" >/dev/null 2>&1 || rig_fail "the tray icon's window still exists"
embedded=$(rig_x xwininfo -id "$RIG_TRAY_HOST_WINDOW" -tree | grep -c '"melvane"' || true)
[ "$embedded" = 0 ] || rig_fail "the tray host still holds $embedded windows of the program"
rig_ok "tray icon gone from the tray host"
[ ! -e "$RIG_AUTOSTART" ] || rig_fail "the autostart entry is still there: $RIG_AUTOSTART"
rig_ok "autostart entry removed"
rig_shot after-exit >/dev/null
rig_expect_silence "$(rig_plus "$mark" 1.0)" 1.0 "after Exit"

rig_done
