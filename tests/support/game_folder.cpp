#include "tests/support/game_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include "data/class_list_file.h"
#include "tools/demo_textures.h"
#include "tests/support/file_bytes.h"

bool WaitUntil(const std::function<bool()>& fn, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    while (!fn()) {
        if (::GetTickCount() - start > timeoutMs)
            return false;
        ::Sleep(20);
    }
    return true;
}

GameFolder::GameFolder()
{
    static std::atomic<int> counter{0};
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + "turfwise-ui-" + std::to_string(::GetCurrentProcessId()) + "-" +
            std::to_string(counter++);
    std::filesystem::create_directories(path_ + "\\Scenery\\All\\Scenery");
    std::filesystem::create_directories(path_ + "\\Texture");
}

GameFolder::~GameFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void GameFolder::WriteClassList(const std::vector<uint8_t>& bytes) const
{
    WriteFileBytes(ClassListPath(), bytes);
}

std::vector<uint8_t> GameFolder::ReadClassList() const
{
    return ReadFileBytes(ClassListPath());
}

void GameFolder::WriteTexture(const std::string& name) const
{
    WriteFileBytes(TexturePath(name), PaintTextureBmp(name, 16));
}

void GameFolder::Register() const
{
    HKEY key;
    // Where the game's 32-bit installer writes it.
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, GAME_REGISTRY_KEY, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY,
                                nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExA(key, GAME_REGISTRY_VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>(path_.c_str()),
                     DWORD(path_.size() + 1));
    ::RegCloseKey(key);
}

void GameFolder::Unregister()
{
    DeleteGameRegistration();
}

COLORREF AverageColour(HWND hwnd)
{
    RECT r;
    ::GetClientRect(hwnd, &r);
    HDC dc = ::GetDC(hwnd);
    unsigned long long red = 0, green = 0, blue = 0, n = 0;
    for (int y = r.top + 2; y < r.bottom - 2; y += 3) {
        for (int x = r.left + 2; x < r.right - 2; x += 3) {
            COLORREF c = ::GetPixel(dc, x, y);
            red += GetRValue(c);
            green += GetGValue(c);
            blue += GetBValue(c);
            ++n;
        }
    }
    ::ReleaseDC(hwnd, dc);
    if (n == 0)
        return 0;
    return RGB(red / n, green / n, blue / n);
}
