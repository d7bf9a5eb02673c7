#include "panel/panel.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "console/recorded_text.h"
#include "panel/child_window.h"

namespace {

struct Placement {
    int x;
    int y;
    int width;
    int height;
};

HWND CreateChild(HWND parent, HINSTANCE instance, const char* className, const char* text, DWORD style,
                 Placement at, int id)
{
    return CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, at.x, at.y, at.width, at.height, parent,
                           ChildWindowId(id), instance, nullptr);
}

HWND CreateLabel(HWND parent, HINSTANCE instance, const char* text, Placement at, bool centred)
{
    return CreateChild(parent, instance, "static", text, centred ? SS_CENTER : SS_LEFT, at, ID_STATIC_LABEL);
}

HWND CreateEditBox(HWND parent, HINSTANCE instance, const char* text, const PanelRect& rect, int id)
{
    // No border, no automatic scrolling: the main window paints a sunken frame around the box.
    HWND box = CreateChild(parent, instance, "edit", text, ES_MULTILINE | ES_WANTRETURN,
                           {rect.left, rect.top, rect.Width(), rect.Height()}, id);
    // The console reads 7 characters of a box; it holds no more than that.
    SendMessageA(box, EM_SETLIMITTEXT, RECORDED_TEXT_SIZE - 1, 0);
    return box;
}

HWND CreateButton(HWND parent, HINSTANCE instance, const char* text, Placement at, int id)
{
    return CreateChild(parent, instance, "button", text, BS_PUSHBUTTON | BS_CENTER | BS_VCENTER, at, id);
}

std::unique_ptr<Fader> CreateFader(HWND parent, HINSTANCE instance, const char* label, int id, Placement at)
{
    std::unique_ptr<Fader> fader(new (std::nothrow) Fader(parent, instance));
    if (fader) {
        fader->SetLabel(label);
        if (!fader->Create(id, at.x, at.y, at.width, at.height)) {
            fader.reset();
        }
    }
    return fader;
}

bool CreateSceneRow(HWND parent, HINSTANCE instance, std::array<std::unique_ptr<Fader>, CHANNEL_COUNT>& row,
                    int firstId, int y)
{
    for (int channel = 0; channel < CHANNEL_COUNT; ++channel) {
        char label[12];
        std::snprintf(label, sizeof(label), "%d", channel + 1);
        auto& fader = row[static_cast<std::size_t>(channel)];
        fader = CreateFader(parent, instance, label, firstId + channel, {10 + 55 * channel, y, 50, 240});
        if (!fader) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool BuildPanel(PanelState& panel, HWND mainWindow)
{
    // The window keeps the module it was created for.
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(  // NOLINT(performance-no-int-to-ptr): a handle kept as a long
        GetWindowLongPtrA(mainWindow, GWLP_HINSTANCE));

    panel.labels[0] = CreateLabel(mainWindow, instance, "A Faders", {10, 2, 70, 18}, false);
    if (!CreateSceneRow(mainWindow, instance, panel.sceneA, ID_SCENE_A_FIRST, 20)) {
        return false;
    }
    panel.labels[1] = CreateLabel(mainWindow, instance, "B Faders", {10, 262, 70, 18}, false);
    if (!CreateSceneRow(mainWindow, instance, panel.sceneB, ID_SCENE_B_FIRST, 280)) {
        return false;
    }
    panel.master = CreateFader(mainWindow, instance, "Master", ID_MASTER, {711, 280, 60, 240});
    if (!panel.master) {
        return false;
    }
    panel.labels[2] = CreateLabel(mainWindow, instance, "A", {693, 287, 15, 18}, true);
    panel.labels[3] = CreateLabel(mainWindow, instance, "B", {693, 478, 15, 18}, true);

    panel.labels[4] = CreateLabel(mainWindow, instance, "Fade Time (sec)", {688, 19, 100, 18}, true);
    panel.fadeEdit = CreateEditBox(mainWindow, instance, INITIAL_FADE_TEXT, fadeEditRect, ID_FADE_TIME);

    panel.labels[5] = CreateLabel(mainWindow, instance, "Preset", {688, 89, 100, 18}, true);
    panel.presetEdit = CreateEditBox(mainWindow, instance, INITIAL_PRESET_TEXT, presetEditRect, ID_PRESET);

    panel.saveButton = CreateButton(mainWindow, instance, "SAVE", {708, 150, 65, 35}, ID_SAVE);
    panel.goButton = CreateButton(mainWindow, instance, "GO", {708, 225, 65, 35}, ID_GO);
    return std::all_of(panel.labels.begin(), panel.labels.end(), [](HWND label) { return label != nullptr; }) &&
           panel.fadeEdit != nullptr && panel.presetEdit != nullptr && panel.saveButton != nullptr &&
           panel.goButton != nullptr;
}
