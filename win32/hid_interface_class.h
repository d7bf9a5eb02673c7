#pragma once

#include <windows.h>

// The HID interface class, whose arrivals and removals the console is told of, and which the
// demo's bus announces its converter's under.
inline constexpr GUID HID_INTERFACE_CLASS{0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
