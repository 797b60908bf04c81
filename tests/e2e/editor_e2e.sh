#!/usr/bin/env bash
# End-to-end scenarios of the real editor: a copy of the executable and a settings file
# in a fresh folder, the program on an X server of the scenario's own (Xvfb), real key
# presses and mouse clicks (xdotool) at the controls' places, and the settings file on
# disk checked afterwards.
#
#   editor_e2e.sh SCENARIO EXECUTABLE SETTINGS_FILE [START_COMMAND]
#
# START_COMMAND, when given, starts the program (its words, then the program's path, then
# its arguments), and is run with "--stop" at the end to end whatever it started: the
# Windows build's scenarios run JnxEnv.exe through cmake/wine-run.sh. The program then
# shows Windows paths: the scenario's folders appear under drive Z:, and a folder on drive
# C: is made under E2E_DRIVE_C, the Unix path of the prefix's drive_c.
#
# Every process the scenario starts is stopped by its id when it ends, whatever happens.
# The scripts' shared functions (the X server's start among them) set -euo pipefail.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/common.sh"

scenario=$1
executable=$2
sample=$3
read -r -a start_command <<<"${4:-}"
program=$(basename "$executable")

for tool in Xvfb xdotool xclip xdpyinfo; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is missing: the README's test command installs it" >&2
        exit 1
    fi
done

