#pragma once

// Puts the virtual converter into the running Wine prefix and takes it out again: the driver
// file, its kernel-driver service and a root-enumerated device the service drives. Wine's PnP
// manager starts a root device when the service named in its registry entry starts, and
// hidclass.sys then adds the HID device that applications find.

#include <chrono>
#include <string>

inline constexpr const wchar_t* VC_SERVICE_NAME = L"veltrano_vc";
inline constexpr const wchar_t* VC_DRIVER_FILE_NAME = L"veltrano_vc.sys";
// Wine names the HID device after the last part of the root device's ID, so this name puts the
// converter's IDs into the device path, as a real converter's path has them. SetupDi lists HID
// interfaces in the order of their paths: the leading "VIRTUAL&" puts the converter behind Wine's
// own devices ("hid#vid_845e&..."), so a search meets those first, as it would meet a mouse and a
// keyboard on a real machine.
inline constexpr const wchar_t* VC_ROOT_DEVICE_NAME = L"VIRTUAL&VID_6A5B&PID_0E42";

inline constexpr std::chrono::milliseconds VC_SETUP_TIMEOUT{15000};

// The driver file that the build puts beside the running program.
std::wstring DriverBesideThisProgram();

// Copies `driverFile` into the system's driver folder, creates the device and the service and
// starts it, then waits until the HID device is present. Anything left over from an earlier
// install is removed first. False, with `error` telling what failed, when any step fails.
bool InstallVirtualConverter(const std::wstring& driverFile, std::string& error);

// Stops the service (Wine removes the running devices with it), deletes the service and the
// root and HID device entries, and waits until the HID device is gone. Succeeds when nothing was
// installed.
bool RemoveVirtualConverter(std::string& error);
