// The converter search over any bus: interfaces whose search steps fail with any error code
// ("no more items" among them), other devices, devices with one of the converter's IDs, and
// converters. The expected outcome is worked out interface by interface from the bus description:
// the search keeps the first interface, before a step fails with "no more items", that opens,
// shows its attributes and has both IDs; it leaves at most that device open, always closes the
// interface list, and writes one log line per failed step, two per opened device and one at the end.
//
// Input: a flags byte (bit 0: the list cannot be made; bit 1: TEMP is unset), the number of
// interfaces (byte % 13), then per interface: its fault (byte % 9, in SearchFault's order), its
// error code (byte % 6: 259, 122, 0, 2, 31, or 4 more bytes), and its IDs (byte % 5: the
// converter's, its vendor ID with a 2-byte product ID, a 2-byte vendor ID with its product ID,
// another device's, or 4 bytes; bit 7: the interface is a simulated converter).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "converter/converter_link.h"
#include "converter/converter_search.h"
#include "converter/discovery_log.h"
#include "fuzz_support.h"
#include "simulator/manual_clock.h"
#include "simulator/simulated_hid_bus.h"

namespace {

constexpr std::size_t MAX_INTERFACES = 12;
constexpr int SEARCH_FAULTS = static_cast<int>(SearchFault::Capabilities) + 1;

// A folder of this run's own for the discovery log, removed at exit.
std::filesystem::path logFolder;

std::string LogPath()
{
    // Natively the log's name, backslash and all, is one file inside TEMP's folder.
    return (logFolder / "").string() + DISCOVERY_LOG_FILE_NAME;
}

void RemoveLogFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(logFolder, ignored);
}

std::uint32_t DecodeError(FuzzInput& input)
{
    switch (input.Byte() % 6) {
    case 0:
        return ERROR_CODE_NO_MORE_ITEMS;
    case 1:
        return ERROR_CODE_INSUFFICIENT_BUFFER;
    case 2:
        return 0;
    case 3:
        return 2;  // file not found
    case 4:
        return 31;  // a device that does not work
    default:
        return input.Long();
    }
}

HidAttributes DecodeIds(std::uint8_t choice, FuzzInput& input)
{
    switch (choice % 5) {
    case 0:
        return {CONVERTER_VENDOR_ID, CONVERTER_PRODUCT_ID};
    case 1:
        return {CONVERTER_VENDOR_ID, input.Word()};
    case 2:
        return {input.Word(), CONVERTER_PRODUCT_ID};
    case 3:
        return OTHER_DEVICE_ATTRIBUTES;
    default: {
        const std::uint16_t vendor = input.Word();
        return {vendor, input.Word()};
    }
    }
}

// Each interface reports lengths of its own, so the device left open tells which one it is.
HidReportLengths LengthsOf(std::size_t index)
{
    return {static_cast<std::uint16_t>(100 + index), static_cast<std::uint16_t>(200 + index)};
}

struct Expected {
    std::optional<std::size_t> match;
    int logLines = 0;
    int devicesOpened = 0;
    std::string lastLine;
};

enum class Step { NextIndex, EndOfList, Match };

// What the search makes of one interface, and the log lines it writes for it.
Step PredictIndex(const SimulatedInterface& device, Expected& expected)
{
    switch (device.fault) {
    case SearchFault::Enumerate:
    case SearchFault::DetailSize:  // with 122 the size is missing, and the detail query fails instead
    case SearchFault::Detail:
    case SearchFault::Open:
        ++expected.logLines;
        return device.error == ERROR_CODE_NO_MORE_ITEMS ? Step::EndOfList : Step::NextIndex;
    case SearchFault::DetailSizeSucceeds:
        ++expected.logLines;
        return Step::NextIndex;
    case SearchFault::DetailAllocation:
        return Step::NextIndex;  // skipped without a word
    case SearchFault::Attributes:
    case SearchFault::None:
    case SearchFault::Capabilities:
        break;
    }
    ++expected.devicesOpened;
    expected.logLines += 2;  // opened, then matched or not
    const bool ids = device.attributes.vendorId == CONVERTER_VENDOR_ID &&
                     device.attributes.productId == CONVERTER_PRODUCT_ID;
    return device.fault != SearchFault::Attributes && ids ? Step::Match : Step::NextIndex;
}

