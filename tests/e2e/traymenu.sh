# The tray icon and its owner-drawn menu on an XEmbed tray: a double-click
# shows the window; a right click opens the menu at the cursor, flipped to stay
# on the screen, with its side band, ten items in order and the hot item in
# yellow inside a sunken frame; Option, Stop, Play and Exit do what they say.
# Usage: traymenu.sh MELVANE MAKETUNES
# shellcheck disable=SC2317  # the small checks below run through rig_wait_for
source "$(dirname "$0")/rig.sh"
rig_init traymenu "$1" "$2"

res="$RIG_SOURCE_ROOT/src/res"
# The window's Hide button (its picture's middle; the window sits at 0,0).
hide_click=(426 297)
screen_w=1024 screen_h=768

rig_step "set up display, tray, sound server and a one-entry playlist"
rig_start_x
rig_start_trayer
rig_start_pulse
rig_start_recording
rig_make_tunes
rig_install_app
rig_write_playlist "$RIG_TUNE_WAV"
rig_start_app
rig_wait_tray_icon 15
rig_expect_sound_within "$RIG_APP_MARK" 3 "first entry at start"

rig_step "a double-click on the tray icon shows the window at 0,0, 508x325"
rig_double_click "$RIG_ICON_CX" "$RIG_ICON_CY"
rig_wait_for 10 "the 508x325 window" rig_find_app_toplevel_sized 508 325
window=$RIG_FOUND_WINDOW
geometry=$(rig_x xdotool getwindowgeometry "$window")
grep -q 'Position: 0,0 ' <<<"$geometry" || rig_fail "window is not at 0,0: $geometry"
rig_ok "window $window: $(grep -E 'Position|Geometry' <<<"$geometry" | xargs)"
rig_shot window >/dev/null

rig_step "Hide puts the window away again"
rig_click "${hide_click[@]}"
rig_wait_for 5 "the window to hide" rig_window_gone "$window"
rig_ok "window hidden"

# Inside an item's row (its rectangle starts at the column's left edge): the
# icon, the text and the hot frame's left edge, all right of the band.
icon_dx=$((RIG_MENU_BAND_WIDTH + 5))
text_dx=$((RIG_MENU_BAND_WIDTH + 29))
frame_dx=$((RIG_MENU_BAND_WIDTH + 28))

# open_menu: a right click on the tray icon opens the menu.
open_menu() {
    rig_x xdotool mousemove --sync "$RIG_ICON_CX" "$RIG_ICON_CY" click 3
    rig_wait_tray_menu 5
}

# column_pixels SHOT: the item column's pixels into column.txt, as "X Y RRGGBB"
# from the column's corner; pixel_at X Y reads one of them back.
column_pixels() {
    rig_area_pixels "$1" $((RIG_MENU_X + RIG_MENU_COL_X)) $((RIG_MENU_Y + RIG_MENU_COL_Y)) \
        "$RIG_MENU_COL_W" "$RIG_MENU_BAND_H" >"$RIG_DIR/column.txt"
}
pixel_at() { awk -v x="$1" -v y="$2" '$1 == x && $2 == y { print $3 }' "$RIG_DIR/column.txt"; }

# yellow_rows TOP: of the pure-yellow pixels right of the icons, how many lie
# inside the item row that starts at TOP and how many outside it; then the
# same for yellow-tinted pixels (yellow text smoothed into the face).
yellow_rows() {
    awk -v top="$1" -v h="$RIG_MENU_ROW_HEIGHT" -v from="$frame_dx" '
        $1 >= from { r = substr($3, 1, 2); g = substr($3, 3, 2); b = substr($3, 5, 2)
          row = $2 >= top && $2 < top + h
          if ($3 == "FFFF00") { if (row) pure++; else pure_out++ }
          if (r >= "EF" && g >= "EF" && b < "C0") { if (row) tint++; else tint_out++ } }
        END { print pure + 0, pure_out + 0, tint + 0, tint_out + 0 }' "$RIG_DIR/column.txt"
}

