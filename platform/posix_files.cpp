// Files and shared mappings on POSIX with CreateFileA's and MapViewOfFile's
// results: handles are small heap objects, views are MAP_SHARED mappings.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/posix_file_faults.h"
#include "platform/last_error.h"
#include "platform/posix_internal.h"

namespace {

struct PosixHandle {
    enum Kind { FILE, MAPPING, PROCESS } kind;
    int fd;          // -1 for a process
    bool writable;
    size_t size;     // mappings only: the length a view takes
    pid_t pid;       // processes only
};

struct MappedView {
    size_t size;
    int fd;   // the file's own, for what a fault in the view means
};

std::mutex g_viewsLock;
std::map<const void*, MappedView>& Views()
{
    static std::map<const void*, MappedView> views;
    return views;
}

PosixHandle* AsHandle(HANDLE h, PosixHandle::Kind kind)
{
    auto* p = static_cast<PosixHandle*>(h);
    return (p && h != INVALID_HANDLE_VALUE && p->kind == kind) ? p : nullptr;
}

struct Fault {
    std::atomic<bool> armed{false};
    DWORD error = 0;
    bool shorten = false;
    std::function<void()> before;
};
Fault g_faults[static_cast<int>(FileCall::Count)];

Fault& FaultOf(FileCall call)
{
    return g_faults[static_cast<int>(call)];
}

} // namespace

FileFault TakeFault(FileCall call)
{
    Fault& fault = FaultOf(call);
    if (!fault.armed.load(std::memory_order_relaxed) || !fault.armed.exchange(false))
        return {};
    FileFault taken{fault.error, fault.shorten};
    std::function<void()> before = std::move(fault.before);
    fault.error = 0;
    fault.shorten = false;
    fault.before = nullptr;
    if (before)
        before();
    return taken;
}

void FailNextFileCall(FileCall call, DWORD error)
{
    Fault& fault = FaultOf(call);
    fault.error = error;
    fault.armed = error != 0;
}

void ShortenNextFileCall(FileCall call)
{
    Fault& fault = FaultOf(call);
    fault.shorten = true;
    fault.armed = true;
}

