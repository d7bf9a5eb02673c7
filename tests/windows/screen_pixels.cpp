#include "screen_pixels.h"

Pixels CaptureClient(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    Pixels pixels;
    pixels.width = client.right;
    pixels.height = client.bottom;
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = pixels.width;
    info.bmiHeader.biHeight = -pixels.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, pixels.width, pixels.height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* data = static_cast<const std::uint32_t*>(bits);
    pixels.data.assign(data, data + pixels.width * pixels.height);
    for (auto& p : pixels.data) {
        p &= 0x00FFFFFF;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    return pixels;
}

Pixels Render(int width, int height, const std::function<void(HDC)>& draw)
{
    Pixels pixels;
    pixels.width = width;
    pixels.height = height;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT all{0, 0, width, height};
    FillRect(memory, &all, GetSysColorBrush(COLOR_WINDOW));
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
