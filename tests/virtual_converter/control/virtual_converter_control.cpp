#include "virtual_converter_control.h"

#include <setupapi.h>

#include <algorithm>
#include <cstdlib>

extern "C" {
#include <hidsdi.h>
}

namespace {

using Report = std::array<std::uint8_t, VC_REPORT_LENGTH>;
// Feature buffers carry the report ID 0 in front of the report.
using FeatureBuffer = std::array<std::uint8_t, VC_REPORT_LENGTH + 1>;

std::uint16_t Get16(const Report& report, std::size_t at)
{
    return static_cast<std::uint16_t>(report[at] | (report[at + 1] << 8));
}

std::uint32_t Get32(const Report& report, std::size_t at)
{
    return static_cast<std::uint32_t>(Get16(report, at)) | (static_cast<std::uint32_t>(Get16(report, at + 2)) << 16);
}

void Put16(Report& report, std::size_t at, std::uint16_t value)
{
    report[at] = static_cast<std::uint8_t>(value & 0xFF);
    report[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

Levels LevelsAt(const Report& report, std::size_t at)
{
    Levels levels{};
    for (std::size_t channel = 0; channel < levels.size(); ++channel) {
        levels[channel] = report[at + channel];
    }
    return levels;
}

bool IsVirtualConverter(const std::string& path)
{
    // No access rights asked for: the attributes can be read from a device that is in use.
    HANDLE device = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        return false;
    }
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof(attributes);
    const bool match = HidD_GetAttributes(device, &attributes) && attributes.VendorID == VC_VENDOR_ID &&
                       attributes.ProductID == VC_PRODUCT_ID;
    CloseHandle(device);
    return match;
}

}  // namespace

std::optional<std::string> FindVirtualConverterPath()
{
    GUID hidGuid{};
    HidD_GetHidGuid(&hidGuid);
    HDEVINFO interfaces = SetupDiGetClassDevsA(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (interfaces == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::optional<std::string> found;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof(data);
    for (DWORD index = 0; !found && SetupDiEnumDeviceInterfaces(interfaces, nullptr, &hidGuid, index, &data); ++index) {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailA(interfaces, &data, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
            continue;
        }
        auto* detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(std::calloc(1, size));
        if (detail == nullptr) {
            break;
        }
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (SetupDiGetDeviceInterfaceDetailA(interfaces, &data, detail, size, nullptr, nullptr) &&
            IsVirtualConverter(detail->DevicePath)) {
            found = detail->DevicePath;
        }
        std::free(detail);
    }
    SetupDiDestroyDeviceInfoList(interfaces);
    return found;
}

VirtualConverterControl::~VirtualConverterControl()
{
    Close();
}

bool VirtualConverterControl::Open()
{
    Close();
    const auto path = FindVirtualConverterPath();
    if (!path) {
        return false;
    }
    device_ = CreateFileA(path->c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr);
    return device_ != INVALID_HANDLE_VALUE;
}

void VirtualConverterControl::Close()
{
    if (device_ != INVALID_HANDLE_VALUE) {
        CloseHandle(device_);
        device_ = INVALID_HANDLE_VALUE;
    }
}

bool VirtualConverterControl::Send(const Report& request)
{
    FeatureBuffer buffer{};
    std::copy(request.begin(), request.end(), buffer.begin() + 1);
    return device_ != INVALID_HANDLE_VALUE && HidD_SetFeature(device_, buffer.data(), buffer.size());
}

bool VirtualConverterControl::Get(Report& report)
{
    FeatureBuffer buffer{};
    if (device_ == INVALID_HANDLE_VALUE || !HidD_GetFeature(device_, buffer.data(), buffer.size())) {
        return false;
    }
    std::copy(buffer.begin() + 1, buffer.end(), report.begin());
    return true;
}

bool VirtualConverterControl::Select(int preset, int logBack)
{
    Report request{};
    request[0] = VC_REQUEST_SELECT;
    request[VC_SELECT_PRESET] = static_cast<std::uint8_t>(preset);
    request[VC_SELECT_LOG_BACK] = static_cast<std::uint8_t>(logBack);
    return Send(request);
}

bool VirtualConverterControl::Reset()
{
    Report request{};
    request[0] = VC_REQUEST_RESET;
    return Send(request);
}

bool VirtualConverterControl::SetFault(const ReplyFault& fault)
{
    Report request{};
    request[0] = VC_REQUEST_SET_FAULT;
    request[VC_SET_SHAPE] = static_cast<std::uint8_t>(fault.shape);
    Put16(request, VC_SET_DELAY_MS, fault.delayMs);
    Put16(request, VC_SET_GAP_MS, fault.gapMs);
    request[VC_SET_PARTS] = fault.parts;
    return Send(request);
}

std::optional<ConverterSnapshot> VirtualConverterControl::Read(int preset)
{
    Report report{};
    if (!Select(preset, 0) || !Get(report)) {
        return std::nullopt;
    }
    ConverterSnapshot snapshot;
    snapshot.fault.shape = static_cast<ReplyShape>(report[VC_GET_SHAPE]);
    snapshot.fault.parts = report[VC_GET_PARTS];
    snapshot.fault.delayMs = Get16(report, VC_GET_DELAY_MS);
    snapshot.fault.gapMs = Get16(report, VC_GET_GAP_MS);
    snapshot.commandsReceived = Get32(report, VC_GET_COMMANDS_RECEIVED);
    snapshot.framingErrors = Get16(report, VC_GET_FRAMING_ERRORS);
    snapshot.rejectedCommands = Get16(report, VC_GET_REJECTED_COMMANDS);
    snapshot.levels = LevelsAt(report, VC_GET_LEVELS);
    snapshot.preset = report[VC_GET_PRESET_NUMBER];
    snapshot.presetStored = report[VC_GET_PRESET_STORED] != 0;
    snapshot.presetLevels = LevelsAt(report, VC_GET_PRESET_LEVELS);
    snapshot.reportsDelivered = Get32(report, VC_GET_REPORTS_DELIVERED);
    snapshot.reportsWaiting = Get16(report, VC_GET_REPORTS_WAITING);
    return snapshot;
}

std::optional<std::vector<std::string>> VirtualConverterControl::RecentCommands(int count)
{
    std::vector<std::string> commands;
    for (int back = count - 1; back >= 0; --back) {
        Report report{};
        if (!Select(0, back) || !Get(report)) {
            return std::nullopt;
        }
        const std::size_t length = std::min<std::size_t>(report[VC_GET_LOG_LENGTH], VC_LOG_TEXT_LENGTH);
        if (length == 0) {
            continue;
        }
        commands.emplace_back(reinterpret_cast<const char*>(report.data() + VC_GET_LOG_TEXT), length);
    }
    return commands;
}
