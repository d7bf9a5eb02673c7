#include "panel/fader.h"

#include <commctrl.h>

#include <cstring>
#include <new>

#include "panel/child_window.h"
#include "console/control_ids.h"

namespace {
// TBS_LEFT draws nothing beside TBS_BOTH; it stays so that the trackbars keep their style bits 0x0F.
constexpr DWORD FADER_TRACK_STYLE = TBS_VERT | TBS_AUTOTICKS | TBS_LEFT | TBS_BOTH;
}  // namespace

Fader::Fader(HWND parentWindow, HINSTANCE moduleInstance) : parent(parentWindow), instance(moduleInstance) {}

void Fader::SetLabel(const char* text)
{
    std::unique_ptr<char[]> copy;
    if (text != nullptr) {
        const std::size_t size = std::strlen(text) + 1;
        copy.reset(new (std::nothrow) char[size]);
        if (copy) {
            std::memcpy(copy.get(), text, size);
        }
    }
    label = std::move(copy);
    if (caption != nullptr) {
        SetWindowTextA(caption, label ? label.get() : "");
    }
}

void Fader::Create(int controlId, int left, int top, int frameWidth, int height)
{
    id = controlId;
    x = left;
    y = top;
    width = frameWidth;
    const FaderHeights heights = FaderHeightsFor(height, label != nullptr);
    trackHeight = heights.trackHeight;
    frameHeight = heights.frameHeight;
    captionY = heights.captionY;

    HMENU childId = ChildWindowId(id);
    frame = CreateWindowExA(0, "static", nullptr, WS_CHILD | WS_VISIBLE | SS_BLACKFRAME, x, y, width, frameHeight,
                            parent, childId, instance, nullptr);
    track = CreateWindowExA(0, TRACKBAR_CLASSA, nullptr, WS_CHILD | WS_VISIBLE | FADER_TRACK_STYLE,
                            x + FADER_INSET, y + FADER_INSET, width - 2 * FADER_INSET, trackHeight - 2 * FADER_INSET,
                            parent, childId, instance, nullptr);
    SendMessageA(track, TBM_SETRANGE, FALSE, MAKELPARAM(0, FADER_TRACK_MAX));
    SendMessageA(track, TBM_SETPAGESIZE, 0, FADER_PAGE_SIZE);
    SendMessageA(track, TBM_SETTICFREQ, FADER_TICK_FREQUENCY, 0);
    SetLevel(0);

    if (label) {
        caption = CreateWindowExA(0, "static", nullptr, WS_CHILD | WS_VISIBLE | SS_CENTER, FADER_INSET, captionY,
                                  width - 2 * FADER_INSET, FADER_CAPTION_HEIGHT, frame,
                                  ChildWindowId(ID_STATIC_LABEL), instance, nullptr);
        SetWindowTextA(caption, label.get());
    }
}

void Fader::SetLevel(int level)
{
    SendMessageA(track, TBM_SETPOS, TRUE, TrackPositionForLevel(level));
}

Level Fader::GetLevel() const
{
    return LevelForTrackPosition(static_cast<int>(SendMessageA(track, TBM_GETPOS, 0, 0)));
}
