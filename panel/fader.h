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
    // Creates the child windows; height 0 gives the default size.
    void Create(int controlId, int left, int top, int frameWidth, int height);

    void SetLevel(int level);
    Level GetLevel() const;

private:
    std::unique_ptr<char[]> label;
    int id = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    HWND frame = nullptr;
    HWND track = nullptr;
    HWND caption = nullptr;
    int trackHeight = 0;
    int frameHeight = 0;
    int captionY = 0;
    HWND parent;
    HINSTANCE instance;
};
