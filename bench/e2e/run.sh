#!/usr/bin/env bash
# End-to-end benchmarks: kelmor.exe under Wine in a virtual X server, timed from outside on
# generated files, each figure printed beside the native benchmark of the same operation
# measured in the same run. Takes minutes; not part of scripts/test.sh.
#
#   bench/e2e/run.sh                      needs build-win/kelmor.exe and the Release build
#                                         build-rel (with KELMOR_BENCH=ON)
#   KELMOR_BENCH_REPEAT=5                 timed runs of each operation (default 3)
#   KELMOR_BENCH_DISPLAY=98               the virtual X server's display
#   KELMOR_BENCH_CASES='pages|search'     only the operations whose names match (startup,
#                                         pages, save, search)
#
# Times run from the trigger (keys sent as keyboard input or a command posted by the probe,
# which notes when it sent them, or a key sent with xdotool) to what a user would wait for: the screen area showing the
# expected pixels, the title, the rollback log of a writing command gone. bench/e2e/xwait.c
# looks every millisecond with one X call, so the end is known within the gap it prints.
set -uo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
REL=${KELMOR_BUILD_REL:-$ROOT/build-rel}
REPEAT=${KELMOR_BENCH_REPEAT:-3}
CASES=${KELMOR_BENCH_CASES:-.}
BLOCKS=20000
SEARCH_MIB=512
wanted() { [[ $1 =~ $CASES ]]; }

for b in save_bench navigation_bench open_bench search_bench; do
    if [ ! -x "$REL/$b" ]; then
        echo "bench: $REL/$b is missing; build it first:"
        echo "  cmake -S . -B build-rel -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELMOR_BENCH=ON"
        echo "  cmake --build build-rel --target save_bench navigation_bench open_bench search_bench"
        exit 1
    fi
done

# The end-to-end tests' set-up (Wine prefix, Xvfb, probe) and helpers, without their cases.
KELMOR_E2E_NO_CASES=1
KELMOR_E2E_DISPLAY=${KELMOR_BENCH_DISPLAY:-98}
KELMOR_E2E_RUN=${KELMOR_BUILD_WIN:-$ROOT/build-win}/e2e/bench
. "$ROOT/tests/e2e/run_e2e.sh"
SUMMARY_DONE=1 # we report ourselves

XWAIT=$OUT/xwait
if [ ! -x "$XWAIT" ] || [ "$HERE/xwait.c" -nt "$XWAIT" ]; then
    gcc -O2 -o "$XWAIT" "$HERE/xwait.c" -lX11 || exit 1
fi
RESULTS=$RUN/results.tsv
: >"$RESULTS"
log "load before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"

# Figures with a decimal point, whatever the locale Wine runs in.
awkc() { LC_ALL=C awk "$@"; }

# ---- timing ---------------------------------------------------------------------------------

# CPU time in ms (user and system, 10 ms steps) of each process given, blank-separated.
cpu_ms() { local p; for p; do awkc '{ printf "%d ", ($14 + $15) * 10 }' "/proc/$p/stat" 2>/dev/null || printf "0 "; done; }
# The Wine server of our prefix, to count its CPU time too.
wine_server_pid() {
    local p
    for p in $(pgrep -u "$(id -u)" wineserver); do
        tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" &&
            echo "$p" && return
    done
}

# Runs xwait with the arguments given and notes operation, milliseconds from the trigger (the
# probe's post time when it printed one) to the last condition, and the look gap at that end.
timed() { # operation xwait-arguments...
    local op=$1 out cpu0 cpu1 pids
    shift
    pids="${KPID:-0} ${WINESERVER_PID:-0} ${XVFB_PID:-0}"
    cpu0=$(cpu_ms $pids)
    out=$("$XWAIT" "$@" | tr -d '\r')
    cpu1=$(cpu_ms $pids)
    if ! awkc '$1 == "timeout" { bad = 1 } END { exit bad }' <<<"$out"; then
        fail "$op" "$(grep timeout <<<"$out" | tr '\n' ' ')"
        return 1
    fi
    LAST_PID=$(awkc '$1 == "pid" { print $2 }' <<<"$out")
    awkc -v op="$op" '
        $1 == "start" { s = $2 } $1 == "post" { p = $2 } $1 == "exit" { x = $2 }
        NF == 3 && $2 > e { e = $2; g = $3 }
        END {
            if (p) s = p
            split(c0, a); split(c1, b)
            for (i = 1; i <= 3; i++) c[i] = b[i] - a[i]
            if (a[1] == 0) c[1] = -1 # the program started within: not counted
            printf "%s\t%.1f\t%.1f\t%d\t%d\t%d\n", op, (e - s) / 1000, g / 1000, c[1], c[2], c[3] >> results
            printf "bench: %-10s %9.1f ms (look gap %.1f ms", op, (e - s) / 1000, g / 1000
            if (x) printf "; the trigger ran %.1f ms", (x - s) / 1000
            if (c[1] >= 0) printf "; CPU ms: kelmor %d, wineserver %d, Xvfb %d", c[1], c[2], c[3]
            print ")"
        }' results="$RESULTS" c0="$cpu0" c1="$cpu1" <<<"$out"
}

