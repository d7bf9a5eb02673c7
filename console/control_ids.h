#pragma once

// The console's channels and the IDs of its controls: the model names faders and boxes by them,
// and the window gives them to its controls.

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
