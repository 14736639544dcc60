# shellcheck shell=bash
# The window in real hands, with no tray: double-clicks on the list and on a
# picture button do what was clicked once, and Hide leaves the window where
# the user can reach it.
# Usage: window.sh MELVANE MAKETUNES
source "$(dirname "$0")/rig.sh"
rig_init window "$1" "$2"

rig_setup none no-playlist
# The file's order is c, a, b; the list shows a, b, c. a is silent, so what
# sounds tells which entry plays.
rig_make_wav "$RIG_MEDIA/c.wav" 60 440
rig_make_wav "$RIG_MEDIA/b.wav" 60 660
sox -n -r "$RIG_RATE" -c 2 -b 16 "$RIG_MEDIA/a.wav" trim 0 60 || rig_fail "sox could not write a.wav"
rig_write_playlist "$RIG_MEDIA/c.wav" "$RIG_MEDIA/a.wav" "$RIG_MEDIA/b.wav"
cp "$RIG_PLAYLIST" "$RIG_DIR/Music.mus.orig"

rig_step "start the program: the window shows and the file's first entry, c, sounds"
rig_start_app
rig_expect_window 15
window=$RIG_WINDOW
rig_expect_sound_within "$RIG_APP_MARK" 3 "c.wav at start"

only_the_window() {
    [ "$(rig_app_toplevels)" = "$window" ] ||
        rig_fail "$1: other windows showed: $(rig_app_toplevels)"
}

rig_step "a double-click below the last row changes nothing"
rig_double_click 200 270
# Nothing is to happen: a second's wait shows no box comes.
sleep 1
only_the_window "after the double-click below the rows"
rig_expect_sound "$(rig_rec_now)" 1.0 "c.wav goes on"

rig_step "a double-click on the row a.wav plays a.wav and leaves Music.mus alone"
rig_double_click 100 112
# a.wav is silent and nothing else is to change, so there is nothing to wait
# for but time.
sleep 1
only_the_window "after the double-click on a row"
rig_expect_silence "$(rig_rec_now)" 1.0 "a.wav (silent) plays"
cmp -s "$RIG_PLAYLIST" "$RIG_DIR/Music.mus.orig" ||
    rig_fail "Music.mus changed: $(od -c "$RIG_PLAYLIST" | head -n 4)"
rig_ok "Music.mus unchanged"

rig_step "a double-click on Delete removes the selected row, a.wav, and no other"
rig_double_click 122 93
expected=$(printf '%s\r\n' "$RIG_MEDIA/b.wav" "$RIG_MEDIA/c.wav")
playlist_is_b_c() { [ "$(cat "$RIG_PLAYLIST")" = "$expected" ]; }
rig_wait_for 5 "Music.mus to hold b and c" playlist_is_b_c
# The second click of the double-click must delete nothing more.
sleep 1
playlist_is_b_c || rig_fail "Music.mus changed again: $(od -c "$RIG_PLAYLIST" | head -n 4)"
rig_ok "Music.mus holds b.wav and c.wav"

rig_step "Hide with no tray leaves the window reachable"
rig_click 426 297
# Without a window manager a minimised window stays mapped; a second's wait
# shows it is not unmapped.
sleep 1
rig_x xwininfo -id "$window" | grep -q 'Map State: IsUnMapped' &&
    rig_fail "the window was hidden with no tray to bring it back"
rig_app_alive || rig_fail "the program ended"
rig_ok "window $window still mapped: $(rig_x xwininfo -id "$window" | grep 'Map State')"
rig_shot after-hide >/dev/null

rig_done
