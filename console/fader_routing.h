#pragma once

// Which channels a fader movement sends, apart from any window.

#include <optional>

// The trackbar's scroll codes (the platform's SB_ values).
inline constexpr int SCROLL_LINE_UP = 0;
inline constexpr int SCROLL_LINE_DOWN = 1;
inline constexpr int SCROLL_PAGE_UP = 2;
inline constexpr int SCROLL_PAGE_DOWN = 3;
inline constexpr int SCROLL_THUMB_POSITION = 4;
inline constexpr int SCROLL_THUMB_TRACK = 5;
inline constexpr int SCROLL_TOP = 6;
inline constexpr int SCROLL_BOTTOM = 7;
inline constexpr int SCROLL_END = 8;

// Scroll codes that move the fader and so send its level: line up and down, page up and down,
// and thumb tracking. Thumb position, top, bottom and end of tracking send nothing.
bool ScrollCodeSends(int scrollCode);

// What a fader movement sends.
struct ScrollOutput {
    bool allChannels = false;
    std::optional<int> channel;  // the one channel, when not all of them
};

// The channels to send for a scroll notification from the control with this ID.
ScrollOutput OutputForScroll(int scrollCode, int controlId);
