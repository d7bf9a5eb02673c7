/* A DLL planted beside the shipped executables under the name of a system DLL. Loaded, it leaves
 * a mark: an empty file named after itself with ".loaded" appended ("hid.dll.loaded"). It exports
 * every function of the DLL it stands in for, each as PlantedStub, so that a program that loads it
 * goes on running (and fails its test) rather than crashing. It has no C runtime and imports from
 * KERNEL32.DLL only, so that it loads whatever it is called. */

#include <windows.h>

BOOL WINAPI PlantedDllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH + 8];
        const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            lstrcatA(path, ".loaded");
            HANDLE mark = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
            if (mark != INVALID_HANDLE_VALUE) {
                CloseHandle(mark);
            }
        }
    }
    return TRUE;
}

/* Every export: fails as the real functions fail, with 0 (FALSE, NULL, nothing found). */
int PlantedStub(void)
{
    return 0;
}
