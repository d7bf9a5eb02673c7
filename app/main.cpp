#include <windows.h>

#include "app/application.h"
#include "app/resources/resource_ids.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    ChooseConverterPlatform();
    LoadApplicationStrings(instance);
    RegisterMainWindowClass(instance);
    if (!StartApplication(instance, showCommand)) {
        return 0;
    }
    return RunMessageLoop(LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS)));
}
