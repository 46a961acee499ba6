#!/usr/bin/env bash
# Creates the Wine prefix once (build-win/wineprefix unless KELMOR_WINEPREFIX says otherwise).
set -euo pipefail
. "$(dirname "$0")/lib.sh"
wine_env

ready=$WINEPREFIX/.kelmor-ready
[ -f "$ready" ] && exit 0

echo "wineprefix: creating $WINEPREFIX"
mkdir -p "$WINEPREFIX"
# Two processes starting the server at once can fail: start it first.
wineserver -p >/dev/null 2>&1
wineboot -i >/dev/null 2>&1
# Without this every window close costs 2 s and windows get no title bars.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
# A drive D: inside the prefix: the program puts its second journal directory on the second
# fixed drive, which would otherwise be Z: (the host's root).
mkdir -p "$WINEPREFIX/drive_d"
ln -sfn ../drive_d "$WINEPREFIX/dosdevices/d:"
fonts=$WINEPREFIX/drive_c/windows/Fonts
mkdir -p "$fonts"
cp /usr/share/wine/fonts/marlett.ttf /usr/share/wine/fonts/tahoma*.ttf "$fonts/"
# Stop the server so that the registry is written out now.
wineserver -k || true
touch "$ready"
