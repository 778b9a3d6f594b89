#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/native_path.h"
#include "platform/posix_internal.h"

std::string WinePrefix()
{
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix && *prefix)
        return prefix;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.wine";
}

namespace {

// The next character of UTF-8 text. A byte that starts no valid sequence
// stands for itself, out of the range of characters, so that it only ever
// matches the same byte.
unsigned NextCodePoint(const char** text)
{
    const auto* s = reinterpret_cast<const unsigned char*>(*text);
    const unsigned lead = s[0];
    int more = lead < 0x80                  ? 0
               : lead >= 0xC2 && lead < 0xE0 ? 1
               : lead >= 0xE0 && lead < 0xF0 ? 2
               : lead >= 0xF0 && lead < 0xF5 ? 3
                                             : -1;
    unsigned value = more <= 0 ? lead : lead & (0x3F >> more);
    for (int i = 1; i <= more; ++i) {
        if ((s[i] & 0xC0) != 0x80) {
            more = -1;
            break;
        }
        value = value << 6 | (s[i] & 0x3F);
    }
    if (more < 0) {
        ++*text;
        return 0x110000 + lead;
    }
    *text += 1 + more;
    return value;
}

// Lower case for the scripts a game folder is likely named in: Latin
// (ASCII, Latin-1, Latin Extended-A), Greek and Cyrillic. Wine folds the whole
// of Unicode; names that differ in case elsewhere must match exactly here.
unsigned FoldCase(unsigned c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return c + 0x20;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
            return c;   // dotted and dotless i, kra, 'n, long s: no simple pair
        if (c == 0x178)
            return 0xFF;
        const bool upperIsOdd = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        return (c % 2 == 1) == upperIsOdd ? c + 1 : c;
    }
    if ((c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F))
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    return c;
}

bool SameNameIgnoringCase(const char* a, const char* b)
{
    while (*a && *b) {
        if (FoldCase(NextCodePoint(&a)) != FoldCase(NextCodePoint(&b)))
            return false;
    }
    return *a == *b;
}

// The entry of `dir` whose name equals `name` without regard to case.
bool FindCaseless(const std::string& dir, const std::string& name, std::string* found)
{
    DIR* d = opendir(dir.empty() ? "/" : dir.c_str());
    if (!d)
        return false;
    bool ok = false;
    while (dirent* e = readdir(d)) {
        if (SameNameIgnoringCase(e->d_name, name.c_str())) {
            *found = e->d_name;
            ok = true;
            break;
        }
    }
    closedir(d);
    return ok;
}

// A DOS path taken apart: the Unix folder of its drive ("" for the root) and
// its components, with "." and ".." applied.
struct DosPathParts {
    std::string base;
    std::vector<std::string> parts;
};

bool StartsWithDrive(const char* path)
{
    return std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

// What only a DOS path can be: a drive and its root, or the root of the
// current drive, as a game folder without a drive leaves it. On Linux any
// other name is the kernel's, backslashes and all.
bool IsDosPath(const char* path)
{
    return StartsWithDrive(path) || path[0] == '\\';
}

bool SplitDosPath(const char* path, DosPathParts* split)
{
    const char* rest = path;
    if (StartsWithDrive(path)) {
        split->base = WinePrefix() + "/dosdevices/" +
                      static_cast<char>(std::tolower(static_cast<unsigned char>(path[0]))) + ":";
        struct stat st;
        if (stat(split->base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return false;
        rest = path + 2;
    }
    std::string part;
    for (const char* p = rest;; ++p) {
        if (*p == '\\' || *p == '/' || *p == '\0') {
            if (part == "..") {
                if (!split->parts.empty())
                    split->parts.pop_back();
            } else if (!part.empty() && part != ".") {
                split->parts.push_back(part);
            }
            part.clear();
            if (*p == '\0')
                break;
        } else {
            part += *p;
        }
    }
    return true;
}

// Follows the components that exist, each by its exact name or else by its
// name without regard to case; returns how many it found.
size_t FindExisting(const DosPathParts& split, std::string* unixPath)
{
    std::string current = split.base;
    size_t i = 0;
    for (; i < split.parts.size(); ++i) {
        std::string candidate = current + "/" + split.parts[i];
        struct stat st;
        if (lstat(candidate.c_str(), &st) != 0) {
            std::string actual;
            if (!FindCaseless(current, split.parts[i], &actual))
                break;
            candidate = current + "/" + actual;
        }
        current = candidate;
    }
    *unixPath = current;
    return i;
}

// The existing components in their real case, then the rest as given.
std::string FollowParts(const DosPathParts& split)
{
    std::string unixPath;
    for (size_t i = FindExisting(split, &unixPath); i < split.parts.size(); ++i)
        unixPath += "/" + split.parts[i];
    return unixPath.empty() ? "/" : unixPath;
}

} // namespace

bool ResolveDosPath(const char* path, std::string* unixPath, DWORD* error)
{
    if (!IsDosPath(path)) {
        *unixPath = path;
        return true;
    }
    DosPathParts split;
    std::string found;
    size_t existing = 0;
    if (!SplitDosPath(path, &split) || (existing = FindExisting(split, &found)) + 1 < split.parts.size()) {
        *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    if (existing < split.parts.size())
        found += "/" + split.parts.back();
    *unixPath = found.empty() ? "/" : found;
    return true;
}

std::string NativePath(const std::string& path)
{
    DosPathParts split;
    if (!IsDosPath(path.c_str()) || !SplitDosPath(path.c_str(), &split))
        return path;
    return FollowParts(split);
}

bool ArgumentPath(const std::string& argument, std::string* path)
{
    if (argument.empty())
        return false;
    // Only a drive makes a DOS path of an argument: "\\x" and "c:x" are names here.
    if (StartsWithDrive(argument.c_str())) {
        *path = NativePath(argument);
        return true;
    }
    std::string full = argument;
    if (argument[0] != '/') {
        char cwd[4096];
        if (!getcwd(cwd, sizeof cwd))
            return false;
        full = std::string(cwd) + "/" + argument;
    }
    // "." and empty components go, which names the same file; ".." stays for
    // the kernel to follow, as after a link it is not the folder before it.
    path->clear();
    for (size_t start = 0, end; start < full.size(); start = end + 1) {
        end = std::min(full.find('/', start), full.size());
        const std::string part = full.substr(start, end - start);
        if (!part.empty() && part != ".")
            *path += "/" + part;
    }
    if (path->empty())
        *path = "/";
    return true;
}

std::string PathBelow(const std::string& folder, const char* dosRelative)
{
    if (IsDosPath(folder.c_str()))
        return folder + "\\" + dosRelative;
    DosPathParts split;
    SplitDosPath(dosRelative, &split);
    split.base = folder;
    while (!split.base.empty() && split.base.back() == '/')
        split.base.pop_back();
    return FollowParts(split);
}
