#include "panel/panel_rules.h"

#include <cstdlib>

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
