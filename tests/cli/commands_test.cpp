// The commands called in this process, where the fault switches can make a
// file call or a store into the view fail.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>

#include "cli/edit.h"
#include "cli/list.h"
#include "cli/exit_code.h"
#include "cli/restore.h"
#include "data/class_list_backup.h"
#include "data/class_listing.h"
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
        ASSERT_TRUE(ListClasses(&g_classListFile, &listing_));
    }
    void TearDown() override { CloseClassList(&g_classListFile); }

    TempDir tmp_;
    ClassListing listing_;
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
    EXPECT_EQ(Set(dry, all, SURFACE_WATER, path_, listing_), EXIT_DONE);
    EXPECT_EQ(Reset(dry, path_, listing_), EXIT_DONE);
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
    EXPECT_EQ(Set(CommonOptions(), all, SURFACE_WATER, path_, listing_), EXIT_FILE_ERROR);
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
        EXPECT_EQ(Set(options, first, SURFACE_WATER, path_, listing_), EXIT_FILE_ERROR);
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

// Opens, scans and lists the class list at `path`, and runs `command` on the listing.
template <class Command>
Outcome RunOn(const std::string& path, Command command)
{
    std::memset(&g_classListFile, 0, sizeof g_classListFile);
    EXPECT_TRUE(OpenClassListAt(&g_classListFile, path.c_str()));
    EXPECT_TRUE(ScanClassList(&g_classListFile));
    const auto listing = std::make_unique<ClassListing>();
    EXPECT_TRUE(ListClasses(&g_classListFile, listing.get()));
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int exitCode = command(*listing);
    Outcome outcome{exitCode, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
    CloseClassList(&g_classListFile);
    return outcome;
}

// The system fails a store part way: what was changed before it is said,
// and the rest is as it was.
TEST(CommandsFaultTest, AStoreTheSystemFailsIsAFileErrorThatSaysWhatWasChanged)
{
    TempDir tmp;
    Selection all;
    all.all = true;
    CommonOptions noBackup;
    noBackup.noBackup = true;
    const ClassListBuilder built = ThreePageList();
    const std::vector<uint8_t>& bytes = built.Bytes();
    const std::string setPath = tmp.Write("set/CLASSLIST.BGL", bytes);
    Outcome set = RunOn(setPath, [&](const ClassListing& listing) {
        FaultNextViewAccess(0);   // the pass that checks the listing and stores
        return Set(noBackup, all, SURFACE_WATER, setPath, listing);
    });
    EXPECT_EQ(set.exitCode, EXIT_FILE_ERROR);
    EXPECT_NE(set.err.find(setPath + ": the system failed a store into the file (error 112: There is not enough "
                                     "space on the disk.); no class was changed before it, the others are as they were"),
              std::string::npos)
        << set.err;
    EXPECT_EQ(set.out.find("changed."), std::string::npos) << set.out;
    EXPECT_EQ(ReadFileBytes(setPath), bytes);

    // The restore meets a full disk at its first store.
    const std::vector<size_t>& classes = built.ClassOffsets();
    const std::string restorePath = tmp.Write("restore/CLASSLIST.BGL", bytes);
    std::vector<uint8_t> changed = bytes;
    WriteLE16(&changed[classes[3] + CLASS_SURFACE_TYPE_OFS], SURFACE_WATER);
    WriteFileBytes(restorePath, changed);
    tmp.Write("restore/CLASSLIST.BGL.bak", bytes);
    Outcome restore = RunOn(restorePath, [&](const ClassListing&) {
        FaultNextViewAccess(4);   // past the walks and reads of the decision: the restore's own pass
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

// Another program rewrites the class list in place between the listing and
// the stores: its records two bytes further on, a null record in front and
// the end record dropped, the same size. Nothing may be stored at the old
// offsets, which now hold class numbers and texture list offsets.
std::vector<uint8_t> ShiftedByTwo(const std::vector<uint8_t>& bytes)
{
    std::vector<uint8_t> shifted(bytes.size(), 0);
    std::copy(bytes.begin(), bytes.end() - 2, shifted.begin() + 2);
    return shifted;
}

std::string g_rewritePath;
std::vector<uint8_t> g_rewriteBytes;

void RewriteAsAnotherProgram(LPCSTR)
{
    WriteFileBytes(g_rewritePath, g_rewriteBytes);
}

TEST(CommandsRaceTest, AFileRewrittenBeforeTheStoresIsNotChangedAndGetsNoBackup)
{
    TempDir tmp;
    Selection all;
    all.all = true;
    const ClassListBuilder built = ThreePageList();
    const std::vector<uint8_t> shifted = ShiftedByTwo(built.Bytes());
    struct Case {
        const char* name;
        bool noBackup;
        bool reset;
    } cases[] = {{"set", false, false}, {"reset", false, true}, {"set-no-backup", true, false}};
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = built.Bytes();
        // Some Water, so that the reset has classes to change.
        for (size_t offset : built.ClassOffsets())
            WriteLE16(&bytes[offset + CLASS_SURFACE_TYPE_OFS], SURFACE_WATER);
        const std::string path = tmp.Write(std::string(c.name) + "/CLASSLIST.BGL", bytes);
        g_rewritePath = path;
        g_rewriteBytes = ShiftedByTwo(bytes);
        CommonOptions options;
        options.noBackup = c.noBackup;
        // With a backup to make, the rewrite comes as its copy is written;
        // without one, before the command starts.
        SetBackupWrittenHook(RewriteAsAnotherProgram);
        Outcome outcome = RunOn(path, [&](const ClassListing& listing) {
            if (c.noBackup)
                RewriteAsAnotherProgram(nullptr);
            return c.reset ? Reset(options, path, listing) : Set(options, all, 1, path, listing);
        });
        SetBackupWrittenHook(nullptr);
        EXPECT_EQ(outcome.exitCode, EXIT_FILE_ERROR) << c.name;
        EXPECT_NE(outcome.err.find(path + ": another program changed the class list since it was listed (error 1006"),
                  std::string::npos)
            << c.name << ": " << outcome.err;
        EXPECT_EQ(outcome.out.find("changed."), std::string::npos) << c.name << ": " << outcome.out;
        EXPECT_EQ(ReadFileBytes(path), g_rewriteBytes) << c.name;
        EXPECT_EQ(access((path + ".bak").c_str(), F_OK), -1) << c.name << ": a backup was left";
        const auto entries = std::distance(std::filesystem::directory_iterator(tmp / c.name),
                                           std::filesystem::directory_iterator());
        EXPECT_EQ(entries, 1) << c.name << ": a temporary copy was left";
    }
}

// A second Turfwise sets surface types meanwhile: the edits do not conflict.
TEST(CommandsRaceTest, SurfaceTypesAnotherProgramSetMeanwhileDoNotStopTheEdit)
{
    TempDir tmp;
    Selection first;
    first.positions = {"0"};
    const ClassListBuilder built = ThreePageList();
    const std::string path = tmp.Write("CLASSLIST.BGL", built.Bytes());
    std::vector<uint8_t> expected = built.Bytes();
    WriteLE16(&expected[built.ClassOffsets()[3] + CLASS_SURFACE_TYPE_OFS], SURFACE_WATER);
    Outcome outcome = RunOn(path, [&](const ClassListing& listing) {
        WriteFileBytes(path, expected);
        return Set(CommonOptions(), first, 10, path, listing);
    });
    WriteLE16(&expected[built.ClassOffsets()[0] + CLASS_SURFACE_TYPE_OFS], 10);
    EXPECT_EQ(outcome.exitCode, EXIT_DONE) << outcome.err;
    EXPECT_EQ(ReadFileBytes(path), expected);
}

// Another program cuts the class list short after it was scanned and
// listed: every command meets the end of the file under the view, and says
// so, instead of ending on a bus error.
TEST(CommandsRaceTest, AFileCutShortAfterItsScanIsAFileErrorNotABusError)
{
    TempDir tmp;
    const ClassListBuilder built = ThreePageList();
    const std::vector<uint8_t>& bytes = built.Bytes();
    Selection all;
    all.all = true;
    ListOptions json;
    json.json = true;
    const struct {
        const char* name;
        std::function<int(const std::string&, const ClassListing&)> command;
    } commands[] = {
        {"list", [](const std::string& path, const ClassListing& l) { return List(ListOptions(), path, ScanResult(), l); }},
        {"list-json", [&](const std::string& path, const ClassListing& l) { return List(json, path, ScanResult(), l); }},
        {"set", [&](const std::string& path, const ClassListing& l) { return Set(CommonOptions(), all, 1, path, l); }},
        {"reset", [](const std::string& path, const ClassListing& l) { return Reset(CommonOptions(), path, l); }},
        {"restore", [](const std::string& path, const ClassListing&) { return Restore(CommonOptions(), path); }},
    };
    for (const auto& c : commands) {
        std::vector<uint8_t> water = bytes;
        for (size_t offset : built.ClassOffsets())
            WriteLE16(&water[offset + CLASS_SURFACE_TYPE_OFS], SURFACE_WATER);
        const std::string path = tmp.Write(std::string(c.name) + "/CLASSLIST.BGL", water);
        tmp.Write(std::string(c.name) + "/CLASSLIST.BGL.bak", bytes);
        Outcome outcome = RunOn(path, [&](const ClassListing& listing) {
            EXPECT_EQ(truncate(path.c_str(), 4096), 0);
            return c.command(path, listing);
        });
        EXPECT_EQ(outcome.exitCode, EXIT_FILE_ERROR) << c.name << ": " << outcome.err;
        EXPECT_NE(outcome.err.find(path + ": "), std::string::npos) << c.name << ": " << outcome.err;
        EXPECT_TRUE(outcome.err.find("error 38") != std::string::npos ||
                    outcome.err.find("error 1006") != std::string::npos)
            << c.name << ": " << outcome.err;
        EXPECT_EQ(outcome.out.find("changed."), std::string::npos) << c.name;
        EXPECT_EQ(outcome.out.find("GRASS"), std::string::npos) << c.name << ": listed lines of a file cut short";
    }
}

} // namespace
