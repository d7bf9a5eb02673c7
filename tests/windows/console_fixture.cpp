#include "console_fixture.h"

#include "converter/discovery_log.h"


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
    ASSERT_EQ(Link().Present(), withConverter);
    SetForegroundWindow(Main());
    PumpMessages();
    converter->ClearHistory();
}

bool ConsoleTest::StartOn(HidBus& onBus)
{
    console = std::make_unique<Console>(GetModuleHandleA(nullptr), RegisteredApplicationStrings(), onBus, clock,
                                        DiscoveryLogPath(FindEnvironmentValue("TEMP")));
    return console->StartApplication(SW_SHOWNORMAL);
}

int ConsoleTest::Close()
{
    return CloseConsoleWindow(Main());
}
