#pragma once

// The control panel: 12 scene-A faders above 12 scene-B faders, the master on the right, the
// fade-time and preset boxes, SAVE and GO. Built once at start-up and kept for the whole run.

#include <windows.h>

#include <array>
#include <memory>

#include "panel/fader.h"
#include "panel/panel_layout.h"

struct PanelState {
    std::array<std::unique_ptr<Fader>, CHANNEL_COUNT> sceneA;
    std::array<std::unique_ptr<Fader>, CHANNEL_COUNT> sceneB;
    std::unique_ptr<Fader> master;
    HWND fadeEdit = nullptr;
    HWND presetEdit = nullptr;
    std::array<HWND, 6> labels{};
    HWND saveButton = nullptr;
    HWND goButton = nullptr;
};

// Creates every control of the panel on the main window, the boxes showing the console's initial
// texts. False when a control cannot be allocated or created.
bool BuildPanel(PanelState& panel, HWND mainWindow);
