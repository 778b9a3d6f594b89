// The listing and the stores that check the file against it, on a class list
// another program rewrites in place between the listing and the stores.
#include "data/class_listing.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "data/backup_restore.h"
#include "data/class_list_backup.h"
#include "data/class_list_edit.h"
#include "data/record_scan.h"
#include "data/texture_classes.h"
#include "platform/view_guard.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"
#include "tools/classlist_builder.h"

namespace {

// As another program writes: into the file, on a handle of its own, without
// cutting it short first.
void RewriteInPlace(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class ClassListingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClassListBuilder b;
        b.AddLong(64);
        for (int16_t n = 0; n < 3; ++n)
            classes_.push_back(b.AddTexturedClass(int16_t(10 + n), 1, "GRASS" + std::to_string(n) + ".BMP"));
        b.AddEnd();
        bytes_ = b.Bytes();
        path_ = tmp_.Write("CLASSLIST.BGL", bytes_);
        std::memset(&g_classListFile, 0, sizeof g_classListFile);
        ASSERT_TRUE(OpenClassListAt(&g_classListFile, path_.c_str()));
        ASSERT_TRUE(ScanClassList(&g_classListFile));
        ASSERT_TRUE(ListClasses(&g_classListFile, listing_.get()));
    }
    void TearDown() override { CloseClassList(&g_classListFile); }

    std::vector<uint8_t> WithType(std::vector<uint8_t> bytes, size_t index, uint16_t code) const
    {
        bytes[classes_[index] + CLASS_SURFACE_TYPE_OFS] = uint8_t(code);
        bytes[classes_[index] + CLASS_SURFACE_TYPE_OFS + 1] = uint8_t(code >> 8);
        return bytes;
    }

    // The same size, every record two bytes further on: a null record in
    // front, the end record dropped.
    std::vector<uint8_t> Shifted() const
    {
        std::vector<uint8_t> shifted(bytes_.size(), 0);
        std::copy(bytes_.begin(), bytes_.end() - 2, shifted.begin() + 2);
        return shifted;
    }

    // Water for the classes at `positions`, with no backup.
    EditResult SetWater(const std::vector<DWORD>& positions, bool backUp = false) const
    {
        EditRequest request;
        request.changes = PlanSet(*listing_, positions, 2);
        request.backUp = backUp;
        return EditClassList(&g_classListFile, *listing_, path_.c_str(), request);
    }
    EditResult Reset() const
    {
        EditRequest request;
        request.changes = PlanReset(*listing_);
        request.backUp = false;
        return EditClassList(&g_classListFile, *listing_, path_.c_str(), request);
    }

    TempDir tmp_;
    std::vector<uint8_t> bytes_;
    std::vector<size_t> classes_;
    std::string path_;
    std::unique_ptr<ClassListing> listing_{new ClassListing()};
};

TEST_F(ClassListingTest, CopiesWhatTheScanFound)
{
    ASSERT_EQ(listing_->count, 3u);
    EXPECT_EQ(listing_->fileSize, bytes_.size());
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(listing_->classes[i].offset, classes_[i]);
        EXPECT_EQ(listing_->classes[i].classNumber, int(10 + i));
        EXPECT_EQ(listing_->classes[i].surfaceType, 1);
    }
    EXPECT_EQ(CheckListing(&g_classListFile, listing_.get()), 1);
}

TEST_F(ClassListingTest, AnyChangeButSurfaceTypesIsAChangeOfTheFile)
{
    std::vector<uint8_t> number = bytes_, name = bytes_, opcode = bytes_;
    number[classes_[1] + CLASS_CLASS_NUMBER_OFS] = 99;
    name[classes_[2] + CLASS_RECORD_SIZE + 6 + 2 + 12] = 'X';   // the first letter of its texture name
    opcode[classes_[0] + 1] = 0x01;                               // no longer a texture class
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {{"records moved", Shifted()}, {"class number", number}, {"texture name", name},
                 {"opcode", opcode}};
    for (const auto& c : cases) {
        RewriteInPlace(path_, c.bytes);
        SetLastError(0);
        EXPECT_EQ(CheckListing(&g_classListFile, listing_.get()), 0) << c.what;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_INVALID)) << c.what;
    }
    RewriteInPlace(path_, WithType(WithType(bytes_, 0, 2), 2, 16));
    EXPECT_EQ(CheckListing(&g_classListFile, listing_.get()), 1) << "surface types alone";
}

