#include "console/box_rules.h"

#include <algorithm>
#include <cstdlib>

#include "console/recorded_text.h"

PresetVerdict CheckPresetText(const char* text)
{
    if (text[0] == '\0') {
        return PresetVerdict::Empty;
    }
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') {
            return PresetVerdict::Rejected;
        }
    }
    const int value = std::atoi(text);
    return value >= FIRST_PRESET && value <= LAST_PRESET ? PresetVerdict::Accepted : PresetVerdict::Rejected;
}

int PresetNumber(const char* acceptedText)
{
    return std::atoi(acceptedText);
}

bool BoxCanHold(std::string_view text)
{
    return text.size() <= RECORDED_TEXT_SIZE - 1 &&
           std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}
