#include "app/console.h"

Console::Console(HINSTANCE instance, const ApplicationStrings& strings, HidBus& bus, Clock& clock,
                 std::optional<std::string> logPath)
    : instance_(instance), strings_(strings), clock_(clock), link_(bus, clock, *this, std::move(logPath))
{
}

Console::~Console()
{
    // Before the members go: the window's last messages find no console, and the boxes' subclassing
    // and the device notifications are released with their owners below.
    DestroyDetached();
}

void Console::ConverterBack()
{
    // What was sent while the converter was silent did not reach it.
    SendAllChannels();
}