TEST_F(ClassListingTest, AFileCutShortOrGrownIsAChangeAndIsNotRead)
{
    std::vector<uint8_t> longer = bytes_;
    longer.push_back(0);
    RewriteInPlace(path_, longer);
    EXPECT_EQ(CheckListing(&g_classListFile, listing_.get()), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_INVALID));
    // Cut short inside the view: read, the view would fault.
    ASSERT_EQ(truncate(path_.c_str(), 0), 0);
    EXPECT_EQ(CheckListing(&g_classListFile, listing_.get()), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_INVALID));
    const EditResult result = SetWater({0});
    EXPECT_EQ(result.outcome, EDIT_FILE_CHANGED);
    EXPECT_TRUE(result.made.empty());
}

TEST_F(ClassListingTest, StoresLandOnlyOnTheListedRecordsOfAnUnchangedFile)
{
    const std::vector<uint8_t> shifted = Shifted();
    RewriteInPlace(path_, shifted);
    EXPECT_EQ(SetWater({0, 2}).outcome, EDIT_FILE_CHANGED);
    EXPECT_EQ(Reset().outcome, EDIT_FILE_CHANGED);
    EXPECT_EQ(ReadFileBytes(path_), shifted);

    // Another Turfwise set surface types meanwhile, one to a code of 256 or
    // more: no conflict, and what the field held is what the change reports.
    RewriteInPlace(path_, WithType(WithType(bytes_, 1, 10), 0, 0x0110));
    EditResult result = SetWater({0, 2});
    EXPECT_EQ(result.outcome, EDIT_DONE);
    ASSERT_EQ(result.made.size(), 2u);
    EXPECT_EQ(result.made[0].from, 0x0110);
    EXPECT_EQ(result.made[1].from, 1);
    EXPECT_EQ(ReadFileBytes(path_), WithType(WithType(WithType(bytes_, 1, 10), 0, 2), 2, 2));
    EXPECT_EQ(Reset().outcome, EDIT_DONE);
    EXPECT_EQ(ReadFileBytes(path_), WithType(WithType(WithType(bytes_, 0, 2), 1, 10), 2, 3));

    // An undo stores back only where the field still holds what it left there.
    EditRequest undo;
    undo.changes = Reversed(result.made);
    undo.onlyWhereStill = true;
    undo.backUp = false;
    result = EditClassList(&g_classListFile, *listing_, path_.c_str(), undo);
    EXPECT_EQ(result.outcome, EDIT_DONE);
    EXPECT_EQ(result.made.size(), 1u);
    EXPECT_EQ(result.leftAlone, 1u);
    EXPECT_EQ(ReadFileBytes(path_), WithType(WithType(WithType(bytes_, 0, 0x0110), 1, 10), 2, 3));
}

TEST_F(ClassListingTest, AChangeThatNamesNoListedClassStoresNothing)
{
    EditRequest request;
    request.changes = PlanSet(*listing_, {0, 1}, 2);
    request.changes[1].offset += 2;
    request.backUp = false;
    EXPECT_EQ(EditClassList(&g_classListFile, *listing_, path_.c_str(), request).outcome, EDIT_NOT_LISTED);
    EXPECT_EQ(ReadFileBytes(path_), bytes_);
    // Nor does the plain store: a record outside the view is no success.
    BYTE outside[CLASS_RECORD_SIZE] = {};
    BYTE* records[] = {g_classListFile.view + classes_[0], outside};
    SetLastError(0);
    ApplySurfaceType(2, records, 2);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(ReadFileBytes(path_), bytes_);
    ClassListFile none{};
    EXPECT_EQ(EditClassList(&none, *listing_, path_.c_str(), request).outcome, EDIT_NO_FILE);
}

// The backup is judged before every edit: one made for this file stops
// being its backup when another program changes the file outside surface types.
TEST_F(ClassListingTest, TheBackupIsJudgedAgainBeforeEveryEdit)
{
    EditResult result = SetWater({0}, true);
    EXPECT_EQ(result.outcome, EDIT_DONE);
    EXPECT_TRUE(result.backupMade);
    std::vector<uint8_t> renamed = WithType(bytes_, 0, 2);
    renamed[classes_[2] + CLASS_RECORD_SIZE + 6 + 2 + 12] = 'X';
    RewriteInPlace(path_, renamed);
    EXPECT_EQ(SetWater({1}, true).outcome, EDIT_FILE_CHANGED);
    ScanClassList(&g_classListFile);
    ASSERT_TRUE(ListClasses(&g_classListFile, listing_.get()));
    result = SetWater({1}, true);
    EXPECT_EQ(result.outcome, EDIT_NO_BACKUP);
    EXPECT_EQ(result.error, DWORD(ERROR_FILE_EXISTS));
    EXPECT_EQ(result.backupFound.mismatch, BACKUP_OTHER_BYTES);
    EXPECT_EQ(ReadFileBytes(path_), renamed);
    EXPECT_EQ(ReadFileBytes(path_ + ".bak"), bytes_);
}

