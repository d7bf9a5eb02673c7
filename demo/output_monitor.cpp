#include "demo/output_monitor.h"

#include <windowsx.h>

#include <string>

#include "simulator/monitor_view.h"

namespace {

constexpr const char* MONITOR_CLASS = "VeltranoOutputMonitor";
constexpr int MONITOR_WIDTH = 440;
constexpr int MONITOR_HEIGHT = 600;

// The converter's strip at the top: its state on the left, the plug control on the right.
constexpr int STRIP_HEIGHT = 38;
constexpr int CONTROL_WIDTH = 150;
constexpr int CONTROL_HEIGHT = 26;
constexpr int CONTROL_MARGIN = 10;

constexpr int LEVELS_HEADING_TOP = STRIP_HEIGHT + 8;
constexpr int BAR_LEFT = 14;
constexpr int BAR_PITCH = 34;
constexpr int BAR_WIDTH = 26;
constexpr int BAR_TOP = LEVELS_HEADING_TOP + 38;
constexpr int BAR_HEIGHT = 144;
constexpr int LINE_HEIGHT = 16;

constexpr COLORREF PLUGGED_IN_COLOUR = RGB(0x1E, 0x7B, 0x34);
constexpr COLORREF UNPLUGGED_COLOUR = RGB(0xC0, 0x1C, 0x1C);
// The levels a converter holds while unplugged go nowhere: their bars are grey.
constexpr COLORREF LIT_COLOUR = RGB(0xF2, 0xB1, 0x1B);
constexpr COLORREF HELD_COLOUR = RGB(0x90, 0x90, 0x90);

RECT PlugControlIn(const RECT& client)
{
    const int top = (STRIP_HEIGHT - CONTROL_HEIGHT) / 2;
    return {client.right - CONTROL_MARGIN - CONTROL_WIDTH, top, client.right - CONTROL_MARGIN, top + CONTROL_HEIGHT};
}

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

// The converter's state, and the control as a push button, sunken while it is being pressed.
void PaintConverterStrip(HDC dc, const RECT& client, const MonitorView& view, bool pressed, HFONT bold,
                         HFONT normal)
{
    const RECT strip{0, 0, client.right, STRIP_HEIGHT};
    FillRect(dc, &strip, GetSysColorBrush(COLOR_BTNFACE));
    RECT line{0, 0, client.right, STRIP_HEIGHT};
    DrawEdge(dc, &line, EDGE_ETCHED, BF_BOTTOM);

    SelectObject(dc, bold);
    SetTextColor(dc, view.connected ? PLUGGED_IN_COLOUR : UNPLUGGED_COLOUR);
    RECT state{10, 0, client.right - CONTROL_WIDTH - 2 * CONTROL_MARGIN, STRIP_HEIGHT};
    DrawTextA(dc, view.connection.c_str(), -1, &state, DT_LEFT | DT_VCENTER | DT_SINGLELINE);

    SelectObject(dc, normal);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    RECT control = PlugControlIn(client);
    DrawFrameControl(dc, &control, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    if (pressed) {
        OffsetRect(&control, 1, 1);
    }
    DrawTextA(dc, view.plugAction.c_str(), -1, &control, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
}

HFONT BoldDialogFont()
{
    LOGFONTA description{};
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof(description), &description);
    description.lfWeight = FW_BOLD;
    return CreateFontIndirectA(&description);
}

void PaintView(HDC dc, const RECT& client, const MonitorView& view, bool pressed, HFONT bold)
{
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    HFONT normal = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    HGDIOBJ previousFont = SelectObject(dc, normal);

    PaintConverterStrip(dc, client, view, pressed, bold, normal);
    Heading(dc, LEVELS_HEADING_TOP, "DMX output: channel levels", bold, normal);
    HBRUSH lit = CreateSolidBrush(view.connected ? LIT_COLOUR : HELD_COLOUR);
    HBRUSH well = CreateSolidBrush(RGB(0x30, 0x30, 0x30));
    SetTextAlign(dc, TA_CENTER);
    for (int channel = 0; channel < CONVERTER_CHANNEL_COUNT; ++channel) {
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
}

}  // namespace

OutputMonitor::OutputMonitor(HINSTANCE instance, SimulatedHidBus& bus, SimulatedConverter& converter, int x, int y)
    : bus_(bus), converter_(converter), bold_(BoldDialogFont())
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = MONITOR_CLASS;
    RegisterClassExA(&windowClass);

    // As high as the console, so the two sit side by side. No minimise box: a window restored from
    // its icon is given the focus (by Wine, whatever the window asks for).
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    HWND window = CreateWindowExA(WS_EX_NOACTIVATE, MONITOR_CLASS, MONITOR_TITLE, style, x, y, MONITOR_WIDTH,
                                  MONITOR_HEIGHT, nullptr, nullptr, instance, this);
    if (window == nullptr) {
        return;
    }
    // Moved by its caption only (see WM_NCLBUTTONDOWN): the system menu's move, like the
    // platform's own, would activate it.
    DeleteMenu(GetSystemMenu(window, FALSE), SC_MOVE, MF_BYCOMMAND);
    converter_.onExchange = [this] { Refresh(); };
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
}

OutputMonitor::~OutputMonitor()
{
    converter_.onExchange = nullptr;
    DestroyDetached();
}

void OutputMonitor::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Window(), &paint);
    RECT client;
    GetClientRect(Window(), &client);
    // Drawn off screen first, so that a fast fade does not flicker.
    HDC buffer = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
    HGDIOBJ previous = SelectObject(buffer, bitmap);
    PaintView(buffer, client, BuildMonitorView(converter_), drag_ == Drag::Control && pressedOver_, bold_.handle);
    BitBlt(dc, 0, 0, client.right, client.bottom, buffer, 0, 0, SRCCOPY);
    SelectObject(buffer, previous);
    DeleteObject(bitmap);
    DeleteDC(buffer);
    EndPaint(Window(), &paint);
}

