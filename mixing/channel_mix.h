#pragma once

// How the master mixes scene A and scene B into a channel's output, and which channels a fader
// movement sends.

#include <optional>

// out = B + (A - B) * M / 255, the division truncating toward zero: master 255 gives scene A,
// master 0 gives scene B, and the result always lies between the two.
int MixLevel(int sceneA, int sceneB, int master);

// Scroll codes of a trackbar notification that move the fader and so send its level: line up and
// down, page up and down, and thumb tracking. Thumb position, top, bottom and end of tracking
// send nothing.
bool ScrollCodeSends(int scrollCode);

// What a fader movement sends.
struct ScrollOutput {
    bool allChannels = false;
    std::optional<int> channel;  // the one channel, when not all of them
};

// The channels to send for a scroll notification from the control with this ID.
ScrollOutput OutputForScroll(int scrollCode, int controlId);
