#include "mixing/channel_mix.h"

#include "panel/control_ids.h"

int MixLevel(int sceneA, int sceneB, int master)
{
    return sceneB + ((sceneA - sceneB) * master) / 255;
}

bool ScrollCodeSends(int scrollCode)
{
    switch (scrollCode) {
    case 0:  // SB_LINEUP
    case 1:  // SB_LINEDOWN
    case 2:  // SB_PAGEUP
    case 3:  // SB_PAGEDOWN
    case 5:  // SB_THUMBTRACK
        return true;
    default:
        return false;
    }
}

ScrollOutput OutputForScroll(int scrollCode, int controlId)
{
    ScrollOutput output;
    if (!ScrollCodeSends(scrollCode)) {
        return output;
    }
    if (controlId == ID_MASTER) {
        output.allChannels = true;
    } else if (controlId >= ID_SCENE_A_FIRST && controlId < ID_SCENE_A_FIRST + PANEL_CHANNELS) {
        output.channel = controlId - ID_SCENE_A_FIRST;
    } else if (controlId >= ID_SCENE_B_FIRST && controlId < ID_SCENE_B_FIRST + PANEL_CHANNELS) {
        output.channel = controlId - ID_SCENE_B_FIRST;
    }
    return output;
}
