#pragma once

// The control panel: 12 scene-A faders above 12 scene-B faders, the master on the right, the
// fade-time and preset boxes, SAVE and GO. Built once at start-up and kept for the whole run.

#include <windows.h>

#include <array>
#include <memory>

#include "converter/converter_commands.h"
#include "panel/control_ids.h"
#include "panel/fader.h"
#include "panel/recorded_text.h"

inline constexpr const char* INITIAL_FADE_TEXT = "0.0";
inline constexpr const char* INITIAL_PRESET_TEXT = "1";

struct PanelState {
    std::array<std::unique_ptr<Fader>, CHANNEL_COUNT> sceneA;
    std::array<std::unique_ptr<Fader>, CHANNEL_COUNT> sceneB;
    std::unique_ptr<Fader> master;
    HWND fadeEdit = nullptr;
    HWND presetEdit = nullptr;
    RecordedText recordedFadeText{};
    RecordedText recordedPresetText{};
    std::array<HWND, 6> labels{};
    HWND saveButton = nullptr;
    HWND goButton = nullptr;
};

// Creates every control of the panel on the main window. False when a fader cannot be allocated.
bool BuildPanel(PanelState& panel, HWND mainWindow);
