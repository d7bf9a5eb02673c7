#include "simulator/simulated_hid_bus.h"

#include <algorithm>

#include "converter/converter_link.h"

namespace {

constexpr std::uint32_t DETAIL_RECORD_FIXED_PART = 8;

class SimulatedHandle final : public HidDevice {
public:
    using Handles = std::vector<const HidDevice*>;
    SimulatedHandle(const SimulatedInterface& device, std::string path, std::shared_ptr<Handles> handles)
        : device_(device), path_(std::move(path)), handles_(std::move(handles)),
          connection_(device.converter ? device.converter->Connection() : 0)
    {
        handles_->push_back(this);
    }
    ~SimulatedHandle() override { handles_->erase(std::find(handles_->begin(), handles_->end(), this)); }
    SimulatedHandle(const SimulatedHandle&) = delete;
    SimulatedHandle& operator=(const SimulatedHandle&) = delete;

    bool GetAttributes(HidAttributes& attributes) override
    {
        if (device_.fault == SearchFault::Attributes || (device_.converter && !Reachable())) {
            return false;
        }
        attributes = device_.attributes;
        return true;
    }

    bool GetReportLengths(HidReportLengths& lengths) override
    {
        if (device_.fault == SearchFault::Capabilities) {
            return false;
        }
        lengths = device_.converter
                      ? HidReportLengths{device_.converter->InputReportLength(), device_.converter->OutputReportLength()}
                      : device_.lengths;
        return true;
    }

    IoResult WriteReport(const std::uint8_t* report, std::size_t length, TimePoint deadline) override
    {
        const IoResult result = Reachable() ? device_.converter->Receive(report, length, deadline) : IoResult::Failed;
        return Noted(result, "WriteFile");
    }

    IoResult ReadReport(std::uint8_t* buffer, std::size_t length, TimePoint deadline, std::size_t& bytesRead) override
    {
        bytesRead = 0;
        const IoResult result =
            Reachable() ? device_.converter->Deliver(buffer, length, deadline, bytesRead) : IoResult::Failed;
        return Noted(result, "ReadFile");
    }

    const std::string& Path() const override { return path_; }

    bool Astray() const { return device_.converter && !Reachable(); }

    HidError LastError() const override { return lastError_; }

    void FlushInput() override
    {
        if (device_.converter) {
            device_.converter->DropArrivedReports();
        }
    }

private:
    // A converter unplugged since this handle was opened is gone for it, plugged in again or not.
    bool Reachable() const
    {
        return device_.converter && device_.converter->Connected() &&
               device_.converter->Connection() == connection_;
    }

    // A simulated failure leaves the platform's general failure code.
    IoResult Noted(IoResult result, const char* call)
    {
        if (result == IoResult::Failed) {
            lastError_ = {call, SIMULATED_IO_ERROR};
        }
        return result;
    }

    SimulatedInterface device_;
    std::string path_;
    std::shared_ptr<Handles> handles_;
    std::uint32_t connection_;
    HidError lastError_;
};

}  // namespace

std::string SimulatedHidBus::DevicePath(std::uint32_t place)
{
    return "\\\\?\\hid#simulated&" + std::to_string(place);
}

std::optional<std::uint32_t> SimulatedHidBus::PlaceOf(std::uint32_t index) const
{
    std::uint32_t present = 0;
    for (std::uint32_t place = 0; place < interfaces.size(); ++place) {
        const SimulatedInterface& device = interfaces[place];
        if (device.converter && !device.converter->Connected()) {
            continue;
        }
        if (present++ == index) {
            return place;
        }
    }
    return std::nullopt;
}

const SimulatedInterface* SimulatedHidBus::At(std::uint32_t index, std::uint32_t* place) const
{
    const std::optional<std::uint32_t> found = PlaceOf(index);
    if (!found) {
        return nullptr;
    }
    if (place != nullptr) {
        *place = *found;
    }
    return &interfaces[*found];
}

bool SimulatedHidBus::OpenInterfaceList()
{
    if (onSearch) {
        onSearch();
    }
    if (listFails) {
        return false;
    }
    ++listsOpen_;
    return true;
}

void SimulatedHidBus::CloseInterfaceList()
{
    --listsOpen_;
}

StepResult SimulatedHidBus::EnumerateInterface(std::uint32_t index)
{
    const SimulatedInterface* device = At(index);
    if (device == nullptr) {
        return {false, ERROR_CODE_NO_MORE_ITEMS};
    }
    if (device->fault == SearchFault::Enumerate) {
        return {false, device->error};
    }
    return {true, 0};
}

