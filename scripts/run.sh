#!/usr/bin/env bash
# Builds kelmor.exe and runs it under Wine. With $DISPLAY set it opens there; without, it
# starts a virtual X server, takes a screenshot once the window is up and keeps running.
# The program's working directory (its kelmor.ini) is build-win/home unless KELMOR_HOME says.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
cd "$KELMOR_ROOT"

bash scripts/deps.sh
cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake >/dev/null
cmake --build build-win -j"$(nproc)" --target kelmor
bash scripts/wineprefix.sh
wine_env
german_locale 2>/dev/null

home=${KELMOR_HOME:-$KELMOR_BUILD_WIN/home}
mkdir -p "$home"

headless=0
if [ -z "${DISPLAY:-}" ]; then
    headless=1
    start_xvfb 90
fi

pid=
finish() {
    trap - EXIT INT TERM
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
    wine_down
    stop_xvfb
}
trap finish EXIT
trap 'exit 130' INT TERM

wine_up
(cd "$home" && exec wine "$KELMOR_BUILD_WIN/kelmor.exe") </dev/null &
pid=$!

if [ "$headless" = 1 ]; then
    # The main window, or the start-up notice in front of it.
    for ((i = 0; i < 300; i++)); do
        if xdotool search --onlyvisible --name '^(HEX-Editor für grosse Dateien|HINWEIS)$' \
            >/dev/null 2>&1; then
            break
        fi
        kill -0 "$pid" 2>/dev/null || {
            echo "kelmor.exe ended before its window appeared" >&2
            exit 1
        }
        sleep 0.2
    done
    sleep 1 # let it paint
    shot=$KELMOR_BUILD_WIN/screenshot.png
    import -window root "$shot"
    echo "Screenshot: $shot"
    echo "Kelmor is running on the virtual display $DISPLAY (working directory $home)."
    echo "It keeps running until you stop it (Ctrl+C)."
else
    echo "Kelmor is running on $DISPLAY (working directory $home)."
fi
wait "$pid" || true
pid=
