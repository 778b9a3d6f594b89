// A class list of three textured classes written to a folder of the test's
// own, opened and scanned: what the backup's tests start from.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "data/class_list_file.h"
#include "data/class_record.h"
#include "data/record_scan.h"
#include "tests/support/temp_dir.h"
#include "tools/classlist_builder.h"

class ThreeClassesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClassListBuilder b;
        b.AddLong(64);
        for (int16_t n = 0; n < 3; ++n)
            classes_.push_back(b.AddTexturedClass(n, 1, "GRASS" + std::to_string(n) + ".BMP"));
        b.AddEnd();
        bytes_ = b.Bytes();
        path_ = tmp_.Write("CLASSLIST.BGL", bytes_);
        backup_ = path_ + ".bak";
        ASSERT_TRUE(OpenClassListAt(file_.get(), path_.c_str()));
        ASSERT_TRUE(ScanClassList(file_.get()));
    }
    void TearDown() override { CloseClassList(file_.get()); }

    // `bytes` with class `index`'s surface type changed.
    std::vector<uint8_t> WithType(std::vector<uint8_t> bytes, size_t index, uint16_t code) const
    {
        bytes[classes_[index] + CLASS_SURFACE_TYPE_OFS] = uint8_t(code);
        bytes[classes_[index] + CLASS_SURFACE_TYPE_OFS + 1] = uint8_t(code >> 8);
        return bytes;
    }

    TempDir tmp_;
    std::vector<uint8_t> bytes_;
    std::vector<size_t> classes_;
    std::string path_, backup_;
    std::unique_ptr<ClassListFile> file_{new ClassListFile()};
};
