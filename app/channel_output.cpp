#include "app/console.h"
#include "app/scroll_routing.h"
#include "converter/converter_commands.h"
#include "mixing/channel_mix.h"

CommandResult Console::SendChannel(int channel)
{
    if (closing_) {
        return CommandResult::NotPresent;
    }
    const auto i = static_cast<std::size_t>(channel);
    const int level = MixLevel(panel_.sceneA[i]->GetLevel(), panel_.sceneB[i]->GetLevel(), panel_.master->GetLevel());
    return link_.SendConverterCommand(LevelCommand(channel, level));
}

void Console::SendAllChannels()
{
    // A box opened by one exchange may close the console before the next.
    for (int channel = 0; channel < CHANNEL_COUNT && !closing_; ++channel) {
        SendChannel(channel);
    }
}

void Console::OnFaderScroll(int scrollCode, HWND trackWindow)
{
    const int id = trackWindow != nullptr ? GetDlgCtrlID(trackWindow) : 0;
    const ScrollOutput output = OutputForScroll(scrollCode, id);
    if (output.allChannels) {
        SendAllChannels();
    } else if (output.channel) {
        SendChannel(*output.channel);
    }
}
