#pragma once

// The complete set of command texts the console sends to the converter.

#include <cstdint>
#include <string>

inline constexpr const char* IDENTIFY_COMMAND = "I";

// "W <channel> <level>" in upper-case hexadecimal without leading zeros: channel 11 at 128 is "W B 80".
std::string LevelCommand(int channel, int level);

// "c0 <preset>" and CR in lower-case hexadecimal: preset 12 is "c0 c\r". The framing adds a
// second CR behind it.
std::string StorePresetCommand(int preset);
