// The Linux stand-ins must answer as Windows (under Wine) would.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "platform/native_path.h"
#include "platform/posix_file_faults.h"
#include "platform/posix_internal.h"
#include "tests/support/fifo_watch.h"
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
    EXPECT_STREQ(buffer, "E:\\A \"quoted\" \xC3\xA9 \xE2\x98\xBA end");
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

// Wine writes every character past ASCII as UTF-16 code units, and strings it
// cannot write as text (no terminator) as UTF-16LE bytes; the ANSI calls here
// give UTF-8, the encoding of the Unix names Wine gives those characters.
TEST_F(PrefixTest, RegistryStringsComeBackAsUtf8)
{
    std::ofstream(tmp_ / "prefix/system.reg")
        << "WINE REGISTRY Version 2\n\n"
           "[Software\\\\Jeux\\\\Caf\\xe9] 1700000000\n"
           "\"Latin\"=\"C:\\\\Jeux\\\\Caf\\xe9\"\n"
           "\"Wide\"=\"\\x65e5\\x3a9\\xd83d\\xde00!\"\n"
           "\"Halves\"=\"\\xde00\\xd83dx\\xd83d\"\n"
           "\"Hex\"=hex(1):43,00,3a,00,5c,00,e9,00,a9,03\n"
           "\"HexExpand\"=hex(2):25,00,65,65,00,00\n"
           "\"Multi\"=str(7):\"a\\0\\x3a9\\0\"\n";

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Jeux\\Caf\xC3\xA9", 0, KEY_QUERY_VALUE, &key),
              ERROR_SUCCESS);
    auto query = [&](const char* name, DWORD expectedType) {
        char buffer[64] = {};
        DWORD size = sizeof buffer, type = 0;
        EXPECT_EQ(RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size),
                  ERROR_SUCCESS) << name;
        EXPECT_EQ(type, expectedType) << name;
        return std::string(buffer, size);
    };
    EXPECT_EQ(query("Latin", 1), std::string("C:\\Jeux\\Caf\xC3\xA9", 14));
    EXPECT_EQ(query("Wide", 1), std::string("\xE6\x97\xA5\xCE\xA9\xF0\x9F\x98\x80!", 11));
    // Half a pair is U+FFFD, as Windows converts it.
    EXPECT_EQ(query("Halves", 1), std::string("\xEF\xBF\xBD\xEF\xBF\xBDx\xEF\xBF\xBD", 11));
    // As stored: no terminator added.
    EXPECT_EQ(query("Hex", 1), "C:\\\xC3\xA9\xCE\xA9");
    EXPECT_EQ(query("HexExpand", 2), std::string("%\xE6\x95\xA5", 5));
    EXPECT_EQ(query("Multi", 7), std::string("a\0\xCE\xA9\0", 6));
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
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

    // UTF-8 names, matched without regard to case beyond ASCII too.
    std::filesystem::create_directories(tmp_ / "root/Jeux/Caf\xC3\xA9/\xCE\xA9\xE6\x97\xA5");
    ASSERT_TRUE(ResolveDosPath("E:\\JEUX\\CAF\xC3\x89\\\xCF\x89\xE6\x97\xA5", &path, &error));
    EXPECT_EQ(path, tmp_ / "prefix/dosdevices/e:/Jeux/Caf\xC3\xA9/\xCE\xA9\xE6\x97\xA5");
    EXPECT_FALSE(ResolveDosPath("E:\\Jeux\\Cafe\\x", &path, &error));

    // A backslash and no drive: from the root.
    std::string rootless = tmp_ / "ROOT/games";
    std::replace(rootless.begin(), rootless.end(), '/', '\\');
    ASSERT_TRUE(ResolveDosPath(rootless.c_str(), &path, &error));
    EXPECT_EQ(path, tmp_ / "root/Games");

    // Any other name is the kernel's: a backslash is part of a name, "c:" a
    // name's first letters, ".." whatever the kernel makes of it.
    for (std::string name : {tmp_ / "ROOT\\games", std::string("c:x\\..\\y"), tmp_ / "root/Games/../x",
                             std::string("relative/E:\\x")}) {
        ASSERT_TRUE(ResolveDosPath(name.c_str(), &path, &error));
        EXPECT_EQ(path, name);
    }
}

TEST_F(PrefixTest, NativePathIsTheFileSystemsNameForADosPath)
{
    std::filesystem::create_directories(tmp_ / "root/Demo/Scenery/All/Scenery");
    std::ofstream(tmp_ / "root/Demo/Scenery/All/Scenery/CLASSLIST.BGL") << "x";
    const std::string posixFolder = tmp_ / "root/Demo";

    EXPECT_EQ(NativePath(posixFolder + "\\Scenery"), posixFolder + "\\Scenery");   // the kernel's name already
    EXPECT_EQ(NativePath("e:\\demo\\scenery\\ALL\\scenery\\classlist.bgl"),
              tmp_ / "prefix/dosdevices/e:/Demo/Scenery/All/Scenery/CLASSLIST.BGL");
    // What does not exist yet keeps its name, below the real case of what does.
    EXPECT_EQ(NativePath("E:\\DEMO\\scenery\\all\\Scenery\\CLASSLIST.BGL.bak"),
              tmp_ / "prefix/dosdevices/e:/Demo/Scenery/All/Scenery/CLASSLIST.BGL.bak");
    EXPECT_EQ(NativePath("E:\\Demo\\New\\Sub\\x.bgl"), tmp_ / "prefix/dosdevices/e:/Demo/New/Sub/x.bgl");
    EXPECT_EQ(NativePath("K:\\Game\\x.bgl"), "K:\\Game\\x.bgl");
}

