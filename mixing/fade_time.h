#pragma once

// The fade-time box's text as a number of seconds.
//
// The number is read from the start of the text: white space (space, tab, LF, VT, FF, CR) is
// skipped, then an optional sign, digits with an optional fraction, and, only after at least one
// digit, an optional exponent ("e" or "E", an optional sign, digits). The first character that
// does not fit ends the number: "2.5\r\n" is 2.5 and "1e" is 1. There is no hexadecimal and no
// "inf" or "nan". A number too large for a double is infinite, one too small is 0.

#include <optional>
#include <string_view>

inline constexpr std::size_t FADE_TEXT_LIMIT = 7;  // characters of the box that are read

// The seconds the text starts with, or nothing when it holds no digit before anything else.
std::optional<double> ParseFadeTime(std::string_view text);

// How many characters of text the number takes (white space in front included); 0 for none.
std::size_t FadeTimeLength(std::string_view text);
