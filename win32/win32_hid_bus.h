#pragma once

// The device-access seam over the platform's HID stack: SetupAPI for the search, HID.DLL for
// attributes and capabilities, and overlapped file I/O for the reports.

#include <memory>

#include "converter/clock.h"
#include "converter/hid_access.h"

// Deadlines are taken from `clock`, which must be the machine's monotonic clock.
std::unique_ptr<HidBus> MakeWin32HidBus(Clock& clock);
