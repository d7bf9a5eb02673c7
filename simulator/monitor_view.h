#pragma once

// What the simulated converter's output monitor shows, as text: whether the converter is plugged
// in and whether it answers (and what its two controls do), the twelve channel levels, the stored
// presets and the last commands with their replies.

#include <string>
#include <vector>

#include "simulator/simulated_converter.h"

struct MonitorView {
    bool connected = true;
    std::string connection;             // "Converter: plugged in" or "Converter: unplugged"
    std::string plugAction;             // what the plug control does when clicked
    bool answering = true;
    std::string replies;                // "Replies: answering" or "Replies: none, it is silent"
    std::string silenceAction;          // what the silence control does when clicked
    ChannelLevels levels{};
    std::vector<std::string> presets;   // one line per stored preset, lowest number first
    std::vector<std::string> commands;  // the last exchanges, oldest first
    std::string summary;                // how many commands, presets and framing errors in all
};

inline constexpr std::size_t MONITOR_PRESET_LINES = 6;
inline constexpr std::size_t MONITOR_COMMAND_LINES = 14;

MonitorView BuildMonitorView(const SimulatedConverter& converter);

// Control characters made visible: CR as <CR>, LF as <LF>, others in hexadecimal.
std::string VisibleText(const std::string& text);
