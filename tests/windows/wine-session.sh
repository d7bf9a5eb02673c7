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

start_display() {
    # A display of our own, whatever display the user has.
    local n
    for n in $(seq 91 140); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
            setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$session/xvfb.log" 2>&1 < /dev/null &
            echo $! > "$session/xvfb.pid"
            for _ in $(seq 1 100); do
                [ -e "/tmp/.X11-unix/X$n" ] && break
                sleep 0.05
            done
            echo ":$n" > "$session/display"
            export DISPLAY=":$n"
            return 0
        fi
    done
    echo "no free X display number" >&2
    return 1
}

case "$command" in
start)
    "$0" stop "$build" >/dev/null 2>&1 || true
    start_display
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "creating the Wine prefix in $WINEPREFIX"
        "$WINE" wineboot -i >"$session/wineboot.log" 2>&1 < /dev/null
        "$WINESERVER" -w
        # Without a window manager on the virtual display, Wine would wait two seconds for one
        # whenever a managed window is hidden or destroyed.
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$session/wineboot.log" 2>&1 < /dev/null
        "$WINESERVER" -w
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
    "$WINE" cmd /c exit >"$session/services.log" 2>&1 < /dev/null
    echo "Wine session ready on display $DISPLAY"
    ;;
stop)
    "$WINESERVER" -k >/dev/null 2>&1 || true
    if [ -f "$session/xvfb.pid" ]; then
        kill "$(cat "$session/xvfb.pid")" 2>/dev/null || true
        rm -f "$session/xvfb.pid"
    fi
    rm -f "$session/display"
    ;;
*)
    echo "usage: $0 start|stop BUILD_DIR" >&2
    exit 2
    ;;
esac
