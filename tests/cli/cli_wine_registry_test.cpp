// The game as Wine registers it: a folder named beyond ASCII, written into the
// prefix's registry by Wine's own reg.exe, found by the native command line.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/cli_run.h"
#include "tests/support/temp_dir.h"
#include "tools/classlist_builder.h"

namespace fs = std::filesystem;

namespace {

const char kWine64[] = "/usr/lib/wine/wine64";

std::string WineServer()
{
    return access("/usr/lib/wine/wineserver64", X_OK) == 0 ? "/usr/lib/wine/wineserver64" : "wineserver";
}

// Runs a Wine program in `prefix`, its output discarded: Wine's services
// inherit it and would hold a pipe open long after the program ends.
int RunWine(const std::string& prefix, const std::vector<std::string>& command)
{
    pid_t child = fork();
    if (child == 0) {
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        setenv("WINEPREFIX", prefix.c_str(), 1);
        setenv("WINEDEBUG", "-all", 1);
        setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
        setenv("LC_ALL", "C.UTF-8", 1);   // reg.exe reads its arguments as UTF-8
        std::vector<std::string> args{"timeout", "180"};
        args.insert(args.end(), command.begin(), command.end());
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execvp("timeout", argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CliWineRegistryTest, ListFindsAGameRegisteredByWineUnderANonAsciiFolder)
{
    if (access(kWine64, X_OK) != 0) {
        // The test command insists; a bare ctest run may lack Wine.
        if (std::getenv("TURFWISE_REQUIRE_WINE"))
            FAIL() << kWine64 << " is missing";
        GTEST_SKIP() << "no 64-bit Wine (" << kWine64 << ") to write the game's registry entry";
    }
    TempDir tmp;
    const std::string prefix = tmp / "prefix";
    // As the game's 32-bit installer registers it; in a different case from
    // the folder, which Windows ignores.
    ASSERT_EQ(RunWine(prefix, {kWine64, "reg", "add",
                               "HKLM\\SOFTWARE\\Microsoft\\Microsoft Games\\Combat Flight Simulator\\1.00", "/v",
                               "PATH", "/t", "REG_SZ", "/d", "C:\\Jeux\\CAF\xC3\x89\\\xCE\xA9 \xE6\x97\xA5\xE6\x9C\xAC",
                               "/reg:32", "/f"}),
              0);
    // The registry reaches system.reg when the server ends.
    ASSERT_EQ(RunWine(prefix, {WineServer(), "-w"}), 0);
    ASSERT_TRUE(fs::exists(prefix + "/system.reg"));

    const std::string folder = prefix + "/drive_c/Jeux/Caf\xC3\xA9/\xCE\xA9 \xE6\x97\xA5\xE6\x9C\xAC";
    fs::create_directories(folder + "/Scenery/All/Scenery");
    ClassListBuilder b;
    b.AddTexturedClass(7, 2, "WATER000.BMP");
    b.AddTexturedClass(8, 1, "GRASS001.BMP");
    b.AddEnd();
    ASSERT_TRUE(b.WriteFile(folder + "/Scenery/All/Scenery/CLASSLIST.BGL"));

    setenv("WINEPREFIX", prefix.c_str(), 1);
    CliRun run = RunCli({"list"});
    ForgetTheGame();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("WATER000.BMP Type= Water"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("GRASS001.BMP Type= Grass"), std::string::npos) << run.out;
}

} // namespace
