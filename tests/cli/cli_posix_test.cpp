// turfwise-cli where a POSIX system decides: a class list the user may change
// in a folder the user may not write, pipes where files should be, names as
// the kernel reads them, and a class list on a full disk.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/cli/cli_run.h"
#include "tests/support/fifo_watch.h"
#include "tests/support/file_bytes.h"
#include "tests/support/small_tmpfs.h"
#include "tests/support/temp_dir.h"
#include "tools/classlist_builder.h"

namespace fs = std::filesystem;

namespace {

// One grass class: all the class list these commands need.
std::vector<uint8_t> OneGrassClass()
{
    ClassListBuilder b;
    b.AddTexturedClass(0, 1, "GRASS000.BMP");
    b.AddEnd();
    return b.Bytes();
}

// A folder of this test and process under the system's temporary folder.
std::string MakeTestFolder(const std::string& name)
{
    const fs::path folder = fs::temp_directory_path() / ("turfwise-cli-" + name + "-" + std::to_string(getpid()));
    fs::create_directories(folder);
    return folder.string();
}

TEST(CliPosixTest, BackupInAFolderTheUserMayNotWriteStopsTheChange)
{
    const std::string folder = MakeTestFolder("ro");
    const std::string path = folder + "/CLASSLIST.BGL";
    const std::vector<uint8_t> grass = OneGrassClass();
    WriteFileBytes(path, grass);
    ASSERT_EQ(chmod(path.c_str(), 0666), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);

    // Run by root, the program runs as nobody, whom the folder stops.
    CliRun run = RunCli({"set", "water", "--all", "--file", path}, /*unprivileged=*/true);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find(path + ".bak: cannot save the backup copy (error 5: Access is denied.)"), std::string::npos)
        << run.err;
    EXPECT_EQ(ReadFileBytes(path), grass);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);

    run = RunCli({"set", "water", "--all", "--no-backup", "--file", path}, /*unprivileged=*/true);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(ReadFileBytes(path), grass);

    chmod(folder.c_str(), 0755);
    fs::remove_all(folder);
}

// The test's own current folder, for relative names, until it ends.
class InFolder {
public:
    explicit InFolder(const std::string& folder) : before_(fs::current_path()) { fs::current_path(folder); }
    ~InFolder() { fs::current_path(before_); }

private:
    fs::path before_;
};

