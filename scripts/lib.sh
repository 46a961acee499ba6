# Shared by the scripts: paths, the Wine environment, a German locale and a virtual X server.
# Source it; it defines functions and a few variables and changes no shell options.

KELMOR_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KELMOR_BUILD_WIN=${KELMOR_BUILD_WIN:-$KELMOR_ROOT/build-win}

# The Wine settings every run uses; the prefix lives beside the Windows build.
wine_env() {
    # Always our own prefix: the tests clear its journal directories.
    export WINEPREFIX=${KELMOR_WINEPREFIX:-$KELMOR_BUILD_WIN/wineprefix}
    export WINEARCH=win64
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES="mscoree,mshtml="
}

# A German locale of our own (Debian ships none by default), so Wine's dialogs read German.
german_locale() {
    local dir=$KELMOR_BUILD_WIN/locale
    if [ ! -d "$dir/de_DE.UTF-8" ]; then
        mkdir -p "$dir"
        localedef -i de_DE -f UTF-8 "$dir/de_DE.UTF-8" >/dev/null 2>&1 ||
            localedef -i de_DE -f UTF-8 "$dir/de_DE.UTF-8"
    fi
    export LOCPATH=$dir
    export LANG=de_DE.UTF-8
    export LC_ALL=de_DE.UTF-8
}

# Starts Xvfb on the first free display and waits until it answers; sets DISPLAY and XVFB_PID.
start_xvfb() {
    local n=${1:-90} i
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for ((i = 0; i < 100; i++)); do
        xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    echo "Xvfb did not start on $DISPLAY" >&2
    return 1
}

stop_xvfb() {
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=
    fi
}

# Starts the Wine server and its services detached from our output: a service that inherits
# a pipe (ctest's, a caller's) would hold it open long after the test ended.
wine_up() {
    wineserver -p >/dev/null 2>&1 </dev/null
    wine wineboot >/dev/null 2>&1 </dev/null
}

# Ends the Wine server of our prefix and everything running in it.
wine_down() {
    wineserver -k >/dev/null 2>&1 || true
}
