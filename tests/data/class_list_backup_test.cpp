// The backup beside the class list: made once, trusted only when it is a copy
// of this class list, and never replaced, whatever fails on the way.
#include "data/class_list_backup.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "data/backup_restore.h"
#include "data/record_scan.h"
#include "data/texture_classes.h"
#include "platform/posix_file_faults.h"
#include "tests/support/fifo_watch.h"
#include "tests/support/temp_dir.h"
#include "tests/support/three_classes.h"
#include "tools/classlist_builder.h"

namespace fs = std::filesystem;

namespace {

class ClassListBackupTest : public ThreeClassesTest {
protected:
    int Backup(BackupComparison* found = nullptr)
    {
        BackupComparison ignored;
        char path[BACKUP_PATH_SIZE] = {};
        const int result = BackupClassList(file_.get(), path_.c_str(), path, found ? found : &ignored);
        const DWORD error = GetLastError();
        EXPECT_EQ(std::string(path), backup_);
        SetLastError(error);
        return result;
    }

    std::vector<std::string> Folder() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(tmp_.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

};

TEST_F(ClassListBackupTest, MadeWhenNoneIsThereAndAfterwardsKeptWhileOnlySurfaceTypesDiffer)
{
    ASSERT_EQ(Backup(), 1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(ReadFileBytes(backup_), bytes_);
    EXPECT_EQ(Folder(), (std::vector<std::string>{"CLASSLIST.BGL", "CLASSLIST.BGL.bak"}));

    // The class list changed since, in surface types only: still its backup.
    WriteLE16(file_->classRecords[0] + CLASS_SURFACE_TYPE_OFS, 2);
    WriteLE16(file_->classRecords[2] + CLASS_SURFACE_TYPE_OFS, 0xFFFF);
    BackupComparison found;
    ASSERT_EQ(Backup(&found), 1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(found.mismatch, BACKUP_MATCHES);
    EXPECT_EQ(ReadFileBytes(backup_), bytes_);
}

TEST_F(ClassListBackupTest, AnythingElseUnderTheNameIsLeftAsItIsAndNoBackupIsHad)
{
    std::vector<uint8_t> renamed = bytes_;
    const size_t letter = classes_[1] + CLASS_RECORD_SIZE + LIST_HEADER_SIZE + 2 + NAME_TEXT_OFS;
    renamed[letter] = 'X';
    renamed[letter + 2] = 'Y';
    // A byte that is a surface type of no class the scan found: the long record's.
    std::vector<uint8_t> filler = bytes_;
    filler[CLASS_SURFACE_TYPE_OFS] ^= 1;
    std::vector<uint8_t> longer = bytes_;
    longer.push_back(0);
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        BackupMismatch mismatch;
        DWORD size, differing, firstOffset;
    } cases[] = {
        {"empty", {}, BACKUP_OTHER_SIZE, 0, 0, 0},
        {"shorter", std::vector<uint8_t>(bytes_.begin(), bytes_.end() - 1), BACKUP_OTHER_SIZE,
         DWORD(bytes_.size() - 1), 0, 0},
        {"longer", longer, BACKUP_OTHER_SIZE, DWORD(bytes_.size() + 1), 0, 0},
        {"another name", renamed, BACKUP_OTHER_BYTES, DWORD(bytes_.size()), 2, DWORD(letter)},
        {"another filler byte", filler, BACKUP_OTHER_BYTES, DWORD(bytes_.size()), 1, CLASS_SURFACE_TYPE_OFS},
    };
    for (const auto& c : cases) {
        tmp_.Write("CLASSLIST.BGL.bak", c.bytes);
        BackupComparison found;
        EXPECT_EQ(Backup(&found), 0) << c.what;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS)) << c.what;
        EXPECT_EQ(found.mismatch, c.mismatch) << c.what;
        EXPECT_EQ(found.size, c.size) << c.what;
        EXPECT_EQ(found.differing, c.differing) << c.what;
        EXPECT_EQ(found.firstOffset, c.firstOffset) << c.what;
        EXPECT_EQ(ReadFileBytes(backup_), c.bytes) << c.what;
        EXPECT_EQ(ReadFileBytes(path_), bytes_) << c.what;
        EXPECT_EQ(Folder(), (std::vector<std::string>{"CLASSLIST.BGL", "CLASSLIST.BGL.bak"})) << c.what;
    }

