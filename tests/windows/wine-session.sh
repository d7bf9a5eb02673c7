#!/usr/bin/env bash
# The Wine session of a build tree's Windows tests: a prefix inside the build tree, a virtual X
# display and a persistent wineserver, so that Wine starts once for the whole run.
#   wine-session.sh start BUILD_DIR
#   wine-session.sh stop BUILD_DIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
command=$1
build=$(cd "$2" && pwd)
wine_env_for "$build"
session=$VELTRANO_SESSION_DIR
mkdir -p "$session"

case "$command" in
start)
    "$0" stop "$build" >/dev/null 2>&1 || true
    # A display of our own, whatever display the user has.
    wine_start_display 1280x1024x24 "$session"
    echo "$DISPLAY" >"$session/display"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "creating the Wine prefix in $WINEPREFIX"
        wine_prepare_prefix "$session/wineboot.log"
        wine_managed_windows no
        wine_wait_server 60
    fi
    # Wine's own fonts (Debian's fonts-wine): this Wine does not look in their folder by itself,
    # and without them draws the caption buttons as letters.
    if ! grep -qF '"Path"="Z:\\usr\\share\\wine\\fonts"' "$WINEPREFIX/user.reg"; then
        "$WINE" reg add 'HKCU\Software\Wine\Fonts' /v Path /d 'Z:\usr\share\wine\fonts' /f >>"$session/wineboot.log" 2>&1 < /dev/null
        "$WINESERVER" -w
    fi
    setsid "$WINESERVER" -p >"$session/wineserver.log" 2>&1 < /dev/null
    # Wine's first program starts its services, which keep the output of that program open:
    # give them a file, never the caller's pipe.
    timeout 120 "$WINE" cmd /c exit >"$session/services.log" 2>&1 < /dev/null
    echo "Wine session ready on display $DISPLAY"
    ;;
stop)
    "$WINESERVER" -k >/dev/null 2>&1 || true
    wine_stop_display "$session"
    rm -f "$session/display"
    ;;
*)
    echo "usage: $0 start|stop BUILD_DIR" >&2
    exit 2
    ;;
esac
