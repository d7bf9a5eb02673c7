// Veltrano.exe meets the converter through the platform's HID stack.

#include <memory>

#include "app/application.h"
#include "converter/converter_link.h"
#include "converter/win32_hid_bus.h"

void ChooseConverterPlatform()
{
    static std::unique_ptr<HidBus> bus = MakeWin32HidBus(MonotonicClock());
    UseConverterPlatform(*bus, MonotonicClock(), ShowCommErrorBox);
}
