#include "view/console_window.h"

#include <windows.h>

#include <commctrl.h>
#include <dbt.h>

#include <algorithm>
#include <cstring>

#include "win32/resource_ids.h"
#include "view/about_box.h"
#include "win32/hid_interface_class.h"

namespace {

// Where the notice of the converter ("DMX Converter not found!", "DMX Converter not answering!")
// is centred: wide enough for the longer of the two.
constexpr RECT NOTICE_TEXT_RECT{270, 0, 550, 20};
constexpr int EDIT_FRAME_MARGIN = 3;

RECT ToRect(const PanelRect& r)
{
    return {r.left, r.top, r.right, r.bottom};
}

}  // namespace

ATOM RegisterMainWindowClass(HINSTANCE instance, const char* className)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_VELTRANO));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    // A system colour index plus one stands for its brush.
    windowClass.hbrBackground =
        reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));  // NOLINT(performance-no-int-to-ptr)
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MAIN_MENU);
    windowClass.lpszClassName = className;
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_VELTRANO_SMALL));
    return RegisterClassExA(&windowClass);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return ConsoleWindow::Procedure(window, message, wParam, lParam);
}

// A box of the console may have closed it: its window and timers are gone. Without its window a
// timer is not started (SetTimer would make a thread timer that nobody kills) nor stopped.
void WindowTimer::Start(Duration period)
{
    HWND window = owner_.MainWindow();
    if (window == nullptr) {
        return;
    }
    const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(period).count();
    SetTimer(window, id_, static_cast<UINT>(std::max<long long>(milliseconds, USER_TIMER_MINIMUM)), nullptr);
}

void WindowTimer::Stop()
{
    if (HWND window = owner_.MainWindow()) {
        KillTimer(window, id_);
    }
}

ConsoleWindow::ConsoleWindow(HINSTANCE instance, const ApplicationStrings& strings, HidBus& bus, Clock& clock,
                             std::optional<std::string> logPath, KeepAwake* awake, RunOwner* owner)
    : instance_(instance),
      owner_(owner),
      strings_(strings),
      model_(ConsolePorts{*this, *this, fadeTimer_, retryTimer_, *this, *this, clock, awake}, bus, std::move(logPath))
{
}

ConsoleWindow::~ConsoleWindow()
{
    // Before the members go: the window's last messages find no console, and the boxes' subclassing
    // and the device notifications are released with their owners below.
    DestroyDetached();
}

LRESULT ConsoleWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        return Answering(0, [&] { return OnCommand(wParam, lParam); });
    case WM_VSCROLL:
        return Answering(0, [&] {
            // The notifying trackbar travels in lParam.
            HWND track = reinterpret_cast<HWND>(lParam);  // NOLINT(performance-no-int-to-ptr)
            model_.OnFaderScroll(LOWORD(wParam), track != nullptr ? GetDlgCtrlID(track) : 0);
        });
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_DEVICECHANGE:
        return Answering(TRUE, [&] { OnDeviceChange(wParam, lParam); });
    case WM_TIMER:
        return Answering(0, [&] {
            if (wParam == FADE_TIMER_ID) {
                model_.OnFadeTick();
            } else if (wParam == SEARCH_RETRY_TIMER_ID) {
                model_.OnRetryTimer();
            }
        });
    case WM_ACTIVATE:
        if (OnActivate(wParam)) {
            return 0;
        }
        break;
    case WM_POWERBROADCAST:
        return Answering(TRUE, [&] {
            if (wParam == PBT_APMRESUMEAUTOMATIC) {
                model_.OnSystemResume();
            }
        });
    case WM_ENDSESSION:
        OnEndSession(wParam != FALSE);
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        break;
    }
    return DefWindowProcA(Window(), message, wParam, lParam);
}

LRESULT ConsoleWindow::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    switch (id) {
    case ID_MENU_ABOUT:
        RememberFocus();
        AnswerSender();
        DialogBoxParamA(instance_, MAKEINTRESOURCEA(IDD_ABOUTBOX), Window(), AboutDialogProc, 0);
        return 0;
    case ID_MENU_EXIT:
        DestroyWindow(Window());
        return 0;
    case ID_FADE_TIME:
    case ID_PRESET:
        OnBoxNotification(id, HIWORD(wParam));
        return 0;
    case ID_SAVE:
        model_.Save();
        return 0;
    case ID_GO:
        model_.Go();
        return 0;
    default:
        return DefWindowProcA(Window(), WM_COMMAND, wParam, lParam);
    }
}

void ConsoleWindow::OnBoxNotification(int boxId, int notificationCode)
{
    if (notificationCode == EN_KILLFOCUS && boxId == ID_PRESET) {
        model_.OnPresetBoxLeft();
    } else if (notificationCode == EN_UPDATE && !pasting_) {
        model_.OnBoxUpdate(boxId);
    }
}

void ConsoleWindow::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Window(), &paint);
    if (notice_ != ConverterNotice::None) {
        char text[TEXT_BUFFER_SIZE] = {};
        LoadStringA(instance_,
                    notice_ == ConverterNotice::NotFound ? IDS_CONVERTER_NOT_FOUND : IDS_CONVERTER_NOT_ANSWERING, text,
                    sizeof(text));
        RECT where = NOTICE_TEXT_RECT;
        DrawTextA(dc, text, -1, &where, DT_CENTER);
    }
    for (const PanelRect& box : {fadeEditRect, presetEditRect}) {
        RECT frame = ToRect(box);
        InflateRect(&frame, EDIT_FRAME_MARGIN, EDIT_FRAME_MARGIN);
        DrawEdge(dc, &frame, EDGE_SUNKEN, BF_RECT);
    }
    EndPaint(Window(), &paint);
}

