# shellcheck shell=bash
# The tray icon through a StatusNotifierItem host: xfce4-panel's status tray
# on a private session bus. The program registers its item, the panel draws
# the icon and a left click (the host's primary activation) shows the window.
# On an unnamed desktop the context-menu request opens the program's
# owner-drawn menu at the cursor, whose commands work. Told it runs on XFCE
# (the argument "xfce"), the program instead exports a plain menu of the ten
# tray entries over com.canonical.dbusmenu, which the panel draws on a right
# click and whose entries reach the program. Either way Exit takes the item
# off the panel.
# Usage: sni.sh MELVANE MAKETUNES [xfce]
# shellcheck disable=SC2317  # the small checks below run through rig_wait_for
source "$(dirname "$0")/rig.sh"
if [ "${3:-}" = xfce ]; then
    RIG_DESKTOP=XFCE
    rig_init sni_xfce "$1" "$2"
else
    rig_init sni "$1" "$2"
fi
rig_require dbus-run-session dbus-send xfce4-panel

# The exported menu, top to bottom, as "TYPE LABEL" ("standard" for items).
readonly EXPECTED_LAYOUT="standard Option
separator -
standard First
standard Last
standard Play
standard Stop
standard Next
standard Final
separator -
standard Exit"
# Ten entries of any theme's menu are taller than this; a tool tip is not.
readonly MIN_MENU_HEIGHT=100

rig_setup xfce
panel_pid=$RIG_TRAY_HOST_PID
read -r panel_x panel_y panel_w panel_h <<<"$(rig_window_geometry "$RIG_TRAY_HOST_WINDOW")"
rig_ok "panel ${panel_w}x$panel_h at $panel_x,$panel_y"
[ -z "$(rig_sni_items)" ] || rig_fail "items registered before the program starts: $(rig_sni_items)"
empty_panel=$(rig_shot panel-before)

rig_step "start the program${RIG_DESKTOP:+ with XDG_CURRENT_DESKTOP=$RIG_DESKTOP}: it registers an item and plays"
rig_start_app
rig_wait_for 15 "the program's item in RegisteredStatusNotifierItems" rig_find_app_sni_item
rig_ok "registered: $RIG_SNI_ITEM (owned by pid $RIG_APP_PID)"
if [ -n "${RIG_DESKTOP:-}" ]; then
    # By now env has given way to the program, so this is the program's own.
    tr '\0' '\n' <"/proc/$RIG_APP_PID/environ" | grep -qx "XDG_CURRENT_DESKTOP=$RIG_DESKTOP" ||
        rig_fail "the program's environment does not name the desktop $RIG_DESKTOP"
fi
rig_expect_sound_within "$RIG_APP_MARK" 3 "first entry at start"
status=$(rig_bus_get "$RIG_SNI_NAME" "$RIG_SNI_PATH" org.kde.StatusNotifierItem Status |
    awk -F'"' '/string/ { print $2 }')
rig_ok "item status: $status"

rig_step "the panel draws the icon; the program shows no window and no XEmbed icon"
# changed_box BEFORE AFTER X Y WIDTH HEIGHT: prints "X Y WIDTH HEIGHT"
# (absolute) of the smallest box holding every pixel of the area that differs
# between the two screenshots; fails when none does.
changed_box() {
    local box
    box=$(convert \( "$1" -crop "$5x$6+$3+$4" +repage \) \( "$2" -crop "$5x$6+$3+$4" +repage \) \
        -compose difference -composite -colorspace gray -threshold 0 -format '%@' info: 2>/dev/null) ||
        return 1
    [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -gt 0 ] || return 1
    echo "$(($3 + BASH_REMATCH[3])) $(($4 + BASH_REMATCH[4])) ${BASH_REMATCH[1]} ${BASH_REMATCH[2]}"
}


icon_drawn() {
    RIG_ICON_BOX=$(changed_box "$empty_panel" "$(rig_shot panel-with-icon)" \
        "$panel_x" "$panel_y" "$panel_w" "$panel_h")
}
rig_wait_for 10 "the icon in the panel" icon_drawn
read -r box_x box_y box_w box_h <<<"$RIG_ICON_BOX"
icon_cx=$((box_x + box_w / 2)) icon_cy=$((box_y + box_h / 2))
rig_ok "icon drawn ${box_w}x$box_h at $box_x,$box_y in the panel"
[ -z "$(rig_app_embedded)" ] || rig_fail "the program embedded a window in another client (XEmbed)"
rig_expect_no_window "at start"

# show_window: a left click on the icon shows the window at 0,0, 508x325.
show_window() {
    rig_step "a left click on the icon shows the window at 0,0, 508x325"
    rig_click "$icon_cx" "$icon_cy"
    rig_expect_window 10
    rig_shot window >/dev/null
}

# item_gone: the watcher no longer lists the program's item.
item_gone() { ! rig_sni_items | grep -qF "$RIG_SNI_ITEM"; }

# ---- the program's own menu, on an unnamed desktop ----

