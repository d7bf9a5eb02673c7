#include "screen_pixels.h"

namespace {

// Draws into a 32-bit bitmap of the given size, compatible with `reference`, and reads it back.
Pixels DrawInto(HDC reference, int width, int height, const std::function<void(HDC)>& draw)
{
    Pixels pixels;
    pixels.width = width;
    pixels.height = height;
    HDC memory = CreateCompatibleDC(reference);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    draw(memory);
    GdiFlush();
    const auto* data = static_cast<const std::uint32_t*>(bits);
    pixels.data.assign(data, data + width * height);
    for (auto& p : pixels.data) {
        p &= 0x00FFFFFF;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return pixels;
}

}  // namespace

Pixels CaptureClient(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    return CaptureClientPart(window, 0, 0, client.right, client.bottom);
}

Pixels CaptureClientPart(HWND window, int left, int top, int width, int height)
{
    HDC screen = GetDC(window);
    Pixels pixels = DrawInto(screen, width, height, [&](HDC memory) {
        BitBlt(memory, 0, 0, width, height, screen, left, top, SRCCOPY);
    });
    ReleaseDC(window, screen);
    return pixels;
}

Pixels Render(int width, int height, const std::function<void(HDC)>& draw)
{
    HDC screen = GetDC(nullptr);
    Pixels pixels = DrawInto(screen, width, height, [&](HDC memory) {
        RECT all{0, 0, width, height};
        FillRect(memory, &all, GetSysColorBrush(COLOR_WINDOW));
        draw(memory);
    });
    ReleaseDC(nullptr, screen);
    return pixels;
}

Pixels Crop(const Pixels& from, int left, int top, int width, int height)
{
    Pixels part;
    part.width = width;
    part.height = height;
    for (int y = top; y < top + height; ++y) {
        for (int x = left; x < left + width; ++x) {
            part.data.push_back(from.At(x, y));
        }
    }
    return part;
}

Pixels DrawnNotice(const char* notice)
{
    return Render(220, 20, [notice](HDC dc) {
        if (notice != nullptr) {
            RECT r{0, 0, 220, 20};
            DrawTextA(dc, notice, -1, &r, DT_CENTER);
        }
    });
}

Pixels NotFoundStrip(bool withText)
{
    return DrawnNotice(withText ? "DMX Converter not found!" : nullptr);
}
