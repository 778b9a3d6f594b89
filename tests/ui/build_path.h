// Files of the build folder, found from the test program's own place in it:
// <build>\tests\ui\<test>.exe.
#pragma once

#include <windows.h>

#include <string>

inline std::string BuildPath(const std::string& relative)
{
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path = self;
    for (int up = 0; up < 3; ++up)
        path.erase(path.find_last_of("\\/"));
    return path + "\\" + relative;
}
