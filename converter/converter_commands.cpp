#include "converter/converter_commands.h"

#include <array>
#include <cstdio>

std::string LevelCommand(int channel, int level)
{
    std::array<char, 12> text{};
    std::snprintf(text.data(), text.size(), "W %X %X", static_cast<unsigned>(channel), static_cast<unsigned>(level));
    return text.data();
}

std::string StorePresetCommand(int preset)
{
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "c0 %x\r", static_cast<unsigned>(preset));
    return text.data();
}