luma() { echo $((16#${1:0:2} + 16#${1:2:2} + 16#${1:4:2})); }

rig_step "a right click on the tray icon opens the menu at the cursor, flipped onto the screen"
open_menu
shot=$(rig_shot menu)
# The icon sits in the bottom-right corner, so the menu cannot open below or
# right of the cursor: it must end at the cursor instead.
cursor="$RIG_ICON_CX,$RIG_ICON_CY"
{ [ $((RIG_ICON_CX + RIG_MENU_W)) -gt $screen_w ] && [ $((RIG_ICON_CY + RIG_MENU_H)) -gt $screen_h ]; } ||
    rig_fail "a ${RIG_MENU_W}x$RIG_MENU_H menu would fit right of and below $cursor"
{ [ $((RIG_MENU_X + RIG_MENU_W)) = "$RIG_ICON_CX" ] && [ $((RIG_MENU_Y + RIG_MENU_H)) = "$RIG_ICON_CY" ]; } ||
    rig_fail "the menu at $RIG_MENU_X,$RIG_MENU_Y does not end at the cursor $cursor"
rig_ok "the menu's bottom-right corner is at the cursor $cursor"

rig_step "the side band runs down the item column: 8 items of 24 px and 2 separators of 5 px"
rig_menu_column "$shot" || rig_fail "no grey side band in the menu (screenshot $shot)"
expected_h=$((8 * RIG_MENU_ROW_HEIGHT + 2 * RIG_MENU_SEPARATOR_HEIGHT))
[ "$RIG_MENU_BAND_H" = "$expected_h" ] ||
    rig_fail "the band (item column) is $RIG_MENU_BAND_H px high, expected $expected_h"
[ "$RIG_MENU_BAND_W" = "$RIG_MENU_BAND_WIDTH" ] ||
    rig_fail "the band's grey strip is $RIG_MENU_BAND_W px wide, expected $RIG_MENU_BAND_WIDTH"
frame=$RIG_MENU_COL_Y
{ [ "$RIG_MENU_COL_X" = "$frame" ] && [ "$RIG_MENU_H" = $((expected_h + 2 * frame)) ]; } ||
    rig_fail "the menu is not the column in an even frame: column at $RIG_MENU_COL_X,$frame"
rig_ok "band ${RIG_MENU_BAND_W}x$RIG_MENU_BAND_H at $RIG_MENU_COL_X,$frame; menu height $RIG_MENU_H = $expected_h + 2 x $frame"

column_pixels "$shot"
# The item face: the right end of the first item's row, where no text reaches.
face=$(pixel_at $((RIG_MENU_COL_W - 4)) 12)
[ -n "$face" ] || rig_fail "cannot read the menu's face colour"

rig_step "separators lie between Option and First and between Final and Exit, and nowhere else"
# An etched separator is a line darker than the face with a lighter one under
# it: the only rows with no pixel of the face colour right of the band.
lines=$(awk -v face="$face" -v from=$((RIG_MENU_BAND_WIDTH + 2)) -v to=$((RIG_MENU_COL_W - 2)) '
    $1 >= from && $1 < to { n[$2]++; if ($3 != face) off[$2]++ }
    END { for (y in n) if (off[y] == n[y]) print y }' "$RIG_DIR/column.txt" | sort -n | xargs)
expected_lines=""
for top in "${RIG_MENU_SEPARATORS[@]}"; do
    expected_lines="$expected_lines $top $((top + 1))"
done
[ "$lines" = "${expected_lines# }" ] ||
    rig_fail "lines across the menu at rows '$lines' of the column, expected '${expected_lines# }'"
rig_ok "etched lines at column rows $lines"

rig_step "every item row holds a line of text right of its icon"
for i in "${!RIG_MENU_ITEMS[@]}"; do
    dark=$(awk -v top="${RIG_MENU_TOPS[i]}" -v h="$RIG_MENU_ROW_HEIGHT" -v from="$text_dx" '
        $1 >= from && $2 >= top && $2 < top + h && substr($3, 1, 2) < "60" { n++ }
        END { print n + 0 }' "$RIG_DIR/column.txt")
    [ "$dark" -gt 20 ] || rig_fail "row $i (\"${RIG_MENU_ITEMS[i]}\") shows no text ($dark dark pixels)"
done
rig_ok "${#RIG_MENU_ITEMS[@]} rows of text"

rig_step "every row shows its item's icon as a one-colour silhouette"
# The silhouette's colour: what the first icon's place holds besides the face.
mono=$(awk -v face="$face" -v x="$icon_dx" '
    $1 >= x && $1 < x + 16 && $2 >= 3 && $2 < 19 && $3 != face { n[$3]++ }
    END { for (c in n) if (n[c] > most) { most = n[c]; top = c }; print top }' "$RIG_DIR/column.txt")
[ -n "$mono" ] || rig_fail "no icon in the first row of the menu"
# Each icon as the menu shows it: a silhouette wherever the picture is not
# wholly transparent, and, when hot, the picture drawn over that.
for icon in "${RIG_MENU_ICONS[@]}"; do
    convert -size 16x16 "xc:#$face" \( -size 16x16 "xc:#$mono" \( "$res/$icon.png" -alpha extract \
        -threshold 0 \) -alpha off -compose copy_opacity -composite \) -compose over -composite \
        "$RIG_DIR/mono-$icon.png"
    convert "$RIG_DIR/mono-$icon.png" "$res/$icon.png" -composite "$RIG_DIR/colour-$icon.png"
done

# icon_at SHOT KIND ROW: the item whose icon, drawn as KIND (mono or colour),
# the icon place of the row matches best, and how many pixels differ.
icon_at() {
    local i area="$RIG_DIR/icon-area.png" diff best="" best_diff=999
    convert "$1" -crop "16x16+$((RIG_MENU_X + RIG_MENU_COL_X + icon_dx))+$((RIG_MENU_Y + \
        RIG_MENU_COL_Y + RIG_MENU_TOPS[$3] + 3))" +repage "$area"
    for i in "${!RIG_MENU_ICONS[@]}"; do
        diff=$(compare -metric AE -fuzz 10% "$area" "$RIG_DIR/$2-${RIG_MENU_ICONS[i]}.png" null: 2>&1 ||
            true)
        diff=${diff%%.*}
        if [[ $diff =~ ^[0-9]+$ ]] && [ "$diff" -lt "$best_diff" ]; then
            best_diff=$diff
            best=${RIG_MENU_ITEMS[i]}
        fi
    done
    echo "$best $best_diff"
}

order=()
for i in "${!RIG_MENU_ITEMS[@]}"; do
    read -r icon icon_diff <<<"$(icon_at "$shot" mono "$i")"
    [ "$icon_diff" -lt 8 ] ||
        rig_fail "row $i shows no item's icon (closest: \"$icon\", $icon_diff pixels off)"
    order+=("$icon")
done
[ "${order[*]}" = "${RIG_MENU_ITEMS[*]}" ] ||
    rig_fail "the rows show the icons of ${order[*]}, expected ${RIG_MENU_ITEMS[*]}"
rig_ok "silhouettes (#$mono) in order: ${order[*]}"

rig_step "hovering each item in turn shows it hot: full-colour icon, yellow text, sunken frame"
for i in "${!RIG_MENU_ITEMS[@]}"; do
    name=${RIG_MENU_ITEMS[i]}
    top=${RIG_MENU_TOPS[i]}
    rig_menu_item_point "$name"
    rig_hover "$RIG_POINT_X" "$RIG_POINT_Y"
    item_hot() {
        shot=$(rig_shot "hover-$name")
        column_pixels "$shot"
        read -r pure pure_out tint tint_out <<<"$(yellow_rows "$top")"
        [ "$pure" -gt 0 ] && [ "$tint" -gt 20 ]
    }
    rig_wait_for 5 "yellow text in the row of \"$name\"" item_hot
    { [ "$pure_out" = 0 ] && [ "$tint_out" = 0 ]; } ||
        rig_fail "hovering \"$name\": yellow outside its row ($pure_out pure, $tint_out tinted pixels)"
    # Sunken: the top and left edges darker than the face, the right and
    # bottom edges lighter.
    left=$(pixel_at "$frame_dx" $((top + 12)))
    upper=$(pixel_at $((text_dx + 5)) $((top + 1)))
    right=$(pixel_at $((RIG_MENU_COL_W - 1)) $((top + 12)))
    lower=$(pixel_at $((text_dx + 5)) $((top + RIG_MENU_ROW_HEIGHT - 3)))
    { [ "$left" = "$upper" ] && [ "$right" = "$lower" ] &&
        [ "$(luma "$left")" -lt "$(luma "$face")" ] && [ "$(luma "$right")" -gt "$(luma "$face")" ]; } ||
        rig_fail "hovering \"$name\": no sunken frame (edges $left $upper $right $lower, face $face)"
    for j in "${!RIG_MENU_TOPS[@]}"; do
        [ "$j" = "$i" ] || [ "$(pixel_at "$frame_dx" $((RIG_MENU_TOPS[j] + 12)))" = "$face" ] ||
            rig_fail "hovering \"$name\": the row of \"${RIG_MENU_ITEMS[j]}\" shows a frame too"
    done
    read -r icon icon_diff <<<"$(icon_at "$shot" colour "$i")"
    { [ "$icon" = "$name" ] && [ "$icon_diff" -lt 8 ]; } ||
        rig_fail "row $i shows the icon of \"$icon\" ($icon_diff pixels off), expected \"$name\""
    rig_ok "\"$name\" hot: icon in colour; yellow text ($pure pure, $tint tinted pixels), none elsewhere; sunken frame"
done

rig_step "Option shows the window"
rig_choose_menu_item Option
rig_wait_for 5 "the window to show" rig_find_app_toplevel_sized 508 325
geometry=$(rig_x xdotool getwindowgeometry "$RIG_FOUND_WINDOW")
grep -q 'Position: 0,0 ' <<<"$geometry" || rig_fail "window is not at 0,0: $geometry"
rig_ok "window shown at 0,0"

rig_step "Stop silences the player"
open_menu
mark=$(rig_rec_now)
rig_choose_menu_item Stop
rig_expect_sound "$(rig_plus "$mark" -1.2)" 1.0 "before Stop"
rig_expect_silence "$(rig_plus "$(rig_rec_now)" 0.5)" 1.5 "after Stop"

rig_step "Play starts it again"
open_menu
mark=$(rig_rec_now)
rig_choose_menu_item Play
rig_expect_sound_within "$mark" 3 "after Play"

rig_step "Exit ends the program, removes the tray icon and the autostart entry"
[ -f "$RIG_AUTOSTART" ] || rig_fail "no autostart entry before Exit"
open_menu
rig_choose_menu_item Exit
mark=$(rig_rec_now)
rig_wait_app_exit 10
[ "$RIG_APP_STATUS" = 0 ] || rig_fail "the program exited with status $RIG_APP_STATUS"
rig_ok "program ended with status 0"
! rig_x xwininfo -id "$RIG_ICON_WINDOW" >/dev/null 2>&1 || rig_fail "the tray icon's window still exists"
embedded=$(rig_x xwininfo -id "$RIG_TRAY_HOST_WINDOW" -tree | grep -c '"melvane"' || true)
[ "$embedded" = 0 ] || rig_fail "the tray host still holds $embedded windows of the program"
rig_ok "tray icon gone from the tray host"
[ ! -e "$RIG_AUTOSTART" ] || rig_fail "the autostart entry is still there: $RIG_AUTOSTART"
rig_ok "autostart entry removed"
rig_shot after-exit >/dev/null
rig_expect_silence "$(rig_plus "$mark" 1.0)" 1.0 "after Exit"

rig_done
