// Prints where the console's controls are on the screen, so that a script can click them wherever
// the panel has put them.
//
//   window_probe CAPTION
//
// Looks for a visible top-level window with this caption in the Wine session it runs in and
// prints one line per control of the panel, "NAME left top right bottom" in screen pixels (right
// and bottom excluded): fade-time, preset, save, go, master, a1 to a12 (scene A) and b1 to b12
// (scene B). A fader's frame and its trackbar share their ID; the trackbar is the one printed.
// Exit code 0 when everything was found, 1 when the window is not there (yet), 2 when a control
// is missing or the arguments are wrong.

#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "converter/converter_commands.h"
#include "console/control_ids.h"

namespace {

struct ControlSearch {
    int id;
    HWND trackbar;
    HWND other;
    int others;
};

BOOL CALLBACK VisitChild(HWND child, LPARAM parameter)
{
    auto* search = reinterpret_cast<ControlSearch*>(parameter);
    if (GetDlgCtrlID(child) != search->id) {
        return TRUE;
    }
    char className[64] = {};
    GetClassNameA(child, className, sizeof(className));
    if (lstrcmpiA(className, "msctls_trackbar32") == 0) {
        search->trackbar = child;
    } else {
        search->other = child;
        ++search->others;
    }
    return TRUE;
}

// The trackbar with this ID, or else the one control with it; null when there is none or several.
HWND FindControl(HWND window, int id)
{
    ControlSearch search{id, nullptr, nullptr, 0};
    EnumChildWindows(window, VisitChild, reinterpret_cast<LPARAM>(&search));
    if (search.trackbar != nullptr) {
        return search.trackbar;
    }
    return search.others == 1 ? search.other : nullptr;
}

std::vector<std::pair<std::string, int>> PanelControls()
{
    std::vector<std::pair<std::string, int>> controls{
        {"fade-time", ID_FADE_TIME}, {"preset", ID_PRESET}, {"save", ID_SAVE}, {"go", ID_GO}, {"master", ID_MASTER}};
    for (int channel = 0; channel < CHANNEL_COUNT; ++channel) {
        controls.emplace_back("a" + std::to_string(channel + 1), ID_SCENE_A_FIRST + channel);
        controls.emplace_back("b" + std::to_string(channel + 1), ID_SCENE_B_FIRST + channel);
    }
    return controls;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_probe CAPTION\n");
        return 2;
    }
    HWND window = FindWindowA(nullptr, argv[1]);
    if (window == nullptr || !IsWindowVisible(window)) {
        return 1;
    }
    for (const auto& [name, id] : PanelControls()) {
        HWND control = FindControl(window, id);
        RECT rect{};
        if (control == nullptr || !GetWindowRect(control, &rect)) {
            std::fprintf(stderr, "no single control with ID %d (%s) in the window \"%s\"\n", id, name.c_str(), argv[1]);
            return 2;
        }
        std::printf("%s %ld %ld %ld %ld\n", name.c_str(), rect.left, rect.top, rect.right, rect.bottom);
    }
    return 0;
}
