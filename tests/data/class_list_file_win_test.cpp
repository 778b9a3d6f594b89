// The class list file on the real Win32 calls: registry, sharing, read-only
// files, empty files and the shared writable mapping.
#include "data/class_list_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/game_registration.h"

namespace {

const BYTE kBytes[] = {0xA1, 0x00, 0x01, 0x00, 0x02, 0x00, 0x0A, 0, 0, 0};

std::string TempFolder()
{
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    char name[MAX_PATH];
    std::snprintf(name, sizeof name, "%sturfwise-%lu-%lu", base, GetCurrentProcessId(), GetTickCount());
    return name;
}

class ClassListFileWin : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = TempFolder();
        sceneryFolder_ = folder_ + "\\Scenery\\All\\Scenery";
        CreateDirectoryA(folder_.c_str(), nullptr);
        CreateDirectoryA((folder_ + "\\Scenery").c_str(), nullptr);
        CreateDirectoryA((folder_ + "\\Scenery\\All").c_str(), nullptr);
        CreateDirectoryA(sceneryFolder_.c_str(), nullptr);
        std::memset(&file_, 0, sizeof file_);
        std::strcpy(file_.fileName, "CLASSLIST.BGL");
        std::strcpy(file_.gameFolder, folder_.c_str());
    }
    void TearDown() override
    {
        CloseClassList(&file_);
        std::string path = FilePath();
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
        RemoveDirectoryA(sceneryFolder_.c_str());
        RemoveDirectoryA((folder_ + "\\Scenery\\All").c_str());
        RemoveDirectoryA((folder_ + "\\Scenery").c_str());
        RemoveDirectoryA(folder_.c_str());
    }

    std::string FilePath() const { return sceneryFolder_ + "\\CLASSLIST.BGL"; }
    void WriteFile(const BYTE* bytes, DWORD size) const
    {
        FILE* f = std::fopen(FilePath().c_str(), "wb");
        ASSERT_NE(f, nullptr);
        if (size)
            std::fwrite(bytes, 1, size, f);
        std::fclose(f);
    }
    std::vector<BYTE> ReadFile() const
    {
        std::vector<BYTE> bytes;
        FILE* f = std::fopen(FilePath().c_str(), "rb");
        if (!f)
            return bytes;
        for (int c; (c = std::fgetc(f)) != EOF;)
            bytes.push_back(static_cast<BYTE>(c));
        std::fclose(f);
        return bytes;
    }
    void ExpectNoHandles() const
    {
        EXPECT_EQ(file_.fileHandle, nullptr);
        EXPECT_EQ(file_.mappingHandle, nullptr);
        EXPECT_EQ(file_.view, nullptr);
    }

    std::string folder_, sceneryFolder_;
    ClassListFile file_;
};

