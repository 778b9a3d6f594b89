// The class list file's life on Linux: the game folder from a Wine prefix's
// registry, DOS paths resolved as Wine does, and a shared writable mapping.
#include "data/class_list_file.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <string>

#include "platform/posix_file_faults.h"
#include "tests/support/fifo_watch.h"
#include "tests/support/temp_dir.h"

namespace {

const std::vector<uint8_t> kBytes = {0xA1, 0x00, 0x01, 0x00, 0x02, 0x00, 0x0A, 0, 0, 0};

class ClassListFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(tmp_ / "prefix/dosdevices");
        std::filesystem::create_directories(tmp_ / "drive_c");
        std::filesystem::create_directory_symlink(tmp_ / "drive_c", tmp_ / "prefix/dosdevices/c:");
        const char* old = std::getenv("WINEPREFIX");
        oldPrefix_ = old ? old : "";
        hadPrefix_ = old != nullptr;
        setenv("WINEPREFIX", (tmp_ / "prefix").c_str(), 1);
        std::memset(&file_, 0, sizeof file_);
        std::strcpy(file_.fileName, "CLASSLIST.BGL");
    }
    void TearDown() override
    {
        CloseClassList(&file_);
        if (hadPrefix_)
            setenv("WINEPREFIX", oldPrefix_.c_str(), 1);
        else
            unsetenv("WINEPREFIX");
    }

    // Writes system.reg with `keyLines` after a key of no interest.
    void WriteRegistry(const std::string& keyLines, const char* arch = "win32")
    {
        std::ofstream(tmp_ / "prefix/system.reg") << "WINE REGISTRY Version 2\n"
                                                     ";; All keys relative to \\\\Machine\n\n"
                                                     "#arch=" << arch << "\n\n"
                                                     "[Software\\\\Microsoft\\\\Windows] 1700000000\n"
                                                     "\"PATH\"=\"wrong key\"\n\n"
                                                  << keyLines;
    }

    TempDir tmp_;
    ClassListFile file_;
    std::string oldPrefix_;
    bool hadPrefix_ = false;
};

const char kKey[] = "[Software\\\\Microsoft\\\\Microsoft Games\\\\Combat Flight Simulator\\\\1.00] 1700000000\n";

TEST_F(ClassListFileTest, LocateReadsTheGamesPathValue)
{
    WriteRegistry(std::string(kKey) + "#time=1d9\n\"Other\"=dword:00000001\n"
                                      "\"path\"=\"C:\\\\Program Files\\\\Microsoft Games\\\\Combat\"\n");
    ASSERT_EQ(LocateGameFolder(&file_), 1);
    EXPECT_STREQ(file_.gameFolder, "C:\\Program Files\\Microsoft Games\\Combat");
}

const char kKey32[] = "[Software\\\\Wow6432Node\\\\Microsoft\\\\Microsoft Games\\\\Combat Flight Simulator\\\\1.00]\n";