void BeforeNextFileCall(FileCall call, std::function<void()> action)
{
    Fault& fault = FaultOf(call);
    fault.before = std::move(action);
    fault.armed = true;
}

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD, LPSECURITY_ATTRIBUTES,
                          DWORD disposition, DWORD, HANDLE)
{
    if (!name || (disposition != OPEN_EXISTING && disposition != CREATE_NEW))
        return FailWith<HANDLE>(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    std::string path;
    DWORD error = 0;
    if (!ResolveDosPath(name, &path, &error))
        return FailWith<HANDLE>(error, INVALID_HANDLE_VALUE);

    // A FIFO's open waits for the other end, and opening a device may act on
    // it: neither is looked at beyond its name.
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
        return FailWith<HANDLE>(ERROR_CANT_ACCESS_FILE, INVALID_HANDLE_VALUE);
    if (DWORD fault = TakeFault(FileCall::Open).error)
        return FailWith<HANDLE>(fault, INVALID_HANDLE_VALUE);

    bool writable = (access & GENERIC_WRITE) != 0;
    // O_NONBLOCK for a name that became a FIFO since the look; no regular
    // file's reads or writes heed it.
    int flags = (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (disposition == CREATE_NEW)
        flags |= O_CREAT | O_EXCL;
    int fd = open(path.c_str(), flags, 0666);
    if (fd < 0)
        return FailWith<HANDLE>(errno == EEXIST ? ERROR_FILE_EXISTS : Win32ErrorFromErrno(errno), INVALID_HANDLE_VALUE);
    const mode_t mode = fstat(fd, &st) == 0 ? st.st_mode : 0;
    if (!S_ISREG(mode)) {
        close(fd);
        return FailWith<HANDLE>(S_ISDIR(mode) ? ERROR_ACCESS_DENIED : ERROR_CANT_ACCESS_FILE, INVALID_HANDLE_VALUE);
    }
    return new PosixHandle{PosixHandle::FILE, fd, writable, 0, 0};
}

DWORD WINAPI GetFileType(HANDLE file)
{
    PosixHandle* h = AsHandle(file, PosixHandle::FILE);
    struct stat st;
    if (!h || fstat(h->fd, &st) != 0)
        return FailWith<DWORD>(h ? Win32ErrorFromErrno(errno) : ERROR_INVALID_HANDLE, FILE_TYPE_UNKNOWN);
    SetLastError(ERROR_SUCCESS);
    if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))
        return FILE_TYPE_DISK;
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return FILE_TYPE_CHAR;
    return S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) ? FILE_TYPE_PIPE : FILE_TYPE_UNKNOWN;
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD sizeHigh)
{
    if (DWORD fault = TakeFault(FileCall::SizeQuery).error) {
        SetLastError(fault);
        return INVALID_FILE_SIZE;
    }
    PosixHandle* h = AsHandle(file, PosixHandle::FILE);
    struct stat st;
    if (!h) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    if (fstat(h->fd, &st) != 0) {
        SetLastError(Win32ErrorFromErrno(errno));
        return INVALID_FILE_SIZE;
    }
    uint64_t size = static_cast<uint64_t>(st.st_size);
    if (sizeHigh)
        *sizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

HANDLE WINAPI CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect,
                                 DWORD sizeHigh, DWORD sizeLow, LPCSTR)
{
    if (DWORD fault = TakeFault(FileCall::Mapping).error)
        return FailWith<HANDLE>(fault, nullptr);
    PosixHandle* h = AsHandle(file, PosixHandle::FILE);
    if (!h)
        return FailWith<HANDLE>(ERROR_INVALID_HANDLE, nullptr);
    if ((protect != PAGE_READWRITE && protect != PAGE_READONLY) || sizeHigh != 0 || sizeLow != 0)
        return FailWith<HANDLE>(ERROR_INVALID_PARAMETER, nullptr);
    const bool writable = protect == PAGE_READWRITE;
    if (writable && !h->writable)
        return FailWith<HANDLE>(ERROR_ACCESS_DENIED, nullptr);
    struct stat st;
    if (fstat(h->fd, &st) != 0)
        return FailWith<HANDLE>(Win32ErrorFromErrno(errno), nullptr);
    // Windows will not map the whole of an empty file.
    if (st.st_size == 0)
        return FailWith<HANDLE>(ERROR_FILE_INVALID, nullptr);
    // The mapping outlives the file handle, as on Windows.
    int fd = dup(h->fd);
    if (fd < 0)
        return FailWith<HANDLE>(Win32ErrorFromErrno(errno), nullptr);
    return new PosixHandle{PosixHandle::MAPPING, fd, writable, static_cast<size_t>(st.st_size), 0};
}

LPVOID WINAPI MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow,
                            SIZE_T bytes)
{
    if (DWORD fault = TakeFault(FileCall::View).error)
        return FailWith<HANDLE>(fault, nullptr);
    PosixHandle* h = AsHandle(mapping, PosixHandle::MAPPING);
    if (!h)
        return FailWith<HANDLE>(ERROR_INVALID_HANDLE, nullptr);
    if ((access != FILE_MAP_ALL_ACCESS && access != FILE_MAP_READ) || offsetHigh != 0 || offsetLow != 0 ||
        (bytes != 0 && bytes != h->size))
        return FailWith<HANDLE>(ERROR_INVALID_PARAMETER, nullptr);
    const bool writable = access == FILE_MAP_ALL_ACCESS;
    if (writable && !h->writable)
        return FailWith<HANDLE>(ERROR_ACCESS_DENIED, nullptr);
    void* view = mmap(nullptr, h->size, writable ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, h->fd, 0);
    if (view == MAP_FAILED)
        return FailWith<HANDLE>(Win32ErrorFromErrno(errno), nullptr);
    std::lock_guard<std::mutex> lock(g_viewsLock);
    Views()[view] = MappedView{h->size, dup(h->fd)};
    return view;
}

namespace {

// The length of the view that starts at `view`, forgotten when `forget`; 0
// with ERROR_INVALID_ADDRESS when no view starts there.
size_t ViewSize(LPCVOID view, bool forget)
{
    std::lock_guard<std::mutex> lock(g_viewsLock);
    auto it = Views().find(view);
    if (it == Views().end())
        return FailWith<size_t>(487);   // ERROR_INVALID_ADDRESS
    const size_t size = it->second.size;
    if (forget) {
        if (it->second.fd >= 0)
            close(it->second.fd);
        Views().erase(it);
    }
    return size;
}

} // namespace

