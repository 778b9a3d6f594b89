#include "tests/support/file_bytes.h"
// A scratch folder for one test, removed with everything in it afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "turfwise-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

    // Writes `bytes` to `rel`, creating the folders on the way.
    std::string Write(const std::string& rel, const std::vector<uint8_t>& bytes) const
    {
        std::string full = *this / rel;
        std::filesystem::create_directories(std::filesystem::path(full).parent_path());
        WriteFileBytes(full, bytes);
        return full;
    }

private:
    std::string path_;
};