StepResult SimulatedHidBus::QueryDetailSize(std::uint32_t index, std::uint32_t& requiredSize)
{
    const SimulatedInterface* device = At(index);
    if (device == nullptr) {
        return {false, ERROR_CODE_NO_MORE_ITEMS};
    }
    if (device->fault == SearchFault::DetailSizeSucceeds) {
        return {true, 0};
    }
    if (device->fault == SearchFault::DetailSize) {
        return {false, device->error};
    }
    requiredSize = static_cast<std::uint32_t>(DevicePath(*PlaceOf(index)).size() + 1 + DETAIL_RECORD_FIXED_PART);
    return {false, ERROR_CODE_INSUFFICIENT_BUFFER};
}

DetailOutcome SimulatedHidBus::QueryDetail(std::uint32_t index, std::uint32_t requiredSize, std::string& devicePath,
                                           std::uint32_t& error)
{
    std::uint32_t place = 0;
    const SimulatedInterface* device = At(index, &place);
    if (device == nullptr) {
        error = ERROR_CODE_NO_MORE_ITEMS;
        return DetailOutcome::Failed;
    }
    if (device->fault == SearchFault::DetailAllocation) {
        return DetailOutcome::OutOfMemory;
    }
    if (device->fault == SearchFault::Detail) {
        error = device->error;
        return DetailOutcome::Failed;
    }
    devicePath = DevicePath(place);
    if (requiredSize < devicePath.size() + 1 + DETAIL_RECORD_FIXED_PART) {
        error = ERROR_CODE_INSUFFICIENT_BUFFER;
        return DetailOutcome::Failed;
    }
    return DetailOutcome::Filled;
}

std::unique_ptr<HidDevice> SimulatedHidBus::OpenDevice(const std::string& devicePath, std::uint32_t& error)
{
    for (std::uint32_t place = 0; place < interfaces.size(); ++place) {
        const SimulatedInterface& device = interfaces[place];
        if (DevicePath(place) != devicePath || (device.converter && !device.converter->Connected())) {
            continue;
        }
        if (device.converter && !device.converter->CanBeOpened()) {
            error = 32;  // in use by the system still (ERROR_SHARING_VIOLATION)
            return nullptr;
        }
        if (device.fault == SearchFault::Open) {
            error = device.error;
            return nullptr;
        }
        ++devicesOpened_;
        return std::make_unique<SimulatedHandle>(device, devicePath, handles_);
    }
    error = 2;  // the file was not found
    return nullptr;
}

int SimulatedHidBus::HandlesAstray() const
{
    return static_cast<int>(std::count_if(handles_->begin(), handles_->end(), [](const HidDevice* handle) {
        return static_cast<const SimulatedHandle*>(handle)->Astray();
    }));
}

bool SimulatedHidBus::InterfacePresent(const std::string& devicePath)
{
    for (std::uint32_t index = 0; const std::optional<std::uint32_t> place = PlaceOf(index); ++index) {
        if (DevicePath(*place) == devicePath) {
            return true;
        }
    }
    return false;
}

std::optional<std::uint32_t> SimulatedHidBus::PlaceOfConverter(const SimulatedConverter& converter) const
{
    for (std::uint32_t place = 0; place < interfaces.size(); ++place) {
        if (interfaces[place].converter.get() == &converter) {
            return place;
        }
    }
    return std::nullopt;
}

void SimulatedHidBus::PlugIn(SimulatedConverter& converter, Duration opensAfter)
{
    const std::optional<std::uint32_t> place = PlaceOfConverter(converter);
    if (!place || converter.Connected()) {
        return;
    }
    converter.PlugIn(opensAfter);
    if (onDeviceChange) {
        onDeviceChange(true, DevicePath(*place));
    }
}

void SimulatedHidBus::Unplug(SimulatedConverter& converter)
{
    const std::optional<std::uint32_t> place = PlaceOfConverter(converter);
    if (!place || !converter.Connected()) {
        return;
    }
    converter.Unplug();
    if (onDeviceChange) {
        onDeviceChange(false, DevicePath(*place));
    }
}

void PopulateTypicalBus(SimulatedHidBus& bus, std::shared_ptr<SimulatedConverter> converter)
{
    bus.interfaces.clear();
    bus.interfaces.push_back({OTHER_DEVICE_ATTRIBUTES, nullptr, SearchFault::None, 0, {9, 9}});
    bus.interfaces.push_back({{CONVERTER_VENDOR_ID, CONVERTER_PRODUCT_ID}, std::move(converter), SearchFault::None, 0,
                              {}});
}
