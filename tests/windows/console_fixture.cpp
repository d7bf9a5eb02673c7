#include "console_fixture.h"

#include <commctrl.h>

#include <algorithm>

#include "converter/discovery_log.h"
#include "panel/fader_scale.h"

namespace {

struct ModalWatch {
    const char* caption = nullptr;
    const std::function<void(HWND)>* inside = nullptr;
    bool seen = false;
    int ticks = 0;
    HWND mainWindow = nullptr;  // never closed by the watch
};
ModalWatch* activeWatch = nullptr;

void CALLBACK WatchForModalBox(HWND, UINT, UINT_PTR timer, DWORD)
{
    ModalWatch* watch = activeWatch;
    if (watch == nullptr || watch->seen) {
        KillTimer(nullptr, timer);
        return;
    }
    if (HWND box = FindThreadWindow("#32770", watch->caption)) {
        watch->seen = true;
        KillTimer(nullptr, timer);
        (*watch->inside)(box);
        return;
    }
    // Never leave a test hanging on a box that did not open as expected.
    if (++watch->ticks > 400) {
        KillTimer(nullptr, timer);
        if (HWND other = GetActiveWindow(); other != nullptr && other != watch->mainWindow) {
            PostMessageA(other, WM_CLOSE, 0, 0);
        }
    }
}

}  // namespace

bool WhileModalBoxIsOpen(const char* caption, const std::function<void()>& trigger,
                         const std::function<void(HWND)>& inside, std::chrono::milliseconds patience)
{
    ModalWatch watch;
    watch.caption = caption;
    watch.inside = &inside;
    watch.mainWindow = GetActiveWindow();
    activeWatch = &watch;
    SetTimer(nullptr, 0, 10, WatchForModalBox);
    trigger();
    // A box opened by a posted message needs the queue pumped.
    PumpUntil([&] { return watch.seen; }, patience);
    activeWatch = nullptr;
    return watch.seen;
}

const ApplicationStrings& RegisteredApplicationStrings()
{
    static const ApplicationStrings strings = [] {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        ApplicationStrings loaded = LoadApplicationStrings(instance);
        RegisterMainWindowClass(instance, loaded.className);
        return loaded;
    }();
    return strings;
}

int CloseConsoleWindow(HWND mainWindow)
{
    int quitCode = -1;
    SendMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(ID_MENU_EXIT, 0), 0);
    PumpMessages(&quitCode);
    return quitCode;
}

void ConsoleTest::TearDown()
{
    if (IsWindow(Main())) {
        Close();
    }
    console.reset();
}

void ConsoleTest::Start(bool withConverter)
{
    if (withConverter) {
        PopulateTypicalBus(bus, converter);
    } else {
        bus.interfaces = {{OTHER_DEVICE_ATTRIBUTES, nullptr, SearchFault::None, 0, {9, 9}}};
    }
    ASSERT_TRUE(StartOn(bus));
    ASSERT_EQ(NoticeShown(), !withConverter);
    SetForegroundWindow(Main());
    PumpMessages();
    converter->ClearHistory();
}

bool ConsoleTest::StartOn(HidBus& onBus)
{
    console = std::make_unique<ConsoleWindow>(GetModuleHandleA(nullptr), RegisteredApplicationStrings(), onBus, clock,
                                        DiscoveryLogPath(FindEnvironmentValue("TEMP")), &awake);
    return console->StartApplication(SW_SHOWNORMAL);
}

int ConsoleTest::Close()
{
    return CloseConsoleWindow(Main());
}

void ConsoleTest::SetFader(int id, int level)
{
    SendMessageA(Track(id), TBM_SETPOS, TRUE, TrackPositionForLevel(level));
}

void ConsoleTest::MoveFader(int id, int level)
{
    SetFader(id, level);
    SendMessageA(Main(), WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 0), reinterpret_cast<LPARAM>(Track(id)));
}

int ConsoleTest::FaderLevel(int id) const
{
    return LevelForTrackPosition(static_cast<int>(SendMessageA(Track(id), TBM_GETPOS, 0, 0)));
}

void ConsoleTest::Click(int buttonId)
{
    SendMessageA(Main(), WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(Control(buttonId)));
}

void ConsoleTest::Tick()
{
    SendMessageA(Main(), WM_TIMER, FADE_TIMER_ID, 0);
}

bool ConsoleTest::FadeTimerRunning() const
{
    const auto end = std::chrono::steady_clock::now() + 3 * FADE_TICK_PERIOD;
    do {
        MSG message;
        if (PeekMessageA(&message, Main(), WM_TIMER, WM_TIMER, PM_NOREMOVE | PM_NOYIELD) &&
            message.wParam == FADE_TIMER_ID) {
            return true;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_TIMER);
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

std::string ConsoleTest::Save()
{
    const std::uint64_t before = Converter().ExchangeCount();
    Click(ID_SAVE);
    return Converter().ExchangeCount() > before ? Converter().History().back().command : std::string();
}

bool ConsoleTest::NoticeShown()
{
    PumpMessages();
    const Pixels strip = Crop(CaptureClient(Main()), 300, 0, 220, 20);
    const std::uint32_t background = Rgb(GetSysColor(COLOR_WINDOW));
    return std::any_of(strip.data.begin(), strip.data.end(), [&](std::uint32_t p) { return p != background; });
}

std::vector<std::string> ConsoleTest::Commands() const
{
    std::vector<std::string> commands;
    for (const ConverterExchange& e : converter->History()) {
        commands.push_back(e.command);
    }
    return commands;
}
