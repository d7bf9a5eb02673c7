#include "demo/output_monitor.h"

#include <string>

#include "simulator/monitor_view.h"

namespace {

constexpr const char* MONITOR_CLASS = "VeltranoOutputMonitor";
constexpr int MONITOR_WIDTH = 440;
constexpr int MONITOR_HEIGHT = 600;

constexpr int BAR_LEFT = 14;
constexpr int BAR_PITCH = 34;
constexpr int BAR_WIDTH = 26;
constexpr int BAR_TOP = 48;
constexpr int BAR_HEIGHT = 180;
constexpr int LINE_HEIGHT = 16;

void Text(HDC dc, int x, int y, const std::string& text)
{
    TextOutA(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

void Heading(HDC dc, int y, const std::string& text, HFONT bold, HFONT normal)
{
    SelectObject(dc, bold);
    Text(dc, 10, y, text);
    SelectObject(dc, normal);
}

void PaintView(HDC dc, const RECT& client, const MonitorView& view)
{
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    HFONT normal = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTA description{};
    GetObjectA(normal, sizeof(description), &description);
    description.lfWeight = FW_BOLD;
    HFONT bold = CreateFontIndirectA(&description);
    HGDIOBJ previousFont = SelectObject(dc, normal);

    Heading(dc, 8, "DMX output: channel levels", bold, normal);
    HBRUSH lit = CreateSolidBrush(RGB(0xF2, 0xB1, 0x1B));
    HBRUSH well = CreateSolidBrush(RGB(0x30, 0x30, 0x30));
    SetTextAlign(dc, TA_CENTER);
    for (int channel = 0; channel < CHANNEL_COUNT; ++channel) {
        const int level = view.levels[static_cast<std::size_t>(channel)];
        const int left = BAR_LEFT + channel * BAR_PITCH;
        const RECT wellRect{left, BAR_TOP, left + BAR_WIDTH, BAR_TOP + BAR_HEIGHT};
        FillRect(dc, &wellRect, well);
        const int height = level * BAR_HEIGHT / 255;
        const RECT litRect{left, BAR_TOP + BAR_HEIGHT - height, left + BAR_WIDTH, BAR_TOP + BAR_HEIGHT};
        FillRect(dc, &litRect, lit);
        Text(dc, left + BAR_WIDTH / 2, BAR_TOP - 16, std::to_string(level));
        Text(dc, left + BAR_WIDTH / 2, BAR_TOP + BAR_HEIGHT + 3, std::to_string(channel + 1));
    }
    SetTextAlign(dc, TA_LEFT);
    DeleteObject(lit);
    DeleteObject(well);

    int y = BAR_TOP + BAR_HEIGHT + 28;
    Heading(dc, y, "Stored presets", bold, normal);
    y += LINE_HEIGHT + 2;
    if (view.presets.empty()) {
        Text(dc, 16, y, "none yet");
        y += LINE_HEIGHT;
    }
    for (const std::string& line : view.presets) {
        Text(dc, 16, y, line);
        y += LINE_HEIGHT;
    }

    y += 8;
    Heading(dc, y, "Last commands and replies", bold, normal);
    y += LINE_HEIGHT + 2;
    for (const std::string& line : view.commands) {
        Text(dc, 16, y, line);
        y += LINE_HEIGHT;
    }
    Text(dc, 10, client.bottom - LINE_HEIGHT - 4, view.summary);

    SelectObject(dc, previousFont);
    DeleteObject(bold);
}

}  // namespace

OutputMonitor::OutputMonitor(HINSTANCE instance, SimulatedConverter& converter, int x, int y)
    : converter_(converter)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = MonitorProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = MONITOR_CLASS;
    RegisterClassExA(&windowClass);

    // As high as the console, so the two sit side by side.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    window_ = CreateWindowExA(WS_EX_NOACTIVATE, MONITOR_CLASS, MONITOR_TITLE, style, x, y, MONITOR_WIDTH,
                              MONITOR_HEIGHT, nullptr, nullptr, instance, this);
    if (window_ == nullptr) {
        return;
    }
    converter_.onExchange = [this] { Refresh(); };
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    UpdateWindow(window_);
}

OutputMonitor::~OutputMonitor()
{
    converter_.onExchange = nullptr;
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
}

void OutputMonitor::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window_, &paint);
    RECT client;
    GetClientRect(window_, &client);
    // Drawn off screen first, so that a fast fade does not flicker.
    HDC buffer = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
    HGDIOBJ previous = SelectObject(buffer, bitmap);
    PaintView(buffer, client, BuildMonitorView(converter_));
    BitBlt(dc, 0, 0, client.right, client.bottom, buffer, 0, 0, SRCCOPY);
    SelectObject(buffer, previous);
    DeleteObject(bitmap);
    DeleteDC(buffer);
    EndPaint(window_, &paint);
}

void OutputMonitor::Refresh()
{
    // Painted when the console's exchanges are done and the queue is idle again.
    if (window_ != nullptr) {
        InvalidateRect(window_, nullptr, FALSE);
    }
}

LRESULT CALLBACK OutputMonitor::MonitorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);  // NOLINT(performance-no-int-to-ptr)
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* monitor = reinterpret_cast<OutputMonitor*>(GetWindowLongPtrA(window, GWLP_USERDATA));  // NOLINT(performance-no-int-to-ptr)
    if (monitor == nullptr) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    switch (message) {
    case WM_PAINT:
        monitor->OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the paint covers everything
    case WM_NCDESTROY:
        monitor->window_ = nullptr;
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        return DefWindowProcA(window, message, wParam, lParam);
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
