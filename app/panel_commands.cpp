#include "app/panel_commands.h"

#include "app/panel_rules.h"
#include "converter/converter_link.h"
#include "mixing/channel_output.h"
#include "mixing/crossfade.h"
#include "panel/panel.h"

namespace {

// The boxes are read as the panel records them: at most 7 characters.
RecordedText ReadBox(HWND box)
{
    RecordedText text{};
    GetWindowTextA(box, text.data(), static_cast<int>(text.size()));
    return text;
}

// An update that leaves the text as it was is a key the box refused, Enter above all: it starts
// the fade as GO does.
void OnFadeTimeBox(HWND mainWindow, int notificationCode)
{
    if (notificationCode != EN_UPDATE) {
        return;
    }
    PanelState& panel = ThePanel();
    const RecordedText text = ReadBox(panel.fadeEdit);
    if (SameText(text.data(), panel.recordedFadeText)) {
        StartCrossfade(mainWindow);
    } else {
        Record(panel.recordedFadeText, text.data());
    }
}

void OnPresetBox(HWND mainWindow, int notificationCode)
{
    PanelState& panel = ThePanel();
    if (notificationCode == EN_KILLFOCUS) {
        // A box left empty shows the last good preset again.
        SetWindowTextA(panel.presetEdit, panel.recordedPresetText.data());
        return;
    }
    if (notificationCode != EN_UPDATE) {
        return;
    }
    const RecordedText text = ReadBox(panel.presetEdit);
    switch (CheckPresetText(text.data())) {
    case PresetVerdict::Empty:
        break;
    case PresetVerdict::Accepted:
        Record(panel.recordedPresetText, text.data());
        break;
    case PresetVerdict::Rejected:
        // The good text is back before the box opens. Restoring it raises another update, which
        // finds the recorded text and accepts it; so does the loss of focus to the box.
        SetWindowTextA(panel.presetEdit, panel.recordedPresetText.data());
        MessageBoxA(mainWindow, INVALID_PRESET_TEXT, INVALID_PRESET_CAPTION, MB_ICONERROR | MB_OK);
        break;
    }
}

void OnSave()
{
    // What was recorded is what is stored, not what the box shows now.
    SendConverterCommand(StoreCommandForPresetText(ThePanel().recordedPresetText.data()).c_str());
}

}  // namespace

void OnPanelCommand(HWND mainWindow, int controlId, int notificationCode)
{
    switch (controlId) {
    case ID_FADE_TIME:
        OnFadeTimeBox(mainWindow, notificationCode);
        break;
    case ID_PRESET:
        OnPresetBox(mainWindow, notificationCode);
        break;
    case ID_SAVE:
        OnSave();
        break;
    case ID_GO:
        StartCrossfade(mainWindow);
        break;
    default:
        break;
    }
}

void OnPanelScroll(int scrollCode, HWND track)
{
    OnFaderScroll(scrollCode, track);
}