windows() { [ ${#start_command[@]} -gt 0 ]; }

scratch=$(mktemp -d)
folder="$scratch/editor"  # the editor's folder: executable and Jnx.ini
settings="$folder/Jnx.ini"
mkdir "$folder"
cp "$executable" "$folder/$program"
cp "$sample" "$settings"
cp "$sample" "$scratch/before.ini"
drive_c_folder=

# A path as the program shows it: on Windows every Unix path is on drive Z:.
shown_path() {
    if windows; then
        local path=$1
        printf 'Z:%s\n' "${path//\//\\}"
    else
        printf '%s\n' "$1"
    fi
}

XVFB_PID=
APP_PID=
finish() {
    local status=$?
    if [ -n "$APP_PID" ]; then
        kill "$APP_PID" 2>/dev/null || true
        wait "$APP_PID" 2>/dev/null || true
    fi
    if windows; then
        "${start_command[@]}" --stop >/dev/null 2>&1 || true
    fi
    stop_xvfb
    if [ "$status" -ne 0 ]; then
        for log in editor xvfb; do
            if [ -s "$scratch/$log.log" ]; then
                echo "--- $log output" >&2
                cat "$scratch/$log.log" >&2
            fi
        done
    fi
    rm -rf "$scratch"
    if [ -n "$drive_c_folder" ]; then
        rm -rf "$drive_c_folder"
    fi
}
trap finish EXIT

fail() {
    echo "FAILED ($scenario): $*" >&2
    exit 1
}

# Polls a command until it succeeds, for at most 20 seconds.
wait_for() {
    local what=$1
    shift
    local tries=0
    until "$@"; do
        tries=$((tries + 1))
        [ "$tries" -le 400 ] || fail "gave up waiting for $what"
        sleep 0.05
    done
}

# An X server of the scenario's own, its output kept for the failure report; Wine's runner
# shows windows only on the display it is given.
start_server() {
    start_xvfb "$scratch/xvfb.log" || fail "no X server would start"
    export JNX_WINE_DISPLAY=$DISPLAY
}

# Starts the editor in its folder; any arguments are handed to it.
start_editor() {
    (cd "$folder" && exec "${start_command[@]}" "$folder/$program" "$@") >"$scratch/editor.log" 2>&1 &
    APP_PID=$!
}

editor_running() {
    kill -0 "$APP_PID" 2>/dev/null
}

editor_ended() {
    ! editor_running
}

wait_editor_ended() {
    wait_for "the editor to end" editor_ended
    wait "$APP_PID" || fail "the editor ended with status $?"
    APP_PID=
}

# The visible window whose name matches; xdotool matches names ignoring case.
visible_window() {
    xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1
}

main_window_shown() { [ -n "$(visible_window 'Jnx\.ini')" ]; }
main_window_shown_or_editor_ended() { main_window_shown || editor_ended; }
# The error box's caption is the program's name, "Jnxenv".
error_box_shown() { [ -n "$(visible_window '^Jnxenv$')" ]; }
error_box_gone() { ! error_box_shown; }
dialog_shown() { [ -n "$(visible_window "$1")" ]; }
dialog_gone() { ! dialog_shown "$1"; }
# The program's visible windows: the main window, and the file menu while it is open.
shown_windows() { xdotool search --onlyvisible --class "${program%.exe}" | wc -l; }
menu_open() { [ "$(shown_windows)" -gt 1 ]; }
menu_closed() { [ "$(shown_windows)" -le 1 ]; }

WINDOW=
MENU_BAR=
wait_main_window() {
    wait_for "the editor's window" main_window_shown_or_editor_ended
    editor_running || fail "the editor ended before its window showed"
    WINDOW=$(visible_window 'Jnx\.ini')
    # The client area is 527 pixels high; the menu bar takes the rest.
    local height
    height=$(xdotool getwindowgeometry --shell "$WINDOW" | sed -n 's/^HEIGHT=//p')
    MENU_BAR=$((height - 527))
    xdotool windowfocus --sync "$WINDOW"
}

# A click at a point of the client area (below the menu bar).
click() {
    xdotool mousemove --sync --window "$WINDOW" "$1" $(($2 + MENU_BAR)) click 1
}

# Replaces the text of the edit box at the point, as a user does.
type_into() {
    click "$1" "$2"
    xdotool key ctrl+a
    xdotool type --delay 20 "$3"
}

# Opens the file menu with Alt+F and presses the keys, which pick an item by its mnemonic
# (a disabled item's mnemonic does nothing, so Escape follows it).
menu() {
    xdotool windowfocus --sync "$WINDOW"
    xdotool key alt+f
    wait_for "the file menu" menu_open
    xdotool key "$@"
    wait_for "the file menu to close" menu_closed
}

# Presses the keys, which copy something, and prints what reached the clipboard. A marker
# is put there first and the copy waited for: Wine hands the clipboard over a moment after
# the key. (xclip serves the marker from the background, its output closed so that a
# caller's command substitution does not wait for it.)
readonly NOTHING_COPIED="(nothing copied)"
copied() {
    printf '%s' "$NOTHING_COPIED" | xclip -selection clipboard >/dev/null 2>&1
    xdotool key "$@"
    local text tries=0
    while :; do
        text=$(timeout 5 xclip -o -selection clipboard 2>/dev/null) || text=$NOTHING_COPIED
        [ "$text" = "$NOTHING_COPIED" ] || break
        tries=$((tries + 1))
        [ "$tries" -le 100 ] || fail "nothing was copied"
        sleep 0.05
    done
    printf '%s\n' "$text"
}

# Waits for the error box, copies its text with Ctrl+C, closes it with Enter and prints
# what it showed.
read_error_box() {
    wait_for "the error box" error_box_shown
    local box
    box=$(visible_window '^Jnxenv$')
    xdotool windowfocus --sync "$box"
    local text
    text=$(copied ctrl+c)
    xdotool key Return
    wait_for "the error box to close" error_box_gone
    printf '%s\n' "$text"
}

# The text of the edit box at the point, copied with Ctrl+A Ctrl+C.
box_text() {
    click "$1" "$2"
    copied ctrl+a ctrl+c
}

# Replaces the text of the box at the point with text pasted from the clipboard, as a user
# of an input method ends up doing (xdotool types Japanese wrongly on Wine).
paste_into() {
    click "$1" "$2"
    xdotool key ctrl+a
    printf '%s' "$3" | xclip -selection clipboard >/dev/null 2>&1
    local text tries=0
    until text=$(timeout 5 xclip -o -selection clipboard 2>/dev/null) && [ "$text" = "$3" ]; do
        tries=$((tries + 1))
        [ "$tries" -le 100 ] || fail "the clipboard did not take the text"
        sleep 0.05
    done
    xdotool key ctrl+v
}

# The value of a key in a section of the settings file, line ends dropped.
value() {
    awk -v section="[$1]" -v key="$2" '
        { sub(/\r$/, "") }
        /^\[/ { inside = ($0 == section); next }
        inside && index($0, key "=") == 1 { print substr($0, length(key) + 2); exit }
    ' "$settings"
}

expect_value() {
    local actual
    actual=$(value "$1" "$2")
    [ "$actual" = "$3" ] || fail "[$1] $2 is '$actual', expected '$3'"
}

# After a save that wrote one value: that key's line holds the value and every other byte
# of the file stays. Wine's profile functions rewrite the whole file and drop its blank
# lines on the way (Windows keeps them), so on Wine the blank lines are left out of the
# comparison.
expect_only_changed() {
    awk -v section="[$1]" -v key="$2" -v value="$3" '
        /^\[/ { line = $0; sub(/\r$/, "", line); inside = (line == section) }
        inside && index($0, key "=") == 1 { print key "=" value "\r"; next }
        { print }
    ' "$scratch/before.ini" >"$scratch/expected.ini"
    local saved=$settings
    if windows; then
        grep -a -v $'^\r$' "$scratch/expected.ini" >"$scratch/expected-wine.ini" || true
        grep -a -v $'^\r$' "$settings" >"$scratch/saved-wine.ini" || true
        mv "$scratch/expected-wine.ini" "$scratch/expected.ini"
        saved="$scratch/saved-wine.ini"
    fi
    cmp -s "$scratch/expected.ini" "$saved" || fail "the save changed more than [$1] $2"
}

expect_file_unchanged() {
    [ -e "$settings" ] || fail "the settings file is gone"
    cmp -s "$scratch/before.ini" "$settings" || fail "the settings file changed"
}

# Moves the program and its settings file into a new folder, made with the folders above
# it, and makes that the scenario's folder.
move_editor_to() {
    mkdir -p "$1"
    mv "$folder/$program" "$settings" "$1/"
    rmdir "$folder"
    folder=$1
    settings="$folder/Jnx.ini"
}

# The length of a path in bytes as the program names it: in code page 932 on Windows.
path_bytes() {
    if windows; then
        shown_path "$1" | tr -d '\n' | iconv -f UTF-8 -t CP932 | wc -c
    else
        printf '%s' "$1" | wc -c
    fi
}

# A folder in the scratch folder, its name ending in the one given, whose Jnx.ini's path
# has the given length in bytes: folders of "a"s in front of the name make it up.
folder_of_length() {
    local bytes=$1 last=$2
    local need=$((bytes - $(path_bytes "$scratch/$last/Jnx.ini") - 1))
    local fill
    if [ "$need" -le 200 ]; then
        fill=$(printf 'a%.0s' $(seq "$need"))
    else
        fill=$(printf 'a%.0s' $(seq 100))/$(printf 'a%.0s' $(seq $((need - 101))))
    fi
    printf '%s\n' "$scratch/$fill/$last"
}

# The settings file cannot be reached: the load names it as unreadable, the window's
# saves stay disabled and nothing is written, the file beside the program left byte for
# byte and no other file made there.
expect_refused() {
    start_editor
    local text
    text=$(read_error_box)
    grep -qF "$(shown_path "$settings") を読み込めません." <<<"$text" || fail "error box said: $text"
    wait_main_window
    xdotool key space
    click "${SAVE_END[@]}"
    menu s Escape
    editor_running || fail "the program ended"
    menu x
    wait_editor_ended
    expect_file_unchanged
    [ "$(ls -A "$folder" | wc -l)" -eq 2 ] || fail "files were left beside the program: $(ls -A "$folder")"
    # The next round's click waits for the pointer to move there.
    xdotool mousemove 0 0
}

# An edit saved by "保存終了" reaches the file beside the program, and only that key
# changes; the file is then put back for the next round.
expect_saved() {
    start_editor
    wait_main_window
    type_into "$PLAIN_X" "$(row_y 1)" 7
    click "${SAVE_END[@]}"
    wait_editor_ended
    expect_only_changed Group0 Skip 7
    cp "$sample" "$settings"
    xdotool mousemove 0 0
}

# Client coordinates of the controls (centres).
AUTO_READ_BOX=(464 450)
FIND_DIR1=(668 450)
PAGE2=(124 12)
TOTAL_ZERO=(307 12)
SAVE_END=(228 504)
# Row r's box of a column at x: the row panel starts at y 48 + 32 (r - 1), its boxes at 8.
row_y() { echo $((48 + 32 * ($1 - 1) + 8 + 10)); }
MIN_ODDS_X=$((8 + 504 + 20))
TOTAL_X=$((8 + 272 + 20))
COURSE_X=$((8 + 160 + 20))  # the course box's text
RACE_X=$((8 + 216 + 10))  # read-only
PLAIN_X=$((8 + 464 + 20))  # the "Skip" box

start_server

case "$scenario" in
space_saves_and_exits)
    # The focus is on "保存終了": one Space saves and ends the program. Nothing was changed,
    # so nothing is written: the file keeps every byte, the sample's "Active=true" too, on
    # Wine as well.
    start_editor
    wait_main_window
    xdotool key space
    wait_editor_ended
    expect_value Group2 Active true
    expect_file_unchanged
    ;;

put_back_after_the_tool)
    # Group "1" has Skip=1. The user types 5 and leaves the box; the betting tool writes
    # Skip=9 (the box keeps the user's 5); the user types 1 again and saves by the menu:
    # the file holds 1, the box too, and the tool's other write is kept.
    start_editor
    wait_main_window
    [ "$(value Group1 Skip)" = 1 ] || fail "the sample's [Group1] Skip is not 1"
    type_into "$PLAIN_X" "$(row_y 2)" 5
    click "$RACE_X" "$(row_y 12)"
    sed -i -e '/^\[Group1\]/,/^\[/ s/^Skip=.*\r$/Skip=9\r/' \
        -e '/^\[Group3\]/,/^\[/ s/^Total=.*\r$/Total=4242\r/' "$settings"
    shows() {
        [ "$(box_text "$1" "$2")" = "$3" ] && return 0
        click "$RACE_X" "$(row_y 12)"
        return 1
    }
    wait_for "row 4 to show the tool's total" shows "$TOTAL_X" "$(row_y 4)" 4242
    [ "$(box_text "$PLAIN_X" "$(row_y 2)")" = 5 ] || fail "the tool's write replaced the user's 5"
    type_into "$PLAIN_X" "$(row_y 2)" 1
    menu s
    saved_one() { [ "$(value Group1 Skip)" = 1 ]; }
    wait_for "the save" saved_one
    [ "$(box_text "$PLAIN_X" "$(row_y 2)")" = 1 ] || fail "the box does not show what was saved"
    menu x
    wait_editor_ended
    expect_value Group1 Skip 1
    expect_value Group3 Total 4242
    ;;

save_by_menu_then_exit)
    # Page 2, a new minimum odds for group "D" (row 2), "上書き保存(&S)" by Alt+F S, then
    # "終了(&X)" by Alt+F X.
    start_editor
    wait_main_window
    click "${PAGE2[@]}"
    type_into "$MIN_ODDS_X" "$(row_y 2)" 3.3
    menu s
    wait_for "the save" grep -q 'MinOdd=3.3' "$settings"
    editor_running || fail "the save ended the program"
    menu x
    wait_editor_ended
    expect_value GroupD MinOdd 3.3
    expect_value Group1 MinOdd "$(value Group1 MinOdd)"
    ;;

total_zero_on_page_two)
    start_editor
    wait_main_window
    click "${PAGE2[@]}"
    click "${TOTAL_ZERO[@]}"
    expect_file_unchanged
    click "${SAVE_END[@]}"
    wait_editor_ended
    for group in 0 1 2 3 4 5 6 7 8 9 A B C D E F G H I J K L M N O P Q R S T U V W X Y Z; do
        before=$(settings="$scratch/before.ini" value "Group$group" Total)
        case "$group" in
        [C-N]) expect_value "Group$group" Total 0 ;;
        *) expect_value "Group$group" Total "$before" ;;
        esac
    done
    ;;