Expected Predict(const SimulatedHidBus& bus)
{
    Expected expected;
    if (!bus.listFails) {
        for (std::size_t index = 0;; ++index) {
            if (index >= bus.interfaces.size()) {
                ++expected.logLines;  // no more devices in the list
                break;
            }
            const Step step = PredictIndex(bus.interfaces[index], expected);
            if (step == Step::Match) {
                expected.match = index;
                expected.lastLine = "Index=" + std::to_string(index) + ", Valid Device found";
                return expected;
            }
            if (step == Step::EndOfList) {
                break;
            }
        }
    }
    ++expected.logLines;
    expected.lastLine = "Valid Device was not found";
    return expected;
}

std::string ReadLog()
{
    std::ifstream in(LogPath(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void CheckLog(const std::string& log, const Expected& expected)
{
    Require(std::count(log.begin(), log.end(), '\n') == expected.logLines,
            "one log line per failed step, two per opened device and one at the end");
    Require(!log.empty() && log.back() == '\n', "the log ends with a whole line");
    const std::string lines = log.substr(0, log.size() - 1);
    const std::size_t lastBreak = lines.rfind('\n');
    const std::string lastLine = lastBreak == std::string::npos ? lines : lines.substr(lastBreak + 1);
    Require(lastLine == expected.lastLine, "the log's last line says how the search ended");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    UnsetEveryTemp();
    std::string pattern = (std::filesystem::temp_directory_path() / "veltrano-search-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    logFolder = pattern;
    std::atexit(RemoveLogFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    ManualClock clock;
    SimulatedHidBus bus;

    const std::uint8_t flags = input.Byte();
    bus.listFails = (flags & 1) != 0;
    const bool logged = (flags & 2) == 0;
    const std::size_t count = input.Byte() % (MAX_INTERFACES + 1);
    for (std::size_t index = 0; index < count && !input.AtEnd(); ++index) {
        SimulatedInterface device;
        device.fault = static_cast<SearchFault>(input.Byte() % SEARCH_FAULTS);
        device.error = DecodeError(input);
        const std::uint8_t ids = input.Byte();
        device.attributes = DecodeIds(ids, input);
        device.lengths = LengthsOf(index);
        if ((ids & 0x80) != 0) {
            device.converter = std::make_shared<SimulatedConverter>(clock, LengthsOf(index).inputReportByteLength,
                                                                    LengthsOf(index).outputReportByteLength);
        }
        bus.interfaces.push_back(device);
    }

    if (logged) {
        setenv("TEMP", (logFolder / "").c_str(), 1);
    } else {
        unsetenv("TEMP");
    }
    std::filesystem::remove(LogPath());

    const Expected expected = Predict(bus);
    std::unique_ptr<HidDevice> slot;
    DiscoveryLog log(DiscoveryLogPath(FindEnvironmentValue("TEMP")));
    const bool found = FindConverter(bus, log, slot, CONVERTER_VENDOR_ID, CONVERTER_PRODUCT_ID);

    Require(found == expected.match.has_value(), "the search finds the first interface that opens with both IDs");
    Require((slot != nullptr) == found, "the slot holds a device exactly when the search found one");
    Require(bus.ListsOpen() == 0, "the interface list is closed");
    Require(bus.HandlesOpen() == (found ? 1 : 0), "only the converter found stays open");
    Require(bus.DevicesOpened() == expected.devicesOpened, "the search opens each device it reaches once");
    Require(!log.FileOpen(), "the search closes the log");
    if (found) {
        HidAttributes attributes;
        Require(slot->GetAttributes(attributes), "the device found shows its attributes");
        Require(attributes.vendorId == CONVERTER_VENDOR_ID && attributes.productId == CONVERTER_PRODUCT_ID,
                "the device found has the converter's IDs");
        const SimulatedInterface& match = bus.interfaces[*expected.match];
        if (match.fault != SearchFault::Capabilities) {
            HidReportLengths lengths;
            Require(slot->GetReportLengths(lengths), "the device found shows its capabilities");
            Require(lengths.inputReportByteLength == LengthsOf(*expected.match).inputReportByteLength,
                    "the device left open is the first match, not a later one");
        }
        slot.reset();
        Require(bus.HandlesOpen() == 0, "closing the device found leaves nothing open");
    }

    if (logged) {
        CheckLog(ReadLog(), expected);
    } else {
        Require(!std::filesystem::exists(LogPath()), "without TEMP no log is written");
    }
    return 0;
}