# Waits until the area hashes to the value (untimed).
settled() { "$XWAIT" -timeout 20000 -pix "$1,eq,$2" -- true >/dev/null; }

# The area's hash once it has not changed for a second.
steady_hash() { # area
    local a b
    a=$("$XWAIT" hash ${1//,/ })
    for _ in $(seq 30); do
        sleep 1
        b=$("$XWAIT" hash ${1//,/ })
        [ "$a" = "$b" ] && break
        a=$b
    done
    echo "$a"
}

# Areas of the view (client cells): the address column of rows 1-32, and the hex column of
# rows 2-32 (row 1 holds the caret).
view_areas() {
    focus_main && sleep 0.5 && screenshot "$1" && find_client || return 1
    ADDR="$CLIENT_X,$((CLIENT_Y + LH)),$((21 * CW)),$((32 * LH))"
    HEX="$((CLIENT_X + 21 * CW)),$((CLIENT_Y + 2 * LH)),$((49 * CW)),$((31 * LH))"
}

# A case directory with the first start's settings: no notices, the journal beside its source.
bench_dir() { # name dir
    settings_from_first_start "$1" "$2" 0 && put_u32 "$2/kelmor.ini" 92 0 &&
        put_u32 "$2/kelmor.ini" 68 2
}

# The first start: its notice answered, Ctrl+X writes the kelmor.ini that every case copies.
DIR_A=$RUN/first-start
first_start() {
    local try
    CASE_DIR=$DIR_A
    mkdir -p "$DIR_A"
    start_kelmor "$DIR_A"
    wait_until 60 visible '^HINWEIS$' || { abort first-start 'no "HINWEIS" notice'; return 1; }
    for try in 1 2; do
        xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^HINWEIS$' | head -1)"
        xdotool key Return
        wait_until 5 not_visible '^HINWEIS$' && break
    done
    keys_until 15 program_gone ctrl+x && KPID= && [ -f "$DIR_A/kelmor.ini" ] ||
        { abort first-start "no kelmor.ini from the first start"; return 1; }
}

close_program() {
    probe close
    wait_until 20 program_gone || stop_kelmor
    KPID=
}

# ---- the operations -------------------------------------------------------------------------

# Program start to the main window shown with its empty view painted.
bench_startup() {
    local dir=$RUN/startup r ref
    bench_dir startup "$dir" && launch startup && view_areas startup || return
    ref=$(steady_hash "$ADDR")
    close_program
    for ((r = 1; r <= REPEAT; r++)); do
        timed startup -detach -window "$MAIN_TITLE" -pix "$ADDR,eq,$ref" -- \
            sh -c "cd '$dir' && exec wine '$EXE' >wine.log 2>&1" || return
        KPID=$LAST_PID
        close_program
    done
}

# A 64 GiB sparse source: opened (Return in the file dialog to the first page painted),
# Ctrl+End, and 1 000 x PgDn from the start. The PgDn presses go in as keyboard input in one
# go, as from a held key on a slow machine: sent by xdotool one by one, the X round trips of
# the sender alone take 0.2-1.2 s.
bench_pages() {
    local dir=$RUN/pages unix=$RUN/pages/sparse.bin path r open_ref home_ref end_ref pg_ref
    bench_dir pages "$dir" && truncate -s 64G "$unix" || return
    path=$(winepath -w "$unix" 2>/dev/null)
    launch pages && open_in_dialog "$path" && wait_until 20 title_is "$path" ||
        { abort pages "the source did not open ${OPEN_ERROR:-}"; return; }
    view_areas pages || { abort pages "no view found"; return; }
    open_ref=$(steady_hash "$HEX")
    home_ref=$(steady_hash "$ADDR")
    xdotool key ctrl+End
    end_ref=$(steady_hash "$ADDR")
    xdotool key ctrl+Home
    settled "$ADDR" "$home_ref" || { abort pages "Ctrl+Home did not go back"; return; }
    # Where 1 000 pages down must lead: 1000 * 512 = 0x7D000 at the top. The screen follows
    # only when no key waits, so the end is read from "Pointer und Flags" first.
    probe command 32965 && wait_until 10 pointer_window_open # "Pointer und Flags" on
    focus_main && xdotool key --delay 0 --repeat 1000 Next
    local anf
    pages_done() { anf=$(probe text "Pointer und Flags" 1301) && [ "$anf" = " 0000 0000 0007 D000" ]; }
    wait_until 60 pages_done
    probe command 32965 && wait_until 10 not_visible '^Pointer und Flags$'
    pg_ref=$(steady_hash "$ADDR")
    log "after 1000 x PgDn AnfPtr reads \"$anf\""
    [ "$anf" = " 0000 0000 0007 D000" ] || { abort pages "1000 x PgDn ended at AnfPtr \"$anf\""; return; }
    [ "$home_ref" != "$end_ref" ] && [ "$home_ref" != "$pg_ref" ] ||
        { abort pages "the address column did not change"; return; }
    for ((r = 1; r <= REPEAT; r++)); do
        focus_main && xdotool key ctrl+Home && settled "$ADDR" "$home_ref" &&
            timed ctrl-end -pix "$ADDR,eq,$end_ref" -- xdotool key --delay 0 ctrl+End &&
            xdotool key ctrl+Home && settled "$ADDR" "$home_ref" &&
            timed pgdn-1000 -pix "$ADDR,eq,$pg_ref" -- wine "$PROBE" keys 1000 0x22 ||
            { abort pages "paging run $r"; return; }
        # Datei Sch&liessen, then the same source again.
        probe command 32779 && wait_until 10 title_is " " && type_in_dialog "$path" &&
            timed open -pix "$HEX,eq,$open_ref" -title "$(main_xid),eq,$path" -- \
                xdotool key --delay 0 Return || { abort pages "opening run $r ${OPEN_ERROR:-}"; return; }
    done
    close_program
}

# "&Alles speichern" of 20 000 journalled blocks ("Speichern?" answered Ja) to the title
# without its mark and the rollback log gone, then "Undo &Alles" to its log gone.
save_opened() { [[ $(main_title) == "$SAVE_PATH"* ]]; }
bench_save_undo() { # run
    local dir=$RUN/save$1 unix=$RUN/save$1/big.bin path box res
    local py="python3 $KELMOR_ROOT/tests/e2e/kill_journal.py"
    bench_dir save "$dir" || return
    head -c $((BLOCKS * 512)) /dev/urandom >"$dir/orig.bin" && cp "$dir/orig.bin" "$unix"
    touch -d @1700000000 "$unix" # its FILETIME goes into the journal
    path=$(winepath -w "$unix" 2>/dev/null)
    $py write "$unix" "$unix.jnl" "$path" $(((1700000000 + 11644473600) * 10000000))
    SAVE_PATH=$path
    launch save && open_in_dialog "$path" && wait_until 30 save_opened &&
        sleep 2 && [ -z "$(probe windows | grep -v '^TEXT_B')" ] ||
        { abort save "the source did not open alone ${OPEN_ERROR:-}"; return; }
    probe command 32805 && wait_until 15 visible '^Speichern\?$' || # &Alles speichern
        { abort save 'no question "Speichern?"'; return; }
    box=$(xdotool search --onlyvisible --name '^Speichern\?$' | head -1)
    xdotool windowfocus --sync "$box"
    timed save-all -title "$(main_xid),eq,$path" -gone "$unix.jlg" -- \
        xdotool key --delay 0 j || { abort save "no end of the save"; return; }
    res=$($py check "$unix" "$unix.jnl" "$dir/orig.bin")
    [ "$res" = sound ] || { abort save "after the save: $res"; return; }
    cmp -s "$unix" "$dir/orig.bin" && { abort save "the save wrote nothing"; return; }
    timed undo-all -gone "$unix.jlg" -- wine "$PROBE" post 32819 || # Undo &Alles
        { abort save "no end of Undo Alles"; return; }
    cmp -s "$unix" "$dir/orig.bin" || { abort save "Undo Alles did not give the original back"; return; }
    close_program
}

# Text search to a marker at the end of a 512 MiB file of random bytes: F3 (the search as
# last set, at once) on the first page to the match's page on screen.
find_dialog() { FINDDLG=$(xdotool search --onlyvisible --name '^Suchen$' | head -1) && [ -n "$FINDDLG" ]; }
close_find_dialog() {
    find_dialog && xdotool windowfocus --sync "$FINDDLG" key Escape &&
        wait_until 10 not_visible '^Suchen$'
}
bench_search() {
    local dir=$RUN/search unix=$RUN/search/big.bin path r home_ref hit_ref anf
    local marker=KelmorEndNeedle7
    bench_dir search "$dir" || return
    head -c $((SEARCH_MIB << 20)) /dev/urandom >"$unix" &&
        printf '%s' "$marker" | dd of="$unix" bs=1 seek=$(((SEARCH_MIB << 20) - 16)) \
            conv=notrunc status=none || return
    path=$(winepath -w "$unix" 2>/dev/null)
    launch search && open_in_dialog "$path" && wait_until 20 title_is "$path" ||
        { abort search "the source did not open ${OPEN_ERROR:-}"; return; }
    view_areas search || { abort search "no view found"; return; }
    # The find dialog covers the top rows: the address column from row 12 on.
    local low="$CLIENT_X,$((CLIENT_Y + 12 * LH)),$((21 * CW)),$((21 * LH))"
    home_ref=$(steady_hash "$low")
    keys_until 10 find_dialog ctrl+f || { abort search "Ctrl+F showed no find dialog"; return; }
    xdotool windowfocus --sync "$FINDDLG" && xdotool type --delay 30 "$marker" &&
        xdotool key Return && "$XWAIT" -timeout 60000 -pix "$low,ne,$home_ref" -- true >/dev/null ||
        { abort search "the first search found nothing"; return; }
    hit_ref=$(steady_hash "$low")
    close_find_dialog || { abort search "Esc left the find dialog open"; return; }
    probe command 32965 && wait_until 10 pointer_window_open # "Pointer und Flags" on
    anf=$(probe text "Pointer und Flags" 1301)
    probe command 32965 && wait_until 10 not_visible '^Pointer und Flags$'
    log "the search's page starts at AnfPtr \"$anf\""
    [ "$anf" = " 0000 0000 1FFF FE00" ] || [ "$anf" = " 0000 0000 1FFF FC00" ] ||
        { abort search "the match's page is at AnfPtr \"$anf\""; return; }
    for ((r = 1; r <= REPEAT; r++)); do
        focus_main && xdotool key ctrl+Home && settled "$low" "$home_ref" &&
            timed search -pix "$low,eq,$hit_ref" -- wine "$PROBE" keys 1 0x72 &&
            wait_until 10 find_dialog && close_find_dialog || { abort search "search run $r"; return; }
    done
    close_program
}

# ---- the run --------------------------------------------------------------------------------

# How late a key sent with xdotool can be: the whole run of one such call.
xdo=$(LC_ALL=C; for _ in 1 2 3 4 5; do
    s=$EPOCHREALTIME && xdotool key --delay 0 shift && echo "$s $EPOCHREALTIME"
done | awkc '{ d = ($2 - $1) * 1000; if (d > m) m = d } END { printf "%.1f", m }')
log "one xdotool key call takes at most $xdo ms (a key trigger's start is that uncertain)"

WINESERVER_PID=$(wine_server_pid)
first_start || exit 1
wanted startup && bench_startup
wanted pages && bench_pages
if wanted save; then for ((run = 1; run <= REPEAT; run++)); do bench_save_undo "$run"; done; fi
wanted search && bench_search
log "load after the end-to-end part: $(cut -d' ' -f1-3 /proc/loadavg)"

# The same operations natively, on the fake platform; medians of the repetitions.
NATIVE=$RUN/native
mkdir -p "$NATIVE"
native() { # bench filter (the environment's KELMOR_BENCH_FSYNC goes with it)
    "$REL/$1" --benchmark_filter="$2" --benchmark_repetitions="$REPEAT" \
        --benchmark_report_aggregates_only=true --benchmark_out="$NATIVE/$1.json" \
        --benchmark_out_format=json >/dev/null 2>&1 || fail "native $1" "the benchmark failed"
}
# The save flushes its journal as the program does (the fake platform's flushes reach the disk).
KELMOR_BENCH_FSYNC=1 native save_bench "^BM_(SaveAll|UndoAllAfterSaveAll)/$BLOCKS/2/"
native navigation_bench '^BM_(CtrlEnd|PageDown10000)/0'
native open_bench '^BM_OpenAndPaint/65536'
wanted search && native search_bench '^searchStep/kind:0/journal:0/down:1/'
log "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"

python3 "$HERE/table.py" "$RESULTS" "$NATIVE" "$BLOCKS" "$SEARCH_MIB"
[ "$failed" -eq 0 ] && log "all steps done" || log "$failed steps failed"
[ "$failed" -eq 0 ]
