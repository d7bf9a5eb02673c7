#include "win32/win32_hid_bus.h"

#include <windows.h>

#include <setupapi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// MinGW's HID header declares its functions without C linkage of their own.
extern "C" {
#include <hidsdi.h>
}

namespace {

// An owned Win32 handle that closes itself.
class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    ~OwnedHandle() { Reset(); }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(other.Release()) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept
    {
        if (this != &other) {
            Reset();
            handle_ = other.Release();
        }
        return *this;
    }

    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Release()
    {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    void Reset()
    {
        if (Valid()) {
            CloseHandle(handle_);
        }
        handle_ = nullptr;
    }

private:
    HANDLE handle_ = nullptr;
};

DWORD MillisecondsUntil(Clock& clock, TimePoint deadline)
{
    const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock.Now()).count();
    return static_cast<DWORD>(std::clamp<long long>(remaining, 0, 0x7FFFFFFF));
}

// One open HID device. Input is read through one standing overlapped read into the device's own
// buffer: a read that outlives its deadline is left standing rather than cancelled (cancelling is
// slow on some platforms, Wine's among them), and the report it brings later is stale and is
// dropped with the rest of the queued input before the next command.
class Win32HidDevice final : public HidDevice {
public:
    Win32HidDevice(std::string path, OwnedHandle device, OwnedHandle writeDone, OwnedHandle readDone, Clock& clock)
        : path_(std::move(path)), device_(std::move(device)), writeDone_(std::move(writeDone)),
          readDone_(std::move(readDone)), clock_(clock)
    {
    }

    ~Win32HidDevice() override
    {
        // The standing read writes into readBuffer_: it must be over before the buffer goes.
        if (readPending_) {
            CancelIoEx(device_.Get(), &readOverlapped_);
            DWORD ignored = 0;
            GetOverlappedResult(device_.Get(), &readOverlapped_, &ignored, TRUE);
        }
    }
    Win32HidDevice(const Win32HidDevice&) = delete;
    Win32HidDevice& operator=(const Win32HidDevice&) = delete;

    // The HID class driver answers the attributes query itself; a handle whose device has been
    // removed gets an error, whether the device has come back under the same path or not.
    bool GetAttributes(HidAttributes& attributes) override
    {
        HIDD_ATTRIBUTES read{};
        read.Size = sizeof(read);
        if (!HidD_GetAttributes(device_.Get(), &read)) {
            return false;
        }
        attributes.vendorId = read.VendorID;
        attributes.productId = read.ProductID;
        return true;
    }

    bool GetReportLengths(HidReportLengths& lengths) override
    {
        PHIDP_PREPARSED_DATA preparsed = nullptr;
        if (!HidD_GetPreparsedData(device_.Get(), &preparsed)) {
            return false;
        }
        HIDP_CAPS caps{};
        const NTSTATUS status = HidP_GetCaps(preparsed, &caps);
        HidD_FreePreparsedData(preparsed);
        if (status != HIDP_STATUS_SUCCESS) {
            return false;
        }
        lengths.inputReportByteLength = caps.InputReportByteLength;
        lengths.outputReportByteLength = caps.OutputReportByteLength;
        if (!readPending_) {
            readBuffer_.resize(caps.InputReportByteLength);
        }
        return true;
    }

    IoResult WriteReport(const std::uint8_t* report, std::size_t length, TimePoint deadline) override
    {
        OVERLAPPED overlapped{};
        overlapped.hEvent = writeDone_.Get();
        ResetEvent(overlapped.hEvent);
        if (!WriteFile(device_.Get(), report, static_cast<DWORD>(length), nullptr, &overlapped) &&
            GetLastError() != ERROR_IO_PENDING) {
            return Fail("WriteFile", GetLastError());
        }
        DWORD written = 0;
        if (WaitForSingleObject(overlapped.hEvent, MillisecondsUntil(clock_, deadline)) != WAIT_OBJECT_0) {
            // The write reads the caller's buffer: it is cancelled, and its end collected, before
            // the buffer is given back. Only this operation: the standing read goes on.
            CancelIoEx(device_.Get(), &overlapped);
            if (!GetOverlappedResult(device_.Get(), &overlapped, &written, TRUE)) {
                return IoResult::TimedOut;
            }
        } else if (!GetOverlappedResult(device_.Get(), &overlapped, &written, FALSE)) {
            return Fail("WriteFile", GetLastError());
        }
        // A HID write counts the report ID byte too: a short count is a failure.
        return written == length ? IoResult::Completed : Fail("WriteFile", ERROR_WRITE_FAULT);
    }

