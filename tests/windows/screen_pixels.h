#pragma once

// The pixels of windows as the screen shows them, and of reference drawings to compare them with.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

// The pixels of a window's client area as the screen shows them, 0x00RRGGBB each.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> data;
    std::uint32_t At(int x, int y) const { return data[static_cast<std::size_t>(y * width + x)]; }
};
Pixels CaptureClient(HWND window);
// A part of the client area only: cheap enough to watch a small area change.
Pixels CaptureClientPart(HWND window, int left, int top, int width, int height);
// Runs `draw` on a white bitmap of the given size with a fresh device context's defaults.
Pixels Render(int width, int height, const std::function<void(HDC)>& draw);
inline std::uint32_t Rgb(COLORREF c)
{
    return (static_cast<std::uint32_t>(GetRValue(c)) << 16) | (static_cast<std::uint32_t>(GetGValue(c)) << 8) |
           GetBValue(c);
}

// A part of a picture.
Pixels Crop(const Pixels& from, int left, int top, int width, int height);

// The strip (300, 0)-(520, 20) of the console as a fresh device context draws it: with this notice
// centred in it (none: empty), or with "DMX Converter not found!".
Pixels DrawnNotice(const char* notice);
Pixels NotFoundStrip(bool withText);
