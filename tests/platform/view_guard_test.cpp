// The guard turns a fault inside its view into a failure with the system's
// error, keeps what the access did before it, and leaves every other fault
// to whatever handled it before.
#include "platform/view_guard.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/mman.h>
#endif

#include <cstring>

namespace {

const SIZE_T kPage = 4096;

// Two pages of memory: the first writable, the second read-only, so that a
// store into the second faults for real.
class TwoPages {
public:
    TwoPages()
    {
#ifdef _WIN32
        bytes_ = static_cast<BYTE*>(VirtualAlloc(nullptr, 2 * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        if (bytes_)
            VirtualProtect(bytes_ + kPage, kPage, PAGE_READONLY, &old);
#else
        void* p = mmap(nullptr, 2 * kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        bytes_ = p == MAP_FAILED ? nullptr : static_cast<BYTE*>(p);
        if (bytes_)
            mprotect(bytes_ + kPage, kPage, PROT_READ);
#endif
    }
    ~TwoPages()
    {
#ifdef _WIN32
        VirtualFree(bytes_, 0, MEM_RELEASE);
#else
        munmap(bytes_, 2 * kPage);
#endif
    }
    TwoPages(const TwoPages&) = delete;
    TwoPages& operator=(const TwoPages&) = delete;

    BYTE* bytes() const { return bytes_; }

private:
    BYTE* bytes_;
};

// Where 32-bit Wine runs under qemu's user-mode emulator (a kernel that runs
// no 32-bit programs), a page fault reaches Wine without its trap number and
// is raised as an illegal instruction: no real fault can be told apart there.
bool FaultsAreEmulated()
{
#ifdef _WIN32
    if (sizeof(void*) != 4)
        return false;
    HANDLE file = CreateFileA("Z:\\proc\\sys\\fs\\binfmt_misc\\qemu-i386", GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char text[8] = {};
    DWORD read = 0;
    ReadFile(file, text, 7, &read, nullptr);
    CloseHandle(file);
    return std::strcmp(text, "enabled") == 0;
#else
    return false;
#endif
}

struct Fill {
    BYTE* bytes;
    SIZE_T count;
    volatile SIZE_T done;
};

void FillBytes(void* context)
{
    Fill& fill = *static_cast<Fill*>(context);
    for (SIZE_T i = 0; i < fill.count; fill.done = ++i)
        fill.bytes[i] = 0xAB;
}

SIZE_T CountOf(const BYTE* bytes, SIZE_T size, BYTE value)
{
    SIZE_T n = 0;
    for (SIZE_T i = 0; i < size; ++i)
        n += bytes[i] == value;
    return n;
}

TEST(ViewGuard, AStoreTheViewRefusesFailsWithTheErrorAndKeepsWhatCameBefore)
{
    if (FaultsAreEmulated())
        GTEST_SKIP() << "32-bit Wine runs under qemu here, which raises a page fault as an illegal instruction";
    TwoPages pages;
    ASSERT_TRUE(pages.bytes());

    Fill fill{pages.bytes(), 2 * kPage, 0};
    SetLastError(0);
    EXPECT_EQ(GuardViewAccess(pages.bytes(), 2 * kPage, FillBytes, &fill), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOACCESS));
    EXPECT_EQ(fill.done, kPage);
    EXPECT_EQ(CountOf(pages.bytes(), kPage, 0xAB), kPage);
    EXPECT_EQ(CountOf(pages.bytes() + kPage, kPage, 0), kPage);

    // The guard is left as it was: the same thread guards again, and a
    // second fault is caught as the first was.
    Fill again{pages.bytes(), kPage, 0};
    SetLastError(1234);
    EXPECT_EQ(GuardViewAccess(pages.bytes(), 2 * kPage, FillBytes, &again), 1);
    EXPECT_EQ(again.done, kPage);
    EXPECT_EQ(GetLastError(), 1234u) << "a guard that meets no fault leaves the last-error code alone";
    Fill late{pages.bytes() + kPage - 2, 4, 0};
    EXPECT_EQ(GuardViewAccess(pages.bytes(), 2 * kPage, FillBytes, &late), 0);
    EXPECT_EQ(late.done, 2u);
}

TEST(ViewGuard, TheFaultSwitchMeetsAFullDiskAtTheChosenAccessOnly)
{
    BYTE bytes[16] = {};
    Fill fill{bytes, sizeof bytes, 0};
    FaultNextViewAccess(1);
    SetLastError(1234);
    EXPECT_EQ(GuardViewAccess(bytes, sizeof bytes, FillBytes, &fill), 1);
    EXPECT_EQ(fill.done, sizeof bytes);
    EXPECT_EQ(GetLastError(), 1234u) << "a guard that meets no fault leaves the last-error code alone";

    fill.done = 0;
    std::memset(bytes, 0, sizeof bytes);
    SetLastError(0);
    EXPECT_EQ(GuardViewAccess(bytes, sizeof bytes, FillBytes, &fill), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DISK_FULL));
    EXPECT_EQ(fill.done, 0u);
    EXPECT_EQ(CountOf(bytes, sizeof bytes, 0), sizeof bytes);

    EXPECT_EQ(GuardViewAccess(bytes, sizeof bytes, FillBytes, &fill), 1);
    EXPECT_EQ(fill.done, sizeof bytes);
}

#ifndef _WIN32
// Only the guarded view is the guard's: a fault elsewhere ends the program
// as it would have without it.
TEST(ViewGuardDeathTest, AFaultOutsideTheViewIsNotTaken)
{
    TwoPages pages;
    ASSERT_TRUE(pages.bytes());
    Fill fill{pages.bytes(), 2 * kPage, 0};
    EXPECT_DEATH(GuardViewAccess(pages.bytes(), kPage, FillBytes, &fill), "");
}
#endif

} // namespace
