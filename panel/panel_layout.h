#pragma once

// The two edit-box rectangles that the panel places the boxes on and the main window frames.

#include "console/control_ids.h"

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
