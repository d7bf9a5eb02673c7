#pragma once

// The console's channels and the IDs of its controls: the model names faders and boxes by them,
// and the window gives them to its controls.

#include <optional>

// The console drives twelve channels, 0 to 11.
inline constexpr int CHANNEL_COUNT = 12;

inline constexpr int ID_FADE_TIME = 1000;
inline constexpr int ID_PRESET = 1001;
inline constexpr int ID_SAVE = 1002;
inline constexpr int ID_GO = 1003;
inline constexpr int ID_MASTER = 2000;
inline constexpr int ID_SCENE_A_FIRST = 2001;  // scene-A fader of channel i is ID_SCENE_A_FIRST + i
inline constexpr int ID_SCENE_B_FIRST = 3001;  // scene-B fader of channel i is ID_SCENE_B_FIRST + i
inline constexpr int ID_STATIC_LABEL = -1;

// The rows of faders: scene A and scene B, one fader per channel, and the master alone.
enum class FaderRow { SceneA, SceneB, Master };

// A fader as its control ID names it: its row, and its channel in a scene row (0 for the master).
struct FaderPlace {
    FaderRow row;
    int channel;
};

// The fader with this control ID; none for a control that is no fader.
constexpr std::optional<FaderPlace> FaderOfControl(int controlId)
{
    if (controlId == ID_MASTER) {
        return FaderPlace{FaderRow::Master, 0};
    }
    if (controlId >= ID_SCENE_A_FIRST && controlId < ID_SCENE_A_FIRST + CHANNEL_COUNT) {
        return FaderPlace{FaderRow::SceneA, controlId - ID_SCENE_A_FIRST};
    }
    if (controlId >= ID_SCENE_B_FIRST && controlId < ID_SCENE_B_FIRST + CHANNEL_COUNT) {
        return FaderPlace{FaderRow::SceneB, controlId - ID_SCENE_B_FIRST};
    }
    return std::nullopt;
}
