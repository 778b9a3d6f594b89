// The listing and the stores that check the file against it, on a class list
// another program rewrites in place between the listing and the stores.
#include "data/class_listing.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "data/backup_restore.h"
#include "data/class_list_backup.h"
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

    BYTE* Record(size_t index) const { return g_classListFile.view + classes_[index]; }

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
    BYTE* records[] = {Record(0)};
    DWORD stored = 99;
    EXPECT_EQ(ApplyListedSurfaceType(listing_.get(), 2, records, 1, &stored), 0);
    EXPECT_EQ(stored, 0u);
}

TEST_F(ClassListingTest, StoresLandOnlyOnTheListedRecordsOfAnUnchangedFile)
{
    const std::vector<uint8_t> shifted = Shifted();
    RewriteInPlace(path_, shifted);
    BYTE* records[] = {Record(0), Record(2)};
    DWORD stored = 99;
    EXPECT_EQ(ApplyListedSurfaceType(listing_.get(), 2, records, 2, &stored), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_INVALID));
    EXPECT_EQ(stored, 0u);
    EXPECT_EQ(ResetListedSurfaceTypes(listing_.get(), &stored), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_INVALID));
    EXPECT_EQ(ReadFileBytes(path_), shifted);

    // Another Turfwise set a surface type meanwhile: no conflict.
    RewriteInPlace(path_, WithType(bytes_, 1, 10));
    EXPECT_EQ(ApplyListedSurfaceType(listing_.get(), 2, records, 2, &stored), 1);
    EXPECT_EQ(stored, 2u);
    EXPECT_EQ(ReadFileBytes(path_), WithType(WithType(WithType(bytes_, 1, 10), 0, 2), 2, 2));
    EXPECT_EQ(ResetListedSurfaceTypes(listing_.get(), &stored), 1);
    EXPECT_EQ(ReadFileBytes(path_), WithType(WithType(WithType(bytes_, 0, 2), 1, 10), 2, 3));
}

TEST_F(ClassListingTest, ARecordThatIsNotAListedClassStoresNothing)
{
    BYTE* records[] = {Record(0), g_classListFile.view + classes_[1] + 2, nullptr};
    DWORD stored = 99;
    EXPECT_EQ(ApplyListedSurfaceType(listing_.get(), 2, records, 2, &stored), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(ApplyListedSurfaceType(listing_.get(), 2, records + 2, 1, &stored), 0);
    EXPECT_EQ(ReadFileBytes(path_), bytes_);
    // Nor does the plain store: a record outside the view is no success.
    BYTE outside[CLASS_RECORD_SIZE] = {};
    records[1] = outside;
    EXPECT_EQ(ApplySurfaceTypeEx(2, records, 2, &stored), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(stored, 0u);
    EXPECT_EQ(ReadFileBytes(path_), bytes_);
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
    EXPECT_EQ(DecideRestore(&g_classListFile, path_.c_str(), false, &read, &decision), 1);
    EXPECT_EQ(decision.verdict, RESTORE_ALLOWED);
    EXPECT_EQ(decision.changedClasses, 1u);
    EXPECT_EQ(decision.compared.differing, 0u);

    // Decided, then changed in one byte before the write: nothing is written.
    std::vector<uint8_t> renamed = shifted;
    renamed[classes_[0] + 2 + CLASS_RECORD_SIZE + 6 + 2 + 12] = 'X';
    RewriteInPlace(path_, renamed);
    DWORD restored = 99;
    EXPECT_EQ(RestoreClassListChecked(&g_classListFile, &read, &decision.viewDigest, &restored), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_INVALID));
    EXPECT_EQ(restored, 0u);
    EXPECT_EQ(ReadFileBytes(path_), renamed);
    RestoreDecision again;
    DecideRestore(&g_classListFile, path_.c_str(), false, &read, &again);
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
    std::vector<BYTE> bytes = b.Bytes();
    bytes[4095] = 0x02;
    bytes[4096] = 0x02;
    ClassListBackup backup{};
    backup.bytes = bytes.data();
    backup.size = DWORD(bytes.size());
    ASSERT_EQ(truncate(path.c_str(), 4096), 0);
    DWORD restored = 99;
    EXPECT_EQ(RestoreClassListEx(&g_classListFile, &backup, &restored), 0);
    EXPECT_EQ(restored, 4095u) << "the field counts as restored only with both its bytes";
    EXPECT_EQ(g_classListFile.view[4095], 0x01) << "half a surface type was restored";
    CloseClassList(&g_classListFile);
}

} // namespace
