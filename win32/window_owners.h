#pragma once

// Owners of what the console registers with the window system beside its windows: each releases
// what it holds when it goes, on every path, unless it was released before.

#include <windows.h>

#include <commctrl.h>

#include <utility>

// A registration for device notifications (RegisterDeviceNotification).
class DeviceNotification {
public:
    DeviceNotification() = default;
    explicit DeviceNotification(HDEVNOTIFY handle) : handle_(handle) {}
    ~DeviceNotification() { Release(); }
    DeviceNotification(DeviceNotification&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    DeviceNotification& operator=(DeviceNotification&& other) noexcept
    {
        if (this != &other) {
            Release();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    DeviceNotification(const DeviceNotification&) = delete;
    DeviceNotification& operator=(const DeviceNotification&) = delete;

    explicit operator bool() const { return handle_ != nullptr; }
    void Release()
    {
        if (HDEVNOTIFY handle = std::exchange(handle_, nullptr)) {
            UnregisterDeviceNotification(handle);
        }
    }

private:
    HDEVNOTIFY handle_ = nullptr;
};

// A window procedure put in front of a window's own (SetWindowSubclass). The subclass procedure
// calls Remove() at the window's WM_NCDESTROY, so the owner never holds a window that is gone.
class WindowSubclass {
public:
    WindowSubclass() = default;
    WindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data)
    {
        if (SetWindowSubclass(window, procedure, id, data)) {
            window_ = window;
            procedure_ = procedure;
            id_ = id;
        }
    }
    ~WindowSubclass() { Remove(); }
    WindowSubclass(WindowSubclass&& other) noexcept
        : window_(std::exchange(other.window_, nullptr)), procedure_(other.procedure_), id_(other.id_)
    {
    }
    WindowSubclass& operator=(WindowSubclass&& other) noexcept
    {
        if (this != &other) {
            Remove();
            window_ = std::exchange(other.window_, nullptr);
            procedure_ = other.procedure_;
            id_ = other.id_;
        }
        return *this;
    }
    WindowSubclass(const WindowSubclass&) = delete;
    WindowSubclass& operator=(const WindowSubclass&) = delete;

    void Remove()
    {
        if (HWND window = std::exchange(window_, nullptr)) {
            RemoveWindowSubclass(window, procedure_, id_);
        }
    }

private:
    HWND window_ = nullptr;
    SUBCLASSPROC procedure_ = nullptr;
    UINT_PTR id_ = 0;
};
