#pragma once

// The simulated converter's output monitor: a window beside the console that shows what the
// converter holds and what it was last told, whether it is plugged in and whether it answers,
// with a control that unplugs it or plugs it in again and one that makes it fall silent or answer
// again. It repaints as commands arrive and never takes the focus from the console: it is not
// activated by a click, it moves itself when dragged by its caption, and its controls are painted
// and handled by the monitor itself rather than being child buttons, which would take the focus
// when clicked.

#include <windows.h>

#include <functional>
#include <optional>

#include "win32/window_object.h"
#include "simulator/simulated_converter.h"
#include "simulator/simulated_hid_bus.h"

inline constexpr const char* MONITOR_TITLE = "Simulated DMX Converter - Output Monitor";

class OutputMonitor final : public WindowObject<OutputMonitor> {
public:
    // Opens the monitor at (x, y) and hooks it to the converter, which is on `bus`.
    OutputMonitor(HINSTANCE instance, SimulatedHidBus& bus, SimulatedConverter& converter, int x, int y);
    ~OutputMonitor();
    OutputMonitor(const OutputMonitor&) = delete;
    OutputMonitor& operator=(const OutputMonitor&) = delete;

    // Window(): none when the window could not be created, or after it was closed.
    // Where the controls are, in client coordinates: the plug control, and the silence control
    // below it.
    enum class Control { Plug, Silence };
    RECT ControlRect(Control control) const;
    RECT PlugControl() const { return ControlRect(Control::Plug); }
    // Called when the monitor is asked to close, instead of closing it alone.
    std::function<void()> onClose;

private:
    friend class WindowObject<OutputMonitor>;

    // A font the monitor owns: deleted with it.
    struct OwnedFont {
        explicit OwnedFont(HFONT font) : handle(font) {}
        ~OwnedFont() { DeleteObject(handle); }
        OwnedFont(const OwnedFont&) = delete;
        OwnedFont& operator=(const OwnedFont&) = delete;
        HFONT handle;
    };

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnPaint();
    void Refresh();
    void OnButtonDown(POINT at);
    void OnCaptionDown(POINT screenAt);
    void OnMouseMove(POINT at);
    void OnButtonUp(POINT at);
    void OnCaptureLost();
    // Unplugs the converter through its bus, or plugs it in.
    void TogglePlug();
    // Makes the converter fall silent, or answer again.
    void ToggleSilence();
    // The control under this point, if any.
    std::optional<Control> ControlAt(POINT at) const;

    SimulatedHidBus& bus_;
    SimulatedConverter& converter_;
    // The bold face of the dialog font, for the headings and the converter's state.
    OwnedFont bold_;
    // What the left button, held down, is doing: pressing a control, or moving the window.
    enum class Drag { None, Control, Window };
    Drag drag_ = Drag::None;
    Control pressed_ = Control::Plug;  // the control being pressed
    bool pressedOver_ = false;         // ... and the pointer is over it
    POINT moveFrom_{};                 // where the caption was pressed, on the screen
    POINT frameAtStart_{};             // where the window was then
};