exit_after_edits)
    start_editor
    wait_main_window
    type_into "$PLAIN_X" "$(row_y 1)" 7
    click "${PAGE2[@]}"
    click "${TOTAL_ZERO[@]}"
    menu x
    wait_editor_ended
    expect_file_unchanged
    ;;

chords_type_nothing)
    # Alt and Ctrl with a letter that is no mnemonic, in a text box, a bet type's box and a
    # folder box, then "上書き保存(&S)" and "終了(&X)": none of the letters reach the file.
    # Nor do the chords that delete in Qt's boxes on Linux and not in Windows' (Ctrl+D
    # the next character, Ctrl+K to the end, Ctrl+U the whole text) change a value.
    TYPE_X=$((8 + 56 + 20))
    start_editor
    wait_main_window
    for box in "$PLAIN_X $(row_y 1)" "$TYPE_X $(row_y 1)" "${AUTO_READ_BOX[*]}"; do
        # shellcheck disable=SC2086
        click $box
        xdotool key End alt+x alt+s alt+q ctrl+q alt+shift+z ctrl+alt+s
        xdotool key Home ctrl+d ctrl+k ctrl+u
    done
    # One real edit, so that the save writes and shows when it is done.
    type_into "$MIN_ODDS_X" "$(row_y 1)" 5.5
    menu s
    saved_edit() { [ "$(value Group0 MinOdd)" = 5.5 ]; }
    wait_for "the save" saved_edit
    menu x
    wait_editor_ended
    expect_only_changed Group0 MinOdd 5.5
    ;;

