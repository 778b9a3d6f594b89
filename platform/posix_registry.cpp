// Machine-wide registry values read from a Wine prefix's system.reg, the text
// file in which Wine keeps HKEY_LOCAL_MACHINE. Read-only: the program never
// writes the registry.
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix_internal.h"

struct HKEY__ {
    struct Value {
        std::string name;
        DWORD type;
        std::string data;
    };
    std::vector<Value> values;
};

namespace {

enum : DWORD { REG_SZ_ = 1, REG_EXPAND_SZ_ = 2, REG_BINARY_ = 3, REG_DWORD_ = 4, REG_MULTI_SZ_ = 7 };

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Gathers UTF-16 code units, as Wine's registry file gives them, as UTF-8:
// the stand-ins' ANSI code page is the file system's, and Wine names its
// Unix files in UTF-8.
class Utf16ToUtf8 {
public:
    void Unit(unsigned unit)
    {
        if (unit >= 0xDC00 && unit < 0xE000 && high_) {
            CodePoint(0x10000 + ((high_ - 0xD800) << 10) + (unit - 0xDC00));
            high_ = 0;
            return;
        }
        FlushHalf();
        if (unit >= 0xD800 && unit < 0xDC00)
            high_ = unit;
        else
            CodePoint(unit >= 0xDC00 && unit < 0xE000 ? 0xFFFD : unit);
    }
    // Bytes the file holds as they are (Wine escapes all but ASCII).
    void Byte(char c)
    {
        FlushHalf();
        out_ += c;
    }
    std::string Take()
    {
        FlushHalf();
        return std::move(out_);
    }

private:
    // Half a surrogate pair becomes U+FFFD, as Windows converts it.
    void FlushHalf()
    {
        if (high_)
            CodePoint(0xFFFD);
        high_ = 0;
    }
    void CodePoint(unsigned c)
    {
        if (c < 0x80) {
            out_ += static_cast<char>(c);
        } else if (c < 0x800) {
            out_ += static_cast<char>(0xC0 | (c >> 6));
            out_ += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out_ += static_cast<char>(0xE0 | (c >> 12));
            out_ += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out_ += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out_ += static_cast<char>(0xF0 | (c >> 18));
            out_ += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out_ += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out_ += static_cast<char>(0x80 | (c & 0x3F));
        }
    }