# context_menu: asks the item for its context menu, as a host does, with the
# mouse over the icon; the menu opens at the cursor.
context_menu() {
    rig_x xdotool mousemove "$icon_cx" "$icon_cy"
    rig_bus dbus-send --session --print-reply --dest="$RIG_SNI_NAME" "$RIG_SNI_PATH" \
        org.kde.StatusNotifierItem.ContextMenu int32:"$icon_cx" int32:"$icon_cy" >/dev/null ||
        rig_fail "the item did not answer ContextMenu"
    rig_wait_tray_menu 5
}
context_choose() {
    context_menu
    rig_choose_menu_item "$1"
}

owner_drawn_menu() {
    show_window
    rig_step "the context-menu request opens the owner-drawn menu at the cursor"
    # The mouse rests on the icon since the left click; a right click there.
    local before opened w
    before=$(popups)
    rig_x xdotool click 3
    if rig_poll 2 rig_find_tray_menu; then
        rig_ok "the panel passed the right click on: menu $RIG_MENU_WINDOW"
    else
        # xfce4-panel 4.18 asks an item that exports no menu for nothing on a
        # right click: it shows its own menu for the status tray instead.
        shot=$(rig_shot right-click)
        rig_log "xfce4-panel did not pass the right click on (screenshot $shot); asking the item"
        opened=$(popups | grep -vxF "$before" || true)
        rig_x xdotool key Escape
        for w in $opened; do
            rig_wait_for 5 "the panel's own menu to close" rig_window_gone "$w"
        done
        context_menu
    fi
    eval "$(rig_x xdotool getmouselocation --shell)"
    cursor="$X,$Y"
    { [ "$RIG_MENU_X" = "$X" ] && [ $((RIG_MENU_Y + RIG_MENU_H)) = "$Y" ]; } ||
        rig_fail "the menu at $RIG_MENU_X,$RIG_MENU_Y does not open upwards from the cursor $cursor"
    rig_ok "the menu opens upwards from the cursor $cursor"
    rig_shot menu >/dev/null
    rig_expect_stops "Stop from that menu" rig_choose_menu_item Stop
    rig_expect_exit "Exit from the item's context menu" context_choose Exit
    rig_wait_for 5 "the item to leave RegisteredStatusNotifierItems" item_gone
    rig_ok "the watcher lists no item of the program"
    rig_wait_for 5 "the panel to look as it did before the program" icon_gone
    rig_ok "the icon is gone from the panel"
}

icon_gone() {
    ! changed_box "$empty_panel" "$(rig_shot after-exit)" "$panel_x" "$panel_y" "$panel_w" \
        "$panel_h" >/dev/null
}

# ---- the panel's menu, on XFCE ----