arguments_ignored)
    # The program takes no arguments, Qt's own included: "-reverse" would mirror the
    # window, so that "保存終了" would not be where the click lands.
    printf 'QWidget { background: red; }\n' >"$scratch/red.qss"
    start_editor -reverse -stylesheet "$scratch/red.qss" -platform offscreen
    wait_main_window
    type_into "$PLAIN_X" "$(row_y 1)" 7
    click "${SAVE_END[@]}"
    wait_editor_ended
    expect_only_changed Group0 Skip 7
    ;;

missing_settings_file)
    # The load fails: the error box comes first, then a window whose saves are disabled.
    rm "$settings"
    start_editor
    wait_for "the error box" error_box_shown
    ! main_window_shown || fail "the window showed before the error box"
    text=$(read_error_box)
    # Wine gives the blank default back as one blank; Windows and the Linux build drop it.
    grep -qF -e "'' は整数ではありません." -e "' ' は整数ではありません." <<<"$text" ||
        fail "error box said: $text"
    grep -qx 'Jnxenv' <<<"$text" || fail "error box caption: $text"
    wait_main_window
    xdotool key space
    click "${SAVE_END[@]}"
    menu s Escape
    editor_running || fail "the program ended"
    [ ! -e "$settings" ] || fail "a settings file was written"
    menu x
    wait_editor_ended
    [ ! -e "$settings" ] || fail "a settings file was written"
    ;;

