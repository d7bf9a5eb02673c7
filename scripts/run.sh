#!/usr/bin/env bash
# Runs Veltrano under Wine, from a fresh Debian machine on (installs what is missing, builds).
#
#   scripts/run.sh          the demo: the console on the simulated converter, with its monitor
#   scripts/run.sh --real   Veltrano.exe itself, on whatever HID converter Wine can reach
#
# With a display ($DISPLAY) the program opens on it and runs until you close it. Without one it
# runs on a virtual display, takes a short tour of the console (scene faders, a crossfade with
# GO, SAVE to a preset), saves a screenshot and prints where it is and what the discovery log says.
# Fails with a message when the console's window does not show within 30 s, or when the program
# does not end within 30 s of being told to.
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
cmake --build --preset windows --target veltrano veltrano_demo window_probe -j"$(nproc)" >/dev/null
build=$PWD/build/windows
exe=$build/app/$program
probe=$build/tests/tools/window_probe.exe

. tests/windows/wine-env.sh
wine_env "$build/run-wineprefix"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Preparing a Wine prefix in $WINEPREFIX (once, takes a few seconds)"
    wine_prepare_prefix "$build/run-wineboot.log"
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

# Starts the program in the background and waits at most 30 s for the console's window, as long
# as the program runs. Fails with a message otherwise.
start_program() {
    "$WINE" "$exe" >"$build/run.log" 2>&1 </dev/null &
    program_pid=$!
    local deadline=$((SECONDS + 30))
    while [ "$SECONDS" -lt "$deadline" ]; do
        if "$WINE" "$probe" Veltrano >"$build/run-probe.log" 2>&1 </dev/null; then
            return 0
        fi
        if ! kill -0 "$program_pid" 2>/dev/null; then
            local code=0
            wait "$program_pid" || code=$?
            echo "error: $program ended (exit code $code) before its window showed; its output is in $build/run.log" >&2
            return 1
        fi
        sleep 0.2
    done
    echo "error: $program did not show its window within 30 s and was stopped; its output is in $build/run.log" >&2
    "$WINESERVER" -k >/dev/null 2>&1 || true
    return 1
}

if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
    # A real desktop has a window manager: let it manage Wine's windows.
    wine_managed_windows yes
    echo "Starting $program on display $DISPLAY; close its window to end."
    start_program
    wait "$program_pid" || true
    wine_wait_server 30
    print_log
    exit 0
fi

# No display: a virtual one, where Wine draws the window frames itself.
wine_start_display 1280x640x24 "$build/run-display"
trap '"$WINESERVER" -k >/dev/null 2>&1 || true; wine_stop_display "$build/run-display"' EXIT
wine_managed_windows no

echo "Starting $program on a virtual display ($DISPLAY)"
start_program
sleep 1
bash scripts/demo-tour.sh "$probe"
shot=$build/veltrano-screenshot.png
import -window root "$shot"
echo "Screenshot: $shot"

# File, Exit.
xdotool key alt+f
sleep 0.3
xdotool key x
if ! wine_wait_server 30; then
    echo "error: $program did not end after File, Exit" >&2
    exit 1
fi
print_log
