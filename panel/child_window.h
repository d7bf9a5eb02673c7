#pragma once

#include <windows.h>

// A child window's control ID travels where CreateWindowEx takes a menu handle.
inline HMENU ChildWindowId(int id)
{
    return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));  // NOLINT(performance-no-int-to-ptr): the platform's convention
}
