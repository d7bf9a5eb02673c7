// The preset box's verdict and SAVE's store command, for any text the box can hold, against a
// digit-by-digit reading of the text (itself cross-checked with strtol).
//
// Input: the box's text, any bytes; the box gives at most 7 of them, up to the first zero byte.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "converter/converter_commands.h"
#include "console/box_rules.h"
#include "fuzz_support.h"

namespace {

constexpr std::size_t BOX_BUFFER = 8;  // 7 characters and the terminating zero

struct Reading {
    bool empty = true;
    bool digitsOnly = true;
    long value = 0;
};

Reading ReadDigits(const char* text)
{
    Reading reading;
    for (const char* c = text; *c != '\0'; ++c) {
        reading.empty = false;
        if (*c < '0' || *c > '9') {
            reading.digitsOnly = false;
            continue;
        }
        reading.value = reading.value * 10 + (*c - '0');
    }
    return reading;
}

std::string ExpectedStoreCommand(long preset)
{
    const char* const hexDigits = "0123456789abcdef";
    std::string command = "c0 ";
    if (preset >= 16) {
        command += hexDigits[preset / 16];
    }
    command += hexDigits[preset % 16];
    command += '\r';
    return command;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Exactly the box's buffer, so a read past its terminating zero shows.
    const auto box = std::make_unique<char[]>(BOX_BUFFER);
    std::memcpy(box.get(), data, size < BOX_BUFFER - 1 ? size : BOX_BUFFER - 1);

    const Reading reading = ReadDigits(box.get());
    if (!reading.empty && reading.digitsOnly) {
        char* end = nullptr;
        const long library = std::strtol(box.get(), &end, 10);
        Require(library == reading.value && *end == '\0', "the oracle's digit reading agrees with strtol");
    }

    const PresetVerdict verdict = CheckPresetText(box.get());
    if (reading.empty) {
        Require(verdict == PresetVerdict::Empty, "an empty box is Empty");
        return 0;
    }
    const bool good = reading.digitsOnly && reading.value >= 1 && reading.value <= 127;
    if (!good) {
        Require(verdict == PresetVerdict::Rejected, "anything but the digits of 1 to 127 is Rejected");
        return 0;
    }
    Require(verdict == PresetVerdict::Accepted, "the digits of 1 to 127, leading zeros or not, are Accepted");
    Require(StorePresetCommand(PresetNumber(box.get())) == ExpectedStoreCommand(reading.value),
            "SAVE sends c0, a space, the preset in lower-case hexadecimal and a CR");
    return 0;
}
