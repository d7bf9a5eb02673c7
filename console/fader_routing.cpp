#include "console/fader_routing.h"

#include "console/control_ids.h"

bool ScrollCodeSends(int scrollCode)
{
    switch (scrollCode) {
    case SCROLL_LINE_UP:
    case SCROLL_LINE_DOWN:
    case SCROLL_PAGE_UP:
    case SCROLL_PAGE_DOWN:
    case SCROLL_THUMB_TRACK:
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
    } else if (controlId >= ID_SCENE_A_FIRST && controlId < ID_SCENE_A_FIRST + CHANNEL_COUNT) {
        output.channel = controlId - ID_SCENE_A_FIRST;
    } else if (controlId >= ID_SCENE_B_FIRST && controlId < ID_SCENE_B_FIRST + CHANNEL_COUNT) {
        output.channel = controlId - ID_SCENE_B_FIRST;
    }
    return output;
}
