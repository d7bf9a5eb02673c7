#include "demo/output_monitor.h"

#include <windowsx.h>

#include <optional>
#include <string>

#include "simulator/monitor_view.h"

namespace {

constexpr const char* MONITOR_CLASS = "VeltranoOutputMonitor";
constexpr int MONITOR_WIDTH = 440;
constexpr int MONITOR_HEIGHT = 600;

// The converter's strip at the top, two rows: whether it is plugged in, and whether it answers,
// each on the left with its control on the right.
constexpr int ROW_HEIGHT = 34;
constexpr int STRIP_HEIGHT = 2 * ROW_HEIGHT;
constexpr int CONTROL_WIDTH = 150;
constexpr int CONTROL_HEIGHT = 26;
constexpr int CONTROL_MARGIN = 10;

constexpr int LEVELS_HEADING_TOP = STRIP_HEIGHT + 8;
constexpr int BAR_LEFT = 14;
constexpr int BAR_PITCH = 34;
constexpr int BAR_WIDTH = 26;
constexpr int BAR_TOP = LEVELS_HEADING_TOP + 38;
constexpr int BAR_HEIGHT = 114;
constexpr int LINE_HEIGHT = 16;

constexpr COLORREF WELL_COLOUR = RGB(0x1E, 0x7B, 0x34);
constexpr COLORREF FAULT_COLOUR = RGB(0xC0, 0x1C, 0x1C);
// The levels a converter holds while unplugged go nowhere: their bars are grey.
constexpr COLORREF LIT_COLOUR = RGB(0xF2, 0xB1, 0x1B);
constexpr COLORREF HELD_COLOUR = RGB(0x90, 0x90, 0x90);

RECT ControlIn(const RECT& client, OutputMonitor::Control control)
{
    const int top = static_cast<int>(control) * ROW_HEIGHT + (ROW_HEIGHT - CONTROL_HEIGHT) / 2;
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

// One row of the strip: a state, green when all is well and red when not, and its control as a
// push button, sunken while it is being pressed.
void PaintStripRow(HDC dc, const RECT& client, OutputMonitor::Control control, const std::string& state, bool well,
                   const std::string& action, bool pressed, HFONT bold, HFONT normal)
{
    const int top = static_cast<int>(control) * ROW_HEIGHT;
    SelectObject(dc, bold);
    SetTextColor(dc, well ? WELL_COLOUR : FAULT_COLOUR);
    RECT where{10, top, client.right - CONTROL_WIDTH - 2 * CONTROL_MARGIN, top + ROW_HEIGHT};
    DrawTextA(dc, state.c_str(), -1, &where, DT_LEFT | DT_VCENTER | DT_SINGLELINE);

    SelectObject(dc, normal);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    RECT button = ControlIn(client, control);
    DrawFrameControl(dc, &button, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    if (pressed) {
        OffsetRect(&button, 1, 1);
    }
    DrawTextA(dc, action.c_str(), -1, &button, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
}

// The converter's state and its controls. `pressed`: the control shown pressed, if any.
void PaintConverterStrip(HDC dc, const RECT& client, const MonitorView& view,
                         std::optional<OutputMonitor::Control> pressed, HFONT bold, HFONT normal)
{
    using Control = OutputMonitor::Control;
    const RECT strip{0, 0, client.right, STRIP_HEIGHT};
    FillRect(dc, &strip, GetSysColorBrush(COLOR_BTNFACE));
    RECT line{0, 0, client.right, STRIP_HEIGHT};
    DrawEdge(dc, &line, EDGE_ETCHED, BF_BOTTOM);
    PaintStripRow(dc, client, Control::Plug, view.connection, view.connected, view.plugAction,
                  pressed == Control::Plug, bold, normal);
    PaintStripRow(dc, client, Control::Silence, view.replies, view.answering, view.silenceAction,
                  pressed == Control::Silence, bold, normal);
}

HFONT BoldDialogFont()
{
    LOGFONTA description{};
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof(description), &description);
    description.lfWeight = FW_BOLD;
    return CreateFontIndirectA(&description);
}

void PaintView(HDC dc, const RECT& client, const MonitorView& view, std::optional<OutputMonitor::Control> pressed,
               HFONT bold)
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
    std::optional<Control> pressed;
    if (drag_ == Drag::Control && pressedOver_) {
        pressed = pressed_;
    }
    PaintView(buffer, client, BuildMonitorView(converter_), pressed, bold_.handle);
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

RECT OutputMonitor::ControlRect(Control control) const
{
    RECT client{};
    if (Window() != nullptr) {
        GetClientRect(Window(), &client);
    }
    return ControlIn(client, control);
}

std::optional<OutputMonitor::Control> OutputMonitor::ControlAt(POINT at) const
{
    for (const Control control : {Control::Plug, Control::Silence}) {
        const RECT rect = ControlRect(control);
        if (PtInRect(&rect, at)) {
            return control;
        }
    }
    return std::nullopt;
}

// A control works as a push button does: it acts when the button is let go over it.
void OutputMonitor::OnButtonDown(POINT at)
{
    if (const std::optional<Control> control = ControlAt(at)) {
        drag_ = Drag::Control;
        pressed_ = *control;
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
    if ((ControlAt(at) == pressed_) != pressedOver_) {
        pressedOver_ = !pressedOver_;
        Refresh();
    }
}

void OutputMonitor::OnButtonUp(POINT at)
{
    if (drag_ == Drag::None) {
        return;
    }
    const bool clicked = drag_ == Drag::Control && ControlAt(at) == pressed_;
    // Released first: the console's work on the news may open a box with a loop of its own.
    ReleaseCapture();
    if (clicked && pressed_ == Control::Plug) {
        TogglePlug();
    } else if (clicked) {
        ToggleSilence();
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

// A silent converter takes every command and answers none, until it is let answer again.
void OutputMonitor::ToggleSilence()
{
    converter_.faults.silent = !converter_.faults.silent;
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