    // Names that lead to no copy: a folder, the class list itself, nowhere.
    fs::remove(backup_);
    fs::create_directory(backup_);
    BackupComparison found;
    EXPECT_EQ(Backup(&found), 0);
    EXPECT_EQ(found.mismatch, BACKUP_NOT_A_FILE);
    EXPECT_TRUE(fs::is_directory(backup_));
    fs::remove(backup_);
    fs::create_symlink(path_, backup_);
    EXPECT_EQ(Backup(&found), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    EXPECT_EQ(found.mismatch, BACKUP_IS_THE_CLASS_LIST);
    EXPECT_TRUE(fs::is_symlink(backup_));
    fs::remove(backup_);
    fs::create_hard_link(path_, backup_);
    EXPECT_EQ(Backup(&found), 0);
    EXPECT_EQ(found.mismatch, BACKUP_IS_THE_CLASS_LIST);
    fs::remove(backup_);
    fs::create_symlink(tmp_ / "nowhere", backup_);
    EXPECT_EQ(Backup(&found), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    EXPECT_EQ(found.mismatch, BACKUP_NOT_A_FILE);
    EXPECT_TRUE(fs::is_symlink(backup_));
    EXPECT_FALSE(fs::exists(tmp_ / "nowhere"));
    EXPECT_EQ(ReadFileBytes(path_), bytes_);
    EXPECT_EQ(Folder(), (std::vector<std::string>{"CLASSLIST.BGL", "CLASSLIST.BGL.bak"}));
}

TEST_F(ClassListBackupTest, APipeSocketOrDeviceUnderTheNameIsNoBackupAndIsNeverOpened)
{
    {
        FifoWatch fifo(backup_);
        ASSERT_TRUE(fifo.made());
        BackupComparison found;
        EXPECT_EQ(Backup(&found), 0);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
        EXPECT_EQ(found.mismatch, BACKUP_NOT_A_FILE);
        ClassListBackup read{};
        EXPECT_EQ(ReadClassListBackup(path_.c_str(), &read), 0);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_CANT_ACCESS_FILE));
        FreeClassListBackup(&read);
        EXPECT_FALSE(fifo.opened());
    }
    EXPECT_EQ(fs::status(backup_).type(), fs::file_type::fifo);
    fs::remove(backup_);

    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(backup_.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, backup_.c_str());
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    BackupComparison found;
    EXPECT_EQ(Backup(&found), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    EXPECT_EQ(found.mismatch, BACKUP_NOT_A_FILE);
    close(listener);
    fs::remove(backup_);

    fs::create_symlink("/dev/null", backup_);
    EXPECT_EQ(Backup(&found), 0);
    EXPECT_EQ(found.mismatch, BACKUP_NOT_A_FILE);
    EXPECT_EQ(ReadFileBytes(path_), bytes_);
    EXPECT_EQ(Folder(), (std::vector<std::string>{"CLASSLIST.BGL", "CLASSLIST.BGL.bak"}));
}

TEST_F(ClassListBackupTest, AFileOfAnotherSizeIsJudgedByItsSizeWithoutReadingAByte)
{
    const struct {
        uint64_t size;
        DWORD low, high;
    } cases[] = {
        {bytes_.size() + 1, DWORD(bytes_.size() + 1), 0},
        {3000000000ull, 3000000000u, 0},
        {(1ull << 32) + bytes_.size(), DWORD(bytes_.size()), 1},   // the low word alone would match
    };
    for (const auto& c : cases) {
        tmp_.Write("CLASSLIST.BGL.bak", {});
        fs::resize_file(backup_, c.size);   // sparse: no disk, and no time to read
        FailNextFileCall(FileCall::Read, ERROR_GEN_FAILURE);
        BackupComparison found;
        EXPECT_EQ(Backup(&found), 0) << c.size;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS)) << c.size;
        EXPECT_EQ(found.mismatch, BACKUP_OTHER_SIZE) << c.size;
        EXPECT_EQ(found.size, c.low) << c.size;
        EXPECT_EQ(found.sizeHigh, c.high) << c.size;
        FailNextFileCall(FileCall::Read, 0);
        EXPECT_EQ(fs::file_size(backup_), c.size);
    }
    ClassListBackup read{};
    EXPECT_EQ(ReadClassListBackup(path_.c_str(), &read), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_TOO_LARGE));
    EXPECT_EQ(read.bytes, nullptr);
    FreeClassListBackup(&read);
}

