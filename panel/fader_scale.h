#pragma once

// The fader's level scale and its geometry, apart from any window.

#include <cstdint>

// A channel or fader level: 0 (fader at the bottom) to 255 (at the top).
using Level = std::uint8_t;

inline constexpr int FADER_TRACK_MAX = 255;
inline constexpr int FADER_PAGE_SIZE = 16;
inline constexpr int FADER_TICK_FREQUENCY = 26;

// A vertical trackbar has its minimum at the top: position 0 is level 255. Only the low 8 bits
// of a level count, so 300 acts as 44.
constexpr int TrackPositionForLevel(int level)
{
    return FADER_TRACK_MAX - (level & 0xFF);
}

constexpr Level LevelForTrackPosition(int position)
{
    return static_cast<Level>((FADER_TRACK_MAX - position) & 0xFF);
}

// Heights of a fader's parts, inside a frame of the requested height (0: the default size).
struct FaderHeights {
    int trackHeight;
    int frameHeight;
    int captionY;  // top of the caption inside the frame; unused without a label
};

constexpr FaderHeights FaderHeightsFor(int height, bool labelled)
{
    if (height != 0) {
        return labelled ? FaderHeights{height - 18, height, height - 20} : FaderHeights{height, height, 0};
    }
    return labelled ? FaderHeights{298, 316, 296} : FaderHeights{298, 298, 0};
}

inline constexpr int FADER_CAPTION_HEIGHT = 18;
inline constexpr int FADER_INSET = 2;  // the track and the caption sit this far inside the frame
