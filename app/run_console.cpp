#include "app/run_console.h"

#include "win32/resource_ids.h"
#include "converter/discovery_log.h"

ApplicationStrings LoadApplicationStrings(HINSTANCE instance)
{
    ApplicationStrings strings;
    LoadStringA(instance, IDS_APP_TITLE, strings.title, TEXT_BUFFER_SIZE);
    LoadStringA(instance, IDS_WINDOW_CLASS, strings.className, TEXT_BUFFER_SIZE);
    return strings;
}

int RunMessageLoop(HWND mainWindow, HACCEL accelerators)
{
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        // Accelerators are translated for the main window whichever of its controls has the
        // focus, so ALT+? works with a fader or a box focused too.
        if (!TranslateAcceleratorA(mainWindow, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

namespace {

// Once the session's end is answered the system may end the process at any moment, mid-fade and
// with a code of its own: the run ends before the console answers, with Exit's code. From inside a
// box too: nothing of the interrupted operation runs again.
class ProcessLifetime final : public RunOwner {
public:
    void SessionEnded() override { ExitProcess(0); }
};

}  // namespace

int RunConsole(HINSTANCE instance, int showCommand, HidBus& bus, Clock& clock, KeepAwake* awake)
{
    const ApplicationStrings strings = LoadApplicationStrings(instance);
    RegisterMainWindowClass(instance, strings.className);
    ProcessLifetime lifetime;
    ConsoleWindow console(instance, strings, bus, clock, DiscoveryLogPath(FindEnvironmentValue("TEMP")), awake,
                          &lifetime);
    if (!console.StartApplication(showCommand)) {
        return 0;
    }
    return RunMessageLoop(console.MainWindow(), LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS)));
}
