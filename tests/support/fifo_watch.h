// A FIFO that tells whether anything opened it for reading, and never lets
// such a reader hang the test: a writer comes and goes at once, so the
// reader gets end of file and the test can fail instead of waiting forever.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

class FifoWatch {
public:
    explicit FifoWatch(const std::string& path) : path_(path)
    {
        made_ = mkfifo(path.c_str(), 0666) == 0;
        thread_ = std::thread([this] {
            while (!stop_) {
                // Succeeds only while a reader has it open or waits to.
                const int fd = open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) {
                    opened_ = true;
                    close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    ~FifoWatch()
    {
        stop_ = true;
        thread_.join();
    }
    FifoWatch(const FifoWatch&) = delete;
    FifoWatch& operator=(const FifoWatch&) = delete;

    bool made() const { return made_; }
    // Whether a reader opened it since the watch began.
    bool opened() const { return opened_; }

private:
    std::string path_;
    bool made_ = false;
    std::atomic<bool> stop_{false}, opened_{false};
    std::thread thread_;
};
