#pragma once

// The device-access seam: everything the converter link needs from the platform's HID stack.
// The Win32 adapter implements it over SetupAPI, HID.DLL and overlapped file I/O; the simulated
// converter implements it in plain C++.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "converter/clock.h"

// Platform error codes the search tells apart.
constexpr std::uint32_t ERROR_CODE_INSUFFICIENT_BUFFER = 122;
constexpr std::uint32_t ERROR_CODE_NO_MORE_ITEMS = 259;

struct HidAttributes {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

// Report lengths as the device's capabilities give them; both include the report-ID byte.
struct HidReportLengths {
    std::uint16_t inputReportByteLength = 0;
    std::uint16_t outputReportByteLength = 0;
};

enum class IoResult {
    Completed,  // the report went out, or one arrived
    TimedOut,   // the deadline passed; the caller's buffer is free again (see WriteReport, ReadReport)
    Failed,     // the platform reported an error; LastError says which call and why
};

// The platform call that failed last on a device, and the platform's error code.
struct HidError {
    const char* call = "";
    std::uint32_t code = 0;
};

// One open HID device. Destroying it closes the device.
class HidDevice {
public:
    virtual ~HidDevice() = default;

    // False when the platform could not read the attributes; then they are not to be used. The
    // platform answers without sending the device anything, and fails for a handle whose device
    // has gone, also once it is plugged in again under the same path.
    virtual bool GetAttributes(HidAttributes& attributes) = 0;
    virtual bool GetReportLengths(HidReportLengths& lengths) = 0;

    // Writes one output report of exactly `length` bytes. A write that cannot complete by
    // `deadline` is cancelled, and its completion collected, before TimedOut is returned: the
    // caller's buffer is never used after the call, whatever the result.
    virtual IoResult WriteReport(const std::uint8_t* report, std::size_t length, TimePoint deadline) = 0;

    // Reads one input report into `buffer` (at most `length` bytes); `bytesRead` is what arrived,
    // possibly 0. A report that is already queued is delivered even when the deadline has passed.
    // The caller's buffer is never used after the call: a read that outlives its deadline goes on
    // into a buffer of the device's own, and the report it brings later is kept for the next
    // read or dropped by FlushInput.
    virtual IoResult ReadReport(std::uint8_t* buffer, std::size_t length, TimePoint deadline,
                                std::size_t& bytesRead) = 0;

    // Drops every input report queued for this handle.
    virtual void FlushInput() = 0;

    // The last failure of this device (an empty call name when none has failed yet).
    virtual HidError LastError() const = 0;

    // The path the device was opened by.
    virtual const std::string& Path() const = 0;
};

// The outcome of one search step: success, or failure with the platform's last-error code.
struct StepResult {
    bool ok = false;
    std::uint32_t error = 0;
};

enum class DetailOutcome {
    Filled,       // the device path was read
    Failed,       // the detail query failed; the error code says why
    OutOfMemory,  // the detail record could not be allocated
};

// The present HID device interfaces, walked by member index: each step names the interface it is
// about, and the steps of one index may be taken in any order.
class HidBus {
public:
    virtual ~HidBus() = default;

    // Takes the list of present HID interfaces; false when the list cannot be made.
    virtual bool OpenInterfaceList() = 0;
    virtual void CloseInterfaceList() = 0;

    // Fails with ERROR_CODE_NO_MORE_ITEMS past the last interface.
    virtual StepResult EnumerateInterface(std::uint32_t index) = 0;

    // Asks for the size of the interface's detail record. The platform answers this query by
    // failing with ERROR_CODE_INSUFFICIENT_BUFFER and the size; a success is unexpected.
    virtual StepResult QueryDetailSize(std::uint32_t index, std::uint32_t& requiredSize) = 0;

    // Allocates a detail record of requiredSize bytes, reads the device path into it and frees it.
    virtual DetailOutcome QueryDetail(std::uint32_t index, std::uint32_t requiredSize,
                                      std::string& devicePath, std::uint32_t& error) = 0;

    // Opens the device for reading and writing; null with `error` set on failure.
    virtual std::unique_ptr<HidDevice> OpenDevice(const std::string& devicePath, std::uint32_t& error) = 0;

    // Whether a HID interface with this path is present now. A list of its own: the search's
    // list is left as it is.
    virtual bool InterfacePresent(const std::string& devicePath) = 0;
};
