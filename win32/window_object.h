#pragma once

// The object behind a window, after Microsoft's BaseWindow<T> sample. The window carries a pointer
// to its object in GWLP_USERDATA from WM_NCCREATE (the creation parameter) to WM_NCDESTROY, and the
// object holds the window's handle for exactly that time: it never acts on a handle that the
// system may since have given to another window.
//
// T derives from WindowObject<T>, creates its window with `this` as the creation parameter in a
// class whose procedure is WindowObject<T>::Procedure, and handles the messages in between in
// `LRESULT HandleMessage(UINT, WPARAM, LPARAM)`; WM_NCDESTROY, the last, takes the handle away.

#include <windows.h>

#include <utility>

template <typename T>
class WindowObject {
public:
    WindowObject(const WindowObject&) = delete;
    WindowObject& operator=(const WindowObject&) = delete;

    // The window, from WM_NCCREATE until WM_NCDESTROY; null outside that time.
    HWND Window() const { return window_; }

    // The object behind a window of T's class; null before WM_NCCREATE and after WM_NCDESTROY.
    static T* Of(HWND window)
    {
        return reinterpret_cast<T*>(GetWindowLongPtrA(window, GWLP_USERDATA));  // NOLINT(performance-no-int-to-ptr)
    }

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            const auto* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);  // NOLINT(performance-no-int-to-ptr)
            auto* object = static_cast<T*>(creation->lpCreateParams);
            static_cast<WindowObject&>(*object).window_ = window;
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
        }
        T* object = Of(window);
        if (object == nullptr) {
            // Messages before WM_NCCREATE, and after WM_NCDESTROY or the object's end.
            return DefWindowProcA(window, message, wParam, lParam);
        }
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            static_cast<WindowObject&>(*object).window_ = nullptr;
            return DefWindowProcA(window, message, wParam, lParam);
        }
        return object->HandleMessage(message, wParam, lParam);
    }

protected:
    WindowObject() = default;
    ~WindowObject() { DestroyDetached(); }

    // Destroys the window, if it is still there, without a word to the object: for the object's
    // destructor, which calls it before its own members go.
    void DestroyDetached()
    {
        if (HWND window = std::exchange(window_, nullptr)) {
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            DestroyWindow(window);
        }
    }

private:
    HWND window_ = nullptr;
};
