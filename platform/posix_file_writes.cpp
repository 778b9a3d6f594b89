// Writing, renaming and asking about files by DOS path, for the backup beside
// the class list, and the texts of the error numbers this layer leaves.
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/last_error.h"
#include "platform/posix_file_faults.h"
#include "platform/posix_internal.h"

namespace {

DWORD WriteError(int err)
{
    switch (err) {
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    default: return Win32ErrorFromErrno(err);
    }
}

bool Resolve(LPCSTR name, std::string* path)
{
    DWORD error = ERROR_INVALID_PARAMETER;
    if (name && ResolveDosPath(name, path, &error))
        return true;
    SetLastError(error);
    return false;
}

} // namespace

BOOL WINAPI WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED)
{
    const int fd = PosixFileDescriptor(file);
    if (fd < 0)
        return FailWith<BOOL>(ERROR_INVALID_HANDLE);
    if (written)
        *written = 0;
    const FileFault fault = TakeFault(FileCall::Write);
    if (fault.error)
        return FailWith<BOOL>(fault.error);
    if (fault.shorten)
        size /= 2;
    const char* p = static_cast<const char*>(data);
    DWORD done = 0;
    while (done < size) {
        ssize_t n = write(fd, p + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return FailWith<BOOL>(WriteError(n < 0 ? errno : ENOSPC));
        done += static_cast<DWORD>(n);
        if (written)
            *written = done;
    }
    return TRUE;
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID data, DWORD size, LPDWORD read, LPOVERLAPPED)
{
    const int fd = PosixFileDescriptor(file);
    if (fd < 0)
        return FailWith<BOOL>(ERROR_INVALID_HANDLE);
    const FileFault fault = TakeFault(FileCall::Read);
    if (fault.error)
        return FailWith<BOOL>(fault.error);
    if (fault.shorten)
        size /= 2;
    DWORD done = 0;
    while (done < size) {
        ssize_t n = ::read(fd, static_cast<char*>(data) + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return FailWith<BOOL>(Win32ErrorFromErrno(errno));
        if (n == 0)
            break;
        done += static_cast<DWORD>(n);
    }
    if (read)
        *read = done;
    return TRUE;
}

BOOL WINAPI FlushFileBuffers(HANDLE file)
{
    const int fd = PosixFileDescriptor(file);
    if (fd < 0)
        return FailWith<BOOL>(ERROR_INVALID_HANDLE);
    if (DWORD fault = TakeFault(FileCall::Flush).error)
        return FailWith<BOOL>(fault);
    return fsync(fd) == 0 ? TRUE : FailWith<BOOL>(WriteError(errno));
}

BOOL WINAPI MoveFileA(LPCSTR from, LPCSTR to)
{
    if (DWORD fault = TakeFault(FileCall::Move).error)
        return FailWith<BOOL>(fault);
    std::string source, target;
    if (!Resolve(from, &source) || !Resolve(to, &target))
        return FALSE;
    // rename() would replace the target. The kernel's no-replace rename
    // looks and renames in one step; where it or the file system lacks it,
    // a hard link fails on an existing target too.
#ifdef __linux__
    if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return TRUE;
    if (errno == EEXIST)
        return FailWith<BOOL>(ERROR_ALREADY_EXISTS);
    if (errno != EINVAL && errno != ENOSYS)
        return FailWith<BOOL>(WriteError(errno));
#endif
    if (link(source.c_str(), target.c_str()) == 0) {
        unlink(source.c_str());
        return TRUE;
    }
    if (errno == EEXIST)
        return FailWith<BOOL>(ERROR_ALREADY_EXISTS);
    // File systems with neither: check, then rename.
    struct stat st;
    if (lstat(target.c_str(), &st) == 0)
        return FailWith<BOOL>(ERROR_ALREADY_EXISTS);
    return rename(source.c_str(), target.c_str()) == 0 ? TRUE : FailWith<BOOL>(WriteError(errno));
}

BOOL WINAPI DeleteFileA(LPCSTR name)
{
    std::string path;
    if (!Resolve(name, &path))
        return FALSE;
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return FailWith<BOOL>(ERROR_ACCESS_DENIED);
    return unlink(path.c_str()) == 0 ? TRUE : FailWith<BOOL>(Win32ErrorFromErrno(errno));
}

DWORD WINAPI GetFileAttributesA(LPCSTR name)
{
    std::string path;
    struct stat st;
    if (!Resolve(name, &path))
        return INVALID_FILE_ATTRIBUTES;
    if (stat(path.c_str(), &st) != 0) {
        SetLastError(Win32ErrorFromErrno(errno));
        return INVALID_FILE_ATTRIBUTES;
    }
    if (S_ISDIR(st.st_mode))
        return FILE_ATTRIBUTE_DIRECTORY;
    return (st.st_mode & 0222) ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}

DWORD WINAPI GetFullPathNameA(LPCSTR name, DWORD size, LPSTR buffer, LPSTR* filePart)
{
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string full = name;
    const bool hasDrive = std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':';
    if (!hasDrive && name[0] != '/' && name[0] != '\\') {
        char cwd[4096];
        if (!getcwd(cwd, sizeof cwd)) {
            SetLastError(Win32ErrorFromErrno(errno));
            return 0;
        }
        full = std::string(cwd) + "/" + name;
    }
    if (full.size() + 1 > size)
        return static_cast<DWORD>(full.size() + 1);
    std::memcpy(buffer, full.c_str(), full.size() + 1);
    if (filePart) {
        char* last = buffer;
        for (char* p = buffer; *p; ++p)
            if (*p == '/' || *p == '\\')
                last = p + 1;
        *filePart = *last ? last : nullptr;
    }
    return static_cast<DWORD>(full.size());
}

namespace {

struct FindHandle {
    DIR* folder;
    std::string path;      // the folder, for the names' attributes
    std::string pattern;   // the last component
};

// The next name in the folder that matches, or false with ERROR_NO_MORE_FILES.
bool NextMatch(FindHandle* find, LPWIN32_FIND_DATAA data)
{
    while (const dirent* entry = readdir(find->folder)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || name.size() >= sizeof data->cFileName ||
            fnmatch(find->pattern.c_str(), name.c_str(), FNM_CASEFOLD) != 0)
            continue;
        struct stat st;
        if (stat((find->path + "/" + name).c_str(), &st) != 0 && lstat((find->path + "/" + name).c_str(), &st) != 0)
            continue;   // gone since it was listed
        *data = WIN32_FIND_DATAA();
        data->dwFileAttributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
        data->nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
        data->nFileSizeLow = static_cast<DWORD>(st.st_size);
        std::memcpy(data->cFileName, name.c_str(), name.size() + 1);
        return true;
    }
    return FailWith<bool>(ERROR_NO_MORE_FILES, false);
}

} // namespace

HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data)
{
    std::string path;
    if (!data || !Resolve(pattern, &path))
        return FailWith<HANDLE>(data ? GetLastError() : ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    const size_t slash = path.rfind('/');
    auto* find = new FindHandle{nullptr, slash == std::string::npos ? "." : path.substr(0, slash ? slash : 1),
                                path.substr(slash + 1)};
    find->folder = opendir(find->path.c_str());
    if (!find->folder) {
        const DWORD error = errno == ENOENT ? ERROR_PATH_NOT_FOUND : Win32ErrorFromErrno(errno);
        delete find;
        return FailWith<HANDLE>(error, INVALID_HANDLE_VALUE);
    }
    if (!NextMatch(find, data)) {
        FindClose(find);
        return FailWith<HANDLE>(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    }
    return find;
}

BOOL WINAPI FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data)
{
    if (!find || find == INVALID_HANDLE_VALUE || !data)
        return FailWith<BOOL>(ERROR_INVALID_HANDLE);
    return NextMatch(static_cast<FindHandle*>(find), data) ? TRUE : FALSE;
}

BOOL WINAPI FindClose(HANDLE find)
{
    if (!find || find == INVALID_HANDLE_VALUE)
        return FailWith<BOOL>(ERROR_INVALID_HANDLE);
    auto* h = static_cast<FindHandle*>(find);
    closedir(h->folder);
    delete h;
    return TRUE;
}

DWORD WINAPI GetCurrentProcessId()
{
    return static_cast<DWORD>(getpid());
}

DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPSTR buffer, DWORD size, va_list*)
{
    // Windows' own texts for every number this layer leaves.
    static const struct {
        DWORD code;
        const char* text;
    } kMessages[] = {
        {ERROR_SUCCESS, "The operation completed successfully."},
        {ERROR_INVALID_FUNCTION, "Incorrect function."},
        {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
        {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified."},
        {ERROR_TOO_MANY_OPEN_FILES, "The system cannot open the file."},
        {ERROR_ACCESS_DENIED, "Access is denied."},
        {ERROR_INVALID_HANDLE, "The handle is invalid."},
        {ERROR_NOT_ENOUGH_MEMORY, "Not enough memory resources are available to process this command."},
        {ERROR_INVALID_DATA, "The data is invalid."},
        {ERROR_OUTOFMEMORY, "Not enough memory resources are available to complete this operation."},
        {ERROR_WRITE_PROTECT, "The media is write protected."},
        {ERROR_GEN_FAILURE, "A device attached to the system is not functioning."},
        {ERROR_SHARING_VIOLATION, "The process cannot access the file because it is being used by another process."},
        {ERROR_HANDLE_EOF, "Reached the end of the file."},
        {ERROR_FILE_EXISTS, "The file exists."},
        {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
        {ERROR_DISK_FULL, "There is not enough space on the disk."},
        {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small."},
        {ERROR_ALREADY_EXISTS, "Cannot create a file when that file already exists."},
        {ERROR_NO_MORE_FILES, "There are no more files."},
        {ERROR_FILENAME_EXCED_RANGE, "The filename or extension is too long."},
        {ERROR_FILE_TOO_LARGE, "The file size exceeds the limit allowed and cannot be saved."},
        {ERROR_MORE_DATA, "More data is available."},
        {ERROR_NOACCESS, "Invalid access to memory location."},
        {ERROR_SWAPERROR, "Error performing inpage operation."},
        {ERROR_FILE_INVALID,
         "The volume for a file has been externally altered so that the opened file is no longer valid."},
        {ERROR_CANT_ACCESS_FILE, "The file cannot be accessed by the system."},
    };
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || !buffer || size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    for (const auto& m : kMessages) {
        if (m.code != messageId)
            continue;
        const int n = std::snprintf(buffer, size, "%s\r\n", m.text);
        if (n < 0 || static_cast<DWORD>(n) >= size) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        return static_cast<DWORD>(n);
    }
    SetLastError(317);   // ERROR_MR_MID_NOT_FOUND
    return 0;
}
