// The Linux stand-ins must answer as Windows (under Wine) would.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/posix_internal.h"
#include "tests/support/temp_dir.h"

namespace {

class PrefixTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(tmp_ / "prefix/dosdevices");
        std::filesystem::create_directories(tmp_ / "root");
        std::filesystem::create_directory_symlink(tmp_ / "root", tmp_ / "prefix/dosdevices/e:");
        setenv("WINEPREFIX", (tmp_ / "prefix").c_str(), 1);
    }
    void TearDown() override { unsetenv("WINEPREFIX"); }
    TempDir tmp_;
};

TEST_F(PrefixTest, RegistryValuesDecodeWinesEscapes)
{
    std::ofstream(tmp_ / "prefix/system.reg")
        << "WINE REGISTRY Version 2\n\n"
           "[Software\\\\Test\\\\Key] 1700000000\n"
           "#time=1d9\n"
           "\"Plain\"=\"E:\\\\A \\\"quoted\\\" \\x00e9 \\x263a end\"\n"
           "\"Expand\"=str(2):\"%WINDIR%\\\\x\"\n"
           "\"Number\"=dword:0000002a\n"
           "\"Blob\"=hex:01,02,\\\n  03,ff\n"
           "@=\"default\"\n\n"
           "[Software\\\\Test\\\\Key\\\\Sub]\n"
           "\"Plain\"=\"other\"\n";

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\TEST\\key", 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    char buffer[64];
    DWORD size = sizeof buffer, type = 0;
    ASSERT_EQ(RegQueryValueExA(key, "plain", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, 1u);
    EXPECT_STREQ(buffer, "E:\\A \"quoted\" \xe9 ? end");
    EXPECT_EQ(size, std::strlen(buffer) + 1);

    size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(key, "Expand", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, 2u);
    EXPECT_STREQ(buffer, "%WINDIR%\\x");

    size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(key, "Number", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(buffer[0], 0x2a);

    size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(key, "Blob", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, 3u);
    ASSERT_EQ(size, 4u);
    EXPECT_EQ(std::memcmp(buffer, "\x01\x02\x03\xff", 4), 0);

    // Size query, then too small a buffer.
    size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Expand", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 11u);
    size = 4;
    EXPECT_EQ(RegQueryValueExA(key, "Expand", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 11u);

    EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Test", 0, KEY_QUERY_VALUE, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(PrefixTest, DosPathsResolveLikeWine)
{
    std::filesystem::create_directories(tmp_ / "root/Games/Scenery");
    std::ofstream(tmp_ / "root/Games/Scenery/MixedCase.Bgl") << "x";
    std::string path;
    DWORD error = 0;

    ASSERT_TRUE(ResolveDosPath("e:\\GAMES\\scenery\\mixedcase.bgl", &path, &error));
    EXPECT_EQ(path, tmp_ / "prefix/dosdevices/e:/Games/Scenery/MixedCase.Bgl");
    ASSERT_TRUE(ResolveDosPath("E:/games//./Other\\..\\SCENERY/MIXEDCASE.BGL", &path, &error));
    EXPECT_EQ(path, tmp_ / "prefix/dosdevices/e:/Games/Scenery/MixedCase.Bgl");

    // The last component may be missing: the open reports that.
    ASSERT_TRUE(ResolveDosPath("E:\\Games\\missing.bgl", &path, &error));
    EXPECT_EQ(path, tmp_ / "prefix/dosdevices/e:/Games/missing.bgl");

    EXPECT_FALSE(ResolveDosPath("E:\\NoFolder\\x.bgl", &path, &error));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(ResolveDosPath("K:\\x.bgl", &path, &error));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    // No drive: from the root, so a POSIX path works as it is.
    ASSERT_TRUE(ResolveDosPath((tmp_ / "ROOT\\games").c_str(), &path, &error));
    EXPECT_EQ(path, tmp_ / "root/Games");
}

TEST_F(PrefixTest, MappingOutlivesTheFileHandleAndWritesThrough)
{
    std::ofstream(tmp_ / "root/f.bin") << "abcdef";
    HANDLE file = CreateFileA("E:\\F.BIN", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD high = 99;
    EXPECT_EQ(GetFileSize(file, &high), 6u);
    EXPECT_EQ(high, 0u);
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    EXPECT_TRUE(CloseHandle(file));
    auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    view[0] = 'Z';
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_TRUE(CloseHandle(mapping));
    EXPECT_EQ(ReadAll(tmp_ / "root/f.bin"), (std::vector<uint8_t>{'Z', 'b', 'c', 'd', 'e', 'f'}));

    EXPECT_FALSE(UnmapViewOfFile(view));
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(CreateFileA("E:\\new.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_FALSE(std::filesystem::exists(tmp_ / "root/new.bin"));      // never created
}

TEST(LastError, IsPerThread)
{
    SetLastError(5);
    DWORD seen = 1;
    std::thread([&] {
        seen = GetLastError();
        SetLastError(87);
    }).join();
    EXPECT_EQ(seen, 0u);
    EXPECT_EQ(GetLastError(), 5u);
}

} // namespace
