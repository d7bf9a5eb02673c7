#!/usr/bin/env bash
# A short tour of the console on the display in $DISPLAY, with the keyboard and the mouse: scene A
# on channels 1 to 6, scene B on channels 7 to 12, a 1.5 s crossfade with GO, and SAVE to preset 5.
#   demo-tour.sh WINDOW_PROBE_EXE
# The console runs under Wine in the prefix of the environment (WINEPREFIX). The window probe
# (tests/tools/window_probe.cpp) finds the controls by their IDs and reads their screen rectangles
# from the live window; on a display without a window manager those are X screen pixels.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../tests/windows/wine-env.sh"
probe=${1:?usage: demo-tour.sh WINDOW_PROBE_EXE}

places=$(mktemp)
trap 'rm -f "$places" "$places.err"' EXIT
# Wine's output goes to files, never to a pipe (see wine-env.sh).
if ! "$WINE" "$probe" Veltrano >"$places" 2>"$places.err" </dev/null; then
    echo "error: the console's controls were not found:" >&2
    sed 's/^/    /' "$places.err" >&2
    exit 1
fi
declare -A centre_x centre_y
while read -r name left top right bottom; do
    centre_x[$name]=$(((left + right) / 2))
    centre_y[$name]=$(((top + bottom) / 2))
done < <(tr -d '\r' <"$places")  # Wine's console writes CR LF

click() { # control name (see the window probe): its centre
    xdotool mousemove "${centre_x[$1]}" "${centre_y[$1]}" click 1
    sleep 0.1
}

raise_fader() { # control name, key presses of Page Up
    # The click gives the fader the focus (and moves it a page towards the click); End takes it
    # back to the bottom without sending, and each Page Up sends the level it then has.
    click "$1"
    xdotool key End
    xdotool key --delay 30 $(printf 'Prior %.0s' $(seq 1 "$2"))
}

for channel in 1 2 3 4 5 6; do
    raise_fader "a$channel" $((18 - 2 * channel))
done
for channel in 7 8 9 10 11 12; do
    raise_fader "b$channel" $((2 * channel - 10))
done

# Fade time 1.5 s, then GO.
click fade-time
xdotool key End BackSpace BackSpace BackSpace BackSpace
xdotool type --delay 50 "1.5"
click go
sleep 2

# Store the scene now on stage as preset 5.
click preset
xdotool key End BackSpace BackSpace BackSpace
xdotool type --delay 50 "5"
click save
sleep 0.5
