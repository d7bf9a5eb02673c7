#include "mixing/fade_time.h"

#include <array>
#include <cstdlib>
#include <cstring>

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

struct Scan {
    std::size_t start = 0;  // first character of the number, behind the white space
    std::size_t end = 0;    // one past its last character; start == end when there is none
};

Scan ScanNumber(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size() && IsSpace(text[at])) {
        ++at;
    }
    Scan scan{at, at};
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        ++at;
    }
    std::size_t digits = 0;
    while (at < text.size() && IsDigit(text[at])) {
        ++at;
        ++digits;
    }
    if (at < text.size() && text[at] == '.') {
        ++at;
        while (at < text.size() && IsDigit(text[at])) {
            ++at;
            ++digits;
        }
    }
    if (digits == 0) {
        return scan;
    }
    scan.end = at;
    // An exponent counts only with at least one digit of its own.
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        std::size_t exponent = at + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) {
            ++exponent;
        }
        if (exponent < text.size() && IsDigit(text[exponent])) {
            while (exponent < text.size() && IsDigit(text[exponent])) {
                ++exponent;
            }
            scan.end = exponent;
        }
    }
    return scan;
}

}  // namespace

std::size_t FadeTimeLength(std::string_view text)
{
    const Scan scan = ScanNumber(text.substr(0, FADE_TEXT_LIMIT));
    return scan.end == scan.start ? 0 : scan.end;
}

std::optional<double> ParseFadeTime(std::string_view text)
{
    const std::size_t length = FadeTimeLength(text);
    if (length == 0) {
        return std::nullopt;
    }
    // Only a plain decimal number, already checked above, reaches the C library's conversion,
    // which skips the same white space, rounds the number correctly and gives infinity on overflow
    // and 0 on underflow. The program never changes the C locale, so the decimal point is ".".
    std::array<char, FADE_TEXT_LIMIT + 1> number{};
    std::memcpy(number.data(), text.data(), length);
    return std::strtod(number.data(), nullptr);
}
