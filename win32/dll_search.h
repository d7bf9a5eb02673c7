#pragma once

// Where the program takes its DLLs from.

// From here on, every DLL the process loads by name comes from the system folder only, never
// from the program's own folder, the current folder or PATH. The first call of the entry point:
// HID.DLL, SETUPAPI.DLL and COMCTL32.DLL are delay-loaded, so their first use comes after it.
void RestrictDllSearchToSystemFolder();
