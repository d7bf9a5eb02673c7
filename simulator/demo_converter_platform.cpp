// VeltranoDemo.exe meets a simulated converter instead of the platform's HID stack: one other
// HID device at index 0, the converter at index 1, and the output monitor beside the console.

#include "app/application.h"
#include "converter/converter_link.h"
#include "simulator/demo_converter.h"
#include "simulator/output_monitor.h"

namespace {

HWND monitor = nullptr;

}  // namespace

SimulatedConverter& DemoConverter()
{
    static SimulatedConverter converter(MonotonicClock());
    return converter;
}

SimulatedHidBus& DemoBus()
{
    static SimulatedHidBus bus;
    return bus;
}

HWND DemoMonitorWindow()
{
    return monitor;
}

void ChooseConverterPlatform()
{
    SimulatedConverter& converter = DemoConverter();
    converter.faults.latency = DEMO_EXCHANGE_LATENCY;
    // The bus holds the converter for the whole run; nothing ever deletes it.
    PopulateTypicalBus(DemoBus(), std::shared_ptr<SimulatedConverter>(&converter, [](SimulatedConverter*) {}));
    UseConverterPlatform(DemoBus(), MonotonicClock(), ShowCommErrorBox);
    monitor = OpenOutputMonitor(GetModuleHandleA(nullptr), converter, DEMO_MONITOR_X, DEMO_MONITOR_Y);
}
