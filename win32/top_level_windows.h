#pragma once

// The top-level windows of a class: how the demo's bus finds the console to announce a converter
// to, how a second Veltrano.exe finds the first, and how the tests find the windows they drive.

#include <windows.h>

#include <cstring>
#include <vector>

// The top-level windows of class `className` (of every class for null), in z-order: those of the
// thread `threadId`, or of the whole desktop for 0.
inline std::vector<HWND> TopLevelWindows(const char* className, DWORD threadId = 0)
{
    struct Search {
        const char* className;
        std::vector<HWND> found;
    } search{className, {}};
    const WNDENUMPROC collect = [](HWND window, LPARAM parameter) -> BOOL {
        auto* s = reinterpret_cast<Search*>(parameter);  // NOLINT(performance-no-int-to-ptr)
        char name[256] = {};
        if (s->className == nullptr ||
            (GetClassNameA(window, name, sizeof(name)) > 0 && std::strcmp(name, s->className) == 0)) {
            s->found.push_back(window);
        }
        return TRUE;
    };
    if (threadId != 0) {
        EnumThreadWindows(threadId, collect, reinterpret_cast<LPARAM>(&search));
    } else {
        EnumWindows(collect, reinterpret_cast<LPARAM>(&search));
    }
    return search.found;
}
