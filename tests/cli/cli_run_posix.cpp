#include "tests/cli/cli_run.h"

#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const uid_t kNobody = 65534;

std::string Scratch(const std::string& stem)
{
    static int counter = 0;
    fs::path dir = fs::temp_directory_path() /
                   (stem + "-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    fs::create_directories(dir);
    // Open to the unprivileged runs.
    fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    return dir.string();
}

// A scratch folder that lives as long as the test program.
struct ProgramScratch {
    explicit ProgramScratch(const std::string& stem) : dir(Scratch(stem)) {}
    ~ProgramScratch()
    {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    std::string dir;
};

// A copy of the program that the unprivileged runs can reach: the checkout
// may lie in a folder that only its owner may enter, as root's home does.
const char* ProgramForOthers()
{
    static const struct Copy : ProgramScratch {
        Copy() : ProgramScratch("turfwise-cli-bin"), path(dir + "/turfwise-cli")
        {
            fs::copy_file(TURFWISE_CLI, path, fs::copy_options::overwrite_existing);
            fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
        }
        std::string path;
    } copy;
    return copy.path.c_str();
}

} // namespace

CliRun RunCli(const std::vector<std::string>& args, bool unprivileged)
{
    const bool asNobody = unprivileged && geteuid() == 0;
    const char* program = asNobody ? ProgramForOthers() : TURFWISE_CLI;
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0)
        return {};
    pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]);
        close(err[0]);
        if (asNobody && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(126);
        std::vector<char*> argv{const_cast<char*>(program)};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program, argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    CliRun run;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&run.out, &run.err};
    int open = 2;
    while (open > 0 && poll(fds, 2, 60000) > 0) {
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            char buffer[4096];
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, size_t(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

bool MakeReadOnly(const std::string& path)
{
    // Root passes any permission; RunCli(..., true) runs the program as nobody then.
    return chmod(path.c_str(), 0444) == 0;
}

bool MakeSparseFile(const std::string& path, unsigned long long size)
{
    std::error_code error;
    std::ofstream(path, std::ios::binary | std::ios::app).close();
    fs::resize_file(path, size, error);
    return !error;
}

struct RegisteredGame::Impl {
    std::string prefix = Scratch("turfwise-prefix");
};

RegisteredGame::RegisteredGame() : impl_(new Impl)
{
    const fs::path prefix = impl_->prefix;
    fs::create_directories(prefix / "dosdevices");
    fs::create_directories(prefix / "drive_c/Games/CFS/Scenery/All/Scenery");
    fs::create_directory_symlink(prefix / "drive_c", prefix / "dosdevices/c:");
    for (const char* dir : {"drive_c", "drive_c/Games", "drive_c/Games/CFS", "drive_c/Games/CFS/Scenery",
                            "drive_c/Games/CFS/Scenery/All", "drive_c/Games/CFS/Scenery/All/Scenery"})
        fs::permissions(prefix / dir, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec |
                                          fs::perms::group_read | fs::perms::group_exec);
    std::ofstream(prefix / "system.reg")
        << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n"
           "[Software\\\\Microsoft\\\\Microsoft Games\\\\Combat Flight Simulator\\\\1.00] 1700000000\n"
           "#time=1d9\n\"PATH\"=\"C:\\\\Games\\\\CFS\"\n";
    setenv("WINEPREFIX", impl_->prefix.c_str(), 1);
}

RegisteredGame::~RegisteredGame()
{
    ForgetTheGame();
    std::error_code ignored;
    fs::remove_all(impl_->prefix, ignored);
    delete impl_;
}

std::string RegisteredGame::Folder() const
{
    return impl_->prefix + "/drive_c/Games/CFS";
}

std::string RegisteredGame::ClassListPath() const
{
    return Folder() + "/Scenery/All/Scenery/CLASSLIST.BGL";
}

void RegisteredGame::Unregister()
{
    fs::remove(fs::path(impl_->prefix) / "system.reg");
}

// Nothing here touches a registry but the tests' own prefixes.
struct KeptRegistration::Impl {};

KeptRegistration::KeptRegistration() : impl_(nullptr) {}

KeptRegistration::~KeptRegistration()
{
    delete impl_;
}

void ForgetTheGame()
{
    // A prefix with no registry at all.
    static const ProgramScratch empty("turfwise-no-prefix");
    setenv("WINEPREFIX", empty.dir.c_str(), 1);
}
