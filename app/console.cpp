#include "app/console.h"

Console::Console(HINSTANCE instance, const ApplicationStrings& strings, HidBus& bus, Clock& clock,
                 std::optional<std::string> logPath)
    : instance_(instance), strings_(strings), clock_(clock), link_(bus, clock, *this, std::move(logPath))
{
}

Console::~Console()
{
    // A console that goes while its window is still open (a test's, or after a failed start)
    // leaves the window without it.
    if (mainWindow_ != nullptr && IsWindow(mainWindow_)) {
        SetWindowLongPtrA(mainWindow_, GWLP_USERDATA, 0);
        DestroyWindow(mainWindow_);
    }
}

void Console::ConverterBack()
{
    // What was sent while the converter was silent did not reach it.
    SendAllChannels();
}
