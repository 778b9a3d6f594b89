// The commands called in this process, where the stand-ins' fault switch can
// make the last step, the flush, fail.
#include <gtest/gtest.h>

#include <cstring>

#include "cli/edit.h"
#include "cli/exit_code.h"
#include "cli/restore.h"
#include "data/record_scan.h"
#include "data/texture_classes.h"
#include "platform/posix_file_faults.h"
#include "tests/support/temp_dir.h"
#include "tools/classlist_builder.h"

namespace {

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClassListBuilder b;
        for (int16_t n = 0; n < 3; ++n)
            b.AddTexturedClass(n, 1, "GRASS.BMP");
        b.AddEnd();
        bytes_ = b.Bytes();
        path_ = tmp_.Write("CLASSLIST.BGL", bytes_);
        std::memset(&g_classListFile, 0, sizeof g_classListFile);
        ASSERT_TRUE(OpenClassListAt(&g_classListFile, path_.c_str()));
        ASSERT_TRUE(ScanClassList(&g_classListFile));
    }
    void TearDown() override { CloseClassList(&g_classListFile); }

    TempDir tmp_;
    std::vector<uint8_t> bytes_;
    std::string path_;
};

TEST_F(CommandsTest, ADryRunLeavesTheFileAndItsTablesAsTheyWere)
{
    Selection all;
    all.all = true;
    CommonOptions dry;
    dry.dryRun = true;
    const ClassListFile before = g_classListFile;
    testing::internal::CaptureStdout();
    EXPECT_EQ(Set(dry, all, SURFACE_WATER, path_), EXIT_DONE);
    EXPECT_EQ(Reset(dry, path_), EXIT_DONE);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("3 classes would change"), std::string::npos) << out;
    EXPECT_EQ(std::memcmp(&before, &g_classListFile, sizeof before), 0);
    EXPECT_EQ(ReadFileBytes(path_), bytes_);
}

TEST_F(CommandsTest, ABackupThatCannotBeWrittenLeavesNoLineThatReadsAsAChange)
{
    Selection all;
    all.all = true;
    FailNextFileCall(FileCall::Write, ERROR_DISK_FULL);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(Set(CommonOptions(), all, SURFACE_WATER, path_), EXIT_FILE_ERROR);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("(error 112"), std::string::npos) << err;
    EXPECT_NE(err.find("nothing was changed"), std::string::npos) << err;
    EXPECT_EQ(ReadFileBytes(path_), bytes_);
}

TEST_F(CommandsTest, AChangeThatCannotBeFlushedIsAFileErrorNotASuccess)
{
    Selection first;
    first.positions = {"0"};
    CommonOptions options;
    options.noBackup = true;
    const struct {
        FileCall call;
        DWORD error;
    } faults[] = {{FileCall::FlushView, ERROR_GEN_FAILURE}, {FileCall::Flush, ERROR_DISK_FULL}};
    for (const auto& f : faults) {
        FailNextFileCall(f.call, f.error);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(Set(options, first, SURFACE_WATER, path_), EXIT_FILE_ERROR);
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(out.find("changed."), std::string::npos) << out;
        EXPECT_NE(err.find(path_ + ": the change may not have reached the disk (error " + std::to_string(f.error)),
                  std::string::npos)
            << err;
        WriteLE16(g_classListFile.classRecords[0] + CLASS_SURFACE_TYPE_OFS, 1);
    }

    tmp_.Write("CLASSLIST.BGL.bak", bytes_);
    WriteLE16(g_classListFile.classRecords[2] + CLASS_SURFACE_TYPE_OFS, SURFACE_WATER);
    FailNextFileCall(FileCall::Flush, ERROR_DISK_FULL);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(Restore(CommonOptions(), path_), EXIT_FILE_ERROR);
    EXPECT_EQ(testing::internal::GetCapturedStdout().find("Restored"), std::string::npos);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("the restore may not have reached the disk (error 112"),
              std::string::npos);
}

} // namespace
