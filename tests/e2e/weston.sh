# shellcheck shell=bash disable=SC2086  # host_edges hands each "X Y" point on as two words
# The tray menu on a Wayland desktop: weston with XWayland, the tray host and
# the program on XWayland, and a Wayland program (weston-terminal) that has
# the keyboard, as when the user works in another program. Input is real:
# it goes through weston. A right click on the tray icon opens the menu at
# the cursor; Escape closes it although the keyboard was the terminal's; a
# click outside, on weston's desktop, closes it; an item still chooses.
# Usage: weston.sh MELVANE MAKETUNES
# shellcheck disable=SC2317  # the small checks below run through rig_wait_for
source "$(dirname "$0")/rig.sh"
rig_init weston "$1" "$2"
rig_require weston Xwayland weston-terminal

rig_setup none
rig_start_weston
rig_start_trayer

rig_start_playing

rig_step "a Wayland program opens beside the tray icon and has the keyboard"
# weston puts a new window where it likes and gives it the keyboard; the
# terminal echoes what it gets. One that covers the tray icon is started
# again elsewhere.
# host_edges SHOT: the tray host's edge pixels around the icon, which stay
# as they are unless a window covers the host (the icon itself animates).
host_edges() {
    local x y w h
    read -r x y w h <<<"$(rig_window_geometry "$RIG_TRAY_HOST_WINDOW")"
    for point in "$x $y" "$((x + w - 1)) $y" "$x $((y + h - 1))" "$((x + w - 1)) $((y + h - 1))"; do
        rig_pixel "$1" $point
    done | xargs
}
# screen_changed SHOT: the screen differs from SHOT by more than a few pixels.
screen_changed() {
    local now
    now=$(rig_shot terminal-now)
    [ "$(compare -metric AE "$1" "$now" null: 2>&1 | awk '{ printf "%d", $1 }')" -gt 1000 ]
}
# edges_settled: the host's edges look the same in two screenshots in a row
# (weston fades a new window in); leaves them in last_edges.
edges_settled() {
    local now
    now=$(host_edges "$(rig_shot "terminal-$try")")
    [ "$now" = "$last_edges" ] && return 0
    last_edges=$now
    return 1
}
for try in 1 2 3 4 5; do
    before=$(rig_shot "before-terminal-$try")
    rig_env
    "${RIG_ENV[@]}" weston-terminal --shell=/bin/cat >"$RIG_DIR/logs/weston-terminal.log" 2>&1 &
    rig_track $! weston-terminal
    terminal_pid=$!
    rig_wait_for 10 "the terminal's window" screen_changed "$before"
    last_edges=""
    rig_wait_for 10 "the screen to settle" edges_settled
    [ "$last_edges" != "$(host_edges "$before")" ] || break
    rig_log "the terminal covers the tray host; starting it again"
    rig_stop_pid "$terminal_pid"
    terminal_pid=""
done
[ -n "$terminal_pid" ] || rig_fail "weston put the terminal over the tray host five times"
rig_ok "weston-terminal is up and the tray icon is in sight"

# menu_closes HOW: the open menu closes after HOW, and the program goes on.
menu_closes() {
    rig_wait_for 5 "the menu to close after $1" rig_window_gone "$RIG_MENU_WINDOW"
    # weston shows the change a moment later.
    rig_wait_for 5 "the menu to leave the screen after $1" menu_off_screen "closed-by-${1// /-}"
    rig_ok "menu closed after $1 (screenshot $RIG_SHOT)"
    rig_app_alive || rig_fail "the program ended"
}

# menu_off_screen NAME: a screenshot no longer shows the menu's picture
# where the menu was (most of its pixels differ).
menu_off_screen() {
    local differ
    RIG_SHOT=$(rig_shot "$1")
    differ=$(rig_area_mismatch "$RIG_SHOT" "$RIG_MENU_X" "$RIG_MENU_Y" "$RIG_DIR/menu-picture.png")
    [[ $differ =~ ^[0-9]+$ ]] && [ "$differ" -gt $((RIG_MENU_W * RIG_MENU_H / 2)) ]
}

# The first right click after some changes of the pointer's surface under
# weston may not reach the icon; another one then does.
menu_opened_by_click() {
    rig_input mousemove "$RIG_ICON_CX" "$RIG_ICON_CY" sleep 0.3 click 3
    rig_poll 2 rig_find_tray_menu
}

open_menu() {
    menu_opened_by_click || menu_opened_by_click || menu_opened_by_click ||
        rig_fail "three right clicks on the tray icon opened no menu"
    rig_ok "menu $RIG_MENU_WINDOW, ${RIG_MENU_W}x$RIG_MENU_H at $RIG_MENU_X,$RIG_MENU_Y"
    local shot
    shot=$(rig_shot "menu-$1")
    # At the cursor: a corner of the menu lies at the click.
    { { [ "$RIG_MENU_X" = "$RIG_ICON_CX" ] || [ $((RIG_MENU_X + RIG_MENU_W)) = "$RIG_ICON_CX" ]; } &&
        { [ "$RIG_MENU_Y" = "$RIG_ICON_CY" ] || [ $((RIG_MENU_Y + RIG_MENU_H)) = "$RIG_ICON_CY" ]; }; } ||
        rig_fail "the menu at $RIG_MENU_X,$RIG_MENU_Y (${RIG_MENU_W}x$RIG_MENU_H) has no corner at the cursor $RIG_ICON_CX,$RIG_ICON_CY"
    convert "$shot" -crop "${RIG_MENU_W}x$RIG_MENU_H+$RIG_MENU_X+$RIG_MENU_Y" +repage \
        "$RIG_DIR/menu-picture.png"
    rig_ok "the menu shows with a corner at the cursor"
}

rig_step "Escape closes the menu"
open_menu escape
rig_input key Escape
menu_closes Escape

rig_step "a click outside the menu, on weston's desktop, closes it"
open_menu outside
# The left edge of the desktop, below weston's own panel: no window there.
rig_input mousemove 8 400 sleep 0.3 click 1
menu_closes "a click outside"

rig_step "a click on an item still chooses it"
open_menu choose
rig_expect_stops "Stop in the menu" rig_choose_menu_item Stop
rig_expect_plays "Play in the menu" eval 'open_menu again; rig_choose_menu_item Play'

rig_expect_exit "Exit in the menu" eval 'open_menu exit; rig_choose_menu_item Exit'
rig_done
