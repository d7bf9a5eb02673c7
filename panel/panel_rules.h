#pragma once

// The decisions behind the panel's boxes and SAVE, apart from any window.

#include <string>

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

// The store command SAVE sends for an accepted preset text: "007" gives "c0 7\r".
std::string StoreCommandForPresetText(const char* presetText);
