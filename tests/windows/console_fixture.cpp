#include "console_fixture.h"

#include "mixing/crossfade.h"

namespace {

struct ModalWatch {
    const char* caption = nullptr;
    const std::function<void(HWND)>* inside = nullptr;
    bool seen = false;
    int ticks = 0;
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
        if (HWND other = GetActiveWindow(); other != nullptr && other != TheApplication().mainWindow) {
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
    activeWatch = &watch;
    SetTimer(nullptr, 0, 10, WatchForModalBox);
    trigger();
    // A box opened by a posted message needs the queue pumped.
    PumpUntil([&] { return watch.seen; }, patience);
    activeWatch = nullptr;
    return watch.seen;
}

void ConsoleTest::SetUpTestSuite()
{
    static bool registered = false;
    if (!registered) {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        LoadApplicationStrings(instance);
        RegisterMainWindowClass(instance);
        registered = true;
    }
}

void ConsoleTest::SetUp()
{
    ResetDiscoveryLog();
    TheConverter() = ConverterState{};
    TheCrossfade() = Crossfade{};
}

void ConsoleTest::TearDown()
{
    if (IsWindow(Main())) {
        Close();
    }
    TheConverter() = ConverterState{};
    ResetDiscoveryLog();
}

void ConsoleTest::Start(bool withConverter)
{
    if (withConverter) {
        PopulateTypicalBus(bus, converter);
    } else {
        bus.interfaces = {{OTHER_DEVICE_ATTRIBUTES, nullptr, SearchFault::None, 0, {9, 9}}};
    }
    UseConverterPlatform(bus, MonotonicClock(), ShowCommErrorBox);
    ASSERT_TRUE(StartApplication(GetModuleHandleA(nullptr), SW_SHOWNORMAL));
    ASSERT_EQ(TheConverter().present, withConverter);
    SetForegroundWindow(Main());
    PumpMessages();
    converter->ClearHistory();
}

int ConsoleTest::Close()
{
    int quitCode = -1;
    SendMessageA(Main(), WM_COMMAND, MAKEWPARAM(105, 0), 0);
    PumpMessages(&quitCode);
    return quitCode;
}
