// The backup on the real Win32 calls: a file of gigabytes under its name, and
// the temporary copies that programs killed while writing them left behind.
#include "data/class_list_backup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "data/record_scan.h"
#include "tests/support/start_process.h"
#include "tools/classlist_builder.h"

namespace {

class ClassListBackupWin : public ::testing::Test {
protected:
    void SetUp() override
    {
        char base[MAX_PATH];
        GetTempPathA(sizeof base, base);
        char name[MAX_PATH];
        std::snprintf(name, sizeof name, "%sturfwise-bak-%lu-%lu", base, GetCurrentProcessId(), GetTickCount());
        folder_ = name;
        ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
        ClassListBuilder b;
        b.AddTexturedClass(0, 1, "GRASS000.BMP");
        b.AddEnd();
        path_ = folder_ + "\\CLASSLIST.BGL";
        ASSERT_TRUE(b.WriteFile(path_));
        ASSERT_EQ(OpenClassListAt(&file_, path_.c_str()), 1) << GetLastError();
        ASSERT_EQ(ScanClassList(&file_), 1);
    }
    void TearDown() override
    {
        CloseClassList(&file_);
        for (const std::string& name : Folder())
            if (!DeleteFileA((folder_ + "\\" + name).c_str()))
                RemoveDirectoryA((folder_ + "\\" + name).c_str());
        RemoveDirectoryA(folder_.c_str());
    }

    std::vector<std::string> Folder() const
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA((folder_ + "\\*").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE)
            return names;
        do {
            if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..")
                names.push_back(found.cFileName);
        } while (FindNextFileA(find, &found));
        FindClose(find);
        std::sort(names.begin(), names.end());
        return names;
    }
    void Write(const std::string& name) const
    {
        FILE* f = std::fopen((folder_ + "\\" + name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("part", f);
        std::fclose(f);
    }
    int Backup(BackupComparison* found)
    {
        char path[BACKUP_PATH_SIZE] = {};
        return BackupClassList(&file_, path_.c_str(), path, found);
    }
    // A process of this program's own file, suspended: it runs nothing.
    PROCESS_INFORMATION StartSuspended() const
    {
        char self[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION process = {};
        EXPECT_TRUE(StartProcess(self, "", false, CREATE_SUSPENDED, si, process)) << GetLastError();
        return process;
    }

    std::string folder_, path_;
    ClassListFile file_{};
};

TEST_F(ClassListBackupWin, AFileOfGigabytesUnderTheNameIsJudgedByItsSizeAlone)
{
    HANDLE big = CreateFileA((path_ + ".bak").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(big, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = 5000000000LL;
    const bool grown = SetFilePointerEx(big, end, nullptr, FILE_BEGIN) && SetEndOfFile(big);
    CloseHandle(big);
    ASSERT_TRUE(grown) << GetLastError();
    BackupComparison found = {};
    EXPECT_EQ(Backup(&found), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(found.mismatch, BACKUP_OTHER_SIZE);
    EXPECT_EQ(found.size, static_cast<DWORD>(5000000000LL));
    EXPECT_EQ(found.sizeHigh, 1u);

    ClassListBackup read = {};
    EXPECT_EQ(ReadClassListBackup(path_.c_str(), &read), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
    FreeClassListBackup(&read);
}

TEST_F(ClassListBackupWin, CopiesOfEndedProgramsAreRemovedAndOnlyThose)
{
    // Ended, its process object still held; ended and gone; running.
    PROCESS_INFORMATION held = StartSuspended();
    TerminateProcess(held.hProcess, 1);
    WaitForSingleObject(held.hProcess, 10000);
    PROCESS_INFORMATION gone = StartSuspended();
    TerminateProcess(gone.hProcess, 1);
    WaitForSingleObject(gone.hProcess, 10000);
    CloseHandle(gone.hThread);
    CloseHandle(gone.hProcess);
    PROCESS_INFORMATION running = StartSuspended();
    auto copyOf = [](DWORD id) { return "CLASSLIST.BGL.bak." + std::to_string(id) + ".tmp"; };
    Write(copyOf(held.dwProcessId));
    Write(copyOf(gone.dwProcessId));
    Write(copyOf(running.dwProcessId));
    Write("CLASSLIST.BGL.bak.mine.tmp");
    // A native program's copy bears the kernel's process id, which says
    // nothing of Wine's: it is left to the native programs.
    const std::string native = "CLASSLIST.BGL.bak.unix-" + std::to_string(gone.dwProcessId) + ".tmp";
    Write(native);

    BackupComparison found = {};
    ASSERT_EQ(Backup(&found), 1) << GetLastError();
    std::vector<std::string> expected = {"CLASSLIST.BGL", "CLASSLIST.BGL.bak", "CLASSLIST.BGL.bak.mine.tmp",
                                         copyOf(running.dwProcessId), native};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Folder(), expected);

    TerminateProcess(running.hProcess, 1);
    WaitForSingleObject(running.hProcess, 10000);
    ASSERT_EQ(Backup(&found), 1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    expected = {"CLASSLIST.BGL", "CLASSLIST.BGL.bak", "CLASSLIST.BGL.bak.mine.tmp", native};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Folder(), expected);
    for (HANDLE h : {held.hThread, held.hProcess, running.hThread, running.hProcess})
        CloseHandle(h);
}

} // namespace