TEST_F(PrefixTest, CommandLineNamesAreTheKernelsUnlessTheyStartWithADrive)
{
    std::filesystem::create_directories(tmp_ / "root/Demo/scenery/ALL/Scenery");
    std::ofstream(tmp_ / "root/Demo/scenery/ALL/Scenery/classlist.bgl") << "x";
    const std::string cwd = std::filesystem::current_path().string();
    std::string path;
    for (const char* relative : {"c:x", "\\x", "a\\b/../c"}) {
        ASSERT_TRUE(ArgumentPath(relative, &path));
        EXPECT_EQ(path, cwd + "/" + relative);
    }
    ASSERT_TRUE(ArgumentPath("/a/../b\\c", &path));
    EXPECT_EQ(path, "/a/../b\\c");
    ASSERT_TRUE(ArgumentPath("//a/./b//.", &path));   // the same file, tidied
    EXPECT_EQ(path, "/a/b");
    ASSERT_TRUE(ArgumentPath(".", &path));
    EXPECT_EQ(path, cwd);
    for (const char* dos : {"E:\\DEMO", "e:/demo"}) {
        ASSERT_TRUE(ArgumentPath(dos, &path));
        EXPECT_EQ(path, tmp_ / "prefix/dosdevices/e:/Demo");
    }
    EXPECT_FALSE(ArgumentPath("", &path));

    // Below a folder, the scenery folders and the file in their real case;
    // what is missing keeps the case asked for.
    const char* below = "Scenery\\All\\Scenery\\CLASSLIST.BGL";
    const std::string real = tmp_ / "root/Demo/scenery/ALL/Scenery/classlist.bgl";
    EXPECT_EQ(PathBelow(tmp_ / "root/Demo", below), real);
    EXPECT_EQ(PathBelow(tmp_ / "root/Demo/", below), real);
    EXPECT_EQ(PathBelow(tmp_ / "root/Other", below), tmp_ / "root/Other/Scenery/All/Scenery/CLASSLIST.BGL");
    EXPECT_EQ(PathBelow("K:\\Game", below), std::string("K:\\Game\\") + below);
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
    EXPECT_EQ(ReadFileBytes(tmp_ / "root/f.bin"), (std::vector<uint8_t>{'Z', 'b', 'c', 'd', 'e', 'f'}));

    EXPECT_FALSE(UnmapViewOfFile(view));
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(CreateFileA("E:\\new.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_FALSE(std::filesystem::exists(tmp_ / "root/new.bin"));      // never created
}

TEST_F(PrefixTest, AReadOnlyHandleGivesOnlyAReadOnlyView)
{
    std::ofstream(tmp_ / "root/f.bin") << "abcdef";
    HANDLE file = CreateFileA("E:\\F.BIN", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileType(file), DWORD(FILE_TYPE_DISK));
    EXPECT_EQ(CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    auto* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::string(view, 6), "abcdef");
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_TRUE(CloseHandle(mapping));
    EXPECT_TRUE(CloseHandle(file));
}

// Run in a child that an alarm ends: a test of "never waits" must not wait.
bool EndsWithinSeconds(const std::function<bool()>& body)
{
    const pid_t child = fork();
    if (child == 0) {
        alarm(5);
        _exit(body() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(PrefixTest, ANameThatBecomesAFifoBetweenTheLookAndTheOpenIsRefusedWithoutWaiting)
{
    const std::string path = tmp_ / "root/f.bin";
    std::ofstream(path) << "abcdef";
    EXPECT_TRUE(EndsWithinSeconds([&] {
        BeforeNextFileCall(FileCall::Open, [&] {
            std::filesystem::remove(path);
            mkfifo(path.c_str(), 0666);
        });
        HANDLE file = CreateFileA("E:\\F.BIN", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        return file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_CANT_ACCESS_FILE;
    }));
}

TEST_F(PrefixTest, ARegistryThatIsAFifoIsRefusedAndNeverOpened)
{
    FifoWatch fifo(tmp_ / "prefix/system.reg");
    ASSERT_TRUE(fifo.made());
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Test", 0, KEY_QUERY_VALUE, &key),
              LSTATUS(ERROR_CANT_ACCESS_FILE));
    EXPECT_EQ(key, nullptr);
    EXPECT_FALSE(fifo.opened());
}

TEST(Processes, RunningUntilEndedEvenBeforeTheyAreWaitedFor)
{
    HANDLE self = OpenProcess(SYNCHRONIZE, FALSE, GetCurrentProcessId());
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(WaitForSingleObject(self, 0), DWORD(WAIT_TIMEOUT));
    EXPECT_TRUE(CloseHandle(self));

    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    HANDLE ended = nullptr;
    for (int tries = 0; tries < 500 && !(ended && WaitForSingleObject(ended, 0) == WAIT_OBJECT_0); ++tries) {
        if (ended)
            CloseHandle(ended);
        ended = OpenProcess(SYNCHRONIZE, FALSE, DWORD(child));
        usleep(2000);
    }
    ASSERT_NE(ended, nullptr);
    EXPECT_EQ(WaitForSingleObject(ended, 0), DWORD(WAIT_OBJECT_0));   // ended, not yet waited for
    CloseHandle(ended);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(OpenProcess(SYNCHRONIZE, FALSE, DWORD(child)), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
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
