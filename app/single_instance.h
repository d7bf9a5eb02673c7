#pragma once

// One console per converter: a second Veltrano.exe does not search or open the converter, it
// brings the running console to the front and ends.

#include <windows.h>

class SingleInstance {
public:
    // Claims the console for this process, unless another Veltrano.exe holds it.
    SingleInstance();
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    bool First() const { return first_; }

private:
    HANDLE mutex_ = nullptr;
    bool first_ = true;
};

// Brings the main window of the running console (class `className`, in another process of the
// same program) to the front, restored if it is minimised. Never waits on that console: the restore
// and the activation are queued to it, and take effect when it next handles its messages. Returns
// within about half a second when no such window is found.
void BringRunningConsoleToFront(const char* className);
