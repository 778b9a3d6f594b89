// The scan, the edits, the restore and the name copy when the system cannot
// back a page of the view: each fails with the system's error, says how far
// it got, and leaves the rest of the file as it was. Natively the faults are
// real (a file cut short, a full tmpfs); the Windows builds reach the same
// paths through the fault switch.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "data/byte_order.h"
#include "data/class_list_backup.h"
#include "data/class_list_edit.h"
#include "data/record_scan.h"
#include "data/texture_classes.h"
#include "platform/view_guard.h"
#include "tests/support/file_bytes.h"
#include "tools/classlist_builder.h"
#ifndef _WIN32
#include "tests/support/small_tmpfs.h"
#endif

namespace {

namespace fs = std::filesystem;

const size_t kPage = 4096;

// Two Grass classes in the first page, a filler record across the second,
// two more in the third: a cut after the first page leaves the first two.
ClassListBuilder ThreePageList()
{
    ClassListBuilder b;
    b.AddTexturedClass(0, 1, "A.BMP");
    b.AddTexturedClass(1, 1, "B.BMP");
    b.AddLong(static_cast<uint32_t>(2 * kPage));
    b.AddTexturedClass(2, 1, "C.BMP");
    b.AddTexturedClass(3, 1, "D.BMP");
    b.AddEnd();
    return b;
}

class ViewFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int serial;
        folder_ = fs::temp_directory_path() /
                  ("turfwise-vf-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
                   "-" + std::to_string(++serial));
        fs::create_directories(folder_);
        std::memset(&g_classListFile, 0, sizeof g_classListFile);
    }
    void TearDown() override
    {
        if (g_classListFile.view)
            CloseClassList(&g_classListFile);
        std::memset(&g_classListFile, 0, sizeof g_classListFile);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    // Writes `bytes` at `path`, maps it and scans it whole.
    void MapAndScan(const std::string& path, const std::vector<uint8_t>& bytes)
    {
        path_ = path;
        before_ = bytes;
        WriteFileBytes(path, bytes);
        ASSERT_EQ(OpenClassListAt(&g_classListFile, path.c_str()), 1) << "error " << GetLastError();
        ASSERT_EQ(ScanClassList(&g_classListFile), 1) << "error " << GetLastError();
        ASSERT_EQ(ListClasses(&g_classListFile, listing_.get()), 1);
    }

    SurfaceType TypeAt(size_t offset) const { return ReadLE16(g_classListFile.view + offset + CLASS_SURFACE_TYPE_OFS); }

    // Set, reset and restore, on the file as it was listed: each ends as
    // `outcome` with `error` before it changes a byte.
    void ExpectEveryEditFails(EditOutcome outcome, DWORD error, int faultAfter)
    {
        std::vector<DWORD> all;
        for (DWORD p = 0; p < listing_->count; ++p)
            all.push_back(p);
        EditRequest set, reset, restore;
        set.changes = PlanSet(*listing_, all, SURFACE_WATER);
        reset.changes = PlanReset(*listing_);
        restore.wholeFile = before_.data();
        for (EditRequest* request : {&set, &reset, &restore}) {
            request->backUp = false;
            if (faultAfter >= 0)
                FaultNextViewAccess(DWORD(faultAfter));
            const EditResult result = EditClassList(&g_classListFile, *listing_, path_.c_str(), *request);
            EXPECT_EQ(result.outcome, outcome);
            EXPECT_EQ(result.error, error);
            EXPECT_TRUE(result.made.empty());
            EXPECT_EQ(result.restored, 0u);
        }
        ExpectTypes(0, [](DWORD) { return SurfaceType(0); });
    }

    // The first `stored` classes of the table have the type `stored` gives
    // their position; the others keep the file's first type.
    template <class Type>
    void ExpectTypes(DWORD stored, Type typeAt) const
    {
        const ClassListFile& file = g_classListFile;
        for (DWORD p = 0; p < file.classCount; ++p) {
            const size_t offset = size_t(file.classRecords[p] - file.view);
            if (offset >= readable_)
                continue;
            const SurfaceType was = ReadLE16(&before_[offset + CLASS_SURFACE_TYPE_OFS]);
            EXPECT_EQ(TypeAt(offset), p < stored ? typeAt(p) : was) << "position " << p;
        }
    }

    fs::path folder_;
    std::string path_;
    std::vector<uint8_t> before_;
    size_t readable_ = SIZE_MAX;   // the classes past it are cut off
    std::unique_ptr<ClassListing> listing_{new ClassListing()};
};

