# shellcheck shell=bash
# A whole session on an XEmbed tray, as a user has it. At start the player
# lives in the tray only, has registered itself for autostart and plays the
# first entry. The window comes up from the tray icon; its buttons work with
# the mouse: Stop shows its hover picture, Stop and Play stop and restart the
# sound, Add takes a file through the real file dialog into the list and
# Music.mus, Hide puts the window away. A right click on the icon opens the
# owner-drawn menu at the cursor, flipped to stay on the screen, with its side
# band, its items in order and the hot item in yellow inside a sunken frame;
# Option, Stop, Play and Exit do what they say.
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
list_area=(37 106 449 179)
screen_w=1024 screen_h=768

# other_toplevel W MIN_WIDTH MIN_HEIGHT: sets RIG_FOUND_WINDOW to a top-level
# of the program besides W at least that large (tool tips are top-levels too).
other_toplevel() { rig_find_app_toplevel window_at_least "$@"; }
# window_at_least W OTHER MIN_WIDTH MIN_HEIGHT
window_at_least() {
    local x y width height
    [ "$1" != "$2" ] && read -r x y width height <<<"$(rig_window_geometry "$1")" &&
        [ "${width:-0}" -ge "$3" ] && [ "${height:-0}" -ge "$4" ]
}

# type_into W TEXT: types the text into the window.
type_into() {
    rig_x xdotool windowfocus --sync "$1"
    timeout 30 xdotool type --delay 15 "$2"
}

# The screen's look, which only this scenario checks.

# text_lines FILE X Y WIDTH HEIGHT: the number of separate bands of rows
# with more than a few dark pixels (lines of text) in an area with a light
# background.
text_lines() {
    convert "$1" -crop "$4x$5+$2+$3" +repage -colorspace Gray -threshold 50% -negate \
        -scale "1x$5!" -depth 8 txt:- |
        awk 'NR > 1 { v = $NF; gsub(/[^0-9]/, "", v); dark = v + 0 > 4; n += dark && !was; was = dark }
             END { print n + 0 }'
}

# area_pixels FILE X Y WIDTH HEIGHT: the area's pixels, one "X Y RRGGBB" a
# line, X and Y counted from the area's corner.
area_pixels() {
    convert "$1" -crop "$4x$5+$2+$3" +repage -depth 8 txt:- |
        awk 'NR > 1 { split($1, at, /[,:]/); for (i = 2; i <= NF; i++) if ($i ~ /^#/) { print at[1], at[2], substr($i, 2, 6); break } }'
}

# The menu's item icons (src/res) in item order, and the rows of its two
# separators in the item column.
icons=(192 131 133 135 134 138 137 194)
separators=(24 173)
readonly separator_height=5
# The side band's picture strip is this grey and this wide.
readonly band_grey=808080 band_width=16

