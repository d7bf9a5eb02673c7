#include "app/single_instance.h"

#include <cstring>
#include <string>

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
    const char* className;
    std::string ownImage;
    HWND found;
};

BOOL CALLBACK FindRunningConsole(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<Search*>(parameter);  // NOLINT(performance-no-int-to-ptr)
    char className[100] = {};
    GetClassNameA(window, className, sizeof(className));
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    // The demo's console has the same class: only a window of this program counts.
    if (std::strcmp(className, search->className) == 0 && processId != GetCurrentProcessId() &&
        _stricmp(ImagePath(processId).c_str(), search->ownImage.c_str()) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
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
    Search search{className, ImagePath(GetCurrentProcessId()), nullptr};
    // The running console may still be starting: its window, hidden until its search is done,
    // comes moments after it claimed the console. Half a second of looking keeps this start
    // under a second even when that window never comes.
    for (int attempt = 0; attempt < 10 && search.found == nullptr; ++attempt) {
        EnumWindows(FindRunningConsole, reinterpret_cast<LPARAM>(&search));
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
