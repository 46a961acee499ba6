#!/usr/bin/env bash
# End-to-end tests: kelmor.exe under Wine in a virtual X server, driven like a user with
# xdotool, checked through screenshots, window texts and the files it leaves behind.
# Prints "N passed, M failed" last and exits non-zero when a case failed.
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib.sh"

EXE=${KELMOR_EXE:-$KELMOR_BUILD_WIN/kelmor.exe}
OUT=$KELMOR_BUILD_WIN/e2e
PROBE=$OUT/probe.exe
RUN=${KELMOR_E2E_RUN:-$OUT/run}
CW=8 LH=16 # the default view font's cell
LAST_CLICK_US=0
MAIN_TITLE='HEX-Editor für grosse Dateien'

passed=0 failed=0
KPID=
CLIENT_X=0 CLIENT_Y=0 WIN_X=0 WIN_Y=0 WIN_W=0
SUMMARY_DONE=

log() { echo "e2e: $*"; }
pass() {
    passed=$((passed + 1))
    echo "PASS $1"
}
fail() {
    failed=$((failed + 1))
    echo "FAIL $1: $2"
    if [ -n "${CASE_DIR:-}" ] && [ -f "$CASE_DIR/wine.log" ]; then
        echo "  visible windows:"
        probe windows | sed 's/^/    /'
        echo "  program output (last lines):"
        tail -n 5 "$CASE_DIR/wine.log" | sed 's/^/    /'
    fi
}

# ---- set-up ---------------------------------------------------------------------------------

if [ ! -f "$EXE" ]; then
    echo "e2e: $EXE is missing (build the Windows target first)"
    echo "0 passed, 1 failed"
    exit 1
fi
mkdir -p "$OUT"
if [ ! -f "$PROBE" ] || [ "$KELMOR_ROOT/tests/e2e/probe.cpp" -nt "$PROBE" ]; then
    x86_64-w64-mingw32-g++-posix -O1 -municode -static -o "$PROBE" \
        "$KELMOR_ROOT/tests/e2e/probe.cpp" || {
        echo "0 passed, 1 failed"
        exit 1
    }
fi
rm -rf "$RUN"
mkdir -p "$RUN"

bash "$KELMOR_ROOT/scripts/wineprefix.sh"
wine_env
german_locale 2>/dev/null
start_xvfb "${KELMOR_E2E_DISPLAY:-90}" || {
    echo "0 passed, 1 failed"
    exit 1
}
setxkbmap de

cleanup() {
    local rc=$?
    if [ -n "$KPID" ]; then kill "$KPID" 2>/dev/null; fi
    wine_down
    stop_xvfb
    if [ -z "$SUMMARY_DONE" ]; then # the script itself broke off
        echo "e2e: stopped early (exit code $rc)"
        echo "$passed passed, $((failed + 1)) failed"
        exit 1
    fi
}
trap cleanup EXIT
wine_up
# The journal directories live in the prefix; every run starts without journals.
rm -rf "$WINEPREFIX/drive_c/kelmor" "$WINEPREFIX/drive_d/kelmor"

# ---- helpers --------------------------------------------------------------------------------

probe() { wine "$PROBE" "$@" 2>/dev/null | tr -d '\r'; }

# Repeats a command every 0.2 s until it succeeds or the seconds run out.
wait_until() {
    local end=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -ge "$end" ] && return 1
        sleep 0.2
    done
}

visible() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
not_visible() { ! visible "$1"; }
main_exists() { MAIN=$(probe main) && [ -n "$MAIN" ]; }
main_xid() { probe main | cut -f1; }
main_title() { probe main | cut -f2; }
title_is() { [ "$(main_title)" = "$1" ]; }
main_iconic() { [[ $(probe main | cut -f3) == *iconic ]]; }
file_dialog_open() { FILEDLG=$(probe filedialog) && [ -n "$FILEDLG" ]; }
program_gone() { ! kill -0 "$KPID" 2>/dev/null; }
pointer_window_open() { visible '^Pointer und Flags$'; }
disasm_window_open() { visible '^MNEMONIC \(Real Mode; 16 Bit\):$'; }
info_open() { visible '^Info$'; }
# The cases after the first need the program still running.
running() { ! program_gone && main_exists || { fail "$1" "the program is not running"; return 1; }; }
# Fails a case and stops the program it started.
abort() { fail "$1" "$2"; stop_kelmor; }
# The program ended by itself, or the case fails with the message given.
ended() { wait_until 20 program_gone && KPID= || { abort "$1" "$2"; return 1; }; }
# A case's own directory with the first start's settings and the message options given.
settings_from_first_start() { # case dir options
    CASE_DIR=$2
    mkdir -p "$2"
    [ -f "$DIR_A/kelmor.ini" ] || { fail "$1" "no kelmor.ini from the first start"; return 1; }
    cp "$DIR_A/kelmor.ini" "$2/" && put_u32 "$2/kelmor.ini" 64 "$3"
}
# Starts the program in the case's directory and waits for its main window.
launch() {
    start_kelmor "$CASE_DIR"
    wait_until 60 main_exists || { abort "$1" "no main window within 60 s"; return 1; }
}

start_kelmor() {
    ( cd "$1" && exec wine "$EXE" ) >"$1/wine.log" 2>&1 </dev/null &
    KPID=$!
}

stop_kelmor() {
    if [ -n "$KPID" ] && kill -0 "$KPID" 2>/dev/null; then
        kill "$KPID" 2>/dev/null
        wait_until 10 program_gone
    fi
    KPID=
}

