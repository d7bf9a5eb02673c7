#include <windows.h>

#include "app/application.h"
#include "app/dll_search.h"
#include "app/resources/resource_ids.h"

// The platform declares the entry point with parameter names of its own.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)  // NOLINT(readability-inconsistent-declaration-parameter-name)
{
    RestrictDllSearchToSystemFolder();
    ChooseConverterPlatform();
    LoadApplicationStrings(instance);
    RegisterMainWindowClass(instance);
    if (!StartApplication(instance, showCommand)) {
        return 0;
    }
    return RunMessageLoop(LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS)));
}
