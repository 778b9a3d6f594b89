// The commands called in this process, where the fault switches can make a
// file call or a store into the view fail.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>

#include "cli/edit.h"
#include "cli/exit_code.h"
#include "cli/restore.h"
#include "data/record_scan.h"
#include "data/texture_classes.h"
#include "platform/posix_file_faults.h"
#include "platform/view_guard.h"
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

// Two Grass classes in the first page of the file, two past its second.
ClassListBuilder ThreePageList()
{
    ClassListBuilder b;
    b.AddTexturedClass(0, 1, "A.BMP");
    b.AddTexturedClass(1, 1, "B.BMP");
    b.AddLong(2 * 4096);
    b.AddTexturedClass(2, 1, "C.BMP");
    b.AddTexturedClass(3, 1, "D.BMP");
    b.AddEnd();
    return b;
}

struct Outcome {
    int exitCode;
    std::string out;
    std::string err;
};

// Opens, scans and runs `command` on the class list at `path`.
template <class Command>
Outcome RunOn(const std::string& path, Command command)
{
    std::memset(&g_classListFile, 0, sizeof g_classListFile);
    EXPECT_TRUE(OpenClassListAt(&g_classListFile, path.c_str()));
    EXPECT_TRUE(ScanClassList(&g_classListFile));
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int exitCode = command();
    Outcome outcome{exitCode, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
    CloseClassList(&g_classListFile);
    return outcome;
}

// Another program cuts the class list short just as the backup is put in
// place: the stores past the cut meet the end of the file.
TEST(CommandsFaultTest, AStoreTheSystemFailsIsAFileErrorThatSaysWhatWasChanged)
{
    TempDir tmp;
    Selection all;
    all.all = true;
    const ClassListBuilder built = ThreePageList();
    const std::vector<uint8_t>& bytes = built.Bytes();
    const std::vector<size_t>& classes = built.ClassOffsets();
    const std::string setPath = tmp.Write("set/CLASSLIST.BGL", bytes);
    BeforeNextFileCall(FileCall::Move, [&] { ASSERT_EQ(truncate(setPath.c_str(), 4096), 0); });
    Outcome set = RunOn(setPath, [&] { return Set(CommonOptions(), all, SURFACE_WATER, setPath); });
    EXPECT_EQ(set.exitCode, EXIT_FILE_ERROR);
    EXPECT_NE(set.err.find(setPath + ": the system failed a store into the file (error 38: Reached the end of the "
                                     "file.); 2 classes were changed (position 0, class 0; position 1, class 1) "
                                     "before it, the others are as they were"),
              std::string::npos)
        << set.err;
    EXPECT_EQ(set.out.find("changed."), std::string::npos) << set.out;
    std::vector<uint8_t> expected(bytes.begin(), bytes.begin() + 4096);
    WriteLE16(&expected[classes[0] + CLASS_SURFACE_TYPE_OFS], SURFACE_WATER);
    WriteLE16(&expected[classes[1] + CLASS_SURFACE_TYPE_OFS], SURFACE_WATER);
    EXPECT_EQ(ReadFileBytes(setPath), expected);

    const std::string resetPath = tmp.Write("reset/CLASSLIST.BGL", bytes);
    BeforeNextFileCall(FileCall::Move, [&] { ASSERT_EQ(truncate(resetPath.c_str(), 4096), 0); });
    Outcome reset = RunOn(resetPath, [&] { return Reset(CommonOptions(), resetPath); });
    EXPECT_EQ(reset.exitCode, EXIT_FILE_ERROR);
    EXPECT_NE(reset.err.find(resetPath + ": the system failed a store into the file (error 38: Reached the end of "
                                         "the file.); 2 classes were changed (position 0, class 0; position 1, "
                                         "class 1) before it"),
              std::string::npos)
        << reset.err;

    // The restore meets a full disk at its first store.
    const std::string restorePath = tmp.Write("restore/CLASSLIST.BGL", bytes);
    std::vector<uint8_t> changed = bytes;
    WriteLE16(&changed[classes[3] + CLASS_SURFACE_TYPE_OFS], SURFACE_WATER);
    WriteFileBytes(restorePath, changed);
    tmp.Write("restore/CLASSLIST.BGL.bak", bytes);
    Outcome restore = RunOn(restorePath, [&] {
        FaultNextViewAccess(1);   // past the scan of the backup
        return Restore(CommonOptions(), restorePath);
    });
    EXPECT_EQ(restore.exitCode, EXIT_FILE_ERROR);
    EXPECT_NE(restore.err.find(restorePath + ": the system failed a store into the file at offset 0 (error 112: "
                                             "There is not enough space on the disk.): the bytes before it are the "
                                             "backup's, the rest as they were; no class was changed before it"),
              std::string::npos)
        << restore.err;
    EXPECT_EQ(ReadFileBytes(restorePath), changed);
}

} // namespace