TEST_F(ClassListFileWin, MapsTheWholeFileAndWritesThrough)
{
    WriteFile(kBytes, sizeof kBytes);
    ASSERT_EQ(OpenClassList(&file_), 1) << GetLastError();
    EXPECT_EQ(file_.fileSize, sizeof kBytes);
    ASSERT_NE(file_.view, nullptr);
    EXPECT_EQ(std::memcmp(file_.view, kBytes, sizeof kBytes), 0);

    // Other programs may read and write it meanwhile.
    HANDLE other = CreateFileA(FilePath().c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(other, INVALID_HANDLE_VALUE);
    CloseHandle(other);

    file_.view[4] = 0x0B;
    EXPECT_EQ(CloseClassList(&file_), 1);
    std::memset(&file_, 0, sizeof file_);
    std::vector<BYTE> expected(kBytes, kBytes + sizeof kBytes);
    expected[4] = 0x0B;
    EXPECT_EQ(ReadFile(), expected);
}

TEST_F(ClassListFileWin, FailedOpensLeaveTheFailingCallsError)
{
    SetLastError(0);
    EXPECT_EQ(OpenClassList(&file_), 0);                  // missing
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    ExpectNoHandles();
    EXPECT_EQ(CloseClassList(&file_), 1);

    WriteFile(nullptr, 0);                                // empty: no whole-file mapping
    EXPECT_EQ(OpenClassList(&file_), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_INVALID));
    ExpectNoHandles();
    // The file was closed: it can be deleted at once.
    EXPECT_TRUE(DeleteFileA(FilePath().c_str()));

    WriteFile(kBytes, sizeof kBytes);

    // Held open elsewhere without write sharing.
    HANDLE locker = CreateFileA(FilePath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locker, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenClassList(&file_), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    ExpectNoHandles();
    CloseHandle(locker);

    std::strcpy(file_.gameFolder, (folder_ + "\\missing").c_str());
    EXPECT_EQ(OpenClassList(&file_), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(ClassListFileWin, ReadOnlyFileIsRefused)
{
    WriteFile(kBytes, sizeof kBytes);
    SetFileAttributesA(FilePath().c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE probe = CreateFileA(FilePath().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        GTEST_SKIP() << "this system lets us write read-only files (Wine run by root); the Linux build checks it";
    }
    SetLastError(0);
    EXPECT_EQ(OpenClassList(&file_), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ExpectNoHandles();
}

TEST_F(ClassListFileWin, ReadOnlyFileOpensForLookingOnly)
{
    WriteFile(kBytes, sizeof kBytes);
    SetFileAttributesA(FilePath().c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ(OpenClassListReadOnlyAt(&file_, FilePath().c_str()), 1) << GetLastError();
    EXPECT_EQ(file_.fileSize, sizeof kBytes);
    EXPECT_EQ(std::memcmp(file_.view, kBytes, sizeof kBytes), 0);
    MEMORY_BASIC_INFORMATION info = {};
    ASSERT_NE(VirtualQuery(file_.view, &info, sizeof info), 0u);
    EXPECT_EQ(info.Protect, static_cast<DWORD>(PAGE_READONLY));
}

TEST_F(ClassListFileWin, ADeviceIsRefusedAsNoFileOnADisk)
{
    for (int readOnly = 0; readOnly < 2; ++readOnly) {
        SCOPED_TRACE(readOnly ? "read-only" : "read-write");
        SetLastError(0);
        EXPECT_EQ(readOnly ? OpenClassListReadOnlyAt(&file_, "NUL") : OpenClassListAt(&file_, "NUL"), 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANT_ACCESS_FILE));
        ExpectNoHandles();
    }
}

TEST_F(ClassListFileWin, AFileOf4GiBOrMoreIsRefused)
{
    WriteFile(kBytes, sizeof kBytes);
    HANDLE big = CreateFileA(FilePath().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(big, INVALID_HANDLE_VALUE);
    // Past 4 GiB by the small file's size: the low 32 bits alone would pass.
    LARGE_INTEGER end;
    end.QuadPart = (1LL << 32) + static_cast<LONGLONG>(sizeof kBytes);
    const bool grown = SetFilePointerEx(big, end, nullptr, FILE_BEGIN) && SetEndOfFile(big);
    CloseHandle(big);
    ASSERT_TRUE(grown) << GetLastError();
    for (int readOnly = 0; readOnly < 2; ++readOnly) {
        SCOPED_TRACE(readOnly ? "read-only" : "read-write");
        SetLastError(0);
        EXPECT_EQ(readOnly ? OpenClassListReadOnlyAt(&file_, FilePath().c_str()) : OpenClassList(&file_), 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
        ExpectNoHandles();
    }
}

// The game's key, in the 32-bit view where its installer writes it unless a
// test says otherwise; each test starts with neither view's key, and the
// machine's own registration comes back after it.
class GameRegistry : public ::testing::Test {
protected:
    void SetUp() override { DeleteGameRegistration(); }
    void SetPath(const void* data, DWORD size, DWORD type = REG_SZ, REGSAM view = KEY_WOW64_32KEY)
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, GAME_REGISTRY_KEY, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, GAME_REGISTRY_VALUE, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    KeptGameRegistration registration_;
    ClassListFile file_{};
};

TEST_F(GameRegistry, FolderComesFromThePathValue)
{
    SetLastError(0);
    EXPECT_EQ(LocateGameFolder(&file_), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_STREQ(file_.gameFolder, "");

    const char path[] = "C:\\Program Files\\Microsoft Games\\Combat Flight Simulator\\";
    SetPath(path, sizeof path);
    ASSERT_EQ(LocateGameFolder(&file_), 1);
    EXPECT_STREQ(file_.gameFolder, path);

    std::string longest(259, 'a');
    SetPath(longest.c_str(), 260);
    ASSERT_EQ(LocateGameFolder(&file_), 1);
    EXPECT_EQ(std::strlen(file_.gameFolder), 259u);

    std::string tooLong(260, 'b');
    SetPath(tooLong.c_str(), 261);
    EXPECT_EQ(LocateGameFolder(&file_), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(file_.gameFolder[MAX_PATH - 1], '\0');

    // Fits the buffer exactly but has no terminator.
    SetPath(tooLong.c_str(), 260, REG_BINARY);
    EXPECT_EQ(LocateGameFolder(&file_), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(file_.gameFolder[MAX_PATH - 1], '\0');
}

// Both builds find the game on 64-bit Windows: the installer's 32-bit view
// first, the 64-bit view when the key is not there at all.
TEST_F(GameRegistry, InstallersViewFirstThenThe64BitView)
{
    const char installed[] = "C:\\Games\\CFS";
    const char byHand[] = "D:\\CFS by hand";
    SetPath(byHand, sizeof byHand, REG_SZ, KEY_WOW64_64KEY);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, GAME_REGISTRY_KEY, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key) ==
        ERROR_SUCCESS) {
        RegCloseKey(key);
        GTEST_SKIP() << "this system has one registry view (32-bit Windows or a 32-bit prefix)";
    }
    ASSERT_EQ(LocateGameFolder(&file_), 1);
    EXPECT_STREQ(file_.gameFolder, byHand);

    SetPath(installed, sizeof installed, REG_SZ, KEY_WOW64_32KEY);
    ASSERT_EQ(LocateGameFolder(&file_), 1);
    EXPECT_STREQ(file_.gameFolder, installed);

    // Only the installer's view, from a 64-bit program in a 64-bit prefix too.
    HKEY parent;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Microsoft Games\\Combat Flight Simulator", 0,
                            KEY_ALL_ACCESS | KEY_WOW64_64KEY, &parent),
              ERROR_SUCCESS);
    RegDeleteKeyA(parent, "1.00");
    RegCloseKey(parent);
    std::memset(file_.gameFolder, 0, sizeof file_.gameFolder);
    ASSERT_EQ(LocateGameFolder(&file_), 1);
    EXPECT_STREQ(file_.gameFolder, installed);
}

} // namespace