# Wine does not take the focus back after an owner-less box; a click on the caption does.
focus_main() {
    local xid X Y WIDTH HEIGHT WINDOW SCREEN
    xid=$(main_xid)
    [ -n "$xid" ] || return 1
    eval "$(xdotool getwindowgeometry --shell "$xid")"
    # Two clicks on the caption within the double-click time maximise the window, and the
    # size rule turns that into a larger font: the clicks are kept apart.
    local now=${EPOCHREALTIME//[.,]/} wait
    wait=$((LAST_CLICK_US + 700000 - now))
    [ "$wait" -gt 0 ] && sleep "0.$(printf '%06d' "$wait")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + 10)) click 1
    LAST_CLICK_US=${EPOCHREALTIME//[.,]/}
    xdotool windowfocus --sync "$xid"
    FOCUSED_XID=$xid
    WIN_X=$X WIN_Y=$Y WIN_W=$WIDTH
}

# Focuses the main window and presses keys (menu keys one by one) until a condition holds;
# a second try follows a first that went nowhere (focus is the usual culprit under Wine).
keys_until() { # seconds condition keys...
    local secs=$1 cond=$2 try k
    shift 2
    for try in 1 2; do
        focus_main || return 1
        for k in "$@"; do
            xdotool key "$k"
            sleep 0.4
        done
        wait_until "$secs" "$cond" && return 0
        xdotool key Escape Escape
    done
    return 1
}

# Screenshot as PNG plus raw RGB for pixel reads.
SHOT_W=1024
screenshot() { # name
    SHOT=$RUN/$1.png
    import -window root "$SHOT"
    convert "$SHOT" -depth 8 "rgb:$RUN/$1.rgb"
    SHOT_RGB=$RUN/$1.rgb
}

# "rr gg bb" of one screen pixel of the last screenshot.
pixel() {
    od -An -v -tx1 -j $((($2 * SHOT_W + $1) * 3)) -N3 "$SHOT_RGB" | sed 's/^ //'
}

# The client area starts with the header's blank address part (0xDDDDDD): its first
# row of 16 such pixels below the caption, and its first such pixel from the left.
find_client() {
    local col=$((WIN_X + 100)) x y
    y=$(convert "$SHOT" -crop "1x200+$col+$WIN_Y" -depth 8 rgb:- | od -An -v -tx1 -w3 |
        awk '{ if ($0 == " dd dd dd") { run++; if (run == 16) { print NR - 16; exit } } else run = 0 }')
    [ -n "$y" ] || return 1
    CLIENT_Y=$((WIN_Y + y))
    x=$(convert "$SHOT" -crop "60x1+$WIN_X+$((CLIENT_Y + 8))" -depth 8 rgb:- |
        od -An -v -tx1 -w3 | awk '$0 == " dd dd dd" { print NR - 1; exit }')
    [ -n "$x" ] || return 1
    CLIENT_X=$((WIN_X + x))
}

# Background of a character cell: the middle of its left edge shows exactly the colour drawn.
cell() { pixel $((CLIENT_X + $2 * CW)) $((CLIENT_Y + $1 * LH + LH / 2)); }

CHECK_ERRORS=
# Passes a case, or fails it with the collected check errors.
verdict() { if [ -n "$CHECK_ERRORS" ]; then fail "$1" "$CHECK_ERRORS${2:-}"; else pass "$1"; fi; }
expect_cells() { # "rr gg bb" what row,col...
    local want=$1 what=$2 rc got
    shift 2
    for rc in "$@"; do
        got=$(cell "${rc%,*}" "${rc#*,}")
        [ "$got" = "$want" ] || CHECK_ERRORS+="$what at cell ($rc) is $got, expected $want; "
    done
}

# Dark (text) pixels of a cell rectangle as a 0/1 mask, one character per pixel.
text_mask() { # row col0 ncols
    convert "$SHOT" -crop "$(($3 * CW))x$LH+$((CLIENT_X + $2 * CW))+$((CLIENT_Y + $1 * LH))" \
        -depth 8 rgb:- | od -An -v -tu1 -w3 |
        awk '{ printf "%d", ($1 + $2 + $3 < 384) } END { print "" }'
}
dark_count() { text_mask "$@" | tr -d '0\n' | wc -c; }

# Writes a little-endian u32 into a file at an offset.
put_u32() { # file offset value
    local v=$3
    printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $((v & 255)) $((v >> 8 & 255)) \
        $((v >> 16 & 255)) $((v >> 24 & 255)))" |
        dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
get_u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
hexat() { od -An -tx1 -v -j "$2" -N"$3" "$1" | tr -d ' \n'; } # file offset count

# Ctrl+O, the path typed into the dialog's name field (checked there), Return.
# Sets OPEN_ERROR and returns 1 when it could not.
open_in_dialog() { type_in_dialog "$1" && xdotool key Return; }
# The same without the Return, which the dialog (focused) still waits for.
type_in_dialog() { # windows-path
    local path=$1 dlg try k
    OPEN_ERROR=
    if ! keys_until 15 file_dialog_open ctrl+o; then
        OPEN_ERROR="Ctrl+O showed no file dialog"
        return 1
    fi
    dlg=$(cut -f1 <<<"$FILEDLG")
    sleep 0.3
    for try in 1 2; do
        xdotool windowfocus --sync "$dlg"
        if [ "$try" = 2 ]; then # clear what the first try left
            xdotool key End
            for ((k = 0; k < ${#path} + 8; k++)); do xdotool key BackSpace; done
        fi
        xdotool type --delay 30 "$path"
        FILEDLG=$(probe filedialog)
        [ "$(cut -f3 <<<"$FILEDLG")" = "$path" ] && break
    done
    if [ "$(cut -f3 <<<"$FILEDLG")" != "$path" ]; then
        OPEN_ERROR="the name field reads \"$(cut -f3 <<<"$FILEDLG")\", typed \"$path\""
        xdotool key Escape
        return 1
    fi
}

# Sourced by the benchmarks for the set-up and the helpers above: no cases then.
[ -n "${KELMOR_E2E_NO_CASES:-}" ] && return 0

# ---- the cases ------------------------------------------------------------------------------

DIR_A=$RUN/first-start
mkdir -p "$DIR_A"

case_first_start() {
    CASE_DIR=$DIR_A
    start_kelmor "$DIR_A"
    wait_until 60 visible '^HINWEIS$' ||
        { fail first-start 'no "HINWEIS" notice within 60 s'; return; }
    main_exists && [ "$(main_title)" = "$MAIN_TITLE" ] ||
        { fail first-start "main window \"$MAIN_TITLE\" missing behind the notice"; return; }
    local box
    box=$(xdotool search --onlyvisible --name '^HINWEIS$' | head -1)
    xdotool windowfocus --sync "$box"
    xdotool key Return
    if ! wait_until 5 not_visible '^HINWEIS$'; then
        xdotool windowfocus --sync "$box"
        xdotool key Return
    fi
    wait_until 10 not_visible '^HINWEIS$' ||
        { fail first-start 'the notice did not close on Return'; return; }
    focus_main
    sleep 0.5 # let the uncovered part repaint
    screenshot first-start
    find_client || { fail first-start "no header (0xDDDDDD) found in $SHOT"; return; }
    CHECK_ERRORS=
    expect_cells "dd dd dd" "header or address column" 0,0 0,21 0,45 1,0 32,20
    expect_cells "ff cc cc" "mode indicator" 0,71
    expect_cells "ee ff ee" "hex column" 1,21 16,40 32,70
    expect_cells "ff ff ff" "character column" 1,71 32,87
    expect_cells "ff dd dd" "status line" 33,0 33,21 33,87
    # The empty view has addresses but no bytes.
    [ "$(dark_count 1 0 21)" -gt 0 ] || CHECK_ERRORS+="no address text in row 1; "
    [ "$(dark_count 1 21 50)" -eq 0 ] || CHECK_ERRORS+="text in the empty hex column; "
    verdict first-start "(see $SHOT)"
}

case_open_file() {
    CASE_DIR=$DIR_A
    running open-file || return
    # Bytes 00..0F first: row 1 must then read like the header labels " 00 01 .. 0F".
    local unix=$DIR_A/prüfdaten.bin path
    {
        printf '\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f'
        printf 'Kelmor end-to-end'
    } >"$unix"
    path=$(winepath -w "$unix" 2>/dev/null)
    open_in_dialog "$path" || { fail open-file "$OPEN_ERROR"; return; }
    wait_until 20 title_is "$path" ||
        { fail open-file "the title is \"$(main_title)\", expected \"$path\""; return; }
    sleep 0.5
    local others
    others=$(probe windows | grep -v '^TEXT_B' || true)
    [ -z "$others" ] || { fail open-file "unexpected window after opening: $others"; return; }
    focus_main
    sleep 0.3
    screenshot open-file
    find_client || { fail open-file "no header found in $SHOT"; return; }
    CHECK_ERRORS=
    expect_cells "ee ff ee" "hex cell of bytes 1, 8, 16" 1,25 1,47 2,21
    expect_cells "ff ff ff" "character cell after the last byte" 3,73
    expect_cells "ff dd dd" "status line" 33,0
    # Bytes 01..0F of row 1 drawn exactly like the header's labels 01..0F.
    [ "$(text_mask 1 25 46)" = "$(text_mask 0 25 46)" ] ||
        CHECK_ERRORS+="row 1 does not show the bytes 01 to 0F; "
    # 33 bytes: row 2 has 16 more, row 3 one, row 4 none.
    [ "$(dark_count 2 21 50)" -gt 0 ] || CHECK_ERRORS+="row 2 shows no bytes; "
    [ "$(dark_count 3 21 50)" -gt 0 ] || CHECK_ERRORS+="row 3 shows no byte; "
    [ "$(dark_count 3 26 45)" -eq 0 ] || CHECK_ERRORS+="row 3 shows more than one byte; "
    [ "$(dark_count 4 21 50)" -eq 0 ] || CHECK_ERRORS+="row 4 shows bytes; "
    verdict open-file "(see $SHOT)"
}

case_modeless_window() {
    CASE_DIR=$DIR_A
    running pointer-window || return
    keys_until 10 pointer_window_open alt+x p ||
        { fail pointer-window "Extras > Pointer und Flags anzeigen showed no window"; return; }
    local modflag anf
    modflag=$(probe text "Pointer und Flags" 1331)
    anf=$(probe text "Pointer und Flags" 1301)
    screenshot pointer-window
    # The window is modeless: Esc reaches it through the main loop's dialog routing.
    xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^Pointer und Flags$' | head -1)"
    xdotool key Escape
    wait_until 10 not_visible '^Pointer und Flags$' ||
        { fail pointer-window "Esc did not close the window"; return; }
    [[ $modflag =~ ^\ [0-9A-F]{4}\ [0-9A-F]{4}$ ]] && [ "$anf" = " 0000 0000 0000 0000" ] ||
        { fail pointer-window "shows ModFlag \"$modflag\", AnfPtr \"$anf\""; return; }
    pass pointer-window
}

case_disasm_window() {
    CASE_DIR=$DIR_A
    running disasm-window || return
    local title='^MNEMONIC \(Real Mode; 16 Bit\):$' dlg X Y WIDTH HEIGHT WINDOW SCREEN line branch
    keys_until 10 disasm_window_open alt+x d ||
        { fail disasm-window "Extras > disassemblieren showed no window"; return; }
    dlg=$(xdotool search --onlyvisible --name "$title" | head -1)
    eval "$(xdotool getwindowgeometry --shell "$dlg")"
    line=$(probe text "MNEMONIC (Real Mode; 16 Bit):" 1032)
    # 'r' at 0x15 is JB SHORT: its target must show in the list.
    # Down, Right five times, disassemble: posted, so that the window keeps the focus.
    for c in 32783 32785 32785 32785 32785 32785 32957; do probe command $c; done
    sleep 1
    branch=$(probe text "MNEMONIC (Real Mode; 16 Bit):" 1033)
    screenshot disasm-window
    xdotool windowfocus --sync "$dlg"
    xdotool key Escape
    wait_until 10 not_visible "$title" ||
        { fail disasm-window "Esc did not close the window"; return; }
    # Placed beside the cursor (byte 0): 4 cells right of the hex column, 5 lines down.
    local wx=$((CLIENT_X + (21 + 4) * CW)) wy=$((CLIENT_Y + 5 * LH))
    CHECK_ERRORS=
    [ "$X,$Y,$WIDTH,$HEIGHT" = "$wx,$wy,390,380" ] ||
        CHECK_ERRORS+="window at $X,$Y size ${WIDTH}x$HEIGHT, expected $wx,$wy size 390x380; "
    [[ $line == " 0000 0000 0000 0000 :"* ]] || CHECK_ERRORS+="first list line \"$line\"; "
    [ "$branch" = " 0000 0000 0000 0015 :    JB  + 0x20  =>  0000 0000 0000 0037" ] ||
        CHECK_ERRORS+="branch line \"$branch\"; "
    verdict disasm-window
}

case_info_dialog() {
    CASE_DIR=$DIR_A
    running info-dialog || return
    keys_until 10 info_open alt+h i ||
        { fail info-dialog "Hilfe > Info... showed no dialog"; return; }
    local version date
    version=$(probe text Info 1001)
    date=$(probe text Info 1002)
    screenshot info-dialog
    xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^Info$' | head -1)"
    xdotool key Return
    wait_until 10 not_visible '^Info$' ||
        { fail info-dialog "OK did not close the dialog"; return; }
    CHECK_ERRORS=
    [ "$version" = "Kelmor Version 1.0" ] && [ "$date" = "Stand: 06.12.2026" ] ||
        CHECK_ERRORS="shows \"$version\" / \"$date\"; "
    # The string table carries the hints (the program shows none of them).
    local exe hints
    exe=$(winepath -w "$EXE" 2>/dev/null)
    hints="$(probe string "$exe" 32844)|$(probe string "$exe" 1200)"
    [ "$hints" = "springe zur vorherigen Undo-Position|scrollen in alle Richtungen ohne Begrenzungen möglich" ] ||
        CHECK_ERRORS+="string table: \"$hints\""
    verdict info-dialog
}

case_exit_writes_settings() {
    CASE_DIR=$DIR_A
    running exit || return
    keys_until 15 program_gone ctrl+x || { abort exit "Ctrl+X did not end the program"; return; }
    KPID=
    local ini=$DIR_A/kelmor.ini size
    [ -f "$ini" ] || { fail exit "no kelmor.ini in the working directory"; return; }
    size=$(stat -c %s "$ini")
    CHECK_ERRORS=
    [ "$size" -eq 3248 ] && [ "$(head -c 4 "$ini")" = "bhey" ] ||
        CHECK_ERRORS+="kelmor.ini has $size bytes and begins with \"$(head -c 4 "$ini" | od -An -c)\"; "
    [ "$(get_u32 "$ini" 64)" = 15 ] ||
        CHECK_ERRORS+="message options $(get_u32 "$ini" 64) instead of the default 15; "
    verdict exit
}

case_no_notice() {
    local dir=$RUN/no-notice
    settings_from_first_start no-notice "$dir" $(($(get_u32 "$DIR_A/kelmor.ini" 64) & ~1)) &&
        launch no-notice || return
    # The notice would come right after the first paint; give it ample time.
    ! wait_until 4 visible '^HINWEIS$' ||
        { abort no-notice '"HINWEIS" shown although switched off'; return; }
    pass no-notice

    # Minimised, then closed from the system menu: the settings are written, and the icon's
    # size must not have become the font.
    probe minimize
    wait_until 10 main_iconic || { abort minimise-and-close "the window did not minimise"; return; }
    probe close
    ended minimise-and-close "closing from the system menu did not end the program" || return
    local kept font
    kept=$(get_u32 "$dir/kelmor.ini" 64)
    font="$(get_u32 "$dir/kelmor.ini" 52)x$(get_u32 "$dir/kelmor.ini" 56)"
    CHECK_ERRORS=
    [ "$kept" = 14 ] && [ "$font" = 16x8 ] ||
        CHECK_ERRORS="kelmor.ini holds message options $kept and font $font (want 14, 16x8)"
    verdict minimise-and-close
}

# Type "41" over the first byte, Return, close answering "Nein" to the save question: the
# journal beside the source holds exactly one entry with that byte.
edit_marked() { title_is "$EDIT_PATH*"; }
case_edit_journal() {
    local dir=$RUN/edit unix=$RUN/edit/edit.bin path jnl=$RUN/edit/edit.bin.jnl
    # No notice, ask to save at closing; the journal lies beside its source.
    settings_from_first_start edit-journal "$dir" 2 || return
    put_u32 "$dir/kelmor.ini" 92 0
    head -c 600 /dev/zero | tr '\0' 'K' >"$unix"
    path=$(winepath -w "$unix" 2>/dev/null)
    launch edit-journal || return
    open_in_dialog "$path" || { abort edit-journal "$OPEN_ERROR"; return; }
    wait_until 20 title_is "$path" ||
        { abort edit-journal "the title is \"$(main_title)\", expected \"$path\""; return; }
    EDIT_PATH=$path
    keys_until 10 edit_marked 4 1 Return ||
        { abort edit-journal "after 41 and Return the title is \"$(main_title)\" (no modification mark)"; return; }
    focus_main
    xdotool key ctrl+x
    wait_until 15 visible '^Speichern\?$' ||
        { abort edit-journal "no question \"Speichern?\" at closing"; return; }
    local box
    box=$(xdotool search --onlyvisible --name '^Speichern\?$' | head -1)
    xdotool windowfocus --sync "$box"
    xdotool key n
    ended edit-journal "the program did not end after \"Nein\"" || return
    [ -f "$jnl" ] || { fail edit-journal "no journal $jnl"; return; }
    # Byte-exact: the header's magic and chain heads (Undo, Rest, FirstPtr, LastPtr; UndoFirst)
    # name the one entry at 1024; its record: address 0, null links, Len 512, its flags, byte 0
    # alone changed; its data: the source block with byte 0 = 41.
    local n=00000000ffffffff e=0004000000000000 want got
    want="1664 03efcdab $e$e$e$e $e 0000000000000000$n$n${n}00020000$n$n$n"
    want+="4d41180001$(printf '%0126d' 0) 41$(printf '4b%.0s' {1..511})"
    got="$(stat -c %s "$jnl") $(hexat "$jnl" 0 4) $(hexat "$jnl" 16 32) $(hexat "$jnl" 96 8)"
    got+=" $(hexat "$jnl" 1024 128) $(hexat "$jnl" 1152 512)"
    CHECK_ERRORS=
    [ "$got" = "$want" ] || CHECK_ERRORS+="journal reads \"$got\", want \"$want\"; "
    cmp -s "$unix" <(head -c 600 /dev/zero | tr '\0' 'K') || CHECK_ERRORS+="the source changed; "
    verdict edit-journal
}

# While "Speichern?" waits inside the close, the main window is disabled, and commands that
# still reach it (Ctrl+O, a posted "&Öffnen" or "Datei Sch&liessen") do nothing.
case_question_is_modal() {
    local dir=$RUN/modal unix=$RUN/modal/modal.bin box
    settings_from_first_start question-modal "$dir" 2 && put_u32 "$dir/kelmor.ini" 92 0 || return
    head -c 600 /dev/zero >"$unix"
    EDIT_PATH=$(winepath -w "$unix" 2>/dev/null)
    launch question-modal && open_in_dialog "$EDIT_PATH" && wait_until 20 title_is "$EDIT_PATH" &&
        keys_until 10 edit_marked 4 1 Return && probe command 32779 && # Datei Sch&liessen
        wait_until 15 visible '^Speichern\?$' || { abort question-modal "no question"; return; }
    CHECK_ERRORS=
    [ "$(probe enabled)" = 0 ] || CHECK_ERRORS+="the main window stays enabled; "
    xdotool windowfocus "$(main_xid)" key ctrl+o 2>/dev/null
    probe command 32771 && probe command 32779 && sleep 2 # &Öffnen, Datei Sch&liessen
    box=$(xdotool search --onlyvisible --name '^Speichern\?$')
    [ "$(grep -c . <<<"$box")" = 1 ] || CHECK_ERRORS+="not one \"Speichern?\"; "
    xdotool windowfocus --sync "$(head -1 <<<"$box")" key n
    wait_until 10 title_is " " || CHECK_ERRORS+="the title is \"$(main_title)\" after Nein; "
    sleep 2
    [ -z "$(probe windows | grep -v '^TEXT_B')" ] || CHECK_ERRORS+="other windows opened; "
    verdict question-modal
}

# "Alles speichern &unter" through Wine's own save dialog ("Speichern als") after a typed edit:
# the new file holds the source's bytes with the edit, byte for byte.
save_as_written() { [ "$(stat -c %s "$SAVEAS_OUT" 2>/dev/null)" = "$SAVEAS_SIZE" ]; }
case_save_all_as() {
    local dir=$RUN/saveas unix=$RUN/saveas/quelle.bin dlg path out k
    settings_from_first_start save-all-as "$dir" 0 && put_u32 "$dir/kelmor.ini" 92 0 || return
    head -c $((3 << 20)) /dev/urandom >"$unix"
    SAVEAS_OUT=$dir/kopie.bin SAVEAS_SIZE=$((3 << 20))
    EDIT_PATH=$(winepath -w "$unix" 2>/dev/null)
    out=$(winepath -w "$SAVEAS_OUT" 2>/dev/null)
    launch save-all-as && open_in_dialog "$EDIT_PATH" && wait_until 20 title_is "$EDIT_PATH" &&
        keys_until 10 edit_marked 4 1 Return && probe command 32806 && # Alles speichern &unter
        wait_until 15 file_dialog_open || { abort save-all-as "no save dialog ${OPEN_ERROR:-}"; return; }
    dlg=$(cut -f1 <<<"$FILEDLG")
    CHECK_ERRORS=
    [ "$(cut -f2 <<<"$FILEDLG")" = "Speichern als" ] ||
        CHECK_ERRORS+="the dialog is titled \"$(cut -f2 <<<"$FILEDLG")\"; "
    sleep 0.3
    xdotool windowfocus --sync "$dlg"
    xdotool key End
    for ((k = 0; k < 40; k++)); do xdotool key BackSpace; done
    xdotool type --delay 30 "$out"
    xdotool key Return
    wait_until 30 save_as_written || { abort save-all-as "no file of $SAVEAS_SIZE bytes"; return; }
    sleep 1
    focus_main
    screenshot save-all-as
    cmp -s "$SAVEAS_OUT" <(printf 'A'; tail -c +2 "$unix") ||
        CHECK_ERRORS+="the file differs from the source with byte 0 = 41; "
    [ -z "$(probe windows | grep -v '^TEXT_B')" ] || CHECK_ERRORS+="other windows are open; "
    keys_until 15 program_gone ctrl+x && KPID= || CHECK_ERRORS+="Ctrl+X did not end it; "
    verdict save-all-as "(see $SHOT)"
}

# "&Alles speichern" over a journal of 49152 blocks, the program killed in the middle: the
# next start asks nothing, the journal is sound and keeps every journalled byte, and
# "Undo &Alles" then gives the original source back.
kill_title() { [[ $(main_title) == "$KILL_PATH"* ]]; }
kill_open() { # stage: the source open, no question shown
    launch kill-save && open_in_dialog "$KILL_PATH" && wait_until 30 kill_title && sleep 3 &&
        [ -z "$(probe windows | grep -v '^TEXT_B')" ] ||
        { abort kill-save "$1: the source did not open alone ${OPEN_ERROR:-}"; return 1; }
}
kill_close() {
    keys_until 120 program_gone ctrl+x && KPID= || { abort kill-save "$1: Ctrl+X failed"; return 1; }
}
case_kill_during_save() {
    local dir=$RUN/kill unix=$RUN/kill/big.bin t res box='^Speichern\?$'
    local py="python3 $KELMOR_ROOT/tests/e2e/kill_journal.py"
    settings_from_first_start kill-save "$dir" 0 && put_u32 "$dir/kelmor.ini" 92 0 &&
        put_u32 "$dir/kelmor.ini" 68 2 || return # journal beside the source, opened writable
    head -c $((24 << 20)) /dev/urandom >"$dir/orig.bin" && cp "$dir/orig.bin" "$unix"
    touch -d @1700000000 "$unix" # its FILETIME goes into the journal
    KILL_PATH=$(winepath -w "$unix" 2>/dev/null)
    $py write "$unix" "$unix.jnl" "$KILL_PATH" $(((1700000000 + 11644473600) * 10000000))
    kill_open first && probe command 32805 && wait_until 15 visible "$box" && # &Alles speichern
        xdotool windowfocus --sync "$(xdotool search --onlyvisible --name "$box" | head -1)" \
            key j && # Ja
        wait_until 10 not_visible "$box" ||
        { abort kill-save "no save after \"Speichern?\""; return; }
    t=$((RANDOM % 26 + 5)) && sleep "$((t / 10)).$((t % 10))"
    { kill -9 "$KPID" && wait "$KPID"; } 2>/dev/null # nothing of it runs on the way out
    wineserver -k 9 2>/dev/null; KPID=; wine_up
    log "killed after $((t / 10)).$((t % 10)) s with $(stat -c %s "$unix.jnl") journal bytes," \
        "$(ls "$dir" | grep -c jlg) rollback log"
    kill_open restart && kill_close restart || return
    res=$($py check "$unix" "$unix.jnl" "$dir/orig.bin")
    [ "$res" = sound ] || { fail kill-save "after the restart: $res"; return; }
    kill_open undo && probe command 32819 && sleep 2 && kill_close undo || return # Undo &Alles
    cmp -s "$unix" "$dir/orig.bin" ||
        { fail kill-save "after \"Undo &Alles\" the source is not the original"; return; }
    pass kill-save
}

# F9 on byte 0, Right x15, F10 marks 16 bytes; Ctrl+C, Down x4, Ctrl+V writes them at byte 79
# and they show as journalled edits (0xAADDFF). Then the page below is filled through dialog
# 146: "A" typed as the character shows 41 and 65 in the other fields.
fill_open() { visible '^Füllzeichen eingeben$'; }
case_clipboard_fill() {
    local dir=$RUN/clip unix=$RUN/clip/clip.bin jnl=$RUN/clip/clip.bin.jnl k hex dec
    settings_from_first_start clipboard-fill "$dir" 2 && put_u32 "$dir/kelmor.ini" 92 0 || return
    { printf 'ABCDEFGHIJKLMNOP'; head -c 2032 /dev/zero | tr '\0' '.'; } >"$unix"
    EDIT_PATH=$(winepath -w "$unix" 2>/dev/null)
    launch clipboard-fill && open_in_dialog "$EDIT_PATH" && wait_until 20 title_is "$EDIT_PATH" ||
        { abort clipboard-fill "the source did not open ${OPEN_ERROR:-}"; return; }
    focus_main
    xdotool key F9 && for ((k = 0; k < 15; k++)); do xdotool key Right; done
    xdotool key F10 ctrl+c Down Down Down Down
    keys_until 10 edit_marked ctrl+v ||
        { abort clipboard-fill "Ctrl+V marked no edit (title \"$(main_title)\")"; return; }
    sleep 0.5
    screenshot clipboard-paste
    find_client || { abort clipboard-fill "no header found in $SHOT"; return; }
    CHECK_ERRORS=
    # Bytes 80..94 on row 6 (byte 79, under the cursor, is left out); 95 stays plain.
    for ((k = 0; k < 15; k++)); do
        expect_cells "ff dd aa" "pasted byte $((80 + k))" "6,$((22 + 3 * k + (k >= 8)))" "6,$((72 + k))"
    done
    expect_cells "ee ff ee" "byte 95" 6,68
    # The page below, filled with "A".
    focus_main && xdotool key Next && probe command 32852 && wait_until 10 fill_open ||
        { abort clipboard-fill "no dialog \"Füllzeichen eingeben\""; return; }
    xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^Füllzeichen eingeben$' | head -1)"
    xdotool type A
    sleep 0.5
    hex=$(probe text 'Füllzeichen eingeben' 1462) dec=$(probe text 'Füllzeichen eingeben' 1463)
    [ "$hex $dec" = "41 65" ] || CHECK_ERRORS+="after typing A the fields read \"$hex\" \"$dec\"; "
    screenshot fill-dialog
    xdotool key Return
    wait_until 10 not_visible '^Füllzeichen eingeben$' || CHECK_ERRORS+="the dialog stayed; "
    sleep 0.5
    screenshot clipboard-fill
    expect_cells "ff dd aa" "filled byte" 2,22 32,70
    focus_main && xdotool key ctrl+x
    wait_until 15 visible '^Speichern\?$' || { abort clipboard-fill "no question at closing"; return; }
    xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^Speichern\?$' | head -1)" key n
    ended clipboard-fill "the program did not end after \"Nein\"" || return
    # The journal: block 0 with the pasted bytes at 79, block 512 all "A"; the source untouched.
    [ "$(hexat "$jnl" $((1152 + 79)) 16)" = "$(printf ABCDEFGHIJKLMNOP | od -An -tx1 | tr -d ' \n')" ] ||
        CHECK_ERRORS+="the journal holds \"$(hexat "$jnl" $((1152 + 79)) 16)\" at byte 79; "
    [ "$(hexat "$jnl" $((1664 + 128)) 512)" = "$(printf '41%.0s' {1..512})" ] ||
        CHECK_ERRORS+="block 512 is not filled with 41 in the journal; "
    [ "$(head -c 16 "$unix")" = ABCDEFGHIJKLMNOP ] || CHECK_ERRORS+="the source changed; "
    verdict clipboard-fill "(see $RUN/clipboard-paste.png, $RUN/clipboard-fill.png)"
}

# A generated AVI: Ctrl+R marks the RIFF chunk, Ctrl+S enters it, Ctrl+R marks its second
# chunk ("LIST" "INFO", 34 bytes, from the window's top-left); then the information box.
case_avi() {
    local dir=$RUN/avi unix=$RUN/avi/film.avi box text want
    settings_from_first_start avi "$dir" 2 && put_u32 "$dir/kelmor.ini" 92 0 || return
    command -v ffmpeg >/dev/null || { fail avi "ffmpeg is missing (scripts/deps.sh installs it)"; return; }
    ffmpeg -v error -y -f lavfi -i testsrc=size=64x48:rate=10:duration=1 -c:v mjpeg "$unix" ||
        { fail avi "ffmpeg wrote no AVI"; return; }
    EDIT_PATH=$(winepath -w "$unix" 2>/dev/null)
    launch avi && open_in_dialog "$EDIT_PATH" && wait_until 20 title_is "$EDIT_PATH" ||
        { abort avi "could not open $EDIT_PATH"; return; }
    focus_main
    for k in ctrl+r ctrl+s ctrl+r; do xdotool key "$k"; sleep 0.5; done
    screenshot avi
    find_client || { abort avi "no header found in $SHOT"; return; }
    CHECK_ERRORS=
    expect_cells "ff ff 88" "marked byte 1, 17, 33 of the chunk" 1,25 2,25 3,25
    expect_cells "ee ff ee" "byte 34, 35 after the chunk" 3,28 3,31
    probe command 32902 && wait_until 15 visible '^AVI Datei-Information$' || # AVI Datei-Information
        { abort avi "no box \"AVI Datei-Information\""; return; }
    text=$(probe text "AVI Datei-Information" 65535)
    want=$(printf '%s\n' "µs pro Frame:           100000" "interleaved:                  ja  " \
        "Breite:                            64" "Höhe:                            48" \
        "Video Stream:             00dc" "Audio Stream:             n.v." "Kompression:              MJPG")
    [ "$text" = "$want" ] || CHECK_ERRORS+="the box reads \"$text\"; "
    screenshot avi-info
    box=$(xdotool search --onlyvisible --name '^AVI Datei-Information$' | head -1)
    xdotool windowfocus --sync "$box" key Return
    wait_until 10 not_visible '^AVI Datei-Information$' || CHECK_ERRORS+="OK left the box open; "
    verdict avi "(see $RUN/avi.png)"
}

# Ctrl+F, "findmich" typed into the find dialog, Return (Find Next): the page moves to the
# match and shows its bytes on RGB(136, 255, 238). Then a second file of the same size is
# chosen ("mit anderer Datei") and F6 held: the title is its name and a differing byte shows
# on RGB(255, 221, 221) until the key is released.
find_dialog() { FINDDLG=$(xdotool search --onlyvisible --name '^Suchen$' | head -1) && [ -n "$FINDDLG" ]; }
case_search_compare() {
    local dir=$RUN/search a=$RUN/search/a.bin b=$RUN/search/b.bin pa pb t0 t1
    settings_from_first_start search-compare "$dir" 0 && put_u32 "$dir/kelmor.ini" 92 0 || return
    head -c 4096 /dev/zero | tr '\0' '.' >"$a"
    printf 'FindMich' | dd of="$a" bs=1 seek=$((0x345)) conv=notrunc status=none
    cp "$a" "$b"
    printf 'X' | dd of="$b" bs=1 seek=$((0x210)) conv=notrunc status=none
    pa=$(winepath -w "$a" 2>/dev/null)
    pb=$(winepath -w "$b" 2>/dev/null)
    launch search-compare && open_in_dialog "$pa" && wait_until 20 title_is "$pa" ||
        { abort search-compare "the source did not open ${OPEN_ERROR:-}"; return; }
    keys_until 10 find_dialog ctrl+f || { abort search-compare "Ctrl+F showed no find dialog"; return; }
    xdotool windowfocus --sync "$FINDDLG"
    xdotool type --delay 30 findmich
    t0=$(date +%s%N)
    xdotool key Return
    sleep 1
    t1=$(date +%s%N)
    xdotool windowfocus --sync "$FINDDLG" key Escape # closed, the highlight stays
    wait_until 10 not_visible '^Suchen$' || { abort search-compare "Esc left the find dialog open"; return; }
    focus_main
    sleep 0.5
    screenshot search
    find_client || { abort search-compare "no header found in $SHOT"; return; }
    CHECK_ERRORS=
    # 0x345 on the page from 0x200: row 21, byte 5 (hex cell 37, character cell 76).
    expect_cells "88 ff ee" "match byte F" 21,37 21,77
    expect_cells "88 ff ee" "match byte h" 21,59 21,84
    expect_cells "ee ff ee" "byte before the match" 21,34
    [ "$(cell 1 0 | tr -d ' ')" = dddddd ] || CHECK_ERRORS+="no address column; "
    [ "$(text_mask 1 0 21)" != "$(text_mask 21 0 21)" ] || CHECK_ERRORS+="the page did not move; "
    probe command 32811 && wait_until 15 file_dialog_open || { abort search-compare "no file dialog for the second file"; return; }
    xdotool windowfocus --sync "$(cut -f1 <<<"$FILEDLG")"
    xdotool type --delay 30 "$pb"
    xdotool key Return
    sleep 1
    focus_main
    xdotool keydown F6
    wait_until 10 title_is "$pb" || CHECK_ERRORS+="F6 held: the title is \"$(main_title)\"; "
    sleep 0.3
    screenshot compare
    expect_cells "ff dd dd" "differing byte 0x210 under F6" 2,22
    expect_cells "ee ff ee" "equal byte 0x211 under F6" 2,25
    xdotool keyup F6
    wait_until 10 title_is "$pa" || CHECK_ERRORS+="after the release the title is \"$(main_title)\"; "
    cmp -s "$a" "$b" && CHECK_ERRORS+="the files are equal; "
    log "search: Return to the match on screen within $(((t1 - t0) / 1000000)) ms (with a 1 s wait)"
    verdict search-compare "(see $RUN/search.png, $RUN/compare.png)"
}

# Ctrl+G, "1 0000 0000" and OK show 4 GiB of a 6 GiB file (row 1's address drawn with the
# header's "0" and "1"); the values window shows the bytes there and follows the Right arrow.
goto_open() { visible '^Goto$'; }
values_open() { visible '^Zahlenwert \(ab Cursor-Position\)$'; }
values_text() { probe text "Zahlenwert (ab Cursor-Position)" "$1"; }
case_goto_values() {
    local dir=$RUN/goto unix=$RUN/goto/big.bin path c want got
    settings_from_first_start goto-values "$dir" 0 && put_u32 "$dir/kelmor.ini" 92 0 || return
    truncate -s 6G "$unix" && printf '\x12\x34\x56\x78\x9a' |
        dd of="$unix" bs=1 seek=$((1 << 32)) conv=notrunc status=none
    path=$(winepath -w "$unix" 2>/dev/null)
    launch goto-values && open_in_dialog "$path" && wait_until 20 title_is "$path" &&
        keys_until 10 goto_open ctrl+g || { abort goto-values "no Goto dialog ${OPEN_ERROR:-}"; return; }
    xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^Goto$' | head -1)"
    xdotool type --delay 30 "1 0000 0000" && xdotool key Return && sleep 1
    CHECK_ERRORS=
    [ "$(probe text Goto 1061)" = "4 294 967 296" ] || CHECK_ERRORS+="Goto's DEZ field; "
    xdotool key Escape
    wait_until 10 not_visible '^Goto$' || CHECK_ERRORS+="Esc left the dialog open; "
    focus_main && sleep 0.5 && screenshot goto && find_client ||
        { abort goto-values "no header found after the jump"; return; }
    for c in 1 2 3 4 6 7 8 9 11 12 13 14 16 17 18 19; do
        want=$(text_mask 0 $((c == 9 ? 26 : 22)) 1)
        [ "$(text_mask 1 "$c" 1)" = "$want" ] || CHECK_ERRORS+="address cell $c; "
    done
    keys_until 10 values_open alt+x w || { abort goto-values "no values window"; return; }
    got="$(values_text 1033)|$(values_text 1036)"
    [ "$got" = "12|78 56 34 12" ] || CHECK_ERRORS+="values \"$got\"; "
    screenshot values-window
    focus_main && xdotool key Right && sleep 1
    got="$(values_text 1033)|$(values_text 1036)|$(values_text 1035)"
    [ "$got" = "34|9A 78 56 34|52" ] || CHECK_ERRORS+="after Right the values read \"$got\"; "
    verdict goto-values
}

# "Bewegung des Hintergrunds" chosen in "Optionen": at once the arrow keys move the page (row 2
# moves up into row 1), and the choice is in kelmor.ini after exit.
case_options_movement() {
    local dir=$RUN/options unix=$RUN/options/rows.bin path rows2 c
    settings_from_first_start options-movement "$dir" 0 && head -c 4096 /dev/urandom >"$unix" &&
        path=$(winepath -w "$unix" 2>/dev/null) && launch options-movement &&
        open_in_dialog "$path" && wait_until 20 title_is "$path" && focus_main && sleep 0.5 &&
        screenshot options-before && find_client ||
        { abort options-movement "the file did not open ${OPEN_ERROR:-}"; return; }
    rows2=$(text_mask 2 0 71)
    probe command 32934 && wait_until 15 visible '^Optionen$' && probe click Optionen 1190 &&
        sleep 0.5 && c="$(probe check Optionen 1190)$(probe check Optionen 1185)" &&
        screenshot options-dialog && probe click Optionen 1004 &&
        wait_until 10 not_visible '^Optionen$' || { abort options-movement "dialog failed"; return; }
    focus_main && xdotool key Down && sleep 0.8 && screenshot options-after
    CHECK_ERRORS=
    [ "$c" = 10 ] || CHECK_ERRORS+="the radio buttons read $c after the click, want 10; "
    [ "$(text_mask 1 0 71)" = "$rows2" ] || CHECK_ERRORS+="Down did not move row 2 into row 1; "
    keys_until 15 program_gone ctrl+x && KPID= || { abort options-movement "Ctrl+X failed"; return; }
    [ "$(get_u32 "$dir/kelmor.ini" 80)" = 1 ] || CHECK_ERRORS+="kelmor.ini: movement not 1; "
    verdict options-movement "(see $SHOT)"
}

# A drive letter whose device (dosdevices/r::) is an image file serves as a raw volume under
# Wine: opened through "Laufwerk öffnen" with write access, "41" typed over byte 0 and the page
# saved, the image holds exactly that change.
drive_marked() { title_is "Laufwerk R:*"; }
drive_dialog() { visible '^Laufwerk öffnen$'; }
case_drive_image() {
    local dir=$RUN/drive img=$RUN/drive/r.img dev=$WINEPREFIX/dosdevices dlg='Laufwerk öffnen'
    local warn='\*\*\* ! ! ! ! ! ! ! ! ! ! \*\*\*' jnl="$WINEPREFIX/drive_c/kelmor/Laufwerk R~0.jnl"
    settings_from_first_start drive-image "$dir" 0 || return
    head -c $((1 << 20)) /dev/urandom >"$img" && cp "$img" "$dir/orig.img" && rm -f "$jnl"
    mkdir -p "$dir/root" && ln -sfn "$dir/root" "$dev/r:" && ln -sfn "$img" "$dev/r::"
    wineserver -k 2>/dev/null; wine_up # drives are found when the server starts
    launch drive-image && keys_until 15 drive_dialog ctrl+l && probe click "$dlg" 1213 &&
        probe click "$dlg" 1216 && sleep 0.5 && [ "$(probe check "$dlg" 1216)" = 0 ] &&
        probe click "$dlg" 1 && wait_until 15 visible "$warn" &&
        xdotool windowfocus --sync "$(xdotool search --onlyvisible --name "$warn" | head -1)" \
            key Return && wait_until 20 title_is "Laufwerk R:" &&
        keys_until 10 drive_marked 4 1 Return && probe command 32772 && # Seite speichern
        wait_until 15 visible '^Speichern\?$' &&
        xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^Speichern\?$')" key j &&
        wait_until 10 not_visible '^Speichern\?$' && sleep 1 && focus_main &&
        screenshot drive-image && keys_until 15 program_gone ctrl+x && KPID= ||
        { abort drive-image "stopped with the title \"$(main_title)\""; rm -f "$dev/r:" "$dev/r::"; return; }
    rm -f "$dev/r:" "$dev/r::"
    CHECK_ERRORS=
    [ "$(hexat "$img" 0 1)" = 41 ] || CHECK_ERRORS+="byte 0 of the image is $(hexat "$img" 0 1); "
    cmp -s <(tail -c +2 "$img") <(tail -c +2 "$dir/orig.img") || CHECK_ERRORS+="other bytes changed; "
    [ -f "$jnl" ] || CHECK_ERRORS+="no journal for R:; "
    verdict drive-image "(see $SHOT)"
}

# F2 shows the version preview's title and darker colours (an unsaved edit: the source's
# byte); Esc gives the file's title back; F5 held shows the source's bytes under its name.
preview_title() { [[ $(main_title) == "* * * * *   VERSIONS-Vorschau   * * * * *   übernehmen mit RETURN   * * * * *" ]]; }
plain_title() { title_is "$EDIT_PATH"; }
byte0_is_source() { [ "$(text_mask 1 22 2)" = "$(text_mask 1 25 2)" ]; } # as byte 1: "4B"
case_preview() {
    local dir=$RUN/preview unix=$RUN/preview/prev.bin
    settings_from_first_start preview "$dir" 0 && put_u32 "$dir/kelmor.ini" 92 0 || return
    head -c 1024 /dev/zero | tr '\0' 'K' >"$unix"
    EDIT_PATH=$(winepath -w "$unix" 2>/dev/null)
    CHECK_ERRORS= && launch preview && open_in_dialog "$EDIT_PATH" && wait_until 20 title_is "$EDIT_PATH" &&
        keys_until 10 edit_marked 4 1 Return || { abort preview "no edit ${OPEN_ERROR:-}"; return; }
    keys_until 10 preview_title F2 || CHECK_ERRORS+="F2: title \"$(main_title)\"; "
    sleep 0.5 && screenshot preview && find_client || { abort preview "no header in $SHOT"; return; }
    expect_cells "de ef de" "darkened hex cell" 3,40 && expect_cells "ef ef ef" "darkened" 3,75
    byte0_is_source || CHECK_ERRORS+="F2 shows byte 0 edited; "
    keys_until 10 edit_marked Escape || CHECK_ERRORS+="Esc: title \"$(main_title)\"; "
    focus_main && xdotool keydown F5
    wait_until 10 plain_title || CHECK_ERRORS+="F5 held: title \"$(main_title)\"; "
    sleep 0.5 && screenshot source-view
    expect_cells "ee ff ee" "byte 0 unmarked while F5 is held" 1,22
    byte0_is_source || CHECK_ERRORS+="F5 shows byte 0 edited; "
    xdotool keyup F5
    wait_until 10 edit_marked || CHECK_ERRORS+="F5 released: title \"$(main_title)\"; "
    sleep 0.5 && screenshot source-view-released
    expect_cells "ff dd aa" "journalled byte 0 after the release" 1,22
    ! byte0_is_source || CHECK_ERRORS+="byte 0 not 41 after the release; "
    verdict preview "(see $RUN/preview.png, $RUN/source-view*.png)"
}

# KELMOR_E2E_CASES: a pattern of the cases to run (first-start and exit always run: the others
# start from the settings they leave).
want() { [ -z "${KELMOR_E2E_CASES:-}" ] || [[ $1 =~ $KELMOR_E2E_CASES ]]; }

case_first_start
want open-file && case_open_file
want pointer-window && case_modeless_window
want disasm-window && case_disasm_window
want info-dialog && case_info_dialog
case_exit_writes_settings
stop_kelmor
want no-notice && case_no_notice
stop_kelmor
want edit-journal && case_edit_journal
stop_kelmor
want question-modal && case_question_is_modal
stop_kelmor
want save-all-as && case_save_all_as
stop_kelmor
want kill-save && case_kill_during_save
stop_kelmor
want clipboard-fill && case_clipboard_fill
stop_kelmor
want avi && case_avi
stop_kelmor
want search-compare && case_search_compare
stop_kelmor
want goto-values && case_goto_values
stop_kelmor
want options-movement && case_options_movement
stop_kelmor
want drive-image && case_drive_image
stop_kelmor
want preview && case_preview
stop_kelmor

SUMMARY_DONE=1
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
