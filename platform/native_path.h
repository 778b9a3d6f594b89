// Paths as the system's own tools name them: what a user types on a command
// line, and what they can paste into a shell or an Explorer window.
#pragma once

#include <string>

#include "platform/win32.h"

// NativePath: the file a path stands for, named as the file system names it.
// On Windows the path itself. Elsewhere a DOS path resolves as CreateFileA
// resolves it ("X:" through the Wine prefix's drives, '\' as '/', each
// existing component in its real case; a path that starts with a backslash
// from the root); components past the first missing one are kept as given, a
// drive the prefix lacks leaves the path unchanged, and so does any name that
// is not a DOS path.
//
// ArgumentPath: a file or folder named on the command line, as an absolute
// path to hand to the system's calls. On Windows the full path. Elsewhere a
// name that starts with a drive ("C:\..." or "C:/...") is a DOS path and
// becomes its NativePath; any other name is the kernel's, made absolute and
// otherwise left as written. False when it cannot be had.
//
// PathBelow: the DOS path `dosRelative` below `folder`, a path ArgumentPath
// gave. Below a folder the kernel names, each existing component is found
// whatever its case, as Wine finds a game's "Scenery\All\Scenery".
#ifdef _WIN32
inline std::string NativePath(const std::string& path)
{
    return path;
}

inline bool ArgumentPath(const std::string& argument, std::string* path)
{
    char buffer[1024];
    const DWORD n = GetFullPathNameA(argument.c_str(), sizeof buffer, buffer, nullptr);
    if (n == 0 || n >= sizeof buffer)
        return false;
    *path = buffer;
    return true;
}

inline std::string PathBelow(const std::string& folder, const char* dosRelative)
{
    const bool separated = !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
    return folder + (separated ? "" : "\\") + dosRelative;
}
#else
std::string NativePath(const std::string& path);
bool ArgumentPath(const std::string& argument, std::string* path);
std::string PathBelow(const std::string& folder, const char* dosRelative);
#endif
