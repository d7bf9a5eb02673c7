#include "demo/demo_platform.h"

DemoPlatform::DemoPlatform(HINSTANCE instance, Clock& clock)
    : converter_(std::make_shared<SimulatedConverter>(clock)),
      monitor_(instance, *converter_, DEMO_MONITOR_X, DEMO_MONITOR_Y)
{
    converter_->faults.latency = DEMO_EXCHANGE_LATENCY;
    PopulateTypicalBus(bus_, converter_);
}
