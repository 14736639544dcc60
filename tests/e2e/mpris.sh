# shellcheck shell=bash disable=SC2015  # "check && check || rig_fail": rig_fail ends the scenario
# Media control over the session bus: the program and playerctl share a
# private bus with no StatusNotifierItem host on it, so the icon still goes to
# the XEmbed tray; playerctl reads and drives the playback, and Quit over the
# bus ends the program the way Exit does. The playlist is an MP3 with tags
# and one without (both encoded by lame): the bus shows the first's title,
# artist, album and length, a position that advances, and the second's file
# name.
# Usage: mpris.sh MELVANE MAKETUNES
# shellcheck disable=SC2317  # the small checks below run through rig_wait_for
source "$(dirname "$0")/rig.sh"
rig_init mpris "$1" "$2"
rig_require dbus-run-session dbus-send playerctl lame

readonly service=org.mpris.MediaPlayer2.melvane path=/org/mpris/MediaPlayer2

rig_setup trayer bus
! rig_bus dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.kde.StatusNotifierWatcher | grep -q 'boolean true' ||
    rig_fail "a StatusNotifierItem watcher is on the bus"

tagged="$RIG_MEDIA/tagged.mp3" plain="$RIG_MEDIA/plain tune.mp3"
lame --quiet --tt "Night Tune" --ta "Rig Artist" --tl "Rig Album" "$RIG_TUNE_WAV" "$tagged" ||
    rig_fail "lame could not write $tagged"
lame --quiet "$RIG_TUNE_WAV" "$plain" || rig_fail "lame could not write $plain"
rig_write_playlist "$tagged" "$plain"

rig_start_playing

rig_step "playerctl finds the player on the bus"
players() { rig_bus playerctl -l 2>/dev/null; }
lists_melvane() { players | grep -qx melvane; }
rig_wait_for 10 "playerctl -l to list melvane" lists_melvane
rig_ok "playerctl -l: $(players | paste -sd' ')"

rig_step "the status is Playing"
rig_status_is Playing || rig_fail "playerctl -p melvane status: $(rig_bus playerctl -p melvane status 2>&1)"
rig_ok "playerctl -p melvane status: Playing"

# meta FORMAT: playerctl's metadata in that format.
meta() { rig_bus playerctl -p melvane metadata --format "$1" 2>&1; }

rig_step "the metadata comes from the tags"
got=$(meta '{{xesam:title}}|{{xesam:artist}}|{{xesam:album}}|{{xesam:url}}')
[ "$got" = "Night Tune|Rig Artist|Rig Album|file://$tagged" ] || rig_fail "metadata: $got"
rig_ok "metadata: $got"
length=$(meta '{{mpris:length}}')
# The tune lasts 8 s.
[[ "$length" =~ ^[0-9]+$ ]] && [ "$length" -gt 7800000 ] && [ "$length" -lt 8200000 ] ||
    rig_fail "mpris:length: $length"
rig_ok "mpris:length: $length"

rig_step "the position advances"
position_us() {
    local p
    p=$(rig_bus playerctl -p melvane position 2>/dev/null) || return 1
    awk -v p="$p" 'BEGIN { printf "%d", p * 1000000 }'
}
first=$(position_us) || rig_fail "playerctl -p melvane position failed"
[ "$first" -gt 0 ] || rig_fail "position is $first while playing"
moved_on() { [ "$(position_us)" -ge $((first + 500000)) ]; }
rig_wait_for 5 "the position to pass $first us by half a second" moved_on
rig_ok "position: ${first} us, then $(position_us) us"

rig_step "a file without tags is named by its file name"
rig_bus playerctl -p melvane next || rig_fail "playerctl -p melvane next failed"
plain_named() { [ "$(meta '{{xesam:title}}|{{xesam:artist}}|{{xesam:album}}')" = "plain tune.mp3||" ]; }
rig_wait_for 5 "the title 'plain tune.mp3' without artist or album" plain_named
got=$(meta '{{xesam:title}}|{{xesam:url}}')
[ "$got" = "plain tune.mp3|file://${plain// /%20}" ] || rig_fail "metadata: $got"
rig_ok "metadata: $got"

# control COMMAND STATUS: playerctl COMMAND is obeyed and leads to STATUS.
control() {
    rig_bus playerctl -p melvane "$1" || rig_fail "playerctl -p melvane $1 failed"
    rig_wait_for 5 "the status $2" rig_status_is "$2"
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
