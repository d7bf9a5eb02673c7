#pragma once

// A fader: a black frame, a vertical trackbar inside it and an optional caption at its foot.
// The frame and the trackbar share the control ID; the trackbar sends the scroll notifications.

#include <windows.h>

#include <memory>

#include "panel/fader_scale.h"

class Fader {
public:
    Fader(HWND parent, HINSTANCE instance);

    // Keeps a copy of text (none for null) in place of the previous one. Once the fader exists,
    // the caption shows the new copy; a fader created without a label gets no caption later.
    void SetLabel(const char* text);
    // Creates the child windows; height 0 gives the default size. False when one of them cannot be
    // created.
    bool Create(int controlId, int left, int top, int frameWidth, int height);

    void SetLevel(int level);
    Level GetLevel() const;

private:
    std::unique_ptr<char[]> label_;
    int id_ = 0;
    int x_ = 0;
    int y_ = 0;
    int width_ = 0;
    HWND frame_ = nullptr;
    HWND track_ = nullptr;
    HWND caption_ = nullptr;
    int trackHeight_ = 0;
    int frameHeight_ = 0;
    int captionY_ = 0;
    HWND parent_;
    HINSTANCE instance_;
};
