// turfwise-cli where a POSIX system decides: a class list the user may change
// in a folder the user may not write, a class list on a full disk.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/cli/cli_run.h"
#include "tools/classlist_builder.h"
#include "tests/support/file_bytes.h"
#include "tests/support/small_tmpfs.h"

namespace fs = std::filesystem;

namespace {

TEST(CliPosixTest, BackupInAFolderTheUserMayNotWriteStopsTheChange)
{
    const std::string folder = (fs::temp_directory_path() / ("turfwise-cli-ro-" + std::to_string(getpid()))).string();
    const std::string path = folder + "/CLASSLIST.BGL";
    fs::create_directories(folder);
    ClassListBuilder b;
    b.AddTexturedClass(0, 1, "GRASS000.BMP");
    b.AddEnd();
    ASSERT_TRUE(b.WriteFile(path));
    ASSERT_EQ(chmod(path.c_str(), 0666), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);

    // Run by root, the program runs as nobody, whom the folder stops.
    CliRun run = RunCli({"set", "water", "--all", "--file", path}, /*unprivileged=*/true);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find(path + ".bak: cannot save the backup copy (error 5: Access is denied.)"), std::string::npos)
        << run.err;
    EXPECT_EQ(ReadFileBytes(path), b.Bytes());
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);

    run = RunCli({"set", "water", "--all", "--no-backup", "--file", path}, /*unprivileged=*/true);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(ReadFileBytes(path), b.Bytes());

    chmod(folder.c_str(), 0755);
    fs::remove_all(folder);
}

// A sparse class list on a full disk: the pages of its hole cannot be read.
TEST(CliPosixTest, AClassListTheSystemCannotReadIsAFileError)
{
    SmallTmpfs disk(TURFWISE_TEST_BUILD_DIR, 64);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.why();
    ClassListBuilder b;
    b.AddTexturedClass(0, 1, "GRASS000.BMP");
    b.AddTexturedClass(1, 1, "GRASS001.BMP");
    std::vector<uint8_t> bytes = b.Bytes();
    bytes.resize(4096, 0);
    const std::string path = disk / "CLASSLIST.BGL";
    WriteFileBytes(path, bytes);
    ASSERT_EQ(truncate(path.c_str(), 3 * 4096), 0);
    disk.Fill();

    for (const char* command : {"list", "set", "reset", "restore"}) {
        std::vector<std::string> args{command, "--file", path};
        if (std::string(command) == "set")
            args.insert(args.end(), {"water", "--all"});
        CliRun run = RunCli(args);
        EXPECT_EQ(run.exitCode, 2) << command;
        EXPECT_NE(run.err.find(path + ": the scan stopped at offset 4096 (0x1000): error 112: There is not enough "
                                      "space on the disk. (error 112); 2 classes found before it"),
                  std::string::npos)
            << command << ": " << run.err;
    }
    // Nothing changed and no backup was made.
    std::vector<uint8_t> now = ReadFileBytes(path);
    now.resize(4096);
    EXPECT_EQ(now, bytes);
    EXPECT_FALSE(fs::exists(path + ".bak"));
}

} // namespace
