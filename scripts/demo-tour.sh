#!/usr/bin/env bash
# A short tour of the console on the display in $DISPLAY, with the keyboard and the mouse: scene A
# on channels 1 to 6, scene B on channels 7 to 12, a 1.5 s crossfade with GO, and SAVE to preset 5.
# Positions are screen pixels of the console at (10, 10) with the frame Wine draws itself.
set -euo pipefail

client_x=14
client_y=52

click() { # client x, client y
    xdotool mousemove $((client_x + $1)) $((client_y + $2)) click 1
    sleep 0.1
}

raise_fader() { # client x of the fader's frame, its top, key presses of Page Up
    click $(($1 + 25)) $(($2 + 206))
    xdotool key --delay 30 $(printf 'Prior %.0s' $(seq 1 "$3"))
}

for i in 0 1 2 3 4 5; do
    raise_fader $((10 + 55 * i)) 20 $((16 - 2 * i))
done
for i in 6 7 8 9 10 11; do
    raise_fader $((10 + 55 * i)) 280 $((4 + 2 * (i - 6)))
done

# Fade time 1.5 s, then GO.
click 740 60
xdotool key End BackSpace BackSpace BackSpace BackSpace
xdotool type --delay 50 "1.5"
click 740 242
sleep 2

# Store the scene now on stage as preset 5.
click 740 130
xdotool key End BackSpace BackSpace BackSpace
xdotool type --delay 50 "5"
click 740 167
sleep 0.5
