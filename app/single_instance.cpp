#include "app/single_instance.h"

#include <string>

#include "win32/top_level_windows.h"

namespace {

// Named for the session: each signed-in operator has a console of their own.
constexpr const char* CONSOLE_MUTEX_NAME = "Local\\Veltrano.Console";

std::string ImagePath(DWORD processId)
{
    std::string path;
    if (HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId)) {
        char buffer[MAX_PATH] = {};
        DWORD size = sizeof(buffer);
        if (QueryFullProcessImageNameA(process, 0, buffer, &size)) {
            path.assign(buffer, size);
        }
        CloseHandle(process);
    }
    return path;
}

struct Search {
    std::string ownImage;
    HWND found;
};

// The main window of this program in another process: the demo's console has the same class.
HWND FindRunningConsole(const char* className, const std::string& ownImage)
{
    for (HWND window : TopLevelWindows(className)) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        if (processId != GetCurrentProcessId() && _stricmp(ImagePath(processId).c_str(), ownImage.c_str()) == 0) {
            return window;
        }
    }
    return nullptr;
}

}  // namespace

SingleInstance::SingleInstance() : mutex_(CreateMutexA(nullptr, FALSE, CONSOLE_MUTEX_NAME))
{
    first_ = !(mutex_ != nullptr && GetLastError() == ERROR_ALREADY_EXISTS);
}

SingleInstance::~SingleInstance()
{
    if (mutex_ != nullptr) {
        CloseHandle(mutex_);
    }
}

void BringRunningConsoleToFront(const char* className)
{
    Search search{ImagePath(GetCurrentProcessId()), nullptr};
    // The running console may still be starting: its window, hidden until its search is done,
    // comes moments after it claimed the console. Half a second of looking keeps this start
    // under a second even when that window never comes.
    for (int attempt = 0; attempt < 10 && search.found == nullptr; ++attempt) {
        search.found = FindRunningConsole(className, search.ownImage);
        if (search.found == nullptr) {
            Sleep(50);
        }
    }
    if (search.found == nullptr) {
        return;
    }
    // The running console may be busy or held (a debugger, a stalled driver call), so nothing here
    // waits on it: ShowWindow on another process's window would send it a message and wait for
    // the answer. The restore is queued to its thread instead, and SetForegroundWindow only
    // queues the activation; both take effect once the console runs again.
    if (IsIconic(search.found)) {
        ShowWindowAsync(search.found, SW_RESTORE);
    }
    SetForegroundWindow(search.found);
}
