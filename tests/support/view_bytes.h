// A class list image in a heap block of exactly its own size, so that the
// sanitizers catch any read past its end, installed as a ClassListFile's view.
#pragma once

#include <cstring>
#include <memory>
#include <vector>

#include "data/class_list_file.h"

class ViewBytes {
public:
    explicit ViewBytes(const std::vector<uint8_t>& bytes)
        : size_(bytes.size()), data_(new BYTE[bytes.empty() ? 1 : bytes.size()])
    {
        if (!bytes.empty())
            std::memcpy(data_.get(), bytes.data(), bytes.size());
    }

    // Points `file` at these bytes, with tables and handles cleared.
    void Install(ClassListFile* file) const
    {
        std::memset(file, 0, sizeof *file);
        file->view = data_.get();
        file->fileSize = static_cast<DWORD>(size_);
    }

    BYTE* data() const { return data_.get(); }
    size_t size() const { return size_; }
    std::vector<uint8_t> Copy() const { return std::vector<uint8_t>(data_.get(), data_.get() + size_); }

private:
    size_t size_;
    std::unique_ptr<BYTE[]> data_;
};