TEST(CliPosixTest, FileAndGameFolderAreNamedAsTheKernelNamesThem)
{
    RegisteredGame game;   // drive C: of its own prefix, for what a DOS rule would reach
    TempDir tmp;
    const std::vector<uint8_t> grass = OneGrassClass();
    auto changed = [&](const std::string& path) { return ReadFileBytes(path) != grass; };

    // Each argument names the first file; a DOS reading of it names the second.
    const struct {
        const char* argument;
        const char* meant;
        std::string other;
    } cases[] = {
        {"x\\y/CLASSLIST.BGL", "x\\y/CLASSLIST.BGL", tmp / "x/y/CLASSLIST.BGL"},
        {"c:CLASSLIST.BGL", "c:CLASSLIST.BGL", game.Folder() + "/../../CLASSLIST.BGL"},
        {"link/../CLASSLIST.BGL", "a/CLASSLIST.BGL", tmp / "CLASSLIST.BGL"},
    };
    fs::create_directories(tmp / "a/b");
    fs::create_directory_symlink(tmp / "a/b", tmp / "link");
    InFolder inTmp(tmp.path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument);
        const std::string meant = tmp.Write(c.meant, grass);
        fs::create_directories(fs::path(c.other).parent_path());
        WriteFileBytes(c.other, grass);
        CliRun run = RunCli({"set", "water", "--all", "--no-backup", "--file", c.argument});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(changed(meant));
        EXPECT_FALSE(changed(c.other));
        // Relative or absolute alike.
        WriteFileBytes(meant, grass);
        run = RunCli({"set", "water", "--all", "--no-backup", "--file", tmp / c.argument});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(changed(meant));
        EXPECT_FALSE(changed(c.other));
    }

    // Below a game folder the scenery folders and the file are found whatever
    // their case, and the backup takes the file's own name.
    const std::string inGame = tmp.Write("G\\ame/scenery/all/SCENERY/classlist.bgl", grass);
    CliRun run = RunCli({"set", "water", "--all", "--game-folder", tmp / "G\\ame"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(changed(inGame));
    EXPECT_EQ(ReadFileBytes(inGame + ".bak"), grass);
    EXPECT_EQ(run.out.rfind("Backup saved as " + inGame + ".bak\n", 0), 0u) << run.out;
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(inGame).parent_path()), fs::directory_iterator()), 2);

    // A name that starts with a drive is a DOS path, through the prefix's drives.
    WriteFileBytes(game.ClassListPath(), grass);
    run = RunCli({"set", "water", "--all", "--no-backup", "--file", "c:/games/cfs\\SCENERY\\all\\scenery\\classlist.bgl"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(changed(game.ClassListPath()));
}

// A link under the backup's name reads as a copy that matches; restoring from
// it would report success and change nothing.
TEST(CliPosixTest, RestoreRefusesABackupThatIsTheClassListItself)
{
    const std::string folder = MakeTestFolder("link");
    const std::string path = folder + "/CLASSLIST.BGL";
    const std::vector<uint8_t> grass = OneGrassClass();
    WriteFileBytes(path, grass);
    fs::create_symlink("CLASSLIST.BGL", path + ".bak");
    for (const char* force : {"--dry-run", "--force"}) {
        CliRun run = RunCli({"restore", force, "--file", path});
        EXPECT_EQ(run.exitCode, 3) << force;
        EXPECT_NE(run.err.find(path + ".bak: refused: it is " + path + " itself, under another name"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(run.out, "") << force;
    }
    EXPECT_EQ(ReadFileBytes(path), grass);
    fs::remove_all(folder);
}

} // namespace

namespace {

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(CliPosixTest, APipeWhereAFileShouldBeIsRefusedAtOnce)
{
    const std::string folder = MakeTestFolder("fifo");
    const std::string path = folder + "/CLASSLIST.BGL";
    const std::vector<uint8_t> grass = OneGrassClass();
    {
        FifoWatch fifo(path);
        ASSERT_TRUE(fifo.made());
        for (const char* command : {"list", "set"}) {
            CliRun run = command == std::string("list") ? RunCli({"list", "--file", path})
                                                        : RunCli({"set", "water", "--all", "--file", path});
            EXPECT_EQ(run.exitCode, 2) << command;
            EXPECT_TRUE(Contains(run.err, path + ": cannot open and map the class list (not a regular file; error 1920"))
                << run.err;
        }
        EXPECT_FALSE(fifo.opened());
    }
    fs::remove(path);
    WriteFileBytes(path, grass);
    {
        FifoWatch fifo(path + ".bak");
        CliRun set = RunCli({"set", "water", "--all", "--file", path});
        EXPECT_EQ(set.exitCode, 2);
        EXPECT_TRUE(Contains(set.err, path + ".bak: not a backup of " + path + ": it is not a regular file")) << set.err;
        CliRun restore = RunCli({"restore", "--file", path});
        EXPECT_EQ(restore.exitCode, 2);
        EXPECT_TRUE(Contains(restore.err, path + ".bak: cannot read the backup (not a regular file; error 1920"))
            << restore.err;
        EXPECT_FALSE(fifo.opened());
    }
    EXPECT_EQ(ReadFileBytes(path), grass);

    // The Wine prefix's registry, where the game's folder is looked up.
    const char* old = std::getenv("WINEPREFIX");
    const std::string kept = old ? old : "";
    setenv("WINEPREFIX", folder.c_str(), 1);
    {
        FifoWatch fifo(folder + "/system.reg");
        CliRun list = RunCli({"list"});
        EXPECT_EQ(list.exitCode, 2);
        EXPECT_TRUE(Contains(list.err, "cannot locate Combat Flight Simulator")) << list.err;
        EXPECT_TRUE(Contains(list.err, "(not a regular file; error 1920")) << list.err;
        EXPECT_FALSE(fifo.opened());
    }
    if (old)
        setenv("WINEPREFIX", kept.c_str(), 1);
    else
        unsetenv("WINEPREFIX");
    fs::remove_all(folder);
}

TEST(CliPosixTest, OutputThatCannotBeWrittenIsAFileError)
{
    const std::string folder = MakeTestFolder("full");
    const std::string path = folder + "/CLASSLIST.BGL";
    WriteFileBytes(path, OneGrassClass());
    for (const std::string command : {"--help", "list", "set water --all --dry-run"}) {
        // Standard error to the pipe, then standard output to the full device.
        const std::string line = "'" TURFWISE_CLI "' " + command + " --file '" + path + "' 2>&1 >/dev/full";
        FILE* pipe = popen(line.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string err;
        for (int c; (c = std::fgetc(pipe)) != EOF;)
            err += char(c);
        const int status = pclose(pipe);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 2) << command;
        EXPECT_EQ(err, "turfwise-cli: standard output: cannot write (No space left on device)\n") << command;
    }
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
