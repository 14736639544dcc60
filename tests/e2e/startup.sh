# Start-up with a one-entry playlist: the player lives in the tray only, has
# registered itself for autostart, and the first entry sounds at once.
# Usage: startup.sh MELVANE MAKETUNES
source "$(dirname "$0")/rig.sh"
rig_init startup "$1" "$2"

rig_step "set up display, tray, sound server and a one-entry playlist"
rig_start_x
rig_start_trayer
rig_start_pulse
rig_start_recording
rig_make_tunes
rig_install_app
rig_write_playlist "$RIG_TUNE_WAV"
rig_expect_silence 0 0.3 "monitor before the program starts"

rig_step "start the program"
rig_start_app

rig_step "the tray icon appears in the tray host"
rig_wait_tray_icon 15

rig_step "the first entry sounds within a couple of seconds"
rig_expect_sound_within "$RIG_APP_MARK" 3 "$(basename "$RIG_TUNE_WAV")"

rig_step "nothing but the tray icon is visible"
sleep 1
toplevels=$(rig_app_toplevels)
[ -z "$toplevels" ] ||
    rig_fail "the program shows top-level windows at start: $(for w in $toplevels; do
        printf '%s [%s] ' "$w" "$(rig_window_geometry "$w")"
    done)"
rig_ok "no visible top-level window of the program"
rig_shot started >/dev/null
rig_app_alive || rig_fail "the program ended"

rig_step "the autostart entry names the copied program and is valid"
[ -f "$RIG_AUTOSTART" ] || rig_fail "no autostart entry at $RIG_AUTOSTART"
exec_line=$(grep '^Exec=' "$RIG_AUTOSTART") || rig_fail "the autostart entry has no Exec line"
[ "$exec_line" = "Exec=\"$RIG_APP\"" ] ||
    rig_fail "autostart Exec line is '$exec_line', expected 'Exec=\"$RIG_APP\"'"
rig_ok "$exec_line"
validation=$(desktop-file-validate "$RIG_AUTOSTART" 2>&1) ||
    rig_fail "desktop-file-validate rejects the autostart entry: $validation"
[ -z "$validation" ] || rig_log "desktop-file-validate says: $validation"
rig_ok "desktop-file-validate accepts $RIG_AUTOSTART"

rig_done
