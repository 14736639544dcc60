# shellcheck shell=bash
# Start-up without a playlist file: the file is made empty beside the
# program, the user is told there is no music, and after that the player waits
# in the tray, silent.
# Usage: empty.sh MELVANE MAKETUNES
source "$(dirname "$0")/rig.sh"
rig_init empty "$1" "$2"

rig_setup trayer no-playlist
[ ! -e "$RIG_PLAYLIST" ] || rig_fail "$RIG_PLAYLIST exists before the start"

rig_step "start the program"
rig_start_app

rig_step "a modal box captioned \"melvane\" says there is no music"
rig_wait_for 15 "a box captioned \"melvane\"" rig_find_app_toplevel_named '^melvane$'
box=$RIG_FOUND_WINDOW
state=$(rig_x xprop -id "$box" _NET_WM_STATE)
[[ $state == *_NET_WM_STATE_MODAL* ]] || rig_fail "the box is not modal: $state"
rig_ok "modal box $box, $(rig_window_geometry "$box" | awk '{ print $3 "x" $4 }')"
shot=$(rig_shot no-music-box)
rig_ok "screenshot of the box (\"No muisic,please add music!\"): $shot"
[ "$(rig_app_toplevels)" = "$box" ] || rig_fail "other windows are visible besides the box"

rig_step "Music.mus now exists, empty, beside the program"
[ -f "$RIG_PLAYLIST" ] || rig_fail "no $RIG_PLAYLIST"
[ ! -s "$RIG_PLAYLIST" ] || rig_fail "$RIG_PLAYLIST is not empty: $(od -c "$RIG_PLAYLIST" | head -n 3)"
rig_ok "$RIG_PLAYLIST, 0 bytes"

rig_step "Return dismisses the box"
rig_close_box "$box"
rig_wait_for 10 "the box to close" rig_window_gone "$box"
rig_ok "box closed"

rig_step "the program goes on in the tray, with no window and no sound"
rig_wait_tray_icon 10
# Nothing more is to happen: a second's wait shows the program neither ends
# nor opens a window.
sleep 1
rig_app_alive || rig_fail "the program ended after the box"
rig_expect_no_window "after the box"
rig_ok "program running (pid $RIG_APP_PID)"
rig_shot in-tray >/dev/null
now=$(rig_rec_now)
rig_expect_silence "$RIG_APP_MARK" "$(rig_plus "$now" "-$RIG_APP_MARK")" "from start until now"
[ ! -s "$RIG_PLAYLIST" ] || rig_fail "$RIG_PLAYLIST was written to"

rig_done
