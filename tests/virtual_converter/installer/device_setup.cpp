#include "device_setup.h"

#include <windows.h>

#include <setupapi.h>

#include <array>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "control/virtual_converter_control.h"

namespace {

// The HIDClass device setup class.
constexpr GUID HID_CLASS_GUID = {0x745a17a0, 0x74d3, 0x11d0, {0xb6, 0xfe, 0x00, 0xa0, 0xc9, 0x0f, 0x57, 0xda}};
// Wine's own service control: winedevice.exe starts the root devices of a running driver that
// were added after it started.
constexpr DWORD SERVICE_CONTROL_REENUMERATE_ROOT_DEVICES = 128;
constexpr auto POLL_INTERVAL = std::chrono::milliseconds(10);
// Device instance IDs are at most 200 characters (cfgmgr32.h's MAX_DEVICE_ID_LEN).
constexpr std::size_t DEVICE_ID_CAPACITY = 201;

using SteadyClock = std::chrono::steady_clock;

class ServiceHandle {
public:
    explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
    ~ServiceHandle()
    {
        if (handle_ != nullptr) {
            CloseServiceHandle(handle_);
        }
    }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    SC_HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    SC_HANDLE handle_;
};

class DeviceInfoList {
public:
    explicit DeviceInfoList(HDEVINFO list) : list_(list) {}
    ~DeviceInfoList()
    {
        if (list_ != INVALID_HANDLE_VALUE) {
            SetupDiDestroyDeviceInfoList(list_);
        }
    }
    DeviceInfoList(const DeviceInfoList&) = delete;
    DeviceInfoList& operator=(const DeviceInfoList&) = delete;
    HDEVINFO Get() const { return list_; }
    bool Valid() const { return list_ != INVALID_HANDLE_VALUE; }

private:
    HDEVINFO list_;
};

bool Fail(std::string& error, const char* step)
{
    error = std::string(step) + " failed, error " + std::to_string(GetLastError());
    return false;
}

std::wstring Upper(std::wstring text)
{
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(std::towupper(c));
    }
    return text;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::wstring InstalledDriverPath()
{
    std::array<wchar_t, MAX_PATH> system{};
    GetSystemDirectoryW(system.data(), static_cast<UINT>(system.size()));
    return std::wstring(system.data()) + L"\\drivers\\" + VC_DRIVER_FILE_NAME;
}

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout)
{
    const auto end = SteadyClock::now() + timeout;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (SteadyClock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(POLL_INTERVAL);
    }
}

bool SameContents(const std::wstring& a, const std::wstring& b)
{
    std::ifstream first(std::filesystem::path(a), std::ios::binary);
    std::ifstream second(std::filesystem::path(b), std::ios::binary);
    if (!first || !second) {
        return false;
    }
    const std::vector<char> one{std::istreambuf_iterator<char>(first), std::istreambuf_iterator<char>()};
    const std::vector<char> two{std::istreambuf_iterator<char>(second), std::istreambuf_iterator<char>()};
    return one == two;
}

bool CopyDriver(const std::wstring& driverFile, std::string& error)
{
    const std::wstring installed = InstalledDriverPath();
    // A driver that is still mapped cannot be overwritten; the same file may stay where it is.
    if (!CopyFileW(driverFile.c_str(), installed.c_str(), FALSE) && !SameContents(driverFile, installed)) {
        return Fail(error, "copying the driver into the system's driver folder");
    }
    return true;
}

// Every device entry the predicate picks, by instance ID.
template <typename Pick>
std::vector<std::wstring> DeviceEntries(Pick pick)
{
    std::vector<std::wstring> found;
    DeviceInfoList all(SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES));
    if (!all.Valid()) {
        return found;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(all.Get(), index, &device); ++index) {
        std::array<wchar_t, DEVICE_ID_CAPACITY> id{};
        if (SetupDiGetDeviceInstanceIdW(all.Get(), &device, id.data(), static_cast<DWORD>(id.size()), nullptr) &&
            pick(all.Get(), device, Upper(id.data()))) {
            found.emplace_back(id.data());
        }
    }
    return found;
}

// The root devices the driver's service drives, whatever an earlier install named them.
std::vector<std::wstring> RootEntries()
{
    const std::wstring service = Upper(VC_SERVICE_NAME);
    return DeviceEntries([&](HDEVINFO list, SP_DEVINFO_DATA& device, const std::wstring& id) {
        std::array<wchar_t, 64> named{};
        return StartsWith(id, L"ROOT\\") &&
               SetupDiGetDeviceRegistryPropertyW(list, &device, SPDRP_SERVICE, nullptr,
                                                 reinterpret_cast<BYTE*>(named.data()),
                                                 static_cast<DWORD>(named.size() * sizeof(wchar_t)), nullptr) &&
               Upper(named.data()) == service;
    });
}

// The HID devices hidclass.sys made for them: Wine gives them the last part of the root ID.
std::vector<std::wstring> HidEntries()
{
    return DeviceEntries([](HDEVINFO, SP_DEVINFO_DATA&, const std::wstring& id) {
        return StartsWith(id, L"HID\\") && id.find(L"VID_6A5B&PID_0E42") != std::wstring::npos;
    });
}

// Each entry is opened in a list of its own: removing a device from the list being walked would
// shift the indices behind it.
bool RemoveDeviceEntries(const std::vector<std::wstring>& ids, std::string& error)
{
    for (const std::wstring& id : ids) {
        DeviceInfoList list(SetupDiCreateDeviceInfoList(nullptr, nullptr));
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof(device);
        if (!list.Valid() || !SetupDiOpenDeviceInfoW(list.Get(), id.c_str(), nullptr, 0, &device)) {
            return Fail(error, "opening a device entry of the virtual converter");
        }
        if (!SetupDiRemoveDevice(list.Get(), &device)) {
            return Fail(error, "SetupDiRemoveDevice");
        }
    }
    return true;
}

