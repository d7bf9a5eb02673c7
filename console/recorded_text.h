#pragma once

// The texts the panel keeps of its two boxes: at most 7 characters and a terminating zero, as
// the boxes are read.

#include <array>
#include <cstddef>
#include <cstring>

inline constexpr std::size_t RECORDED_TEXT_SIZE = 8;
using RecordedText = std::array<char, RECORDED_TEXT_SIZE>;

// What the boxes show at the start.
inline constexpr const char* INITIAL_FADE_TEXT = "0.0";
inline constexpr const char* INITIAL_PRESET_TEXT = "1";

// Copies text, keeping at most its first 7 characters.
inline void Record(RecordedText& recorded, const char* text)
{
    recorded.fill('\0');
    for (std::size_t i = 0; i + 1 < recorded.size() && text[i] != '\0'; ++i) {
        recorded[i] = text[i];
    }
}

// True when text, as read from a box, is byte for byte the recorded text.
inline bool SameText(const char* text, const RecordedText& recorded)
{
    return std::strncmp(text, recorded.data(), recorded.size()) == 0;
}
