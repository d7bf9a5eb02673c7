#!/usr/bin/env bash
# Runs Veltrano under Wine, from a fresh Debian machine on (installs what is missing, builds).
#
#   scripts/run.sh          the demo: the console on the simulated converter, with its monitor
#   scripts/run.sh --real   Veltrano.exe itself, on whatever HID converter Wine can reach
#
# With a display ($DISPLAY) the program opens on it and runs until you close it. Without one it
# runs on a virtual display, takes a short tour of the console (scene faders, a crossfade with
# GO, SAVE to a preset), saves a screenshot and prints where it is and what the discovery log says.
set -euo pipefail
cd "$(dirname "$0")/.."

program=VeltranoDemo.exe
case "${1:-}" in
--real) program=Veltrano.exe ;;
"") ;;
*)
    echo "usage: $0 [--real]" >&2
    exit 2
    ;;
esac

bash scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target veltrano veltrano_demo -j"$(nproc)" >/dev/null
build=$PWD/build/windows
exe=$build/app/$program

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
export WINEPREFIX=$build/run-wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Preparing a Wine prefix in $WINEPREFIX (once, takes a few seconds)"
    "$WINE" wineboot -i >"$build/run-wineboot.log" 2>&1 </dev/null
    "$WINESERVER" -w
fi
# Wine's own fonts (Debian's fonts-wine): this Wine does not look in their folder by itself, and
# without them draws the caption buttons as letters.
if ! grep -qF '"Path"="Z:\\usr\\share\\wine\\fonts"' "$WINEPREFIX/user.reg"; then
    "$WINE" reg add 'HKCU\Software\Wine\Fonts' /v Path /d 'Z:\usr\share\wine\fonts' /f >>"$build/run-wineboot.log" 2>&1 </dev/null
    "$WINESERVER" -w
fi

print_log() {
    local log
    log=$(find "$WINEPREFIX/drive_c/users" -name DMXConverterErrorLog.txt 2>/dev/null | head -n 1)
    if [ -n "$log" ]; then
        echo "Discovery log ($log):"
        sed 's/\r$//; s/^/    /' "$log"
    else
        echo "No discovery log was written."
    fi
}

if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
    # A real desktop has a window manager: let it manage Wine's windows.
    "$WINE" reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 </dev/null || true
    echo "Starting $program on display $DISPLAY; close its window to end."
    "$WINE" "$exe" >"$build/run.log" 2>&1 </dev/null || true
    "$WINESERVER" -w
    print_log
    exit 0
fi

# No display: a virtual one, where Wine draws the window frames itself.
display=""
for n in $(seq 50 90); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
        display=":$n"
        break
    fi
done
[ -n "$display" ] || { echo "no free X display number" >&2; exit 1; }
Xvfb "$display" -screen 0 1280x640x24 -nolisten tcp >"$build/run-xvfb.log" 2>&1 </dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 1 100); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && break
    sleep 0.05
done
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null

echo "Starting $program on a virtual display ($DISPLAY)"
"$WINE" "$exe" >"$build/run.log" 2>&1 </dev/null &
for _ in $(seq 1 200); do
    xdotool search --name '^Veltrano$' >/dev/null 2>&1 && break
    sleep 0.1
done
sleep 1
bash scripts/demo-tour.sh
shot=$build/veltrano-screenshot.png
import -window root "$shot"
echo "Screenshot: $shot"

# File, Exit.
xdotool key alt+f
sleep 0.3
xdotool key x
"$WINESERVER" -w
print_log
