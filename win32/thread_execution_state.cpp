#include "win32/thread_execution_state.h"

#include <windows.h>

ThreadExecutionState::~ThreadExecutionState()
{
    Hold(false);
}

void ThreadExecutionState::Hold(bool live)
{
    if (live == held_) {
        return;
    }
    held_ = live;
    // ES_CONTINUOUS keeps the flags until the next call; alone, it clears them. Without
    // ES_AWAYMODE_REQUIRED a sleep the user asks for is not held off. The call answers with the
    // previous state, which may be none at all, so a failure cannot be told from it.
    SetThreadExecutionState(live ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED : ES_CONTINUOUS);
}
