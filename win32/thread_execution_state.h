#pragma once

// Veltrano.exe's way of keeping the machine awake: the execution state of the console's thread.

#include "console/console_ports.h"

// The state belongs to the thread that sets it: the owner is made, held and released on the
// console's thread, and releases what it holds when it goes.
class ThreadExecutionState final : public KeepAwake {
public:
    ThreadExecutionState() = default;
    ~ThreadExecutionState() override;
    ThreadExecutionState(const ThreadExecutionState&) = delete;
    ThreadExecutionState& operator=(const ThreadExecutionState&) = delete;

    void Hold(bool live) override;

private:
    bool held_ = false;
};
