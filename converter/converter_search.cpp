#include "converter/converter_search.h"

#include <array>
#include <cstdio>
#include <string>

#include "converter/discovery_log.h"

namespace {

// Formats one log line; the longest is about 110 characters.
template <typename... Args>
void Log(DiscoveryLog& log, const char* format, Args... args)
{
    std::array<char, 160> line{};
    std::snprintf(line.data(), line.size(), format, args...);
    log.LogDiscovery(line.data());
}

int AsLogged(std::uint32_t value)
{
    return static_cast<int>(value);
}

enum class PassEnd { NextIndex, Match };

struct Pass {
    PassEnd end = PassEnd::NextIndex;
    std::uint32_t error = 0;  // the code that ended the pass, 0 unless a step failed
};

Pass SearchIndex(HidBus& bus, DiscoveryLog& log, std::uint32_t index, std::unique_ptr<HidDevice>& handleSlot,
                 std::uint16_t vendorId, std::uint16_t productId)
{
    const int logged = AsLogged(index);

    const StepResult enumerated = bus.EnumerateInterface(index);
    if (!enumerated.ok) {
        if (enumerated.error == ERROR_CODE_NO_MORE_ITEMS) {
            log.LogDiscovery("No more devices in list");
        } else {
            Log(log, "Index=%d, Error=%d, Problem retrieving Device Info Data", logged, AsLogged(enumerated.error));
        }
        return {PassEnd::NextIndex, enumerated.error};
    }

    std::uint32_t requiredSize = 0;
    const StepResult sized = bus.QueryDetailSize(index, requiredSize);
    if (sized.ok) {
        Log(log, "Index=%d, Problem retrieving the required buffer size for Device Interface Details (no lastError)",
            logged);
        return {};
    }
    if (sized.error != ERROR_CODE_INSUFFICIENT_BUFFER) {
        Log(log, "Index=%d, Error=%d, Problem retrieving the required buffer size for Device Interface Details", logged,
            AsLogged(sized.error));
        return {PassEnd::NextIndex, sized.error};
    }

    std::string devicePath;
    std::uint32_t error = 0;
    switch (bus.QueryDetail(index, requiredSize, devicePath, error)) {
    case DetailOutcome::Filled:
        break;
    case DetailOutcome::OutOfMemory:
        return {};  // no record, no path: this index is skipped
    case DetailOutcome::Failed:
        Log(log, "Index=%d, Error=%d, Problem retrieving the Device Interface Details", logged, AsLogged(error));
        return {PassEnd::NextIndex, error};
    }

    handleSlot = bus.OpenDevice(devicePath, error);
    if (!handleSlot) {
        Log(log, "Index=%d, Error=%d Problem opening the device", logged, AsLogged(error));
        return {PassEnd::NextIndex, error};
    }

    // IDs that could not be read stay 0 and never match a converter.
    HidAttributes attributes;
    const bool attributesRead = handleSlot->GetAttributes(attributes);
    if (!attributesRead) {
        attributes = HidAttributes{};
    }
    Log(log, "Index=%d, VendorID=$%x, ProductID=$%x  Device successfully opened for ID checking", logged,
        static_cast<unsigned>(attributes.vendorId), static_cast<unsigned>(attributes.productId));

    if (attributesRead && attributes.vendorId == vendorId && attributes.productId == productId) {
        return {PassEnd::Match, 0};
    }
    Log(log, "Index=%d, Not the device we want", logged);
    handleSlot.reset();
    return {};
}

}  // namespace

bool FindConverter(HidBus& bus, DiscoveryLog& log, std::unique_ptr<HidDevice>& handleSlot, std::uint16_t vendorId,
                   std::uint16_t productId)
{
    handleSlot.reset();
    // Without the interface list there is nothing to walk: enumerating it would fail forever
    // with an error other than "no more items".
    if (!bus.OpenInterfaceList()) {
        log.LogDiscovery("Valid Device was not found");
        log.CloseDiscoveryLog();
        return false;
    }

    for (std::uint32_t index = 0;; ++index) {
        const Pass pass = SearchIndex(bus, log, index, handleSlot, vendorId, productId);
        if (pass.end == PassEnd::Match) {
            bus.CloseInterfaceList();
            Log(log, "Index=%d, Valid Device found", AsLogged(index));
            log.CloseDiscoveryLog();
            return true;
        }
        if (pass.error == ERROR_CODE_NO_MORE_ITEMS) {
            break;
        }
    }

    log.LogDiscovery("Valid Device was not found");
    bus.CloseInterfaceList();
    log.CloseDiscoveryLog();
    return false;
}
