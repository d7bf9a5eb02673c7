// Framing any command text into an output report of any length. The report buffer is exactly as
// long as the report, so AddressSanitizer sees a single byte written past it.
//
// Input: the report length (2 bytes, little-endian), then the command text.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "converter/report_framing.h"
#include "fuzz_support.h"

namespace {

constexpr std::size_t LONGEST_REPORT = 65535;

// What a report holds before framing: a pattern that no framed report keeps whole, so that any
// byte written by a refusal shows. Compared with memcmp: a byte loop here would cost more than
// the framing itself, because every comparison in it is traced for the fuzzer.
const std::array<std::uint8_t, LONGEST_REPORT>& Untouched()
{
    static const auto pattern = [] {
        std::array<std::uint8_t, LONGEST_REPORT> bytes{};
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<std::uint8_t>(0xA5 + i * 7);
        }
        return bytes;
    }();
    return pattern;
}

const std::array<std::uint8_t, LONGEST_REPORT>& Zeros()
{
    static const std::array<std::uint8_t, LONGEST_REPORT> zeros{};
    return zeros;
}

void CheckFramed(const std::uint8_t* report, std::size_t length, std::string_view text)
{
    const std::size_t n = text.size();
    Require(report[0] == 0x00, "a framed report starts with report ID 0");
    Require(report[1] == 0x30, "the command marker follows the report ID");
    Require(report[2] == static_cast<std::uint8_t>((n + 1) % 256), "the length byte is the text's length plus 1");
    Require(n == 0 || std::memcmp(report + 3, text.data(), n) == 0, "the text follows the header unchanged");
    Require(report[3 + n] == '\r', "a CR follows the text");
    const std::size_t padding = length - (4 + n);
    Require(padding == 0 || std::memcmp(report + 4 + n, Zeros().data(), padding) == 0,
            "the report is padded with zeros to its full length");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::size_t length = input.Word();
    // The text stays in libFuzzer's own copy of the input, which ends where the input ends: a read
    // past the text is seen as well.
    const std::size_t textStart = size < 2 ? size : 2;
    const std::string_view text(reinterpret_cast<const char*>(data) + textStart, size - textStart);

    const auto report = std::make_unique_for_overwrite<std::uint8_t[]>(length);
    if (length != 0) {
        std::memcpy(report.get(), Untouched().data(), length);
    }

    const bool fits = text.size() + 4 <= length;
    const bool framed = FrameCommand(text, report.get(), length);
    Require(framed == fits, "a text is framed exactly when the header, the text and its CR fit the report");
    if (framed) {
        CheckFramed(report.get(), length, text);
    } else {
        Require(length == 0 || std::memcmp(report.get(), Untouched().data(), length) == 0,
                "a refused text leaves the report untouched");
    }
    return 0;
}
