# shellcheck shell=bash
# A whole session on an XEmbed tray, as a user has it. At start the player
# lives in the tray only, has registered itself for autostart and plays the
# first entry. The window comes up from the tray icon; its buttons work with
# the mouse: Stop shows its hover picture, Stop and Play stop and restart the
# sound, Add takes a file through the real file dialog into the list and
# Music.mus, Hide puts the window away. A right click on the icon opens the
# owner-drawn menu at the cursor, flipped to stay on the screen, with its side
# band, its items in order and the hot item in yellow inside a sunken frame;
# Option, Stop, Play and Exit do what they say. Started again, the program
# ends through the window's Exit button just as cleanly.
# Usage: tray.sh MELVANE MAKETUNES
# shellcheck disable=SC2317  # the small checks below run through rig_wait_for
source "$(dirname "$0")/rig.sh"
rig_init tray "$1" "$2"

res="$RIG_SOURCE_ROOT/src/res"
# Screen positions of the controls (the window sits at 0,0): Stop's picture,
# the middle of each button, and the inside of the list.
stop_x=11 stop_y=185
stop_click=(20 195)
play_click=(22 171)
add_click=(52 93)
hide_click=(426 297)
exit_click=(464 296)
list_area=(37 106 449 179)
screen_w=1024 screen_h=768

rig_setup trayer
rig_expect_silence 0 0.3 "monitor before the program starts"
rig_start_playing

rig_step "nothing but the tray icon is visible"
sleep 1
rig_expect_no_window "at start"
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

rig_step "a double-click on the tray icon shows the window at 0,0, 508x325"
rig_double_click "$RIG_ICON_CX" "$RIG_ICON_CY"
rig_expect_window 10
shot=$(rig_shot window)
rig_expect_skin "$shot"
[ "$(rig_area_mismatch "$shot" "$stop_x" "$stop_y" "$res/186.png")" = 0 ] ||
    rig_fail "Stop does not show its normal picture (186.png) before the hover"
rig_ok "Stop shows its normal picture"

rig_step "hovering Stop shows its hover picture"
rig_hover "${stop_click[@]}"
stop_hot() {
    shot=$(rig_shot stop-hover)
    [ "$(rig_area_mismatch "$shot" "$stop_x" "$stop_y" "$res/187.png")" = 0 ]
}
rig_wait_for 5 "Stop's hover picture (187.png) at $stop_x,$stop_y" stop_hot
rig_ok "Stop shows 187.png under the mouse"

rig_expect_stops "the Stop button" rig_click "${stop_click[@]}"
rig_expect_plays "the Play button" rig_click "${play_click[@]}"

rig_step "Add takes a new file through the file dialog"
added="$RIG_MEDIA/added-tone.wav"
rig_make_wav "$added" 6 523
lines=$(rig_text_lines "$(rig_shot before-add)" "${list_area[@]}")
[ "$lines" = 1 ] || rig_fail "the list shows $lines lines before Add, expected 1"
rig_click "${add_click[@]}"
rig_wait_for 10 "the file dialog" rig_find_app_toplevel_other_than "$RIG_WINDOW" 300 200
dialog=$RIG_FOUND_WINDOW
rig_ok "file dialog $dialog \"$(rig_window_name "$dialog")\", $(rig_window_geometry "$dialog" | awk '{ print $3 "x" $4 }')"
rig_shot file-dialog >/dev/null
rig_type_into "$dialog" "$added"
rig_x xdotool key Return
rig_wait_for 10 "the file dialog to close" rig_window_gone "$dialog"
expected=$(printf '%s\r\n' "$added" "$RIG_TUNE_WAV" | od -c)
playlist_updated() { [ "$(od -c "$RIG_PLAYLIST")" = "$expected" ]; }
rig_wait_for 5 "Music.mus to hold both files in list order, CR LF ended" playlist_updated
rig_ok "Music.mus: $(tr -d '\r' <"$RIG_PLAYLIST" | paste -sd'|')"
list_shows_two() { [ "$(rig_text_lines "$(rig_shot after-add)" "${list_area[@]}")" = 2 ]; }
rig_wait_for 5 "two lines in the list" list_shows_two
rig_ok "the list shows two lines"
rig_expect_sound "$(rig_rec_now)" 1.0 "the sounding track goes on after Add"

rig_step "Hide puts the window away again"
rig_click "${hide_click[@]}"
rig_wait_for 5 "the window to hide" rig_window_gone "$RIG_WINDOW"
rig_ok "window hidden"

# Inside an item's row (its rectangle starts at the column's left edge): the
# icon, the text and the hot frame's left edge, all right of the band.
icon_dx=$((RIG_MENU_BAND_WIDTH + 5))
text_dx=$((RIG_MENU_BAND_WIDTH + 29))
frame_dx=$((RIG_MENU_BAND_WIDTH + 28))

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
rig_open_tray_menu
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
rig_expect_window 5

# menu_choose NAME: opens the tray menu and chooses the item.
menu_choose() {
    rig_open_tray_menu
    rig_choose_menu_item "$1"
}
rig_expect_stops "Stop in the menu" menu_choose Stop
rig_expect_plays "Play in the menu" menu_choose Play
rig_expect_exit "Exit in the menu" menu_choose Exit
rig_expect_tray_icon_gone
rig_shot after-menu-exit >/dev/null

rig_step "started again, the program ends through the window's Exit button"
rig_start_playing
rig_double_click "$RIG_ICON_CX" "$RIG_ICON_CY"
rig_expect_window 10
rig_expect_exit "the Exit button" rig_click "${exit_click[@]}"
rig_expect_tray_icon_gone
rig_shot after-button-exit >/dev/null

rig_done
