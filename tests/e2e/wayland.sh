# shellcheck shell=bash disable=SC2015  # "check && check || rig_fail": rig_fail ends the scenario
# The program as a native Wayland client (weston) with its icon on a
# StatusNotifierItem host (xfce4-panel on XWayland, on a private session
# bus). A Wayland client cannot place its own popup at a screen position, so
# the owner-drawn menu could not open at the icon: the item exports the plain
# menu of the ten tray entries instead, which the host draws.
# Usage: wayland.sh MELVANE MAKETUNES
source "$(dirname "$0")/rig.sh"
rig_init wayland "$1" "$2"
rig_require weston Xwayland dbus-run-session dbus-send xfce4-panel

rig_setup none bus
rig_start_weston
rig_start_xfce_panel

rig_step "start the program on Wayland: it registers an item and plays"
RIG_QPA=wayland
rig_start_app
rig_wait_for 20 "the program's item in RegisteredStatusNotifierItems" rig_find_app_sni_item
rig_ok "registered: $RIG_SNI_ITEM"
rig_expect_sound_within "$RIG_APP_MARK" 3 "first entry at start"

rig_step "the item exports the plain menu for the host to draw"
menu_path=$(rig_sni_menu_path)
[ -n "$menu_path" ] && [ "$menu_path" != /NO_DBUSMENU ] ||
    rig_fail "the item exports no menu (Menu is '$menu_path')"
labels=$(rig_bus dbus-send --session --print-reply --dest="$RIG_SNI_NAME" "$menu_path" \
    com.canonical.dbusmenu.GetLayout int32:0 int32:1 array:string:label |
    awk '/string "label"/ { getline; sub(/^[^"]*"/, ""); sub(/"$/, ""); print }' | xargs)
[ "$labels" = "Option First Last Play Stop Next Final Exit" ] ||
    rig_fail "the exported menu's entries are '$labels'"
rig_ok "Menu $menu_path: $labels"

exit_id=$(rig_bus dbus-send --session --print-reply --dest="$RIG_SNI_NAME" "$menu_path" \
    com.canonical.dbusmenu.GetLayout int32:0 int32:1 array:string:label |
    awk '/^ *variant +struct \{$/ { getline; id = $2 } /string "Exit"/ { print id; exit }')
[[ $exit_id =~ ^[0-9]+$ ]] || rig_fail "no id for Exit in the exported menu"
rig_expect_exit "Exit from the exported menu" rig_bus dbus-send --session --print-reply \
    --dest="$RIG_SNI_NAME" "$menu_path" com.canonical.dbusmenu.Event int32:"$exit_id" \
    string:clicked variant:int32:0 uint32:0
rig_done
