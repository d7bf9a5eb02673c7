// The fade-time parser against the C library's strtod. On the 7 characters the box gives, strtod
// reads a superset of the fade time's grammar: where it reads a plain decimal number (or nothing)
// the two must agree to the bit and on the characters taken; where it reads hexadecimal, "inf" or
// "nan", the parser must stop at the decimal number in front, if any, and give exactly that.
//
// Input: the box's text, any bytes.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "fuzz_support.h"
#include "mixing/fade_time.h"

namespace {

constexpr std::size_t BOX_CHARACTERS = 7;

bool SameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// strtod's own forms beyond plain decimal numbers: hexadecimal ("0x1p3"), "inf", "infinity",
// "nan" and "nan(...)". Each of them holds one of these letters; a decimal number never does.
bool BeyondDecimal(const char* taken, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        switch (taken[i]) {
        case 'x':
        case 'X':
        case 'i':
        case 'I':
        case 'n':
        case 'N':
            return true;
        default:
            break;
        }
    }
    return false;
}

struct Conversion {
    double value = 0.0;
    std::size_t taken = 0;
};

Conversion ConvertWithStrtod(const char* text)
{
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    return {value, static_cast<std::size_t>(end - text)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The parser gets the whole input, in libFuzzer's exact-size copy: reading past the end, or
    // past the 7 characters it may read, shows.
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<double> parsed = ParseFadeTime(text);
    const std::size_t length = FadeTimeLength(text);

    Require(length <= BOX_CHARACTERS, "the number lies within the 7 characters read");
    Require(parsed.has_value() == (length != 0), "there is a number exactly when it takes characters");

    // strtod stops at a zero byte, and so does the grammar: a zero is neither white space nor part
    // of a number.
    char box[BOX_CHARACTERS + 1] = {};
    std::memcpy(box, data, size < BOX_CHARACTERS ? size : BOX_CHARACTERS);
    const Conversion library = ConvertWithStrtod(box);

    if (!BeyondDecimal(box, library.taken)) {
        Require(length == library.taken, "the parser takes as many characters as strtod");
        if (parsed) {
            Require(SameBits(*parsed, library.value), "the parser gives strtod's value to the bit");
        }
        return 0;
    }

    // Beyond the grammar: whatever the parser took must itself be a whole decimal number that
    // strtod reads to the same value, and it cannot reach further than strtod did.
    Require(length <= library.taken, "the parser stops where strtod's hexadecimal, inf or nan begins, or earlier");
    if (parsed) {
        char number[BOX_CHARACTERS + 1] = {};
        std::memcpy(number, box, length);
        const Conversion prefix = ConvertWithStrtod(number);
        Require(prefix.taken == length, "the characters taken are one whole decimal number");
        Require(!BeyondDecimal(number, prefix.taken), "the characters taken hold no hexadecimal, inf or nan");
        Require(SameBits(*parsed, prefix.value), "the parser gives strtod's value of the characters it took");
    }
    return 0;
}