    IoResult ReadReport(std::uint8_t* buffer, std::size_t length, TimePoint deadline, std::size_t& bytesRead) override
    {
        bytesRead = 0;
        DWORD read = 0;
        switch (CollectRead(MillisecondsUntil(clock_, deadline), read)) {
        case Read::Pending:
            return IoResult::TimedOut;
        case Read::Failed:
            return IoResult::Failed;
        case Read::Done:
            break;
        }
        bytesRead = std::min<std::size_t>(read, length);
        std::copy_n(readBuffer_.begin(), bytesRead, buffer);
        return IoResult::Completed;
    }

    HidError LastError() const override { return lastError_; }
    const std::string& Path() const override { return path_; }

    void FlushInput() override
    {
        // Some HID class drivers (Wine's among them) refuse to flush, and are not asked again;
        // what is queued is then read off. Either way a report the standing read holds is dropped.
        if (flushWorks_ && !HidD_FlushQueue(device_.Get())) {
            flushWorks_ = false;
        }
        DWORD ignored = 0;
        for (int report = 0; report < MAX_DRAINED_REPORTS && CollectRead(0, ignored) == Read::Done; ++report) {
        }
    }

private:
    enum class Read { Done, Pending, Failed };

    // Starts the standing read unless it is under way, waits for it up to `milliseconds`, and
    // collects it when it has ended.
    Read CollectRead(DWORD milliseconds, DWORD& transferred)
    {
        if (!readPending_) {
            if (readBuffer_.empty()) {
                lastError_ = {"ReadFile", ERROR_INVALID_USER_BUFFER};  // the capabilities were never read
                return Read::Failed;
            }
            readOverlapped_ = OVERLAPPED{};
            readOverlapped_.hEvent = readDone_.Get();
            ResetEvent(readOverlapped_.hEvent);
            if (!ReadFile(device_.Get(), readBuffer_.data(), static_cast<DWORD>(readBuffer_.size()), nullptr,
                          &readOverlapped_) &&
                GetLastError() != ERROR_IO_PENDING) {
                lastError_ = {"ReadFile", GetLastError()};
                return Read::Failed;
            }
            readPending_ = true;
        }
        if (WaitForSingleObject(readOverlapped_.hEvent, milliseconds) != WAIT_OBJECT_0) {
            return Read::Pending;
        }
        readPending_ = false;
        if (!GetOverlappedResult(device_.Get(), &readOverlapped_, &transferred, FALSE)) {
            lastError_ = {"ReadFile", GetLastError()};
            return Read::Failed;
        }
        return Read::Done;
    }

    IoResult Fail(const char* call, DWORD code)
    {
        lastError_ = {call, code};
        return IoResult::Failed;
    }

    // More than a HID class driver queues for one handle.
    static constexpr int MAX_DRAINED_REPORTS = 512;

    std::string path_;
    OwnedHandle device_;
    OwnedHandle writeDone_;
    OwnedHandle readDone_;
    Clock& clock_;
    std::vector<std::uint8_t> readBuffer_;  // sized from the capabilities
    OVERLAPPED readOverlapped_{};
    bool readPending_ = false;
    bool flushWorks_ = true;
    HidError lastError_;
};

// The steps of a walk over a list of HID interfaces, shared by the search and the presence check.

StepResult InterfaceAt(HDEVINFO list, const GUID& hidGuid, DWORD index, SP_DEVICE_INTERFACE_DATA& member)
{
    member = SP_DEVICE_INTERFACE_DATA{};
    member.cbSize = sizeof(member);
    if (SetupDiEnumDeviceInterfaces(list, nullptr, &hidGuid, index, &member)) {
        return {true, 0};
    }
    return {false, GetLastError()};
}

// The platform answers the size query by failing with ERROR_INSUFFICIENT_BUFFER and the size.
StepResult DetailSizeOf(HDEVINFO list, SP_DEVICE_INTERFACE_DATA& member, std::uint32_t& requiredSize)
{
    DWORD size = 0;
    if (SetupDiGetDeviceInterfaceDetailA(list, &member, nullptr, 0, &size, nullptr)) {
        return {true, 0};
    }
    const DWORD error = GetLastError();
    requiredSize = size;
    return {false, error};
}

