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

rig_setup trayer bus
! rig_bus dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.kde.StatusNotifierWatcher | grep -q 'boolean true' ||
    rig_fail "a StatusNotifierItem watcher is on the bus"

rig_start_playing

rig_step "playerctl finds the player on the bus"
players() { rig_bus playerctl -l 2>/dev/null; }
lists_melvane() { players | grep -qx melvane; }
rig_wait_for 10 "playerctl -l to list melvane" lists_melvane
rig_ok "playerctl -l: $(players | paste -sd' ')"

# status_is WORD: playerctl reports that playback status.
status_is() { [ "$(rig_bus playerctl -p melvane status 2>&1)" = "$1" ]; }

rig_step "the status is Playing"
status_is Playing || rig_fail "playerctl -p melvane status: $(rig_bus playerctl -p melvane status 2>&1)"
rig_ok "playerctl -p melvane status: Playing"

# control COMMAND STATUS: playerctl COMMAND is obeyed and leads to STATUS.
control() {
    rig_bus playerctl -p melvane "$1" || rig_fail "playerctl -p melvane $1 failed"
    rig_wait_for 5 "the status $2" status_is "$2"
    rig_ok "playerctl -p melvane status: $2"
}
rig_expect_stops "playerctl stop" control stop Stopped
rig_expect_plays "playerctl play" control play Playing

# quit: Quit over the bus; dbus-send sends a signal unless told otherwise, and
# Quit is a method call.
quit() {
    reply=$(rig_bus dbus-send --session --type=method_call --print-reply --dest="$service" "$path" \
        org.mpris.MediaPlayer2.Quit 2>&1) || rig_fail "dbus-send could not call Quit: $reply"
    rig_ok "Quit answered: $(head -n 1 <<<"$reply" | cut -d' ' -f1,2)"
}
rig_expect_exit "Quit over the bus" quit
rig_expect_tray_icon_gone
players_now=$(players || true)
! grep -qx melvane <<<"$players_now" || rig_fail "playerctl still lists melvane"
rig_ok "the player is gone from the bus"
rig_shot after-quit >/dev/null

rig_done