// Wine does not unload a driver that still runs root devices, and removes a running root device
// only when the driver's devices are enumerated again and its entry is gone: the entry goes
// first, then the running driver is asked to enumerate, and only then is it stopped.
bool StopAndDeleteService(std::string& error)
{
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        return Fail(error, "OpenSCManager");
    }
    ServiceHandle service(OpenServiceW(manager.Get(), VC_SERVICE_NAME, SERVICE_ALL_ACCESS));
    if (!service) {
        if (GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) {
            return true;
        }
        return Fail(error, "OpenService");
    }
    SERVICE_STATUS status{};
    if (QueryServiceStatus(service.Get(), &status) && status.dwCurrentState == SERVICE_RUNNING) {
        if (!ControlService(service.Get(), SERVICE_CONTROL_REENUMERATE_ROOT_DEVICES, &status)) {
            return Fail(error, "asking the driver to let its devices go");
        }
        if (!ControlService(service.Get(), SERVICE_CONTROL_STOP, &status) &&
            GetLastError() != ERROR_SERVICE_NOT_ACTIVE) {
            return Fail(error, "stopping the driver's service");
        }
    }
    const bool stopped = WaitUntil(
        [&] { return QueryServiceStatus(service.Get(), &status) && status.dwCurrentState == SERVICE_STOPPED; },
        VC_SETUP_TIMEOUT);
    if (!stopped) {
        error = "the driver's service did not stop";
        return false;
    }
    if (!DeleteService(service.Get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE) {
        return Fail(error, "DeleteService");
    }
    return true;
}

bool CreateRootDevice(std::string& error)
{
    DeviceInfoList list(SetupDiCreateDeviceInfoList(&HID_CLASS_GUID, nullptr));
    if (!list.Valid()) {
        return Fail(error, "SetupDiCreateDeviceInfoList");
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    if (!SetupDiCreateDeviceInfoW(list.Get(), VC_ROOT_DEVICE_NAME, &HID_CLASS_GUID, L"Veltrano virtual DMX converter",
                                  nullptr, DICD_GENERATE_ID, &device)) {
        return Fail(error, "SetupDiCreateDeviceInfo");
    }
    if (!SetupDiRegisterDeviceInfo(list.Get(), &device, 0, nullptr, nullptr, nullptr)) {
        return Fail(error, "SetupDiRegisterDeviceInfo");
    }
    static const wchar_t hardwareIds[] = L"ROOT\\VELTRANO_VIRTUAL_CONVERTER\0";
    if (!SetupDiSetDeviceRegistryPropertyW(list.Get(), &device, SPDRP_HARDWAREID,
                                           reinterpret_cast<const BYTE*>(hardwareIds), sizeof(hardwareIds))) {
        return Fail(error, "setting the device's hardware ID");
    }
    const std::wstring service = VC_SERVICE_NAME;
    if (!SetupDiSetDeviceRegistryPropertyW(list.Get(), &device, SPDRP_SERVICE,
                                           reinterpret_cast<const BYTE*>(service.c_str()),
                                           static_cast<DWORD>((service.size() + 1) * sizeof(wchar_t)))) {
        return Fail(error, "naming the device's service");
    }
    return true;
}

bool CreateAndStartService(std::string& error)
{
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        return Fail(error, "OpenSCManager");
    }
    const std::wstring image = InstalledDriverPath();
    ServiceHandle service(CreateServiceW(manager.Get(), VC_SERVICE_NAME, L"Veltrano virtual DMX converter",
                                         SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                                         SERVICE_ERROR_NORMAL, image.c_str(), nullptr, nullptr, nullptr, nullptr,
                                         nullptr));
    if (!service) {
        return Fail(error, "CreateService");
    }
    if (!StartServiceW(service.Get(), 0, nullptr)) {
        if (GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
            return Fail(error, "starting the driver's service");
        }
        SERVICE_STATUS status{};
        if (!ControlService(service.Get(), SERVICE_CONTROL_REENUMERATE_ROOT_DEVICES, &status)) {
            return Fail(error, "asking the running driver to start its devices");
        }
    }
    return true;
}

}  // namespace

bool InstallVirtualConverter(const std::wstring& driverFile, std::string& error)
{
    if (!RemoveVirtualConverter(error) || !CopyDriver(driverFile, error) || !CreateRootDevice(error) ||
        !CreateAndStartService(error)) {
        return false;
    }
    if (!WaitUntil([] { return FindVirtualConverterPath().has_value(); }, VC_SETUP_TIMEOUT)) {
        error = "the virtual converter's HID device did not appear";
        return false;
    }
    return true;
}

bool RemoveVirtualConverter(std::string& error)
{
    if (!RemoveDeviceEntries(RootEntries(), error) || !StopAndDeleteService(error) ||
        !RemoveDeviceEntries(HidEntries(), error)) {
        return false;
    }
    if (!WaitUntil([] { return !FindVirtualConverterPath().has_value(); }, VC_SETUP_TIMEOUT)) {
        error = "the virtual converter's HID device is still present";
        return false;
    }
    return true;
}

std::wstring DriverBesideThisProgram()
{
    std::array<wchar_t, MAX_PATH> program{};
    const DWORD length = GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()));
    std::wstring path(program.data(), length);
    path.erase(path.find_last_of(L"\\/") + 1);
    return path + VC_DRIVER_FILE_NAME;
}
