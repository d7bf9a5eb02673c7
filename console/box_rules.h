#pragma once

// The decisions behind the panel's boxes, apart from any window. SAVE stores the preset the
// recorded text names; the store command's text is the converter's (converter_commands.h).

#include <string_view>

enum class PresetVerdict {
    Empty,     // nothing typed yet: tolerated while typing
    Accepted,  // digits only, 1 to 127
    Rejected,  // anything else
};

inline constexpr int FIRST_PRESET = 1;
inline constexpr int LAST_PRESET = 127;
inline constexpr const char* INVALID_PRESET_TEXT = "Value must be in the range of 1 to 127";
inline constexpr const char* INVALID_PRESET_CAPTION = "Invalid Preset";

// Judges the preset box's text (at most 7 characters, as read from the box). Leading zeros are
// fine: "007" is preset 7.
PresetVerdict CheckPresetText(const char* text);

// The preset an accepted text names: "007" is preset 7.
int PresetNumber(const char* acceptedText);

// Whether a box can take `text` whole, as far as its characters tell: at most the 7 characters
// the console reads, on one line (no line break, tab or other control character). The window adds
// the box's width, which only it can measure.
bool BoxCanHold(std::string_view text);