    unsigned high_ = 0;
    std::string out_;
};

// Decodes Wine's escapes up to the closing `end` character; `*p` is left
// after it. "\xNNNN" is a UTF-16 code unit (a pair for characters past
// U+FFFF), as are octal escapes.
std::string Unescape(const char** p, char end)
{
    Utf16ToUtf8 out;
    const char* s = *p;
    while (*s && *s != end) {
        if (*s != '\\') {
            out.Byte(*s++);
            continue;
        }
        ++s;
        char c = *s ? *s++ : '\0';
        switch (c) {
        case 'n': out.Unit('\n'); break;
        case 'r': out.Unit('\r'); break;
        case 't': out.Unit('\t'); break;
        case 'a': out.Unit('\a'); break;
        case 'b': out.Unit('\b'); break;
        case 'e': out.Unit(0x1B); break;
        case 'f': out.Unit('\f'); break;
        case 'v': out.Unit('\v'); break;
        case 'x': {
            unsigned value = 0;
            for (int i = 0; i < 4 && HexDigit(*s) >= 0; ++i)
                value = value * 16 + HexDigit(*s++);
            out.Unit(value);
            break;
        }
        default:
            if (c >= '0' && c <= '7') {
                unsigned value = c - '0';
                for (int i = 0; i < 2 && *s >= '0' && *s <= '7'; ++i)
                    value = value * 8 + (*s++ - '0');
                out.Unit(value);
            } else {
                out.Byte(c);   // \\ and \" and anything else stand for themselves
            }
        }
    }
    *p = *s ? s + 1 : s;
    return out.Take();
}

// A string value that Wine wrote as hex: UTF-16LE, as RegQueryValueExW gives it.
std::string Utf16LeToUtf8(const std::string& bytes)
{
    Utf16ToUtf8 out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        out.Unit(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    return out.Take();
}

bool ParseValue(const std::string& line, HKEY__::Value* value)
{
    const char* p = line.c_str();
    if (*p == '@') {
        ++p;
    } else if (*p == '"') {
        ++p;
        value->name = Unescape(&p, '"');
    } else {
        return false;
    }
    if (*p++ != '=')
        return false;
    if (*p == '"') {
        ++p;
        value->type = REG_SZ_;
        value->data = Unescape(&p, '"');
        value->data += '\0';   // Wine writes strings without their terminator
    } else if (std::strncmp(p, "str(", 4) == 0) {
        // str(2) and str(7): REG_EXPAND_SZ and REG_MULTI_SZ.
        char* close = nullptr;
        value->type = static_cast<DWORD>(std::strtoul(p + 4, &close, 16));
        if (std::strncmp(close, "):\"", 3) != 0)
            return false;
        p = close + 3;
        value->data = Unescape(&p, '"');
        value->data += '\0';
    } else if (std::strncmp(p, "dword:", 6) == 0) {
        DWORD d = static_cast<DWORD>(std::strtoul(p + 6, nullptr, 16));
        value->type = REG_DWORD_;
        value->data.assign(reinterpret_cast<const char*>(&d), 4);
    } else if (std::strncmp(p, "hex", 3) == 0) {
        p += 3;
        value->type = REG_BINARY_;
        if (*p == '(') {
            value->type = static_cast<DWORD>(std::strtoul(p + 1, nullptr, 16));
            while (*p && *p != ')')
                ++p;
            if (*p) ++p;
        }
        if (*p++ != ':')
            return false;
        while (*p) {
            int hi = HexDigit(p[0]), lo = hi >= 0 ? HexDigit(p[1]) : -1;
            if (lo < 0)
                break;
            value->data += static_cast<char>(hi * 16 + lo);
            p += 2;
            if (*p == ',')
                ++p;
        }
        // Strings Wine could not write as text (no terminator, odd length).
        if (value->type == REG_SZ_ || value->type == REG_EXPAND_SZ_ || value->type == REG_MULTI_SZ_)
            value->data = Utf16LeToUtf8(value->data);
    } else {
        return false;
    }
    return true;
}

} // namespace

namespace {

// The registry file's text. Only a regular file is read: a FIFO in its place
// would keep the reader waiting for a writer that never comes.
LSTATUS ReadRegistryFile(const std::string& path, std::string* text)
{
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? ERROR_ACCESS_DENIED : ERROR_CANT_ACCESS_FILE;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return static_cast<LSTATUS>(Win32ErrorFromErrno(errno));
    LSTATUS status = ERROR_SUCCESS;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        status = ERROR_CANT_ACCESS_FILE;   // it changed since the look
    char buffer[65536];
    for (ssize_t n; status == ERROR_SUCCESS && (n = read(fd, buffer, sizeof buffer)) != 0;) {
        if (n > 0)
            text->append(buffer, static_cast<size_t>(n));
        else if (errno != EINTR)
            status = static_cast<LSTATUS>(Win32ErrorFromErrno(errno));
    }
    close(fd);
    return status;
}

// The next line of `text` from `*at`, without its end; false past the end.
bool NextLine(const std::string& text, size_t* at, std::string* line)
{
    if (*at >= text.size())
        return false;
    const size_t end = std::min(text.find('\n', *at), text.size());
    line->assign(text, *at, end - *at);
    *at = end + 1;
    return true;
}

// Reads one key of HKLM into `*result`, which stays null when the file has no
// such key. A 32-bit program on a 64-bit prefix (Wine's default arch; the
// file's header says "#arch=win32" otherwise) sees HKLM\Software through
// Wow6432Node.
LSTATUS ReadKey(const char* subKey, bool view32, HKEY__** result)
{
    std::string text;
    const LSTATUS status = ReadRegistryFile(WinePrefix() + "/system.reg", &text);
    // No registry at all is a prefix without the key.
    if (status != ERROR_SUCCESS)
        return status == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : status;

    const bool underSoftware = strncasecmp(subKey, "SOFTWARE\\", 9) == 0;
    std::string wanted = subKey;
    if (view32 && underSoftware)
        wanted = std::string("Software\\Wow6432Node\\") + (subKey + 9);

    HKEY__* key = nullptr;
    std::string line, pending;
    for (size_t at = 0; NextLine(text, &at, &line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line == "#arch=win32")
            wanted = subKey;   // one view only
        // Long hex values continue on the next line after a backslash.
        if (!line.empty() && line.back() == '\\' && key) {
            pending += line.substr(0, line.size() - 1);
            continue;
        }
        if (!pending.empty()) {
            line = pending + line.substr(std::min(line.find_first_not_of(' '), line.size()));
            pending.clear();
        }
        if (!line.empty() && line[0] == '[') {
            if (key)
                break;   // past our key's values
            const char* p = line.c_str() + 1;
            std::string name = Unescape(&p, ']');
            if (strcasecmp(name.c_str(), wanted.c_str()) == 0)
                key = new HKEY__;
            continue;
        }
        HKEY__::Value value;
        if (key && ParseValue(line, &value))
            key->values.push_back(value);
    }
    *result = key;
    return ERROR_SUCCESS;
}

} // namespace

LSTATUS WINAPI RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD, REGSAM access, PHKEY result)
{
    if (!result || !subKey)
        return ERROR_INVALID_PARAMETER;
    if (root != HKEY_LOCAL_MACHINE)
        return ERROR_FILE_NOT_FOUND;
    // Like a 64-bit program: its own view unless it asks for the other.
    HKEY__* key = nullptr;
    if (LSTATUS status = ReadKey(subKey, (access & KEY_WOW64_32KEY) != 0, &key))
        return status;
    if (!key)
        return ERROR_FILE_NOT_FOUND;
    *result = key;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data,
                                LPDWORD size)
{
    if (!key || key == HKEY_LOCAL_MACHINE)
        return ERROR_INVALID_HANDLE;
    if (data && !size)
        return ERROR_INVALID_PARAMETER;
    for (const HKEY__::Value& v : key->values) {
        if (strcasecmp(v.name.c_str(), name ? name : "") != 0)
            continue;
        if (type)
            *type = v.type;
        DWORD needed = static_cast<DWORD>(v.data.size());
        LSTATUS status = ERROR_SUCCESS;
        if (data) {
            if (*size < needed)
                status = ERROR_MORE_DATA;
            else
                std::memcpy(data, v.data.data(), needed);
        }
        if (size)
            *size = needed;
        return status;
    }
    return ERROR_FILE_NOT_FOUND;
}

LSTATUS WINAPI RegCloseKey(HKEY key)
{
    if (!key || key == HKEY_LOCAL_MACHINE)
        return ERROR_INVALID_HANDLE;
    delete key;
    return ERROR_SUCCESS;
}
