#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/posix_internal.h"

std::string WinePrefix()
{
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix)
        return prefix;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.wine";
}

namespace {

// The entry of `dir` whose name equals `name` without regard to ASCII case.
bool FindCaseless(const std::string& dir, const std::string& name, std::string* found)
{
    DIR* d = opendir(dir.empty() ? "/" : dir.c_str());
    if (!d)
        return false;
    bool ok = false;
    while (dirent* e = readdir(d)) {
        if (strcasecmp(e->d_name, name.c_str()) == 0) {
            *found = e->d_name;
            ok = true;
            break;
        }
    }
    closedir(d);
    return ok;
}

} // namespace

bool ResolveDosPath(const char* path, std::string* unixPath, DWORD* error)
{
    std::string base;
    const char* rest = path;
    if (std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
        base = WinePrefix() + "/dosdevices/" +
               static_cast<char>(std::tolower(static_cast<unsigned char>(path[0]))) + ":";
        struct stat st;
        if (stat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            *error = ERROR_PATH_NOT_FOUND;
            return false;
        }
        rest = path + 2;
    }

    std::vector<std::string> parts;
    std::string part;
    for (const char* p = rest;; ++p) {
        if (*p == '\\' || *p == '/' || *p == '\0') {
            if (part == "..") {
                if (!parts.empty())
                    parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            part.clear();
            if (*p == '\0')
                break;
        } else {
            part += *p;
        }
    }

    std::string current = base;
    for (size_t i = 0; i < parts.size(); ++i) {
        std::string candidate = current + "/" + parts[i];
        struct stat st;
        if (lstat(candidate.c_str(), &st) != 0) {
            std::string actual;
            if (FindCaseless(current, parts[i], &actual)) {
                candidate = current + "/" + actual;
            } else if (i + 1 < parts.size()) {
                *error = ERROR_PATH_NOT_FOUND;
                return false;
            }
        }
        current = candidate;
    }
    *unixPath = current.empty() ? "/" : current;
    return true;
}