# menu_layout: the menu's top-level entries, one "ID TYPE LABEL" a line, from
# GetLayout as dbus-send prints it (an entry without a type is "standard").
menu_layout() {
    rig_bus dbus-send --session --print-reply --dest="$RIG_SNI_NAME" "$menu_path" \
        com.canonical.dbusmenu.GetLayout int32:0 int32:1 array:string: |
        awk '
            function flush() { if (id != "") print id, type, (label == "" ? "-" : label) }
            /^ *variant +struct \{$/ { flush(); id = ""; type = "standard"; label = ""; child = 1; next }
            child && id == "" && /^ *int32 / { id = $2; next }
            /^ *string "(label|type)"$/ { key = $2; gsub(/"/, "", key); next }
            key != "" && /variant/ {
                value = $0; sub(/^[^"]*"/, "", value); sub(/"$/, "", value)
                if (key == "label") label = value; else type = value
                key = ""
            }
            END { flush() }'
}
# The mapped override-redirect windows under the root (popups), one id a line.
popups() {
    local w
    for w in $(rig_x xwininfo -root -children | awk '/^ +0x[0-9a-f]+ / { print $1 }'); do
        rig_x xwininfo -id "$w" 2>/dev/null |
            awk '/Map State:/ { m = $3 } /Override Redirect State:/ { o = $4 }
                 END { exit !(m == "IsViewable" && o == "yes") }' && echo $((w))
    done
    return 0
}

# host_menu_open BEFORE: true once a popup that was not in BEFORE is mapped,
# holds still and is tall enough for ten entries (the panel's tool tips are
# popups too); sets HOST_MENU and its place HOST_MENU_X, _Y, _W, _H.
host_menu_open() {
    local w geometry
    for w in $(popups); do
        ! grep -qx "$w" <<<"$1" || continue
        if geometry=$(rig_steady_geometry "$w" 0.2) &&
            [ "$(cut -d' ' -f4 <<<"$geometry")" -ge "$MIN_MENU_HEIGHT" ]; then
            HOST_MENU=$w
            read -r HOST_MENU_X HOST_MENU_Y HOST_MENU_W HOST_MENU_H <<<"$geometry"
            return 0
        fi
    done
    return 1
}

# host_menu_rows SHOT: the text rows of the open menu, top to bottom, one
# "TOP BOTTOM" a line (inside the menu), found as bands of dark pixels on the
# menu's light background. A descender can leave a pale gap of a pixel or two
# under its line; such gaps do not split a row.
host_menu_rows() {
    convert "$1" -crop "${HOST_MENU_W}x$HOST_MENU_H+$HOST_MENU_X+$HOST_MENU_Y" +repage \
        -colorspace Gray -threshold 50% -negate -scale "1x$HOST_MENU_H!" -depth 8 txt:- |
        awk 'NR > 1 {
                 split($1, at, /[,:]/); v = $NF; gsub(/[^0-9]/, "", v)
                 if (v + 0 <= 4) next
                 if (bottom == "" || at[2] > bottom + 3) {
                     if (bottom != "") print top, bottom
                     top = at[2]
                 }
                 bottom = at[2]
             }
             END { if (bottom != "") print top, bottom }'
}

# open_host_menu NAME: right-clicks the icon and waits for the panel's menu,
# which holds the eight labelled entries; sets HOST_MENU_ROWS. The program
# opens no menu of its own meanwhile.
open_host_menu() {
    local before shot
    before=$(popups)
    # No --sync: the pointer may rest on the icon already, and then no motion
    # would ever come to end the wait.
    rig_x xdotool mousemove "$icon_cx" "$icon_cy" sleep 0.2 click 3
    rig_wait_for 5 "the panel's menu" host_menu_open "$before"
    ! rig_find_app_toplevel_named '^melvane menu$' ||
        rig_fail "the program opened its own menu besides the panel's"
    ! rig_app_windows | grep -qx "$HOST_MENU" ||
        rig_fail "the new popup $HOST_MENU is the program's, not the panel's"
    shot=$(rig_shot "$1")
    HOST_MENU_ROWS=$(host_menu_rows "$shot")
    [ "$(wc -l <<<"$HOST_MENU_ROWS")" = 8 ] ||
        rig_fail "the panel's menu shows $(wc -l <<<"$HOST_MENU_ROWS") text rows, not 8 (screenshot $shot; rows $(tr '\n' ';' <<<"$HOST_MENU_ROWS"))"
    rig_ok "panel's menu $HOST_MENU, ${HOST_MENU_W}x$HOST_MENU_H at $HOST_MENU_X,$HOST_MENU_Y, 8 text rows ($shot)"
}

# choose_host_entry LABEL: clicks the entry's row in the open panel menu; the
# menu closes.
choose_host_entry() {
    local n top bottom y
    n=$(grep -vx 'separator -' <<<"$EXPECTED_LAYOUT" | awk -v l="$1" '$2 == l { print NR; exit }')
    [ -n "$n" ] || rig_fail "the menu has no entry \"$1\""
    read -r top bottom <<<"$(sed -n "${n}p" <<<"$HOST_MENU_ROWS")"
    y=$((HOST_MENU_Y + (top + bottom) / 2))
    rig_hover $((HOST_MENU_X + HOST_MENU_W / 2)) "$y"
    sleep 0.2
    rig_x xdotool click 1
    rig_wait_for 5 "the panel's menu to close after choosing \"$1\"" rig_window_gone "$HOST_MENU"
    ! rig_find_app_toplevel_named '^melvane menu$' ||
        rig_fail "the program opened its own menu after \"$1\" was chosen"
    rig_ok "chose \"$1\" (row $n, at y $y); the menu closed"
}

# host_choose LABEL: opens the panel's menu and chooses the entry.
host_choose() {
    open_host_menu "host-menu-${1,,}"
    choose_host_entry "$1"
}

panel_drawn_menu() {
    rig_step "the item exports its menu over com.canonical.dbusmenu"
    menu_path=$(rig_sni_menu_path)
    [ -n "$menu_path" ] || rig_fail "the item has no Menu property"
    [ "$menu_path" != /NO_DBUSMENU ] || rig_fail "the item exports no menu (Menu is $menu_path)"
    rig_ok "Menu: $menu_path"
    layout=$(menu_layout) || rig_fail "GetLayout on $menu_path failed"
    printf '%s\n' "$layout" >"$RIG_SHOTS/layout.txt"
    [ "$(cut -d' ' -f2- <<<"$layout")" = "$EXPECTED_LAYOUT" ] ||
        rig_fail "the exported menu is not the ten tray entries in order: $(tr '\n' ';' <<<"$layout")"
    rig_ok "ten entries in order: $(cut -d' ' -f3 <<<"$layout" | xargs)"

    rig_step "a right click on the icon opens the menu the panel draws"
    open_host_menu host-menu
    rig_expect_stops "Stop from the panel's menu" choose_host_entry Stop
    rig_app_alive || rig_fail "the program ended after Stop"
    rig_expect_plays "Play from the panel's menu" host_choose Play
    show_window
    rig_expect_exit "Exit from the panel's menu" host_choose Exit
    rig_wait_for 5 "the item to leave RegisteredStatusNotifierItems" item_gone
    rig_ok "the watcher lists no item of the program"
}

if [ -n "${RIG_DESKTOP:-}" ]; then
    panel_drawn_menu
else
    owner_drawn_menu
fi
rig_pid_alive "$panel_pid" || rig_fail "xfce4-panel ended"
rig_ok "xfce4-panel is still running"

rig_done
