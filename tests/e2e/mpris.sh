# Media control over the session bus: the program and playerctl share a
# private bus with no StatusNotifierItem host on it, so the icon still goes to
# the XEmbed tray; playerctl reads and drives the playback, and Quit over the
# bus ends the program the way Exit does.
# Usage: mpris.sh MELVANE MAKETUNES
# shellcheck disable=SC2317  # the small checks below run through rig_wait_for
source "$(dirname "$0")/rig.sh"
rig_init mpris "$1" "$2"
rig_require dbus-run-session dbus-send playerctl

readonly service=org.mpris.MediaPlayer2.melvane path=/org/mpris/MediaPlayer2

rig_step "set up display, session bus, tray, sound server and a one-entry playlist"
rig_start_x
rig_start_session_bus
rig_start_trayer
rig_start_pulse
rig_start_recording
rig_make_tunes
rig_install_app
rig_write_playlist "$RIG_TUNE_WAV"
! rig_bus dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.kde.StatusNotifierWatcher | grep -q 'boolean true' ||
    rig_fail "a StatusNotifierItem watcher is on the bus"

rig_step "start the program: its icon goes to the XEmbed tray, and it plays"
rig_start_app
rig_wait_tray_icon 15
rig_expect_sound_within "$RIG_APP_MARK" 3 "first entry at start"

rig_step "playerctl finds the player on the bus"
players() { rig_bus playerctl -l 2>/dev/null; }
lists_melvane() { players | grep -qx melvane; }
rig_wait_for 10 "playerctl -l to list melvane" lists_melvane
rig_ok "playerctl -l: $(players | paste -sd' ')"

# status_is WORD: playerctl reports that playback status.
status_is() { [ "$(rig_bus playerctl -p melvane status 2>&1)" = "$1" ]; }

rig_step "the status is Playing, and there is sound"
status_is Playing || rig_fail "playerctl -p melvane status: $(rig_bus playerctl -p melvane status 2>&1)"
rig_ok "playerctl -p melvane status: Playing"
rig_expect_sound "$(rig_rec_now)" 1.0 "while Playing"

rig_step "playerctl stop: silence, and the status is Stopped"
rig_bus playerctl -p melvane stop || rig_fail "playerctl -p melvane stop failed"
rig_wait_for 5 "the status Stopped" status_is Stopped
rig_ok "playerctl -p melvane status: Stopped"
rig_expect_silence "$(rig_plus "$(rig_rec_now)" 0.3)" 1.5 "after playerctl stop"

rig_step "playerctl play: sound again, and the status is Playing"
mark=$(rig_rec_now)
rig_bus playerctl -p melvane play || rig_fail "playerctl -p melvane play failed"
rig_expect_sound_within "$mark" 3 "after playerctl play"
status_is Playing || rig_fail "after play, status: $(rig_bus playerctl -p melvane status 2>&1)"
rig_ok "playerctl -p melvane status: Playing"

rig_step "Quit over the bus ends the program, removes the icon and the autostart entry"
[ -f "$RIG_AUTOSTART" ] || rig_fail "no autostart entry before Quit"
# dbus-send sends a signal unless told otherwise; Quit is a method call.
reply=$(rig_bus dbus-send --session --type=method_call --print-reply --dest=$service $path \
    org.mpris.MediaPlayer2.Quit 2>&1) || rig_fail "dbus-send could not call Quit: $reply"
rig_ok "Quit answered: $(head -n 1 <<<"$reply" | cut -d' ' -f1,2)"
mark=$(rig_rec_now)
rig_wait_app_exit 10
[ "$RIG_APP_STATUS" = 0 ] || rig_fail "the program exited with status $RIG_APP_STATUS"
rig_ok "program ended with status 0"
[ ! -e "$RIG_AUTOSTART" ] || rig_fail "the autostart entry is still there: $RIG_AUTOSTART"
rig_ok "autostart entry removed"
! rig_x xwininfo -id "$RIG_ICON_WINDOW" >/dev/null 2>&1 || rig_fail "the tray icon's window still exists"
rig_ok "tray icon gone"
players_now=$(players || true)
! grep -qx melvane <<<"$players_now" || rig_fail "playerctl still lists melvane"
rig_ok "the player is gone from the bus"
rig_shot after-quit >/dev/null
rig_expect_silence "$(rig_plus "$mark" 1.0)" 1.0 "after Quit"

rig_done
