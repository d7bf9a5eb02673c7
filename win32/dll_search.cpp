#include "win32/dll_search.h"

#include <windows.h>

void RestrictDllSearchToSystemFolder()
{
    // A folder the program was unpacked into (Downloads, say) may hold a planted HID.DLL or
    // COMCTL32.DLL; neither is one of the system's known DLLs, so the ordinary search would find
    // that copy before the system's own.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}
