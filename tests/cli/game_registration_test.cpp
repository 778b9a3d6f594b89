// A game installed on the machine that runs the tests comes through their
// set-ups and tear-downs as it was: every value its installer and its user
// left, in both registry views.
#include "tests/support/game_registration.h"

#include <gtest/gtest.h>

#include <string>

#include "data/class_list_file.h"
#include "tests/cli/cli_run.h"
#include "tests/support/game_folder.h"

namespace {

void SetValue(REGSAM view, const std::wstring& subkey, const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    const std::wstring path = game_registration::kPath[game_registration::kLevels - 1] + subkey;
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

// The folder and more besides, of several types, a default value, a subkey,
// and a hand-made key in the other view.
void InstallTheGame()
{
    const wchar_t path[] = L"C:\\Program Files\\Microsoft Games\\Combat Flight Simulator\\";
    const DWORD version = 0x00010000;
    const wchar_t language[] = L"English";
    const BYTE productId[] = {0x10, 0x00, 0xFF, 0x7F, 0x00};
    const wchar_t folders[] = L"Scenery\0Texture\0";
    const wchar_t unterminated[] = {L'A', L'B'};
    const ULONGLONG stamp = 0x0123456789ABCDEFull;
    const BYTE none = 0;
    SetValue(KEY_WOW64_32KEY, L"", L"PATH", REG_SZ, path, sizeof path);
    SetValue(KEY_WOW64_32KEY, L"", L"Version", REG_DWORD, &version, sizeof version);
    SetValue(KEY_WOW64_32KEY, L"", L"Language", REG_SZ, language, sizeof language);
    SetValue(KEY_WOW64_32KEY, L"", L"", REG_SZ, language, sizeof language);
    SetValue(KEY_WOW64_32KEY, L"", L"ProductID", REG_BINARY, productId, sizeof productId);
    SetValue(KEY_WOW64_32KEY, L"", L"Folders", REG_MULTI_SZ, folders, sizeof folders);
    SetValue(KEY_WOW64_32KEY, L"", L"Odd", REG_SZ, unterminated, sizeof unterminated);
    SetValue(KEY_WOW64_32KEY, L"", L"Empty", REG_NONE, &none, 0);
    SetValue(KEY_WOW64_32KEY, L"\\Controls", L"Joystick", REG_DWORD, &version, sizeof version);
    SetValue(KEY_WOW64_64KEY, L"", L"PATH", REG_SZ, L"D:\\CFS", sizeof L"D:\\CFS");
    SetValue(KEY_WOW64_64KEY, L"", L"Stamp", REG_QWORD, &stamp, sizeof stamp);
}

std::string LocatedFolder()
{
    ClassListFile file{};
    return LocateGameFolder(&file) ? file.gameFolder : "(none)";
}

// The machine's own registration comes back after each case, whatever the
// case did to it.
class GameRegistration : public ::testing::Test {
protected:
    KeptGameRegistration machines_;
};

TEST_F(GameRegistration, AnInstalledGameIsAsItWasAfterTheTestsRegisterAndForgetTheirOwn)
{
    DeleteGameRegistration();
    InstallTheGame();
    const std::string installed = GameRegistrationText();
    ASSERT_NE(installed.find("\"Joystick\" type 4, 4 bytes: 00 00 01 00"), std::string::npos) << installed;
    ASSERT_NE(installed.find("64-bit SOFTWARE\\Microsoft\\Microsoft Games\\Combat Flight Simulator\\1.00\n"
                             "  \"PATH\" type 1, 14 bytes: 44 00 3A 00 5C 00 43 00 46 00 53 00 00 00\n"),
              std::string::npos)
        << installed;

    {
        // A command-line test: its fixture, then the game it registers and unregisters.
        KeptRegistration registration;
        ForgetTheGame();
        EXPECT_EQ(LocatedFolder(), "(none)");
        RegisteredGame game;
        EXPECT_EQ(LocatedFolder(), game.Folder());
        game.Unregister();
        EXPECT_EQ(LocatedFolder(), "(none)");
    }
    EXPECT_EQ(GameRegistrationText(), installed);

    {
        // A dialog test's game folder.
        GameFolder game;
        game.Register();
        EXPECT_EQ(LocatedFolder(), game.Path());
        GameFolder::Unregister();
        EXPECT_EQ(LocatedFolder(), "(none)");
    }
    EXPECT_EQ(GameRegistrationText(), installed);
}

TEST_F(GameRegistration, WithoutAGameTheTestsLeaveNoKeyBehind)
{
    DeleteGameRegistration();
    // In a fresh prefix the keys above the game's are not there either, and
    // must not be afterwards.
    const std::string before = GameRegistrationText();
    EXPECT_EQ(before.find("1.00"), std::string::npos) << before;
    {
        KeptRegistration registration;
        ForgetTheGame();
        RegisteredGame game;
        EXPECT_EQ(LocatedFolder(), game.Folder());
    }
    EXPECT_EQ(GameRegistrationText(), before);
    {
        GameFolder game;
        game.Register();
    }
    EXPECT_EQ(GameRegistrationText(), before);
}

} // namespace