no_settings_file_at_path)
    # Something that is no settings file stands at its path: a folder, or on Linux a named
    # pipe, which must not hold up the start. The load names it as unreadable, and the
    # window's saves stay disabled.
    rm "$settings"
    kinds=(folder)
    windows || kinds+=(pipe)
    for kind in "${kinds[@]}"; do
        if [ "$kind" = folder ]; then mkdir "$settings"; else mkfifo "$settings"; fi
        start_editor
        text=$(read_error_box)
        grep -qF "$(shown_path "$settings") を読み込めません." <<<"$text" ||
            fail "$kind: error box said: $text"
        wait_main_window
        click "${SAVE_END[@]}"
        editor_running || fail "$kind: the program ended"
        menu x
        wait_editor_ended
        # The next round's click waits for the pointer to move there.
        xdotool mousemove 0 0
        if [ "$kind" = folder ]; then
            [ -d "$settings" ] && [ -z "$(ls -A "$settings")" ] || fail "the folder changed"
            rmdir "$settings"
        else
            [ -p "$settings" ] || fail "the pipe was replaced"
            rm "$settings"
        fi
    done
    ;;

folder_removed)
    # The editor's folder disappears while it is open: "保存終了" reports the write error
    # with the file's path and the window stays open.
    start_editor
    wait_main_window
    rm -rf "$folder"
    xdotool key space
    text=$(read_error_box)
    grep -qF "$(shown_path "$settings") に書き込めません." <<<"$text" || fail "error box said: $text"
    editor_running || fail "the program ended after a failed save"
    main_window_shown || fail "the window closed after a failed save"
    menu x
    wait_editor_ended
    ;;