DetailOutcome DevicePathOf(HDEVINFO list, SP_DEVICE_INTERFACE_DATA& member, std::uint32_t requiredSize,
                           std::string& devicePath, std::uint32_t& error)
{
    using Detail = SP_DEVICE_INTERFACE_DETAIL_DATA_A;
    const std::size_t size = std::max<std::size_t>(requiredSize, sizeof(Detail));
    auto* detail = static_cast<Detail*>(std::calloc(1, size));
    if (detail == nullptr) {
        return DetailOutcome::OutOfMemory;
    }
    // The size field holds the size of the record's fixed part, not of the allocation.
    detail->cbSize = sizeof(Detail);
    DetailOutcome outcome = DetailOutcome::Filled;
    if (SetupDiGetDeviceInterfaceDetailA(list, &member, detail, static_cast<DWORD>(size), nullptr, nullptr)) {
        devicePath = detail->DevicePath;
    } else {
        error = GetLastError();
        outcome = DetailOutcome::Failed;
    }
    std::free(detail);
    return outcome;
}

HDEVINFO PresentHidInterfaces(GUID& hidGuid)
{
    HidD_GetHidGuid(&hidGuid);
    return SetupDiGetClassDevsA(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
}

class Win32HidBus final : public HidBus {
public:
    explicit Win32HidBus(Clock& clock) : clock_(clock) {}
    ~Win32HidBus() override { CloseInterfaceList(); }
    Win32HidBus(const Win32HidBus&) = delete;
    Win32HidBus& operator=(const Win32HidBus&) = delete;

    bool OpenInterfaceList() override
    {
        interfaces_ = PresentHidInterfaces(hidGuid_);
        return interfaces_ != INVALID_HANDLE_VALUE;
    }

    void CloseInterfaceList() override
    {
        if (interfaces_ != INVALID_HANDLE_VALUE) {
            SetupDiDestroyDeviceInfoList(interfaces_);
            interfaces_ = INVALID_HANDLE_VALUE;
        }
    }

    StepResult EnumerateInterface(std::uint32_t index) override
    {
        SP_DEVICE_INTERFACE_DATA member;
        return InterfaceAt(interfaces_, hidGuid_, index, member);
    }

    StepResult QueryDetailSize(std::uint32_t index, std::uint32_t& requiredSize) override
    {
        SP_DEVICE_INTERFACE_DATA member;
        const StepResult found = InterfaceAt(interfaces_, hidGuid_, index, member);
        return found.ok ? DetailSizeOf(interfaces_, member, requiredSize) : found;
    }

    DetailOutcome QueryDetail(std::uint32_t index, std::uint32_t requiredSize, std::string& devicePath,
                              std::uint32_t& error) override
    {
        SP_DEVICE_INTERFACE_DATA member;
        const StepResult found = InterfaceAt(interfaces_, hidGuid_, index, member);
        if (!found.ok) {
            error = found.error;
            return DetailOutcome::Failed;
        }
        return DevicePathOf(interfaces_, member, requiredSize, devicePath, error);
    }

    std::unique_ptr<HidDevice> OpenDevice(const std::string& devicePath, std::uint32_t& error) override
    {
        // Opened for overlapped I/O, so that every write and read can be given a deadline.
        OwnedHandle device(CreateFileA(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_OVERLAPPED, nullptr));
        if (!device.Valid()) {
            error = GetLastError();
            return nullptr;
        }
        OwnedHandle writeDone(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        OwnedHandle readDone(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        if (!writeDone.Valid() || !readDone.Valid()) {
            error = GetLastError();
            return nullptr;
        }
        return std::make_unique<Win32HidDevice>(devicePath, std::move(device), std::move(writeDone), std::move(readDone),
                                                clock_);
    }

    bool InterfacePresent(const std::string& devicePath) override
    {
        GUID hidGuid{};
        HDEVINFO present = PresentHidInterfaces(hidGuid);
        if (present == INVALID_HANDLE_VALUE) {
            return true;  // nothing to tell by: the device counts as there until an exchange fails
        }
        bool found = false;
        SP_DEVICE_INTERFACE_DATA member;
        for (DWORD index = 0; !found && InterfaceAt(present, hidGuid, index, member).ok; ++index) {
            std::uint32_t size = 0;
            DetailSizeOf(present, member, size);
            std::string path;
            std::uint32_t error = 0;
            // Paths differ in letter case between the platform's answers.
            found = DevicePathOf(present, member, size, path, error) == DetailOutcome::Filled &&
                    _stricmp(path.c_str(), devicePath.c_str()) == 0;
        }
        SetupDiDestroyDeviceInfoList(present);
        return found;
    }

private:
    Clock& clock_;
    GUID hidGuid_{};
    HDEVINFO interfaces_ = INVALID_HANDLE_VALUE;
};

}  // namespace

std::unique_ptr<HidBus> MakeWin32HidBus(Clock& clock)
{
    return std::make_unique<Win32HidBus>(clock);
}
