// virtual_converter_setup install [DRIVER.sys] | remove
// Installs the virtual converter into the Wine prefix it runs in, or removes it. Without a path
// the driver is taken from beside this program.

#include <windows.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "device_setup.h"

namespace {

std::wstring Widen(const char* text)
{
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    wide.resize(wide.size() - 1);
    return wide;
}

int Usage()
{
    std::fprintf(stderr, "usage: virtual_converter_setup install [DRIVER.sys] | remove\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        return Usage();
    }
    const auto start = std::chrono::steady_clock::now();
    std::string error;
    bool ok = false;
    if (std::strcmp(argv[1], "install") == 0 && argc <= 3) {
        ok = InstallVirtualConverter(argc == 3 ? Widen(argv[2]) : DriverBesideThisProgram(), error);
    } else if (std::strcmp(argv[1], "remove") == 0 && argc == 2) {
        ok = RemoveVirtualConverter(error);
    } else {
        return Usage();
    }
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    if (!ok) {
        std::fprintf(stderr, "virtual converter %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    std::printf("virtual converter %s: done in %lld ms\n", argv[1], static_cast<long long>(elapsed));
    return 0;
}