other_program_writes)
    # The betting tool writes a total into the file while the editor is open; the user
    # edits another group and presses "保存終了": both changes are in the file.
    start_editor
    wait_main_window
    sed -i '/^\[Group3\]/,/^\[/ s/^Total=.*\r$/Total=4242\r/' "$settings"
    [ "$(value Group3 Total)" = 4242 ] || fail "the other program's write did not happen"
    type_into "$PLAIN_X" "$(row_y 6)" 9
    click "${SAVE_END[@]}"
    wait_editor_ended
    expect_value Group3 Total 4242
    expect_value Group5 Skip 9
    ;;

live_view)
    # The betting tool rewrites two values while the editor is open (sed puts a new file in
    # the old one's place); the window shows them; the user edits a third value and presses
    # "保存終了": all three are in the file.
    start_editor
    wait_main_window
    sed -i -e '/^\[Group3\]/,/^\[/ s/^Total=.*\r$/Total=4242\r/' \
        -e '/^\[Group1\]/,/^\[/ s/^Skip=.*\r$/Skip=8\r/' "$settings"
    [ "$(value Group3 Total)" = 4242 ] || fail "the other program's write did not happen"
    # A box with the focus waits for the value until it is left: leave it before the next look.
    shows() {
        [ "$(box_text "$1" "$2")" = "$3" ] && return 0
        click "$RACE_X" "$(row_y 12)"
        return 1
    }
    wait_for "row 4 to show the new total" shows "$TOTAL_X" "$(row_y 4)" 4242
    wait_for "row 2 to show the new skip" shows "$PLAIN_X" "$(row_y 2)" 8
    type_into "$MIN_ODDS_X" "$(row_y 6)" 4.5
    click "${SAVE_END[@]}"
    wait_editor_ended
    expect_value Group3 Total 4242
    expect_value Group1 Skip 8
    expect_value Group5 MinOdd 4.5
    ;;

choose_new_folder)
    # "参照" for the auto-read folder, a new folder typed into the chooser, "はい" to make
    # it, then "保存終了": the folder exists and the file holds it.
    chosen="$scratch/betting data/auto read"
    typed=$chosen
    shown="$chosen/"
    if windows; then
        # A folder on drive C:, as a user of the Windows program picks one.
        drive_c_folder="$E2E_DRIVE_C/jnx-e2e-$$"
        chosen="$drive_c_folder/betting data/auto read"
        typed="C:\\jnx-e2e-$$\\betting data\\auto read"
        shown="$typed\\"
    fi
    start_editor
    wait_main_window
    click "${FIND_DIR1[@]}"
    wait_for "the folder chooser" dialog_shown 'ディレクトリの選択'
    xdotool windowfocus --sync "$(visible_window 'ディレクトリの選択')"
    xdotool key alt+n
    xdotool type --delay 20 "$typed"
    xdotool key Return
    wait_for "the question" dialog_shown '^確認$'
    xdotool windowfocus --sync "$(visible_window '^確認$')"
    xdotool key Return
    wait_for "the folder chooser to close" dialog_gone 'ディレクトリの選択'
    # The folder is made once the chooser has closed.
    wait_for "the new folder" test -d "$chosen"
    [ "$(box_text "${AUTO_READ_BOX[@]}")" = "$shown" ] ||
        fail "the box shows '$(box_text "${AUTO_READ_BOX[@]}")', expected '$shown'"
    click "${SAVE_END[@]}"
    wait_editor_ended
    expect_value Dir BetAutoRead "$shown"
    ;;