void OutputMonitor::Refresh()
{
    // Painted when the console's exchanges are done and the queue is idle again.
    if (Window() != nullptr) {
        InvalidateRect(Window(), nullptr, FALSE);
    }
}

RECT OutputMonitor::PlugControl() const
{
    RECT client{};
    if (Window() != nullptr) {
        GetClientRect(Window(), &client);
    }
    return PlugControlIn(client);
}

// The control works as a push button does: it acts when the button is let go over it.
void OutputMonitor::OnButtonDown(POINT at)
{
    const RECT control = PlugControl();
    if (PtInRect(&control, at)) {
        drag_ = Drag::Control;
        pressedOver_ = true;
        SetCapture(Window());
        Refresh();
    }
}

void OutputMonitor::OnCaptionDown(POINT screenAt)
{
    RECT frame;
    GetWindowRect(Window(), &frame);
    drag_ = Drag::Window;
    moveFrom_ = screenAt;
    frameAtStart_ = {frame.left, frame.top};
    SetCapture(Window());
}

void OutputMonitor::OnMouseMove(POINT at)
{
    if (drag_ == Drag::Window) {
        ClientToScreen(Window(), &at);
        SetWindowPos(Window(), nullptr, frameAtStart_.x + at.x - moveFrom_.x, frameAtStart_.y + at.y - moveFrom_.y, 0,
                     0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    if (drag_ != Drag::Control) {
        return;
    }
    const RECT control = PlugControl();
    if (PtInRect(&control, at) != static_cast<BOOL>(pressedOver_)) {
        pressedOver_ = !pressedOver_;
        Refresh();
    }
}

void OutputMonitor::OnButtonUp(POINT at)
{
    if (drag_ == Drag::None) {
        return;
    }
    const RECT control = PlugControl();
    const bool clicked = drag_ == Drag::Control && PtInRect(&control, at) != FALSE;
    // Released first: the console's work on the news may open a box with a loop of its own.
    ReleaseCapture();
    if (clicked) {
        TogglePlug();
    }
}

void OutputMonitor::OnCaptureLost()
{
    if (drag_ == Drag::Control) {
        Refresh();
    }
    drag_ = Drag::None;
    pressedOver_ = false;
}

void OutputMonitor::TogglePlug()
{
    if (converter_.Connected()) {
        bus_.Unplug(converter_);
    } else {
        bus_.PlugIn(converter_);
    }
    Refresh();
}

LRESULT OutputMonitor::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the paint covers everything
    case WM_MOUSEACTIVATE:
        // A click on the monitor, its control included, leaves the console active.
        return MA_NOACTIVATE;
    case WM_NCLBUTTONDOWN:
        // The platform's own move makes the window it moves the foreground window (Wine does, even
        // for one that is never to be activated): the monitor moves itself when dragged by its
        // caption.
        if (wParam == HTCAPTION) {
            OnCaptionDown({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        }
        return DefWindowProcA(Window(), message, wParam, lParam);
    case WM_LBUTTONDOWN:
        OnButtonDown({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_LBUTTONUP:
        OnButtonUp({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_CAPTURECHANGED:
        OnCaptureLost();
        return 0;
    case WM_CLOSE:
        if (onClose) {
            onClose();
            return 0;
        }
        return DefWindowProcA(Window(), message, wParam, lParam);
    default:
        return DefWindowProcA(Window(), message, wParam, lParam);
    }
}
