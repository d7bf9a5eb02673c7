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

int RunConsole(HINSTANCE instance, int showCommand, HidBus& bus, Clock& clock, KeepAwake* awake)
{
    const ApplicationStrings strings = LoadApplicationStrings(instance);
    RegisterMainWindowClass(instance, strings.className);
    ConsoleWindow console(instance, strings, bus, clock, DiscoveryLogPath(FindEnvironmentValue("TEMP")), awake);
    if (!console.StartApplication(showCommand)) {
        return 0;
    }
    return RunMessageLoop(console.MainWindow(), LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS)));
}