void ConsoleWindow::OnDestroy()
{
    // The window may go from inside a box's message loop, in the middle of an exchange or of all
    // twelve: the stage keeps what it has, and nothing more is read from the dying controls.
    model_.Close();
    deviceNotifications_.Release();
    PostQuitMessage(0);
}

// The session is ending: the console closes as Exit does, before it answers, and its owner is told.
void ConsoleWindow::OnEndSession(bool ending)
{
    if (ending) {
        DestroyWindow(Window());
        if (owner_ != nullptr) {
            owner_->SessionEnded();
        }
    }
}

void ConsoleWindow::Show(ConverterNotice shown)
{
    notice_ = shown;
    if (Window() != nullptr) {
        RECT notice = NOTICE_TEXT_RECT;
        InvalidateRect(Window(), &notice, TRUE);
    }
}

// A HID interface came or went. The name in the broadcast is not relied on (some platforms hand
// an ANSI window the Unicode form); its class is where both forms agree.
void ConsoleWindow::OnDeviceChange(WPARAM event, LPARAM data)
{
    if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) {
        return;
    }
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);  // NOLINT(performance-no-int-to-ptr)
    if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) {
        return;
    }
    const auto* device = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(header);
    if (std::memcmp(&device->dbcc_classguid, &HID_INTERFACE_CLASS, sizeof(GUID)) != 0) {
        return;
    }
    if (event == DBT_DEVICEREMOVECOMPLETE) {
        model_.OnDeviceRemoval();
    } else {
        model_.OnDeviceArrival();
    }
}

// The main window is not a dialog: activated again it would take the keyboard itself, and the
// fader or box the operator was using would lose it. That control gets it back.
bool ConsoleWindow::OnActivate(WPARAM wParam)
{
    if (LOWORD(wParam) == WA_INACTIVE) {
        RememberFocus();
        return false;
    }
    const bool minimised = HIWORD(wParam) != 0;
    if (minimised || focusToRestore_ == nullptr || !IsChild(Window(), focusToRestore_)) {
        return false;
    }
    SetFocus(focusToRestore_);
    return true;
}

// A box owned by the main window disables it, which on some platforms takes the keyboard from its
// controls before the window is told that it is left: the box's opener remembers the control first.
void ConsoleWindow::RememberFocus()
{
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(Window(), focus)) {
        focusToRestore_ = focus;
    }
}

bool ConsoleWindow::StartApplication(int showCommand)
{
    // The window carries this console from its creation on, and the console the window (see
    // WindowObject).
    HWND window = CreateWindowExA(0, strings_.className, strings_.title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                  CW_USEDEFAULT, 0, nullptr, nullptr, instance_, this);
    if (window == nullptr) {
        return false;
    }

    InitCommonControls();
    if (!BuildPanel(panel_, window)) {
        DestroyWindow(window);
        return false;
    }
    boxSubclasses_ = {
        WindowSubclass(panel_.fadeEdit, EditBoxProc, ID_FADE_TIME, reinterpret_cast<DWORD_PTR>(this)),
        WindowSubclass(panel_.presetEdit, EditBoxProc, ID_PRESET, reinterpret_cast<DWORD_PTR>(this)),
    };
    showCommand_ = showCommand;
    // Told of every HID interface that comes or goes, so that a converter plugged in later is
    // found, and one unplugged is noticed.
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = HID_INTERFACE_CLASS;
    deviceNotifications_ = DeviceNotification(RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
    model_.OpenConverter();
    PlaceAndShow();
    return true;
}

void ConsoleWindow::PlaceAndShow()
{
    if (shown_) {
        return;
    }
    shown_ = true;
    // Whatever placement the system would choose, the console starts at (10, 10), 800 x 600.
    SetWindowPos(Window(), HWND_TOP, 10, 10, 800, 600, SWP_NOACTIVATE);
    ShowWindow(Window(), showCommand_);
    UpdateWindow(Window());
}

Fader* ConsoleWindow::FaderOf(int faderId) const
{
    const auto fader = FaderOfControl(faderId);
    if (!fader) {
        return nullptr;
    }
    if (fader->row == FaderRow::Master) {
        return panel_.master.get();
    }
    const auto& row = fader->row == FaderRow::SceneA ? panel_.sceneA : panel_.sceneB;
    return row[static_cast<std::size_t>(fader->channel)].get();
}

int ConsoleWindow::Level(int faderId)
{
    const Fader* fader = FaderOf(faderId);
    return fader != nullptr ? fader->GetLevel() : 0;
}

void ConsoleWindow::SetLevel(int faderId, int level)
{
    if (Fader* fader = FaderOf(faderId)) {
        fader->SetLevel(level);
    }
}

void ConsoleWindow::AnswerSender() const
{
    if (InSendMessage()) {
        ReplyMessage(answer_);
    }
}

int ConsoleWindow::OpenMessageBox(HWND owner, const char* text, const char* caption, UINT type) const
{
    AnswerSender();
    return MessageBoxA(owner, text, caption, type);
}

void ConsoleWindow::ShowInvalidPreset(const char* text, const char* caption)
{
    RememberFocus();
    OpenMessageBox(Window(), text, caption, MB_ICONERROR | MB_OK);
}

void ConsoleWindow::ShowCommError(const char* text, const char* caption)
{
    // A converter silent from the start fails its first command while the console is still
    // hidden: the operator sees the console behind the box, not a box alone.
    if (Window() != nullptr && !model_.Closing()) {
        PlaceAndShow();
    }
    OpenMessageBox(nullptr, text, caption, MB_OK);
}

void ConsoleWindow::Refuse()
{
    MessageBeep(MB_OK);
}
