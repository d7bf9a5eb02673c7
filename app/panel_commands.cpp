#include "app/panel_commands.h"

void OnPanelCommand(HWND, int, int) {}

void OnPanelScroll(int, HWND) {}
