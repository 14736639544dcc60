# shellcheck shell=bash
# The sound server goes away under a playing track and comes back. While there
# is no server the player does not claim to play (MPRIS says Stopped), even
# though GStreamer's default output would play into a silent stand-in; once
# the server is back on the same socket, the same entry plays again from its
# start and the list moves on at its end.
# Usage: soundserver.sh MELVANE MAKETUNES
# shellcheck disable=SC2317  # the small checks below run through rig_wait_for
source "$(dirname "$0")/rig.sh"
rig_init soundserver "$1" "$2"
rig_require dbus-run-session dbus-send playerctl

rig_setup trayer bus
readonly second="$RIG_MEDIA/second.wav"
rig_make_wav "$second" 30 660
rig_write_playlist "$RIG_TUNE_WAV" "$second"

rig_start_playing

# track_is NAME: the current entry is the file of that name.
track_is() { rig_bus playerctl -p melvane metadata xesam:url 2>/dev/null | grep -q "/$1\$"; }

# stays_stopped SECONDS WHEN: the status is Stopped and stays so that long;
# only time shows that the player does not start to claim it plays.
stays_stopped() {
    rig_wait_for 10 "the status Stopped $2" rig_status_is Stopped
    for _ in $(seq $(($1 * 2))); do
        sleep 0.5
        rig_status_is Stopped || rig_fail "the player claims to play without a sound server $2"
    done
    rig_ok "still Stopped $1 s $2"
}

rig_wait_for 10 "the status Playing" rig_status_is Playing
track_is "${RIG_TUNE_WAV##*/}" || rig_fail "the first entry is not the current one"
rig_ok "playing ${RIG_TUNE_WAV##*/}"

rig_step "the sound server stops under the playing track"
rig_stop_pulse
# Without a server no output opens but the silent stand-in: the player waits.
stays_stopped 3 "once the server has gone"
rig_shot no-server >/dev/null

rig_step "Play without a sound server does not make the player claim to play"
rig_bus playerctl -p melvane play || rig_fail "playerctl -p melvane play failed"
stays_stopped 2 "after Play"

rig_step "the sound server starts again on the same socket"
mark=$(rig_rec_now)
rig_restart_pulse
rig_expect_sound_within "$mark" 6 "the same entry, on the new server"
rig_status_is Playing || rig_fail "sound is back but the status is not Playing"
track_is "${RIG_TUNE_WAV##*/}" || rig_fail "the entry that broke off is not the one playing again"
rig_ok "playing ${RIG_TUNE_WAV##*/} again"

rig_step "at the end of the entry the list moves on"
rig_wait_for 20 "the second entry" track_is "${second##*/}"
rig_status_is Playing || rig_fail "the second entry does not play"
rig_expect_sound_within "$(rig_rec_now)" 3 "the second entry"

rig_done
