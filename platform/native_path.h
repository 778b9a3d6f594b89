// The path of a file as the system's own tools name it, for showing to the
// user: what they can paste into a shell or an Explorer window.
#pragma once

#include <string>

#ifdef _WIN32
inline std::string NativePath(const std::string& path)
{
    return path;
}
#else
// A DOS path as CreateFileA resolves it ("X:" through the Wine prefix's
// drives, '\' as '/', each existing component in its real case; a path
// without a drive from the root). Components past the first missing one
// are kept as given; a drive the prefix lacks leaves the path unchanged.
std::string NativePath(const std::string& path);
#endif
