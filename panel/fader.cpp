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

Fader::Fader(HWND parentWindow, HINSTANCE moduleInstance) : parent_(parentWindow), instance_(moduleInstance) {}

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
    label_ = std::move(copy);
    if (caption_ != nullptr) {
        SetWindowTextA(caption_, label_ ? label_.get() : "");
    }
}

bool Fader::Create(int controlId, int left, int top, int frameWidth, int height)
{
    id_ = controlId;
    x_ = left;
    y_ = top;
    width_ = frameWidth;
    const FaderHeights heights = FaderHeightsFor(height, label_ != nullptr);
    trackHeight_ = heights.trackHeight;
    frameHeight_ = heights.frameHeight;
    captionY_ = heights.captionY;

    HMENU childId = ChildWindowId(id_);
    frame_ = CreateWindowExA(0, "static", nullptr, WS_CHILD | WS_VISIBLE | SS_BLACKFRAME, x_, y_, width_, frameHeight_,
                             parent_, childId, instance_, nullptr);
    if (frame_ == nullptr) {
        return false;
    }
    track_ = CreateWindowExA(0, TRACKBAR_CLASSA, nullptr, WS_CHILD | WS_VISIBLE | FADER_TRACK_STYLE,
                             x_ + FADER_INSET, y_ + FADER_INSET, width_ - 2 * FADER_INSET,
                             trackHeight_ - 2 * FADER_INSET, parent_, childId, instance_, nullptr);
    if (track_ == nullptr) {
        return false;
    }
    SendMessageA(track_, TBM_SETRANGE, FALSE, MAKELPARAM(0, FADER_TRACK_MAX));
    SendMessageA(track_, TBM_SETPAGESIZE, 0, FADER_PAGE_SIZE);
    SendMessageA(track_, TBM_SETTICFREQ, FADER_TICK_FREQUENCY, 0);
    SetLevel(0);

    if (label_) {
        caption_ = CreateWindowExA(0, "static", nullptr, WS_CHILD | WS_VISIBLE | SS_CENTER, FADER_INSET, captionY_,
                                   width_ - 2 * FADER_INSET, FADER_CAPTION_HEIGHT, frame_,
                                   ChildWindowId(ID_STATIC_LABEL), instance_, nullptr);
        if (caption_ == nullptr) {
            return false;
        }
        SetWindowTextA(caption_, label_.get());
    }
    return true;
}

void Fader::SetLevel(int level)
{
    SendMessageA(track_, TBM_SETPOS, TRUE, TrackPositionForLevel(level));
}

Level Fader::GetLevel() const
{
    return LevelForTrackPosition(static_cast<int>(SendMessageA(track_, TBM_GETPOS, 0, 0)));
}
