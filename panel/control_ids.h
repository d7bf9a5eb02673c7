#pragma once

// Control IDs of the panel, and the two edit-box rectangles that the panel places the boxes on
// and the main window frames.

inline constexpr int ID_FADE_TIME = 1000;
inline constexpr int ID_PRESET = 1001;
inline constexpr int ID_SAVE = 1002;
inline constexpr int ID_GO = 1003;
inline constexpr int ID_MASTER = 2000;
inline constexpr int ID_SCENE_A_FIRST = 2001;  // scene-A fader of channel i is ID_SCENE_A_FIRST + i
inline constexpr int ID_SCENE_B_FIRST = 3001;  // scene-B fader of channel i is ID_SCENE_B_FIRST + i
inline constexpr int ID_STATIC_LABEL = -1;


struct PanelRect {
    int left;
    int top;
    int right;
    int bottom;
    constexpr int Width() const { return right - left; }
    constexpr int Height() const { return bottom - top; }
};

inline constexpr PanelRect fadeEditRect{720, 50, 760, 70};
inline constexpr PanelRect presetEditRect{720, 120, 760, 140};
