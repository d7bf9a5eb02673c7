#pragma once

// A simulated HID bus: a list of device interfaces in member-index order, some of them converters,
// with failures of any search step to order. An unplugged converter is not on the bus: the
// interfaces behind it move up one member index, and each keeps its device path.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "converter/hid_access.h"
#include "simulator/simulated_converter.h"

enum class SearchFault {
    None,
    Enumerate,           // enumerating the interface fails with `error`
    DetailSizeSucceeds,  // the detail size query succeeds where it should fail
    DetailSize,          // the detail size query fails with `error`
    DetailAllocation,    // the detail record cannot be allocated
    Detail,              // the detail query fails with `error`
    Open,                // opening the device fails with `error`
    Attributes,          // the attributes cannot be read
    Capabilities,        // the capabilities cannot be read
};

struct SimulatedInterface {
    HidAttributes attributes;
    std::shared_ptr<SimulatedConverter> converter;  // none: some other HID device
    SearchFault fault = SearchFault::None;
    std::uint32_t error = 0;
    HidReportLengths lengths{9, 9};  // of another device; a converter tells its own
};

class SimulatedHidBus final : public HidBus {
public:
    std::vector<SimulatedInterface> interfaces;
    bool listFails = false;  // the list of interfaces cannot be made

    // Bookkeeping the tests look at.
    int ListsOpen() const { return listsOpen_; }
    int HandlesOpen() const { return static_cast<int>(handles_->size()); }
    // Open handles of converters pulled out since they were opened.
    int HandlesAstray() const;
    int DevicesOpened() const { return devicesOpened_; }

    // The device path of the interface at this place in `interfaces`.
    static std::string DevicePath(std::uint32_t place);

    bool OpenInterfaceList() override;
    void CloseInterfaceList() override;
    StepResult EnumerateInterface(std::uint32_t index) override;
    StepResult QueryDetailSize(std::uint32_t index, std::uint32_t& requiredSize) override;
    DetailOutcome QueryDetail(std::uint32_t index, std::uint32_t requiredSize, std::string& devicePath,
                              std::uint32_t& error) override;
    std::unique_ptr<HidDevice> OpenDevice(const std::string& devicePath, std::uint32_t& error) override;
    bool InterfacePresent(const std::string& devicePath) override;

    // Plugs a converter of this bus in, or unplugs it, and then announces its interface's arrival
    // or removal. Nothing happens, and nothing is announced, for a converter that already is as
    // asked, or is not on this bus. A converter plugged in may be announced before it can be
    // opened (`opensAfter`).
    void PlugIn(SimulatedConverter& converter, Duration opensAfter = Duration::zero());
    void Unplug(SimulatedConverter& converter);

    // Told of an interface's arrival or removal, with its device path, as the platform tells a
    // window that registered for device notifications. It is called once the change is done, so
    // that a search it starts sees the bus as it now is.
    std::function<void(bool arrived, const std::string& devicePath)> onDeviceChange;
    // Called when a search opens the list of interfaces.
    std::function<void()> onSearch;

private:
    // The place in `interfaces` of this converter.
    std::optional<std::uint32_t> PlaceOfConverter(const SimulatedConverter& converter) const;
    // The place in `interfaces` of the interface present at a member index.
    std::optional<std::uint32_t> PlaceOf(std::uint32_t index) const;
    const SimulatedInterface* At(std::uint32_t index, std::uint32_t* place = nullptr) const;

    int listsOpen_ = 0;
    int devicesOpened_ = 0;
    std::shared_ptr<std::vector<const HidDevice*>> handles_ = std::make_shared<std::vector<const HidDevice*>>();
};

// A bus with one other HID device at index 0 and the converter at index 1.
void PopulateTypicalBus(SimulatedHidBus& bus, std::shared_ptr<SimulatedConverter> converter);

inline constexpr HidAttributes OTHER_DEVICE_ATTRIBUTES{0x046D, 0xC077};

// The platform error code a failed simulated read or write leaves (ERROR_GEN_FAILURE).
inline constexpr std::uint32_t SIMULATED_IO_ERROR = 31;