DWORD ViewFaultError(uintptr_t address)
{
    int fd = -1;
    uint64_t offset = 0;
    {
        std::lock_guard<std::mutex> lock(g_viewsLock);
        auto it = Views().upper_bound(reinterpret_cast<const void*>(address));
        if (it != Views().begin()) {
            --it;
            offset = address - reinterpret_cast<uintptr_t>(it->first);
            if (offset < it->second.size)
                fd = it->second.fd;
        }
    }
    struct stat st;
    if (fd >= 0 && fstat(fd, &st) == 0 && offset >= static_cast<uint64_t>(st.st_size))
        return ERROR_HANDLE_EOF;
    // Inside the file, a store fails for want of a block to put the page in.
    struct statvfs volume;
    if (fd >= 0 && fstatvfs(fd, &volume) == 0 && volume.f_bavail == 0)
        return ERROR_DISK_FULL;
    return ERROR_SWAPERROR;
}

BOOL WINAPI UnmapViewOfFile(LPCVOID view)
{
    const size_t size = ViewSize(view, true);
    if (size == 0)
        return FALSE;
    munmap(const_cast<void*>(view), size);
    return TRUE;
}

BOOL WINAPI FlushViewOfFile(LPCVOID view, SIZE_T bytes)
{
    if (DWORD fault = TakeFault(FileCall::FlushView).error)
        return FailWith<BOOL>(fault, FALSE);
    size_t size = ViewSize(view, false);
    if (size == 0)
        return FALSE;
    if (bytes != 0 && bytes < size)
        size = bytes;
    if (msync(const_cast<void*>(view), size, MS_SYNC) != 0) {
        SetLastError(Win32ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION info)
{
    PosixHandle* h = AsHandle(file, PosixHandle::FILE);
    struct stat st;
    if (!h || !info) {
        SetLastError(h ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (fstat(h->fd, &st) != 0) {
        SetLastError(Win32ErrorFromErrno(errno));
        return FALSE;
    }
    *info = BY_HANDLE_FILE_INFORMATION();
    info->dwFileAttributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    // The device and inode name the file as the volume serial and file index do.
    info->dwVolumeSerialNumber = static_cast<DWORD>(st.st_dev);
    info->nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
    info->nFileSizeLow = static_cast<DWORD>(st.st_size);
    info->nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
    info->nFileIndexHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_ino) >> 32);
    info->nFileIndexLow = static_cast<DWORD>(st.st_ino);
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE handle)
{
    auto* h = static_cast<PosixHandle*>(handle);
    if (!h || handle == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (h->fd >= 0)
        close(h->fd);
    delete h;
    if (DWORD fault = TakeFault(FileCall::Close).error) {
        SetLastError(fault);
        return FALSE;
    }
    return TRUE;
}

int PosixFileDescriptor(HANDLE file)
{
    PosixHandle* h = AsHandle(file, PosixHandle::FILE);
    return h ? h->fd : -1;
}

HANDLE WINAPI OpenProcess(DWORD access, BOOL, DWORD processId)
{
    const pid_t pid = static_cast<pid_t>(processId);
    if (access != SYNCHRONIZE || pid <= 0 || static_cast<DWORD>(pid) != processId)
        return FailWith<HANDLE>(ERROR_INVALID_PARAMETER, nullptr);
    if (kill(pid, 0) != 0 && errno != EPERM)
        return FailWith<HANDLE>(ERROR_INVALID_PARAMETER, nullptr);   // as Windows answers for no such process
    return new PosixHandle{PosixHandle::PROCESS, -1, false, 0, pid};
}

namespace {

// A process that ended but was not yet waited for still has its id.
bool IsZombie(pid_t pid)
{
    char path[64], stat[512];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    FILE* f = std::fopen(path, "r");
    if (!f)
        return false;
    const size_t n = std::fread(stat, 1, sizeof stat - 1, f);
    std::fclose(f);
    stat[n] = '\0';
    const char* paren = std::strrchr(stat, ')');   // the command's name may hold anything
    return paren && (paren[1] == ' ') && (paren[2] == 'Z' || paren[2] == 'X');
}

} // namespace

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD)
{
    PosixHandle* h = AsHandle(handle, PosixHandle::PROCESS);
    if (!h)
        return FailWith<DWORD>(ERROR_INVALID_HANDLE, WAIT_FAILED);
    if ((kill(h->pid, 0) != 0 && errno == ESRCH) || IsZombie(h->pid))
        return WAIT_OBJECT_0;
    return WAIT_TIMEOUT;
}
