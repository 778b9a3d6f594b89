// A tmpfs of a few pages, mounted for one test in a folder of the test's own
// build tree, so that a file on it can meet a full disk. Unmounted and its
// folder removed afterwards.
#pragma once

#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

class SmallTmpfs {
public:
    SmallTmpfs(const std::string& parent, unsigned kib)
    {
        if (geteuid() != 0) {
            why_ = "mounting a tmpfs needs root";
            return;
        }
        RemoveStale(parent);
        const std::string folder = parent + "/tmpfs-" + std::to_string(getpid());
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
        const std::string options = "size=" + std::to_string(kib) + "k";
        if (mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
            why_ = std::string("the tmpfs could not be mounted: ") + std::strerror(errno);
            std::filesystem::remove(folder, ignored);
            return;
        }
        path_ = folder;
    }
    ~SmallTmpfs()
    {
        if (path_.empty())
            return;
        umount2(path_.c_str(), MNT_DETACH);
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool Mounted() const { return !path_.empty(); }
    const std::string& why() const { return why_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    // Takes every block left, so that the next page a file asks for is refused.
    void Fill() const
    {
        FILE* filler = std::fopen((*this / "filler").c_str(), "wb");
        if (!filler)
            return;
        static const char block[4096] = {};
        while (std::fwrite(block, 1, sizeof block, filler) == sizeof block && std::fflush(filler) == 0) {
        }
        std::fclose(filler);
    }

private:
    // What a test that crashed left mounted: its process is gone.
    static void RemoveStale(const std::string& parent)
    {
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(parent, ignored)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("tmpfs-", 0) != 0)
                continue;
            const long pid = std::strtol(name.c_str() + 6, nullptr, 10);
            if (pid <= 0 || (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)) {
                umount2(entry.path().c_str(), MNT_DETACH);
                std::filesystem::remove(entry.path(), ignored);
            }
        }
    }

    std::string path_;
    std::string why_;
};