TEST_F(ClassListBackupTest, ACopyLeftByAProgramKilledBeforeItsRenameIsRemovedByTheNextBackup)
{
    // Killed for real between writing its copy and renaming it.
    const pid_t killed = fork();
    ASSERT_GE(killed, 0);
    if (killed == 0) {
        BeforeNextFileCall(FileCall::Move, [] { kill(getpid(), SIGKILL); });
        char path[BACKUP_PATH_SIZE];
        BackupComparison found;
        BackupClassList(file_.get(), path_.c_str(), path, &found);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(killed, &status, 0), killed);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    const std::string left = "CLASSLIST.BGL.bak.unix-" + std::to_string(killed) + ".tmp";
    ASSERT_EQ(Folder(), (std::vector<std::string>{"CLASSLIST.BGL", left}));
    EXPECT_EQ(ReadFileBytes(tmp_ / left), bytes_);

    // A running program's copy, and names that are no copy of ours, stay.
    const pid_t running = fork();
    ASSERT_GE(running, 0);
    if (running == 0) {
        pause();
        _exit(0);
    }
    const std::string theirs = "CLASSLIST.BGL.bak.unix-" + std::to_string(running) + ".tmp";
    tmp_.Write(theirs, {1, 2});
    // A Windows program's copy bears Wine's process id, which says nothing of
    // the kernel's: it is left to the Windows programs.
    const std::vector<std::string> others = {"CLASSLIST.BGL.bak.unix-1x.tmp", "CLASSLIST.BGL.bak.unix-.tmp",
                                             "CLASSLIST.BGL.bak.unix-" + std::to_string(killed) + ".tmp.keep",
                                             "OTHER.BGL.bak.unix-" + std::to_string(killed) + ".tmp",
                                             "CLASSLIST.BGL.bak." + std::to_string(killed) + ".tmp"};
    for (const std::string& name : others)
        tmp_.Write(name, {3});
    // Nor is a folder of such a name.
    fs::create_directory(tmp_ / ("CLASSLIST.BGL.bak.unix-99999999.tmp"));

    ASSERT_EQ(Backup(), 1);
    std::vector<std::string> expected = {"CLASSLIST.BGL", "CLASSLIST.BGL.bak", theirs,
                                         "CLASSLIST.BGL.bak.unix-99999999.tmp"};
    expected.insert(expected.end(), others.begin(), others.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Folder(), expected);
    EXPECT_EQ(ReadFileBytes(tmp_ / theirs), (std::vector<uint8_t>{1, 2}));

    // Once it has ended, the next backup, kept or made, removes its copy too.
    kill(running, SIGKILL);
    waitpid(running, &status, 0);
    ASSERT_EQ(Backup(), 1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(fs::exists(tmp_ / theirs));
}

TEST_F(ClassListBackupTest, FailuresWhileWritingLeaveNoBackupAndNoTemporaryFile)
{
    const struct {
        const char* what;
        std::function<void()> arm;
        DWORD error;
    } cases[] = {
        {"write fails", [] { FailNextFileCall(FileCall::Write, ERROR_WRITE_PROTECT); }, ERROR_WRITE_PROTECT},
        {"short write", [] { ShortenNextFileCall(FileCall::Write); }, ERROR_DISK_FULL},
        {"flush fails", [] { FailNextFileCall(FileCall::Flush, ERROR_GEN_FAILURE); }, ERROR_GEN_FAILURE},
        {"rename fails", [] { FailNextFileCall(FileCall::Move, ERROR_ACCESS_DENIED); }, ERROR_ACCESS_DENIED},
    };
    for (const auto& c : cases) {
        c.arm();
        EXPECT_EQ(Backup(), 0) << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
        EXPECT_EQ(Folder(), std::vector<std::string>{"CLASSLIST.BGL"}) << c.what;
        EXPECT_EQ(ReadFileBytes(path_), bytes_) << c.what;
    }
}

TEST_F(ClassListBackupTest, ARenameThatLosesTheRaceJudgesTheWinnersFile)
{
    // Another program backs up the same class list between our look and our rename.
    const std::vector<uint8_t> theirs = WithType(bytes_, 0, 5);
    BeforeNextFileCall(FileCall::Move, [&] { tmp_.Write("CLASSLIST.BGL.bak", theirs); });
    ASSERT_EQ(Backup(), 1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(ReadFileBytes(backup_), theirs);
    EXPECT_EQ(Folder(), (std::vector<std::string>{"CLASSLIST.BGL", "CLASSLIST.BGL.bak"}));

    // Something else takes the name meanwhile: it stays, and there is no backup.
    fs::remove(backup_);
    BeforeNextFileCall(FileCall::Move, [&] { tmp_.Write("CLASSLIST.BGL.bak", {1, 2, 3}); });
    BackupComparison found;
    EXPECT_EQ(Backup(&found), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    EXPECT_EQ(found.mismatch, BACKUP_OTHER_SIZE);
    EXPECT_EQ(ReadFileBytes(backup_), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(Folder(), (std::vector<std::string>{"CLASSLIST.BGL", "CLASSLIST.BGL.bak"}));
}

TEST_F(ClassListBackupTest, AnExistingBackupThatCannotBeReadWholeIsNotTrusted)
{
    tmp_.Write("CLASSLIST.BGL.bak", bytes_);
    ShortenNextFileCall(FileCall::Read);
    EXPECT_EQ(Backup(), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA));
    FailNextFileCall(FileCall::Read, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Backup(), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReadFileBytes(backup_), bytes_);
    EXPECT_EQ(ReadFileBytes(path_), bytes_);
    EXPECT_EQ(Folder(), (std::vector<std::string>{"CLASSLIST.BGL", "CLASSLIST.BGL.bak"}));

    ShortenNextFileCall(FileCall::Read);
    ClassListBackup read{};
    EXPECT_EQ(ReadClassListBackup(path_.c_str(), &read), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA));
    EXPECT_EQ(std::string(read.path), backup_);
    FreeClassListBackup(&read);
}

TEST_F(ClassListBackupTest, RestorePutsEveryByteBackAndTheFlushReportsFailure)
{
    std::vector<uint8_t> other = WithType(bytes_, 1, 2);
    other[0x10] ^= 0xFF;
    tmp_.Write("CLASSLIST.BGL.bak", other);
    ClassListBackup backup{};
    RestoreDecision decision;
    std::unique_ptr<ClassListing> listing(new ClassListing());
    EXPECT_EQ(DecideRestore(file_.get(), path_.c_str(), true, &backup, &decision, listing.get()), 1);
    FailNextFileCall(FileCall::FlushView, ERROR_GEN_FAILURE);
    const EditResult result = EditClassList(file_.get(), *listing, path_.c_str(), RestoreRequest(*listing, backup));
    EXPECT_EQ(result.outcome, EDIT_NOT_FLUSHED);
    EXPECT_EQ(result.error, DWORD(ERROR_GEN_FAILURE));
    EXPECT_EQ(result.made.size(), 1u);
    EXPECT_EQ(ReadFileBytes(path_), other);
    FailNextFileCall(FileCall::Flush, ERROR_DISK_FULL);
    EXPECT_EQ(FlushClassList(file_.get()), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DISK_FULL));
}

} // namespace
