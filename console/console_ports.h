#pragma once

// What the console's model needs from the platform it runs on. The window side implements these
// ports over its controls, timers and boxes; a native test or a fuzz target implements them in
// plain C++.

#include <string>

#include "converter/clock.h"
#include "console/recorded_text.h"

// The faders, named by their control IDs. Levels are read fresh at every use, so that a fader the
// operator moved by any means (a drag, a key, Home or End) counts as it stands.
class Faders {
public:
    virtual ~Faders() = default;
    virtual int Level(int faderId) = 0;
    virtual void SetLevel(int faderId, int level) = 0;
};

// The fade-time and preset boxes, named by their control IDs.
class BoxTexts {
public:
    virtual ~BoxTexts() = default;
    // What the box shows, as the console reads it: at most its first 7 characters.
    virtual RecordedText Read(int boxId) = 0;
    // Puts the console's own text into the box, the caret behind it.
    virtual void Show(int boxId, const char* text) = 0;
};

// A timer that calls the model back every `period` until it is stopped; started again, it is
// replaced.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void Start(Duration period) = 0;
    virtual void Stop() = 0;
};

// The modal boxes and the sound of a refusal. A box runs a message loop: whatever comes in
// meanwhile reaches the model from inside the call.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // "Invalid Preset", owned by the console.
    virtual void ShowInvalidPreset(const char* text, const char* caption) = 0;
    // The converter's "USB Comm error" box: no owner, OK only.
    virtual void ShowCommError(const char* text, const char* caption) = 0;
    // A text or key the console refuses.
    virtual void Refuse() = 0;
};

// What the notice strip says of the converter.
enum class ConverterNotice {
    None,          // a converter is in use and answering
    NotFound,      // "DMX Converter not found!": none is in use
    NotAnswering,  // "DMX Converter not answering!": the one in use is silent
};

// The notice strip, drawn by the window from the text the console names.
class Notice {
public:
    virtual ~Notice() = default;
    // The notice to show from now on; called only when it changes.
    virtual void Show(ConverterNotice notice) = 0;
};

// Keeping the machine awake while the stage is live. A laptop asleep on its idle timer cuts the
// converter's USB power on most machines, and the stage goes dark; a display asleep is woken by a
// touch, and a key pressed to wake it reaches the console. Whether anything is kept awake is the
// platform's decision: the entry point builds the owner, or none.
class KeepAwake {
public:
    virtual ~KeepAwake() = default;
    // While `live`, neither the system nor the display sleeps on its idle timer; a sleep the user
    // asks for (the lid, the power button, the Start menu) still happens. The same value again
    // changes nothing.
    virtual void Hold(bool live) = 0;
};

struct ConsolePorts {
    Faders& faders;
    BoxTexts& boxes;
    Timer& fadeTimer;
    Timer& retryTimer;
    MessageBoxes& messages;
    Notice& notice;
    Clock& clock;
    KeepAwake* awake = nullptr;  // none keeps nothing awake
};
