#pragma once

// Resource and menu IDs, shared by the resource script and the code.

#define IDS_APP_TITLE 103
#define IDD_ABOUTBOX 103
#define ID_MENU_ABOUT 104
#define ID_MENU_EXIT 105
#define IDS_CONVERTER_NOT_FOUND 106
#define IDI_VELTRANO 107
#define IDI_VELTRANO_SMALL 108
#define IDS_WINDOW_CLASS 109
#define IDR_MAIN_MENU 109
#define IDR_ACCELERATORS 109
#define IDS_CONVERTER_NOT_ANSWERING 110
#define IDC_ABOUT_ICON 2
