# shellcheck shell=bash
# The player installed by `cmake --install` into a prefix nobody may write to,
# run by an ordinary user (root would write there anyway). The playlist goes
# to the user's data folder, made at the first save; turned read-only while
# the player runs, the folder keeps the old file, the user is told, and the
# entries are saved once it can be written again; the next start plays them.
# Usage: installed.sh MELVANE MAKETUNES BUILD_DIR
# shellcheck disable=SC2317  # the small checks below run through rig_wait_for
source "$(dirname "$0")/rig.sh"
rig_init installed "$1" "$2"
build=$3
rig_require setpriv cmake

rig_step "install into a prefix, then make it read-only"
prefix="$RIG_DIR/prefix"
cmake --install "$build" --prefix "$prefix" >"$RIG_DIR/logs/install.log" 2>&1 ||
    rig_fail "cmake --install failed: $(tail -n 5 "$RIG_DIR/logs/install.log")"
chmod -R a-w "$prefix"
program="$prefix/bin/melvane"
[ -x "$program" ] || rig_fail "no program at $program"
rig_ok "installed $program; the prefix is read-only"

rig_start_x
rig_start_trayer
rig_start_pulse
rig_start_recording
rig_make_tunes

# The user's own folders; the rig's folder must be passable for them.
user_home="$RIG_DIR/user"
user_runtime="$user_home/runtime"
data="$user_home/.local/share/melvane"
mkdir -p "$user_runtime"
chmod 0711 "$RIG_DIR" "$RIG_PULSE_DIR"
chown -R 65534:65534 "$user_home"
chmod 0700 "$user_runtime"
as_user=(env -i PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 HOME="$user_home"
    NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory XDG_CONFIG_HOME="$user_home/.config"
    XDG_DATA_HOME="$user_home/.local/share" XDG_CACHE_HOME="$user_home/.cache"
    XDG_RUNTIME_DIR="$user_runtime" DISPLAY="$DISPLAY" DBUS_SESSION_BUS_ADDRESS="$RIG_NO_BUS"
    PULSE_SERVER="unix:$RIG_PULSE_DIR/native" GST_REGISTRY="$user_home/gst-registry.bin"
    QT_QPA_PLATFORM=xcb
    setpriv --reuid=65534 --regid=65534 --clear-groups --bounding-set=-all --inh-caps=-all)
"${as_user[@]}" gst-inspect-1.0 >/dev/null 2>&1 || true

# start_player ARGUMENT...: the installed program as the user, in the
# background; it is the rig's program from now on.
start_player() {
    RIG_APP_MARK=$(rig_rec_now)
    "${as_user[@]}" "$program" "$@" >"$RIG_DIR/logs/melvane.log" 2>&1 &
    RIG_APP_PID=$!
    rig_track "$RIG_APP_PID" melvane
    rig_ok "started $program $* as nobody (pid $RIG_APP_PID)"
}

# hand_over FILE: a second start as the user; it must end with status 0.
hand_over() {
    local status=0
    timeout 60 "${as_user[@]}" "$program" "$1" >"$RIG_DIR/logs/second.log" 2>&1 || status=$?
    [ "$status" = 0 ] || rig_fail "melvane $1 ended with status $status: $(cat "$RIG_DIR/logs/second.log")"
}

playlist_holds() {
    [ "$(LC_ALL=C sort "$data/Music.mus")" = "$(printf '%s\r\n' "$@" | LC_ALL=C sort)" ]
}

rig_step "the first start, with a file, plays it and keeps the playlist in the data folder"
start_player "$RIG_TUNE_WAV"
rig_wait_tray_icon 20
rig_expect_sound_within "$RIG_APP_MARK" 5 "the file named at start"
playlist_holds "$RIG_TUNE_WAV" || rig_fail "$data/Music.mus: $(od -c "$data/Music.mus" 2>&1 | head -n 3)"
[ "$(stat -c '%a %u' "$data")" = "700 65534" ] || rig_fail "$data is $(stat -c '%a %U' "$data")"
[ ! -e "$prefix/bin/Music.mus" ] || rig_fail "a playlist appeared in the read-only prefix"
rig_ok "$data/Music.mus holds the file; the folder is the user's, mode 700"

rig_step "the data folder turns read-only: the old file stays and the user is told"
chmod 0500 "$data"
rig_make_wav "$RIG_MEDIA/second.wav" 20 660
hand_over "$RIG_MEDIA/second.wav"
rig_wait_for 15 "a box captioned \"melvane\"" rig_find_app_toplevel_named '^melvane$'
box=$RIG_FOUND_WINDOW
rig_shot cannot-save >/dev/null
playlist_holds "$RIG_TUNE_WAV" || rig_fail "the old playlist changed: $(od -c "$data/Music.mus" | head -n 3)"
[ "$(find "$data" -mindepth 1 | wc -l)" = 1 ] || rig_fail "other files in $data: $(ls -a "$data")"
rig_ok "box $box; Music.mus unchanged and alone in its folder"
rig_close_box "$box"
rig_wait_for 10 "the box to close" rig_window_gone "$box"

rig_step "writable again: the next save holds every entry"
chmod 0700 "$data"
rig_make_wav "$RIG_MEDIA/third.wav" 20 550
hand_over "$RIG_MEDIA/third.wav"
rig_wait_for 15 "Music.mus to hold three entries" \
    playlist_holds "$RIG_TUNE_WAV" "$RIG_MEDIA/second.wav" "$RIG_MEDIA/third.wav"
rig_ok "Music.mus holds all three"

rig_step "the next start plays from the saved playlist"
rig_stop_pid "$RIG_APP_PID"
rig_expect_silence "$(rig_plus "$(rig_rec_now)" 0.5)" 1.0 "with the player stopped"
start_player
rig_wait_tray_icon 20
rig_expect_sound_within "$RIG_APP_MARK" 5 "the playlist's first entry"
[ -z "$(rig_app_toplevels)" ] || rig_fail "windows at start: $(rig_app_toplevels | xargs)"
rig_ok "no message box at start"

rig_done