course_not_read_back)
    # A racecourse typed that is none of the ten (大井, in row 8: group "7", whose course
    # is 8) would stop the next start: "保存" refuses it with the conversion error the load
    # would give, writes nothing and leaves the window open; corrected to 東京, the save
    # writes its number.
    start_editor
    wait_main_window
    paste_into "$COURSE_X" "$(row_y 8)" 大井
    # Alt+F S, and the error box comes in place of the menu.
    xdotool windowfocus --sync "$WINDOW"
    xdotool key alt+f
    wait_for "the file menu" menu_open
    xdotool key s
    text=$(read_error_box)
    grep -qF "'大井' は整数ではありません." <<<"$text" || fail "error box said: $text"
    editor_running || fail "the program ended"
    expect_file_unchanged
    paste_into "$COURSE_X" "$(row_y 8)" 東京
    menu s
    saved_tokyo() { [ "$(value Group7 Bb)" = 5 ]; }
    wait_for "the save" saved_tokyo
    menu x
    wait_editor_ended
    expect_only_changed Group7 Bb 5
    ;;

japanese_folder)
    # The editor and its Jnx.ini in a folder named 設定, another Jnx.ini in the folder above.
    # Read as code page 932, the UTF-8 bytes of the name would take the "/" after it into a
    # character and lead the editor to the file above. On Windows the folder is named ソ表,
    # whose two characters end in the byte of "\" (83 5C, 95 5C), which must not be taken
    # for the separator. Space on "保存終了" saves into the file beside the program and
    # leaves the other one byte for byte as it was.
    japanese="$scratch/設定"
    if windows; then
        japanese="$scratch/ソ表"
    fi
    mkdir "$japanese"
    mv "$folder/$program" "$settings" "$japanese/"
    rmdir "$folder"
    folder=$japanese
    settings="$folder/Jnx.ini"
    cp "$sample" "$scratch/Jnx.ini"
    start_editor
    wait_main_window
    type_into "$PLAIN_X" "$(row_y 1)" 7
    click "${SAVE_END[@]}"
    wait_editor_ended
    cmp -s "$sample" "$scratch/Jnx.ini" || fail "the Jnx.ini of the folder above changed"
    expect_only_changed Group0 Skip 7
    ;;

folder_outside_code_page)
    # The program and its Jnx.ini in a folder named Café. Linux names it in UTF-8 and the
    # edit is saved. Windows' profile functions name files in the ANSI code page, which
    # lacks "é": the system's own ANSI name of the folder is "Cafe", another folder, which
    # here holds a Jnx.ini of its own. The load names the file by its real name as
    # unreadable, and neither file is written.
    move_editor_to "$scratch/Café"
    mkdir "$scratch/Cafe"
    cp "$sample" "$scratch/Cafe/Jnx.ini"
    if windows; then
        expect_refused
    else
        expect_saved
    fi
    cmp -s "$sample" "$scratch/Cafe/Jnx.ini" || fail "the Jnx.ini of the folder Cafe changed"
    [ "$(ls -A "$scratch/Cafe")" = Jnx.ini ] || fail "files were left in the folder Cafe"
    ;;

long_folder_path)
    # The program in folders so deep that the path of its Jnx.ini is long. On Windows the
    # profile functions reach no file at a path of 260 bytes or more, and a save's copy
    # beside the file has a name up to 27 bytes longer than "Jnx.ini": a path of 232 bytes
    # works, one of 233 is refused, as is one of 300. The 232 bytes are counted in code
    # page 932, where the folder ソ表 at the path's end takes 4 (its characters end in the
    # byte of "\"). Linux takes every one of them.
    for round in 232:ソ表 233:aaaa 300:aaaa; do
        move_editor_to "$(folder_of_length "${round%%:*}" "${round#*:}")"
        [ "$(path_bytes "$settings")" -eq "${round%%:*}" ] ||
            fail "the path has $(path_bytes "$settings") bytes, not ${round%%:*}"
        if windows && [ "${round%%:*}" -gt 232 ]; then
            expect_refused
        else
            expect_saved
        fi
    done
    ;;

*)
    fail "no such scenario"
    ;;
esac

echo "PASSED ($scenario)"
