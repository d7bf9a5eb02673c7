#pragma once

// The path of one of the program's executables, handed to the tests in an environment variable
// as a path of the build machine; under Wine that file system is drive Z:.

#include <cstdlib>
#include <string>

inline std::string WindowsPath(std::string path)
{
    if (!path.empty() && path[0] == '/') {
        path = "Z:" + path;
        for (char& c : path) {
            if (c == '/') {
                c = '\\';
            }
        }
    }
    return path;
}

inline std::string ProgramPath(const char* variable)
{
    const char* value = std::getenv(variable);
    return WindowsPath(value != nullptr ? value : "");
}
