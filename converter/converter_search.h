#pragma once

#include <cstdint>
#include <memory>

#include "converter/discovery_log.h"
#include "converter/hid_access.h"

// Walks the present HID interfaces by member index, opens each device and keeps the first whose
// vendor and product IDs match. Every step is written to `log`, which is closed when
// the search ends. On a match `handleSlot` holds the open device and the result is true; otherwise
// the result is false and the slot is empty.
bool FindConverter(HidBus& bus, DiscoveryLog& log, std::unique_ptr<HidDevice>& handleSlot, std::uint16_t vendorId,
                   std::uint16_t productId);
