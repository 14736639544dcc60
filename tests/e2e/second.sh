# shellcheck shell=bash disable=SC2015  # "check && check || rig_fail": rig_fail ends the scenario
# One player per user, and files from the command line. --help, --version and
# a wrong option answer without starting anything. With the player running, a
# second start ends at once and the player shows its window; "melvane FILE"
# hands the file over: it lands in Music.mus and plays, in place of what
# played, whatever bytes its name holds and wherever it was named from. A
# player killed outright leaves its socket behind; the next start takes it
# over and plays.
# Usage: second.sh MELVANE MAKETUNES
# shellcheck disable=SC2317  # the small checks below run through rig_wait_for
source "$(dirname "$0")/rig.sh"
rig_init second "$1" "$2"

rig_setup trayer
socket="$RIG_RUNTIME/melvane.socket"

# melvane_now ARGUMENT...: runs the program in the rig's environment, from the
# media folder, and waits for it (bounded); sets OUT, ERR and STATUS.
melvane_now() {
    rig_env
    STATUS=0
    (cd "$RIG_MEDIA" && "${RIG_ENV[@]}" PULSE_SERVER="unix:$RIG_PULSE_DIR/native" \
        GST_REGISTRY="$RIG_HOME/gst-registry.bin" QT_QPA_PLATFORM=xcb \
        timeout 60 "$RIG_APP" "$@") >"$RIG_DIR/out" 2>"$RIG_DIR/err" || STATUS=$?
    OUT=$(cat "$RIG_DIR/out")
    ERR=$(cat "$RIG_DIR/err")
}

# The processes running the program's copy, one PID a line.
app_processes() {
    ps -e -o pid= -o args= | awk -v app="$RIG_APP" '$2 == app { print $1 }'
}

rig_step "--help, --version and an unknown option answer without starting the player"
melvane_now --help
[ "$STATUS" = 0 ] || rig_fail "--help ended with status $STATUS"
[[ $OUT == "Usage: melvane [FILE...]"* ]] || rig_fail "--help printed: $OUT"
melvane_now --version
[ "$STATUS" = 0 ] && [ "$OUT" = "melvane 1.0" ] || rig_fail "--version: status $STATUS, '$OUT'"
melvane_now --shuffle "$RIG_TUNE_WAV"
[ "$STATUS" = 2 ] || rig_fail "an unknown option ended with status $STATUS, not 2"
[ -z "$OUT" ] && [[ $ERR == *"--shuffle"*"Usage: melvane"* ]] ||
    rig_fail "an unknown option printed '$OUT' and, on stderr, '$ERR'"
[ ! -e "$RIG_AUTOSTART" ] || rig_fail "the autostart entry was written: $RIG_AUTOSTART"
[ "$(cat "$RIG_PLAYLIST")" = "$RIG_TUNE_WAV"$'\r' ] || rig_fail "Music.mus changed"
[ -z "$(app_processes)" ] || rig_fail "a player is running: $(app_processes)"
rig_ok "usage on stdout, 'melvane 1.0', status 2 with usage on stderr; no autostart entry, no player"

rig_start_playing
[ -S "$socket" ] || rig_fail "the player listens on no socket at $socket"
rig_ok "the player listens at $socket"

rig_step "a second start ends at once, and the running player shows its window"
melvane_now
[ "$STATUS" = 0 ] || rig_fail "the second start ended with status $STATUS: $ERR"
[ "$(app_processes)" = "$RIG_APP_PID" ] || rig_fail "processes of the program: $(app_processes | xargs)"
rig_ok "the second start ended with status 0; only $RIG_APP_PID runs"
rig_expect_window 10
[ "$(rig_app_embedded | wc -l)" = 1 ] || rig_fail "tray icons of the program: $(rig_app_embedded | xargs)"
rig_expect_sound "$(rig_plus "$(rig_rec_now)" 0.2)" 1.0 "the first entry, going on"
rig_shot window-shown >/dev/null

rig_step "melvane FILE, named from its own folder, is added and plays instead"
quiet_name=$'quiet \xe9.wav'
sox -n -r $RIG_RATE -c 2 -b 16 "$RIG_MEDIA/$quiet_name" synth 20 sine 440 vol 0 ||
    rig_fail "sox could not write the silent tune"
mark=$(rig_rec_now)
melvane_now "$quiet_name"
[ "$STATUS" = 0 ] || rig_fail "melvane FILE ended with status $STATUS: $ERR"
expected=$(printf '%s\r\n' "$RIG_MEDIA/$quiet_name" "$RIG_TUNE_WAV" | LC_ALL=C sort)
[ "$(LC_ALL=C sort "$RIG_PLAYLIST")" = "$expected" ] ||
    rig_fail "Music.mus holds: $(od -c "$RIG_PLAYLIST" | head -n 5)"
rig_ok "Music.mus holds the new file's full path, bytes as they are"
rig_expect_silence "$(rig_plus "$mark" 2.0)" 1.5 "the silent file playing in place of the tune"
[ "$(app_processes)" = "$RIG_APP_PID" ] || rig_fail "processes of the program: $(app_processes | xargs)"
[ "$(rig_app_toplevels)" = "$RIG_WINDOW" ] || rig_fail "windows besides the player's: $(rig_app_toplevels | xargs)"
rig_ok "no message box"

rig_step "another file through the running player sounds"
rig_make_wav "$RIG_MEDIA/loud.wav" 20 660
mark=$(rig_rec_now)
melvane_now "$RIG_MEDIA/loud.wav"
[ "$STATUS" = 0 ] || rig_fail "melvane FILE ended with status $STATUS: $ERR"
rig_expect_sound_within "$mark" 3 "the handed-over file"
grep -qx "$RIG_MEDIA/loud.wav"$'\r' "$RIG_PLAYLIST" || rig_fail "loud.wav is not in Music.mus"

rig_step "a player killed outright leaves its socket; the next start takes it over"
kill -KILL "$RIG_APP_PID"
rig_wait_app_exit 10
[ -S "$socket" ] || rig_fail "no socket left behind to test with"
rig_start_app
rig_wait_tray_icon 15
rig_expect_sound_within "$RIG_APP_MARK" 5 "the new player's first entry"
melvane_now
[ "$STATUS" = 0 ] || rig_fail "a start after the takeover ended with status $STATUS: $ERR"
rig_expect_window 10
[ "$(app_processes)" = "$RIG_APP_PID" ] || rig_fail "processes of the program: $(app_processes | xargs)"
rig_ok "the new player answers on the socket"

rig_done
