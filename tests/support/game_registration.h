// The game's registry key, kept: the tests register, change and delete it
// freely, and a developer's installed game must come through them unchanged.
// The key is taken in both registry views, with every value (any name, any
// type, the bytes as stored) and every subkey, and put back exactly; keys
// above it that a test created go again.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace game_registration {

// The game's key last, after the two above it that its installer creates.
const wchar_t* const kPath[] = {
    L"SOFTWARE\\Microsoft\\Microsoft Games",
    L"SOFTWARE\\Microsoft\\Microsoft Games\\Combat Flight Simulator",
    L"SOFTWARE\\Microsoft\\Microsoft Games\\Combat Flight Simulator\\1.00",
};
const size_t kLevels = 3;
const REGSAM kViews[] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};

struct Value {
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
};

struct Key {
    std::wstring path;
    std::vector<Value> values;
    std::vector<Key> subkeys;
};

// One view: how many of kPath exist, and the game's key when it does.
struct View {
    REGSAM view;
    bool readable = true;
    size_t levels = 0;
    Key key;
};

inline LONG Open(const std::wstring& path, REGSAM view, HKEY* key)
{
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, key);
}

inline std::vector<std::wstring> SubkeyNames(HKEY key)
{
    std::vector<std::wstring> names;
    wchar_t name[256];   // the registry's longest key name and its terminator
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return names;
        names.emplace_back(name, length);
    }
}

inline Key Read(HKEY key, const std::wstring& path, REGSAM view)
{
    Key k{path, {}, {}};
    std::vector<wchar_t> name(16384);   // the longest value name and its terminator
    for (DWORD i = 0;; ++i) {
        DWORD length = DWORD(name.size()), type = 0, size = 0;
        if (RegEnumValueW(key, i, name.data(), &length, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            break;
        Value v{std::wstring(name.data(), length), type, std::vector<BYTE>(size + 1)};
        RegQueryValueExW(key, v.name.c_str(), nullptr, &v.type, v.data.data(), &size);
        v.data.resize(size);
        k.values.push_back(std::move(v));
    }
    for (const std::wstring& sub : SubkeyNames(key)) {
        HKEY child;
        if (Open(path + L"\\" + sub, view, &child) == ERROR_SUCCESS) {
            k.subkeys.push_back(Read(child, path + L"\\" + sub, view));
            RegCloseKey(child);
        }
    }
    return k;
}

inline View Take(REGSAM view)
{
    View v;
    v.view = view;
    for (; v.levels < kLevels; ++v.levels) {
        HKEY key;
        const LONG status = Open(kPath[v.levels], view, &key);
        if (status != ERROR_SUCCESS) {
            // Only a key known to be absent may be deleted later.
            v.readable = status == ERROR_FILE_NOT_FOUND;
            break;
        }
        if (v.levels == kLevels - 1)
            v.key = Read(key, kPath[v.levels], view);
        RegCloseKey(key);
    }
    return v;
}

inline void DeleteTree(const std::wstring& path, REGSAM view)
{
    HKEY key;
    if (Open(path, view, &key) != ERROR_SUCCESS)
        return;
    const std::vector<std::wstring> subkeys = SubkeyNames(key);
    RegCloseKey(key);
    for (const std::wstring& sub : subkeys)
        DeleteTree(path + L"\\" + sub, view);
    // RegDeleteKey cannot reach the other view.
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), view, 0);
}

inline void Write(const Key& k, REGSAM view)
{
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, k.path.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    for (const Value& v : k.values) {
        // Wine stores a string's terminator too when one follows the data; a
        // non-zero guard after it keeps an unterminated string as it was.
        std::vector<BYTE> guarded = v.data;
        guarded.insert(guarded.end(), {0xFF, 0xFF});
        RegSetValueExW(key, v.name.c_str(), 0, v.type, guarded.data(), DWORD(v.data.size()));
    }
    RegCloseKey(key);
    for (const Key& sub : k.subkeys)
        Write(sub, view);
}

inline void PutBack(const View& v)
{
    if (!v.readable)
        return;
    DeleteTree(kPath[v.levels < kLevels ? v.levels : kLevels - 1], v.view);
    if (v.levels == kLevels)
        Write(v.key, v.view);
}

inline std::string Utf8(const std::wstring& text)
{
    std::string utf8(text.size() * 3, '\0');
    utf8.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &utf8[0], int(utf8.size()), nullptr,
                                    nullptr));
    return utf8;
}

inline void Describe(const Key& k, const std::string& view, std::string* text)
{
    *text += view + Utf8(k.path) + "\n";
    for (const Value& v : k.values) {
        char head[48];
        std::snprintf(head, sizeof head, "\" type %lu, %u bytes:", static_cast<unsigned long>(v.type),
                      unsigned(v.data.size()));
        *text += "  \"" + Utf8(v.name) + head;
        for (BYTE b : v.data) {
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02X", b);
            *text += hex;
        }
        *text += "\n";
    }
    for (const Key& sub : k.subkeys)
        Describe(sub, view, text);
}

} // namespace game_registration

// All of the game's registration in both views, a line for each key and
// value: for comparing, and readable when a comparison fails.
inline std::string GameRegistrationText()
{
    using namespace game_registration;
    std::string text;
    for (REGSAM view : kViews) {
        const View v = Take(view);
        const std::string name = view == KEY_WOW64_32KEY ? "32-bit " : "64-bit ";
        for (size_t i = 0; i < v.levels && i < kLevels - 1; ++i)
            text += name + Utf8(kPath[i]) + "\n";
        if (!v.readable)
            text += name + "unreadable at " + Utf8(kPath[v.levels]) + "\n";
        if (v.levels == kLevels)
            Describe(v.key, name, &text);
    }
    return text;
}

// No game registered, in either view.
inline void DeleteGameRegistration()
{
    for (REGSAM view : game_registration::kViews)
        game_registration::DeleteTree(game_registration::kPath[game_registration::kLevels - 1], view);
}

// The game's registration as it was when this was made, put back when it goes.
class KeptGameRegistration {
public:
    KeptGameRegistration()
    {
        for (REGSAM view : game_registration::kViews)
            views_.push_back(game_registration::Take(view));
    }
    ~KeptGameRegistration()
    {
        for (const game_registration::View& v : views_)
            game_registration::PutBack(v);
    }
    KeptGameRegistration(const KeptGameRegistration&) = delete;
    KeptGameRegistration& operator=(const KeptGameRegistration&) = delete;

private:
    std::vector<game_registration::View> views_;
};