TEST_F(ViewFaults, AFaultStopsEveryAccessWithTheSystemsErrorBeforeItChangesAByte)
{
    const ClassListBuilder b = ThreePageList();
    ASSERT_NO_FATAL_FAILURE(MapAndScan((folder_ / "CLASSLIST.BGL").string(), b.Bytes()));
    ASSERT_EQ(g_classListFile.classCount, 4u);

    FaultNextViewAccess();
    ScanStop stop{99, 99, 99, 99};
    SetLastError(0);
    EXPECT_EQ(ScanClassListEx(&g_classListFile, &stop), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DISK_FULL));
    EXPECT_EQ(g_classListFile.classCount, 0u);
    EXPECT_EQ(stop.offset, 0u);
    EXPECT_EQ(stop.opcode, 0u);
    EXPECT_EQ(stop.error, DWORD(ERROR_DISK_FULL));
    ASSERT_EQ(ScanClassList(&g_classListFile), 1);

    ExpectEveryEditFails(EDIT_FAILED, ERROR_DISK_FULL, 0);

    // A name that cannot be read is the copy's own failure, and the buffer
    // still ends in a zero.
    char name[8];
    std::memset(name, 'x', sizeof name);
    DWORD length = sizeof name;
    FaultNextViewAccess();
    EXPECT_EQ(GetTextureName(g_classListFile.classRecords[0], name, &length), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(name[sizeof name - 1], 0);

    // A backup beside it is compared with the view before any change.
    const std::string backupPath = path_ + ".bak";
    WriteFileBytes(backupPath, before_);
    char backup[BACKUP_PATH_SIZE];
    BackupComparison found;
    FaultNextViewAccess();
    SetLastError(0);
    EXPECT_EQ(BackupClassList(&g_classListFile, path_.c_str(), backup, &found), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DISK_FULL));

    // The switch is spent: the same calls now work, on the file as it was.
    EXPECT_EQ(ReadFileBytes(path_), before_);
    EditRequest request;
    request.changes = PlanSet(*listing_, {0, 1, 2, 3}, SURFACE_WATER);
    request.backUp = false;
    EXPECT_EQ(EditClassList(&g_classListFile, *listing_, path_.c_str(), request).made.size(), 4u);
}

#ifndef _WIN32
// Another program cuts the file short while it is mapped: the pages past the
// new end cannot be read or written any more.
TEST_F(ViewFaults, AFileCutShortWhileMappedIsTheEndOfTheFileNotACrash)
{
    const ClassListBuilder b = ThreePageList();
    const std::vector<size_t>& classes = b.ClassOffsets();
    ASSERT_NO_FATAL_FAILURE(MapAndScan((folder_ / "CLASSLIST.BGL").string(), b.Bytes()));
    ASSERT_LT(classes[1] + CLASS_RECORD_SIZE, kPage);
    ASSERT_GE(classes[2], 2 * kPage);
    ASSERT_EQ(truncate(path_.c_str(), kPage), 0);
    readable_ = kPage;

    // Its size tells before any page is touched.
    ExpectEveryEditFails(EDIT_FILE_CHANGED, ERROR_FILE_INVALID, -1);

    WriteFileBytes(path_ + ".bak", before_);
    char backup[BACKUP_PATH_SIZE];
    BackupComparison found;
    SetLastError(0);
    EXPECT_EQ(BackupClassList(&g_classListFile, path_.c_str(), backup, &found), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_HANDLE_EOF));

    char name[MAX_PATH];
    DWORD length = sizeof name;
    EXPECT_EQ(GetTextureName(g_classListFile.classRecords[3], name, &length), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

    ScanStop stop{};
    SetLastError(0);
    EXPECT_EQ(ScanClassListEx(&g_classListFile, &stop), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_HANDLE_EOF));
    EXPECT_EQ(stop.offset, classes[2]);
    EXPECT_EQ(g_classListFile.classCount, 2u);
}

// A sparse class list on a full disk: the pages of its hole have no block to
// come from, for a read as for a store.
TEST_F(ViewFaults, AHoleOnAFullDiskIsADiskFullNotACrash)
{
    SmallTmpfs disk(TURFWISE_TEST_BUILD_DIR, 64);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.why();
    ClassListBuilder b;
    b.AddTexturedClass(0, 1, "A.BMP");
    b.AddTexturedClass(1, 1, "B.BMP");
    std::vector<uint8_t> bytes = b.Bytes();
    bytes.resize(kPage, 0);   // the rest of the page: end records
    const std::string path = disk / "CLASSLIST.BGL";
    WriteFileBytes(path, bytes);
    ASSERT_EQ(truncate(path.c_str(), 3 * kPage), 0);   // two pages of hole
    disk.Fill();
    ASSERT_EQ(OpenClassListAt(&g_classListFile, path.c_str()), 1) << "error " << GetLastError();
    BYTE* const view = g_classListFile.view;

    ScanStop stop{};
    SetLastError(0);
    EXPECT_EQ(ScanClassListEx(&g_classListFile, &stop), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DISK_FULL));
    EXPECT_EQ(stop.offset, kPage);
    ASSERT_EQ(g_classListFile.classCount, 2u);

    // A class in the page that is there, then one whose surface type spans
    // the last byte of that page and the first of the hole: neither byte of
    // that one changes.
    BYTE* records[] = {g_classListFile.classRecords[1], view + kPage - 1 - CLASS_SURFACE_TYPE_OFS,
                       g_classListFile.classRecords[0]};
    SetLastError(0);
    ApplySurfaceType(SURFACE_WATER, records, 3);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DISK_FULL));
    EXPECT_EQ(TypeAt(b.ClassOffsets()[1]), SURFACE_WATER);
    EXPECT_EQ(TypeAt(b.ClassOffsets()[0]), 1);
    EXPECT_EQ(view[kPage - 1], 0);
    CloseClassList(&g_classListFile);
    std::memset(&g_classListFile, 0, sizeof g_classListFile);
}
#endif

} // namespace
