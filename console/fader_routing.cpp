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
    if (const auto fader = FaderOfControl(controlId)) {
        if (fader->row == FaderRow::Master) {
            output.allChannels = true;
        } else {
            output.channel = fader->channel;
        }
    }
    return output;
}