TEST_F(ClassListFileTest, LocatePrefersTheInstallersViewInA64BitPrefix)
{
    // The game's 32-bit installer writes the 32-bit view, Wow6432Node on disk.
    WriteRegistry(std::string(kKey32) + "\"PATH\"=\"D:\\\\CFS\"\n", "win64");
    ASSERT_EQ(LocateGameFolder(&file_), 1);
    EXPECT_STREQ(file_.gameFolder, "D:\\CFS");

    // Both views: the installer's wins.
    WriteRegistry(std::string(kKey) + "\"PATH\"=\"E:\\\\by hand\"\n\n" + kKey32 + "\"PATH\"=\"D:\\\\CFS\"\n", "win64");
    ASSERT_EQ(LocateGameFolder(&file_), 1);
    EXPECT_STREQ(file_.gameFolder, "D:\\CFS");

    // Only the 64-bit view, as a 64-bit tool might have written it.
    std::memset(file_.gameFolder, 0, sizeof file_.gameFolder);
    WriteRegistry(std::string(kKey) + "\"PATH\"=\"E:\\\\by hand\"\n", "win64");
    ASSERT_EQ(LocateGameFolder(&file_), 1);
    EXPECT_STREQ(file_.gameFolder, "E:\\by hand");

    // A 32-bit prefix has one view: a Wow6432Node key there is just a key.
    std::memset(file_.gameFolder, 0, sizeof file_.gameFolder);
    WriteRegistry(std::string(kKey32) + "\"PATH\"=\"D:\\\\CFS\"\n", "win32");
    EXPECT_EQ(LocateGameFolder(&file_), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // The key in the installer's view without PATH: no second look elsewhere.
    WriteRegistry(std::string(kKey) + "\"PATH\"=\"E:\\\\by hand\"\n\n" + kKey32 + "\"Version\"=\"1.00\"\n", "win64");
    EXPECT_EQ(LocateGameFolder(&file_), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(ClassListFileTest, LocateFailsWithTheRegistrysStatus)
{
    SetLastError(0);
    EXPECT_EQ(LocateGameFolder(&file_), 0);            // no system.reg at all
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    WriteRegistry("");
    EXPECT_EQ(LocateGameFolder(&file_), 0);            // no key
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    WriteRegistry(std::string(kKey) + "\"Version\"=\"1.00\"\n");
    EXPECT_EQ(LocateGameFolder(&file_), 0);            // key without PATH
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_STREQ(file_.gameFolder, "");

    EXPECT_EQ(LocateGameFolder(nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(ClassListFileTest, LocateRefusesAFolderNameTooLongForTheRecord)
{
    WriteRegistry(std::string(kKey) + "\"PATH\"=\"" + std::string(259, 'a') + "\"\n");
    ASSERT_EQ(LocateGameFolder(&file_), 1);
    EXPECT_EQ(std::strlen(file_.gameFolder), 259u);

    WriteRegistry(std::string(kKey) + "\"PATH\"=\"" + std::string(260, 'b') + "\"\n");
    EXPECT_EQ(LocateGameFolder(&file_), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(file_.gameFolder[MAX_PATH - 1], '\0');

    // 260 bytes that fit exactly but carry no terminator (a binary value).
    std::string hex;
    for (int i = 0; i < 260; ++i)
        hex += (i ? ",63" : "63");
    WriteRegistry(std::string(kKey) + "\"PATH\"=hex:" + hex + "\n");
    EXPECT_EQ(LocateGameFolder(&file_), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(file_.gameFolder[MAX_PATH - 1], '\0');
}

TEST_F(ClassListFileTest, OpenFindsTheFileWhateverItsCaseOnDisk)
{
    std::string onDisk = tmp_.Write("drive_c/Games/CFS/scenery/All/SCENERY/classlist.bgl", kBytes);
    std::strcpy(file_.gameFolder, "c:\\games\\cfs\\");      // trailing separator: doubled, still found
    ASSERT_EQ(OpenClassList(&file_), 1) << GetLastError();
    EXPECT_EQ(file_.fileSize, kBytes.size());
    ASSERT_NE(file_.view, nullptr);
    EXPECT_NE(file_.fileHandle, nullptr);
    EXPECT_NE(file_.mappingHandle, nullptr);
    EXPECT_EQ(std::memcmp(file_.view, kBytes.data(), kBytes.size()), 0);

    // Stores through the view are the file's bytes once it is closed.
    file_.view[4] = 0x0A;
    EXPECT_EQ(CloseClassList(&file_), 1);
    std::vector<uint8_t> expected = kBytes;
    expected[4] = 0x0A;
    EXPECT_EQ(ReadFileBytes(onDisk), expected);
    std::memset(&file_, 0, sizeof file_);

    // A game folder without a drive starts at the root of the file system.
    std::string rootless = tmp_ / "drive_c/games/CFS";
    std::replace(rootless.begin(), rootless.end(), '/', '\\');
    std::strcpy(file_.fileName, "CLASSLIST.BGL");
    std::snprintf(file_.gameFolder, sizeof file_.gameFolder, "%s", rootless.c_str());
    ASSERT_EQ(OpenClassList(&file_), 1) << GetLastError();
    EXPECT_EQ(file_.view[4], 0x0A);
}

TEST_F(ClassListFileTest, ACloseLeavesNothingThatASecondCloseCouldCloseAgain)
{
    tmp_.Write("drive_c/Games/CFS/Scenery/All/Scenery/CLASSLIST.BGL", kBytes);
    std::strcpy(file_.gameFolder, "C:\\Games\\CFS");
    ASSERT_EQ(OpenClassList(&file_), 1) << GetLastError();
    ASSERT_EQ(CloseClassList(&file_), 1);
    EXPECT_EQ(file_.view, nullptr);
    EXPECT_EQ(file_.fileSize, 0u);
    EXPECT_EQ(file_.fileHandle, nullptr);
    EXPECT_EQ(file_.mappingHandle, nullptr);

    // The system hands the freed descriptors to the next open: closing the
    // first record again must not take them from the second.
    ClassListFile other{};
    std::strcpy(other.fileName, "CLASSLIST.BGL");
    std::strcpy(other.gameFolder, "C:\\Games\\CFS");
    ASSERT_EQ(OpenClassList(&other), 1) << GetLastError();
    EXPECT_EQ(CloseClassList(&file_), 1);
    EXPECT_EQ(FlushClassList(&other), 1) << GetLastError();
    EXPECT_EQ(CloseClassList(&other), 1);
}

TEST_F(ClassListFileTest, FailedOpensKeepNoHandleAndTheOpensError)
{
    struct Case {
        const char* folder;
        DWORD error;
    };
    tmp_.Write("drive_c/Empty/Scenery/All/Scenery/CLASSLIST.BGL", {});
    tmp_.Write("drive_c/NoFile/Scenery/All/Scenery/OTHER.BGL", kBytes);
    std::filesystem::create_directories(tmp_ / "drive_c/Folder/Scenery/All/Scenery/CLASSLIST.BGL");
    const Case cases[] = {
        {"C:\\NoFile", ERROR_FILE_NOT_FOUND},
        {"C:\\NoSuchGame", ERROR_PATH_NOT_FOUND},
        {"Q:\\NoDrive", ERROR_PATH_NOT_FOUND},
        {"", ERROR_PATH_NOT_FOUND},                    // "\Scenery\..." from the root
        {"C:\\Folder", ERROR_ACCESS_DENIED},
        {"C:\\Empty", ERROR_FILE_INVALID},             // an empty file cannot be mapped whole
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        std::memset(&file_, 0, sizeof file_);
        std::strcpy(file_.fileName, "CLASSLIST.BGL");
        std::strcpy(file_.gameFolder, c.folder);
        SetLastError(0);
        EXPECT_EQ(OpenClassList(&file_), 0);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(file_.fileHandle, nullptr);
        EXPECT_EQ(file_.mappingHandle, nullptr);
        EXPECT_EQ(file_.view, nullptr);
        EXPECT_EQ(CloseClassList(&file_), 1);
    }
    EXPECT_EQ(OpenClassList(nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    EXPECT_EQ(CloseClassList(nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

size_t OpenDescriptors()
{
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// The calls after the open fail on demand: whatever was opened is closed
// again, the record keeps no handle, and the caller sees the failing call's
// error even when a close on the way reports one of its own.
TEST_F(ClassListFileTest, FailuresAfterTheOpenCloseWhatWasOpenedAndKeepTheirError)
{
    tmp_.Write("drive_c/CFS/Scenery/All/Scenery/CLASSLIST.BGL", kBytes);
    const struct {
        const char* what;
        FileCall call;
        DWORD error;
    } cases[] = {
        {"size query", FileCall::SizeQuery, ERROR_GEN_FAILURE},
        {"mapping", FileCall::Mapping, ERROR_NOT_ENOUGH_MEMORY},
        {"view", FileCall::View, ERROR_ACCESS_DENIED},
    };
    const size_t descriptors = OpenDescriptors();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::memset(&file_, 0, sizeof file_);
        std::strcpy(file_.fileName, "CLASSLIST.BGL");
        std::strcpy(file_.gameFolder, "C:\\CFS");
        FailNextFileCall(c.call, c.error);
        FailNextFileCall(FileCall::Close, ERROR_INVALID_HANDLE);
        SetLastError(0);
        EXPECT_EQ(OpenClassList(&file_), 0);
        EXPECT_EQ(GetLastError(), c.error);
        FailNextFileCall(FileCall::Close, 0);
        EXPECT_EQ(file_.fileHandle, nullptr);
        EXPECT_EQ(file_.mappingHandle, nullptr);
        EXPECT_EQ(file_.view, nullptr);
        EXPECT_EQ(file_.fileSize, c.call == FileCall::SizeQuery ? 0u : kBytes.size());
        EXPECT_EQ(OpenDescriptors(), descriptors);
        EXPECT_EQ(CloseClassList(&file_), 1);
    }
    // Nothing stays armed: the same file opens.
    ASSERT_EQ(OpenClassList(&file_), 1) << GetLastError();
    EXPECT_EQ(std::memcmp(file_.view, kBytes.data(), kBytes.size()), 0);
}

// Root may write anything: `check` runs as an ordinary user (nobody, in a
// child process, given a way into `folder`) when the test runs as root.
bool AsAnOrdinaryUser(const std::string& folder, const std::function<bool()>& check)
{
    if (geteuid() != 0)
        return check();
    std::filesystem::permissions(folder, std::filesystem::perms::others_exec, std::filesystem::perm_options::add);
    pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0)
        _exit(setgid(65534) == 0 && setuid(65534) == 0 && check() ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(ClassListFileTest, ReadOnlyFileIsRefused)
{
    std::string path = tmp_.Write("drive_c/RO/Scenery/All/Scenery/CLASSLIST.BGL", kBytes);
    std::strcpy(file_.gameFolder, "C:\\RO");
    auto check = [&] {
        ClassListFile file = file_;
        SetLastError(0);
        return OpenClassList(&file) == 0 && GetLastError() == ERROR_ACCESS_DENIED && !file.fileHandle &&
               !file.mappingHandle && !file.view;
    };
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
    EXPECT_TRUE(AsAnOrdinaryUser(tmp_.path(), check));
}

// How the view of an open is mapped, from the kernel's list: "rw-s", "r--s".
std::string ViewProtection(const void* view)
{
    char start[32];
    std::snprintf(start, sizeof start, "%lx-", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(view)));
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.rfind(start, 0) == 0)
            return line.substr(line.find(' ') + 1, 4);
    return "";
}

TEST_F(ClassListFileTest, ReadOnlyFileOpensForLookingOnly)
{
    const std::string path = tmp_.Write("drive_c/RO/Scenery/All/Scenery/CLASSLIST.BGL", kBytes);
    // What the opens give, as seen by whoever runs `check`.
    auto check = [&] {
        ClassListFile file{};
        const bool looked = OpenClassListReadOnlyAt(&file, "C:\\RO\\Scenery\\All\\Scenery\\CLASSLIST.BGL") == 1 &&
                            file.fileSize == kBytes.size() && std::memcmp(file.view, kBytes.data(), kBytes.size()) == 0 &&
                            ViewProtection(file.view) == "r--s";
        CloseClassList(&file);
        return looked;
    };
    EXPECT_TRUE(check());   // whoever may write it may look too
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
    EXPECT_TRUE(AsAnOrdinaryUser(tmp_.path(), check));
}

TEST_F(ClassListFileTest, APipeSocketOrDeviceIsRefusedAtOnceAndNeverOpened)
{
    const std::string folder = tmp_ / "drive_c/CFS/Scenery/All/Scenery";
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/CLASSLIST.BGL";
    auto expectRefused = [&](const char* what) {
        for (int readOnly = 0; readOnly < 2; ++readOnly) {
            SCOPED_TRACE(std::string(what) + (readOnly ? ", read-only" : ", read-write"));
            std::memset(&file_, 0, sizeof file_);
            SetLastError(0);
            EXPECT_EQ(readOnly ? OpenClassListReadOnlyAt(&file_, path.c_str()) : OpenClassListAt(&file_, path.c_str()),
                      0);
            EXPECT_EQ(GetLastError(), DWORD(ERROR_CANT_ACCESS_FILE));
            EXPECT_EQ(file_.fileHandle, nullptr);
            EXPECT_EQ(file_.view, nullptr);
        }
    };
    {
        FifoWatch fifo(path);
        ASSERT_TRUE(fifo.made());
        expectRefused("FIFO");
        EXPECT_FALSE(fifo.opened());
    }
    std::filesystem::remove(path);
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    expectRefused("socket");
    close(listener);
    std::filesystem::remove(path);
    std::filesystem::create_symlink("/dev/zero", path);
    expectRefused("device");
}

TEST_F(ClassListFileTest, AFileOf4GiBOrMoreIsRefusedAndOneByteLessIsNot)
{
    const std::string path = tmp_.Write("drive_c/Big/CLASSLIST.BGL", kBytes);
    // Sparse: the size costs no disk. The low 32 bits alone would be kBytes' size.
    std::filesystem::resize_file(path, (1ull << 32) + kBytes.size());
    for (int readOnly = 0; readOnly < 2; ++readOnly) {
        SCOPED_TRACE(readOnly ? "read-only" : "read-write");
        std::memset(&file_, 0, sizeof file_);
        EXPECT_EQ(readOnly ? OpenClassListReadOnlyAt(&file_, path.c_str()) : OpenClassListAt(&file_, path.c_str()), 0);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_TOO_LARGE));
        EXPECT_EQ(file_.fileHandle, nullptr);
        EXPECT_EQ(file_.mappingHandle, nullptr);
        EXPECT_EQ(file_.view, nullptr);
        EXPECT_EQ(file_.fileSize, 0u);
    }
    // All 32 bits set is a size, not the size query's failure.
    std::filesystem::resize_file(path, 0xFFFFFFFFull);
    ASSERT_EQ(OpenClassListReadOnlyAt(&file_, path.c_str()), 1) << GetLastError();
    EXPECT_EQ(file_.fileSize, 0xFFFFFFFFu);
    EXPECT_EQ(std::memcmp(file_.view, kBytes.data(), kBytes.size()), 0);
}

TEST_F(ClassListFileTest, UnterminatedNamesAreReadNoFurtherThanTheirFields)
{
    // Both fields full to the last byte, with no terminator, and no zero byte
    // anywhere after them in the record: the path is both fields whole.
    const std::string folder = "C:\\" + std::string(200, 'd') + "\\" + std::string(56, 'e');
    const std::string name = std::string(200, 'f') + "\\" + std::string(55, 'g') + ".BGL";
    ASSERT_EQ(folder.size(), sizeof file_.gameFolder);
    ASSERT_EQ(name.size(), sizeof file_.fileName);
    tmp_.Write("drive_c/" + std::string(200, 'd') + "/" + std::string(56, 'e') + "/Scenery/All/Scenery/" +
                   std::string(200, 'f') + "/" + std::string(55, 'g') + ".BGL",
               kBytes);
    std::memset(&file_, 0x5A, sizeof file_);
    file_.view = nullptr;
    file_.fileHandle = nullptr;
    file_.mappingHandle = nullptr;
    std::memcpy(file_.fileName, name.data(), name.size());
    std::memcpy(file_.gameFolder, folder.data(), folder.size());

    ASSERT_EQ(OpenClassList(&file_), 1) << GetLastError();
    EXPECT_EQ(file_.fileSize, kBytes.size());
    EXPECT_EQ(std::memcmp(file_.view, kBytes.data(), kBytes.size()), 0);
    EXPECT_EQ(CloseClassList(&file_), 1);
    std::memset(&file_, 0, sizeof file_);
}

TEST(ViewBounds, OnlyRangesWhollyInsideTheView)
{
    BYTE bytes[32] = {};
    ClassListFile file{};
    EXPECT_FALSE(IsInsideView(&file, bytes, 1));       // nothing mapped
    file.view = bytes;
    file.fileSize = 16;
    EXPECT_TRUE(IsInsideView(&file, bytes, 16));
    EXPECT_TRUE(IsInsideView(&file, bytes + 6, 10));
    EXPECT_TRUE(IsInsideView(&file, bytes + 16, 0));
    EXPECT_FALSE(IsInsideView(&file, bytes + 6, 11));
    EXPECT_FALSE(IsInsideView(&file, bytes + 17, 0));
    EXPECT_FALSE(IsInsideView(&file, bytes + 1, 0xFFFFFFFFu));
    EXPECT_FALSE(IsInsideView(&file, reinterpret_cast<const BYTE*>(reinterpret_cast<uintptr_t>(bytes) - 1), 2));
    EXPECT_FALSE(IsInsideView(&file, nullptr, 0));
}

} // namespace