# menu_column SHOT: finds the menu's item column by its side band, whose
# grey strip runs down the column's left edge from top to bottom. Sets
# COL_X, _Y (inside the popup), _W and BAND_W, _H.
menu_column() {
    local measures
    measures=$(area_pixels "$1" "$RIG_MENU_X" "$RIG_MENU_Y" "$RIG_MENU_W" "$RIG_MENU_H" |
        awk -v grey="$band_grey" '
            $3 == grey && (y0 == "" || $2 < y0 || ($2 == y0 && $1 < x0)) { x0 = $1; y0 = $2 }
            { c[$1 " " $2] = $3 }
            END {
                if (y0 == "") exit 1
                for (w = 0; c[(x0 + w) " " y0] == grey; w++) ;
                for (h = 0; c[(x0 + 1) " " (y0 + h)] == grey; h++) ;
                print x0, y0, w, h
            }') || return 1
    read -r COL_X COL_Y BAND_W BAND_H <<<"$measures"
    # The popup's frame is as wide on every side.
    COL_W=$((RIG_MENU_W - 2 * COL_X))
}


rig_setup trayer
rig_expect_silence 0 0.3 "monitor before the program starts"
rig_start_playing

rig_step "nothing but the tray icon is visible"
# No window is to come: a second's wait shows none does.
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
lines=$(text_lines "$(rig_shot before-add)" "${list_area[@]}")
[ "$lines" = 1 ] || rig_fail "the list shows $lines lines before Add, expected 1"
rig_click "${add_click[@]}"
rig_wait_for 10 "the file dialog" other_toplevel "$RIG_WINDOW" 300 200
dialog=$RIG_FOUND_WINDOW
rig_ok "file dialog $dialog \"$(rig_window_name "$dialog")\", $(rig_window_geometry "$dialog" | awk '{ print $3 "x" $4 }')"
rig_shot file-dialog >/dev/null
type_into "$dialog" "$added"
rig_x xdotool key Return
rig_wait_for 10 "the file dialog to close" rig_window_gone "$dialog"
expected=$(printf '%s\r\n' "$added" "$RIG_TUNE_WAV" | od -c)
playlist_updated() { [ "$(od -c "$RIG_PLAYLIST")" = "$expected" ]; }
rig_wait_for 5 "Music.mus to hold both files in list order, CR LF ended" playlist_updated
rig_ok "Music.mus: $(tr -d '\r' <"$RIG_PLAYLIST" | paste -sd'|')"
list_shows_two() { [ "$(text_lines "$(rig_shot after-add)" "${list_area[@]}")" = 2 ]; }
rig_wait_for 5 "two lines in the list" list_shows_two
rig_ok "the list shows two lines"
rig_expect_sound "$(rig_rec_now)" 1.0 "the sounding track goes on after Add"

rig_step "Hide puts the window away again"
rig_click "${hide_click[@]}"
rig_wait_for 5 "the window to hide" rig_window_gone "$RIG_WINDOW"
rig_ok "window hidden"

# Inside an item's row (its rectangle starts at the column's left edge): the
# icon, the text and the hot frame's left edge, all right of the band.
icon_dx=$((band_width + 5))
text_dx=$((band_width + 29))
frame_dx=$((band_width + 28))

# column_pixels SHOT: the item column's pixels into column.txt, as "X Y RRGGBB"
# from the column's corner; pixel_at X Y reads one of them back.
column_pixels() {
    area_pixels "$1" $((RIG_MENU_X + COL_X)) $((RIG_MENU_Y + COL_Y)) \
        "$COL_W" "$BAND_H" >"$RIG_DIR/column.txt"
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
menu_column "$shot" || rig_fail "no grey side band in the menu (screenshot $shot)"
expected_h=$((8 * RIG_MENU_ROW_HEIGHT + 2 * separator_height))
[ "$BAND_H" = "$expected_h" ] ||
    rig_fail "the band (item column) is $BAND_H px high, expected $expected_h"
[ "$BAND_W" = "$band_width" ] ||
    rig_fail "the band's grey strip is $BAND_W px wide, expected $band_width"
frame=$COL_Y
{ [ "$COL_X" = "$frame" ] && [ "$RIG_MENU_H" = $((expected_h + 2 * frame)) ]; } ||
    rig_fail "the menu is not the column in an even frame: column at $COL_X,$frame"
rig_ok "band ${BAND_W}x$BAND_H at $COL_X,$frame; menu height $RIG_MENU_H = $expected_h + 2 x $frame"

column_pixels "$shot"
# The item face: the right end of the first item's row, where no text reaches.
face=$(pixel_at $((COL_W - 4)) 12)
[ -n "$face" ] || rig_fail "cannot read the menu's face colour"

rig_step "separators lie between Option and First and between Final and Exit, and nowhere else"
# An etched separator is a line darker than the face with a lighter one under
# it: the only rows with no pixel of the face colour right of the band.
lines=$(awk -v face="$face" -v from=$((band_width + 2)) -v to=$((COL_W - 2)) '
    $1 >= from && $1 < to { n[$2]++; if ($3 != face) off[$2]++ }
    END { for (y in n) if (off[y] == n[y]) print y }' "$RIG_DIR/column.txt" | sort -n | xargs)
expected_lines=""
for top in "${separators[@]}"; do
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
for icon in "${icons[@]}"; do
    convert -size 16x16 "xc:#$face" \( -size 16x16 "xc:#$mono" \( "$res/$icon.png" -alpha extract \
        -threshold 0 \) -alpha off -compose copy_opacity -composite \) -compose over -composite \
        "$RIG_DIR/mono-$icon.png"
    convert "$RIG_DIR/mono-$icon.png" "$res/$icon.png" -composite "$RIG_DIR/colour-$icon.png"
done

# icon_at SHOT KIND ROW: the item whose icon, drawn as KIND (mono or colour),
# the icon place of the row matches best, and how many pixels differ.
icon_at() {
    local i area="$RIG_DIR/icon-area.png" diff best="" best_diff=999
    convert "$1" -crop "16x16+$((RIG_MENU_X + COL_X + icon_dx))+$((RIG_MENU_Y + \
        COL_Y + RIG_MENU_TOPS[$3] + 3))" +repage "$area"
    for i in "${!icons[@]}"; do
        diff=$(compare -metric AE -fuzz 10% "$area" "$RIG_DIR/$2-${icons[i]}.png" null: 2>&1 ||
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

# The first item, then the last: the one hovered before goes back to normal.
rig_step "a hovered item shows hot: full-colour icon, yellow text, sunken frame"
for i in 0 $((${#RIG_MENU_ITEMS[@]} - 1)); do
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
    right=$(pixel_at $((COL_W - 1)) $((top + 12)))
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

rig_done