TEST_F(ClassListingTest, TheRestoreIsDecidedOnTheFileAsItIsNotOnAnOlderTable)
{
    // The table describes the file as it was; the file now has every record
    // two bytes further on, and its backup differs from it only in a surface
    // type.
    const std::vector<uint8_t> shifted = Shifted();
    RewriteInPlace(path_, shifted);
    std::vector<uint8_t> backup = shifted;
    backup[classes_[1] + 2 + CLASS_SURFACE_TYPE_OFS] = 10;
    tmp_.Write("CLASSLIST.BGL.bak", backup);
    ClassListBackup read{};
    RestoreDecision decision;
    std::unique_ptr<ClassListing> decided(new ClassListing());
    EXPECT_EQ(DecideRestore(&g_classListFile, path_.c_str(), false, &read, &decision, decided.get()), 1);
    EXPECT_EQ(decision.verdict, RESTORE_ALLOWED);
    EXPECT_EQ(decision.changedClasses, 1u);
    EXPECT_EQ(decision.compared.differing, 0u);

    // Decided, then changed in one byte before the write: nothing is written.
    std::vector<uint8_t> renamed = shifted;
    renamed[classes_[0] + 2 + CLASS_RECORD_SIZE + 6 + 2 + 12] = 'X';
    RewriteInPlace(path_, renamed);
    const EditResult result =
        EditClassList(&g_classListFile, *decided, path_.c_str(), RestoreRequest(*decided, read));
    EXPECT_EQ(result.outcome, EDIT_FILE_CHANGED);
    EXPECT_EQ(result.restored, 0u);
    EXPECT_EQ(ReadFileBytes(path_), renamed);
    RestoreDecision again;
    DecideRestore(&g_classListFile, path_.c_str(), false, &read, &again, decided.get());
    EXPECT_FALSE(SameRestore(decision, again));
    EXPECT_EQ(again.verdict, RESTORE_OTHER_BYTES);
}

// A surface type across two pages, the second of which another program cut
// off: the restore leaves it as it was rather than half the backup's.
TEST(ClassListingRestoreTest, ASurfaceTypeIsRestoredWholeOrNotAtAll)
{
    TempDir tmp;
    ClassListBuilder b;
    b.AddLong(4096 - CLASS_SURFACE_TYPE_OFS - 1);   // the class's surface type at 4095 and 4096
    const size_t at = b.AddClass(7, 0x0101, 0);
    b.AddLong(4096);
    b.AddEnd();
    ASSERT_EQ(at + CLASS_SURFACE_TYPE_OFS, 4095u);
    const std::string path = tmp.Write("CLASSLIST.BGL", b.Bytes());
    std::memset(&g_classListFile, 0, sizeof g_classListFile);
    ASSERT_TRUE(OpenClassListAt(&g_classListFile, path.c_str()));
    ScanClassList(&g_classListFile);
    std::unique_ptr<ClassListing> listing(new ClassListing());
    ASSERT_TRUE(ListClasses(&g_classListFile, listing.get()));
    std::vector<BYTE> bytes = b.Bytes();
    bytes[4095] = 0x02;
    bytes[4096] = 0x02;
    ClassListBackup backup{};
    backup.bytes = bytes.data();
    backup.size = DWORD(bytes.size());
    ASSERT_EQ(truncate(path.c_str(), 4096), 0);
    const EditResult result =
        EditClassList(&g_classListFile, *listing, path.c_str(), RestoreRequest(*listing, backup));
    EXPECT_EQ(result.outcome, EDIT_FILE_CHANGED);
    EXPECT_EQ(result.restored, 0u);
    EXPECT_EQ(g_classListFile.view[4095], 0x01) << "half a surface type was restored";
    CloseClassList(&g_classListFile);
}

} // namespace
