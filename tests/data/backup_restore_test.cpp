// Whether a backup may go back over the class list: the one decision the
// dialog and turfwise-cli restore share.
#include "data/backup_restore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "data/texture_classes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/three_classes.h"
#include "tools/classlist_builder.h"

namespace fs = std::filesystem;

namespace {

class BackupRestoreTest : public ThreeClassesTest {
protected:
    RestoreDecision Decide(bool force, int expected)
    {
        ClassListBackup backup{};
        RestoreDecision decision;
        std::unique_ptr<ClassListing> listing(new ClassListing());
        EXPECT_EQ(DecideRestore(file_.get(), path_.c_str(), force, &backup, &decision, listing.get()), expected);
        FreeClassListBackup(&backup);
        return decision;
    }
};

TEST_F(BackupRestoreTest, ABackupThatDiffersInSurfaceTypesOnlyGoesBackAndSaysHowManyClassesChange)
{
    tmp_.Write("CLASSLIST.BGL.bak", WithType(WithType(bytes_, 0, 2), 2, 6));
    RestoreDecision decision = Decide(false, 1);
    EXPECT_EQ(decision.verdict, RESTORE_ALLOWED);
    EXPECT_EQ(decision.changedClasses, 2u);
    EXPECT_FALSE(decision.damaged);

    tmp_.Write("CLASSLIST.BGL.bak", bytes_);
    EXPECT_EQ(Decide(false, 0).verdict, RESTORE_ALREADY_MATCHES);
}

TEST_F(BackupRestoreTest, EveryOtherBackupIsRefusedAndForcePassesOnlyDamageAndOtherBytes)
{
    RestoreDecision missing = Decide(true, 0);
    EXPECT_EQ(missing.verdict, RESTORE_UNREADABLE);
    EXPECT_EQ(missing.error, DWORD(ERROR_FILE_NOT_FOUND));

    std::vector<uint8_t> longer = bytes_;
    longer.push_back(0);
    tmp_.Write("CLASSLIST.BGL.bak", longer);
    EXPECT_EQ(Decide(true, 0).verdict, RESTORE_OTHER_SIZE);

    // The end record of the backup becomes an unknown one.
    std::vector<uint8_t> damaged = WithType(bytes_, 1, 2);
    damaged[damaged.size() - 2] = 0x77;
    tmp_.Write("CLASSLIST.BGL.bak", damaged);
    RestoreDecision refused = Decide(false, 0);
    EXPECT_EQ(refused.verdict, RESTORE_DAMAGED);
    EXPECT_EQ(refused.scanError, DWORD(ERROR_INVALID_FUNCTION));
    EXPECT_EQ(refused.scanOffset, DWORD(bytes_.size() - 2));
    EXPECT_EQ(refused.scanOpcode, 0x77u);
    EXPECT_EQ(refused.scanClasses, 3u);
    RestoreDecision forced = Decide(true, 1);
    EXPECT_EQ(forced.verdict, RESTORE_ALLOWED);
    EXPECT_TRUE(forced.damaged);
    EXPECT_EQ(forced.compared.differing, 1u);
    EXPECT_EQ(forced.changedClasses, 1u);

    std::vector<uint8_t> renamed = bytes_;
    renamed[classes_[1] - 3] ^= 0x20;
    tmp_.Write("CLASSLIST.BGL.bak", renamed);
    RestoreDecision other = Decide(false, 0);
    EXPECT_EQ(other.verdict, RESTORE_OTHER_BYTES);
    EXPECT_EQ(other.compared.differing, 1u);
    EXPECT_EQ(other.compared.firstOffset, DWORD(classes_[1] - 3));
    EXPECT_EQ(Decide(true, 1).verdict, RESTORE_ALLOWED);

    // A link to the class list reads as a copy that matches it; forced or not,
    // it is no backup.
    fs::remove(backup_);
    fs::create_symlink(path_, backup_);
    EXPECT_EQ(Decide(true, 0).verdict, RESTORE_IS_THE_CLASS_LIST);
    fs::remove(backup_);
    fs::create_hard_link(path_, backup_);
    EXPECT_EQ(Decide(false, 0).verdict, RESTORE_IS_THE_CLASS_LIST);
    EXPECT_EQ(ReadFileBytes(path_), bytes_);
}

} // namespace
