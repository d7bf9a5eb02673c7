#include "mixing/channel_output.h"

#include "converter/converter_commands.h"
#include "converter/converter_link.h"
#include "mixing/channel_mix.h"
#include "panel/panel.h"

bool SendChannel(int channel)
{
    const PanelState& panel = ThePanel();
    const auto i = static_cast<std::size_t>(channel);
    const int level = MixLevel(panel.sceneA[i]->GetLevel(), panel.sceneB[i]->GetLevel(), panel.master->GetLevel());
    return SendConverterCommand(LevelCommand(channel, level).c_str());
}

void SendAllChannels()
{
    for (int channel = 0; channel < PANEL_CHANNELS; ++channel) {
        SendChannel(channel);
    }
}

void OnFaderScroll(int scrollCode, HWND trackWindow)
{
    const int id = trackWindow != nullptr ? GetDlgCtrlID(trackWindow) : 0;
    const ScrollOutput output = OutputForScroll(scrollCode, id);
    if (output.allChannels) {
        SendAllChannels();
    } else if (output.channel) {
        SendChannel(*output.channel);
    }
}
