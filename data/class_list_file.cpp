#include "data/class_list_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/last_error.h"

ClassListFile g_classListFile;

int LocateGameFolder(ClassListFile* file)
{
    if (!file) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    HKEY key = nullptr;
    // The game's installer is a 32-bit program: on 64-bit Windows its entry is
    // in the 32-bit view, which the 64-bit build must ask for. An entry made
    // by hand may stand in the 64-bit view instead.
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, GAME_REGISTRY_KEY, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key);
    if (status == ERROR_FILE_NOT_FOUND)
        status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, GAME_REGISTRY_KEY, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key);
    if (status != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(status));
        return 0;
    }
    DWORD size = sizeof file->gameFolder;
    status = RegQueryValueExA(key, GAME_REGISTRY_VALUE, nullptr, nullptr,
                              reinterpret_cast<BYTE*>(file->gameFolder), &size);
    RegCloseKey(key);
    // A value of exactly 260 bytes with no terminator fits the buffer but is
    // no folder name we can use: as good as too long.
    if (status == ERROR_SUCCESS && !std::memchr(file->gameFolder, 0, sizeof file->gameFolder))
        status = ERROR_MORE_DATA;
    if (status != ERROR_SUCCESS) {
        file->gameFolder[sizeof file->gameFolder - 1] = '\0';
        SetLastError(static_cast<DWORD>(status));
        return 0;
    }
    return 1;
}

int OpenClassList(ClassListFile* file)
{
    if (!file) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // Bounded lengths: the record may come to us with unterminated names.
    size_t pathSize = strnlen(file->gameFolder, sizeof file->gameFolder) +
                      strnlen(file->fileName, sizeof file->fileName) + 64;
    char* path = static_cast<char*>(std::calloc(pathSize, 1));
    if (!path) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    FormatClassListPath(file, path, static_cast<DWORD>(pathSize));
    const int result = OpenClassListAt(file, path);
    KeepLastError keep;
    std::free(path);
    return result;
}

void FormatClassListPath(const ClassListFile* file, char* path, DWORD size)
{
    size_t folderLength = strnlen(file->gameFolder, sizeof file->gameFolder);
    size_t nameLength = strnlen(file->fileName, sizeof file->fileName);
    std::snprintf(path, size, "%.*s\\Scenery\\All\\Scenery\\%.*s", static_cast<int>(folderLength),
                  file->gameFolder, static_cast<int>(nameLength), file->fileName);
}

HANDLE OpenDiskFile(LPCSTR path, DWORD access)
{
    HANDLE handle = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return FailWith<HANDLE>(ERROR_CANT_ACCESS_FILE, INVALID_HANDLE_VALUE);
    }
    return handle;
}

namespace {

int OpenAndMap(ClassListFile* file, LPCSTR path, bool writable)
{
    if (!file || !path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    HANDLE handle = OpenDiskFile(path, writable ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ);
    if (handle == INVALID_HANDLE_VALUE) {
        file->fileHandle = nullptr;
        return 0;
    }
    file->fileHandle = handle;

    // Each failure below keeps the failing call's code across the clean-up.
    // All bits set is a length too when the last error says so.
    DWORD high = 0;
    SetLastError(ERROR_SUCCESS);
    file->fileSize = GetFileSize(handle, &high);
    DWORD sizeError = file->fileSize == INVALID_FILE_SIZE ? GetLastError() : ERROR_SUCCESS;
    if (sizeError == ERROR_SUCCESS && high != 0)
        sizeError = ERROR_FILE_TOO_LARGE;   // the size and every offset are 32-bit
    if (sizeError != ERROR_SUCCESS) {
        SetLastError(sizeError);
        KeepLastError keep;
        CloseHandle(handle);
        file->fileSize = 0;
        file->fileHandle = nullptr;
        return 0;
    }

    file->mappingHandle =
        CreateFileMappingA(handle, nullptr, writable ? PAGE_READWRITE : PAGE_READONLY, 0, 0, nullptr);
    if (!file->mappingHandle) {
        KeepLastError keep;
        CloseHandle(handle);
        file->fileHandle = nullptr;
        return 0;
    }

    file->view = static_cast<BYTE*>(
        MapViewOfFile(file->mappingHandle, writable ? FILE_MAP_ALL_ACCESS : FILE_MAP_READ, 0, 0, 0));
    if (!file->view) {
        KeepLastError keep;
        CloseHandle(file->mappingHandle);
        CloseHandle(handle);
        file->mappingHandle = nullptr;
        file->fileHandle = nullptr;
        return 0;
    }
    return 1;
}

} // namespace

int OpenClassListAt(ClassListFile* file, LPCSTR path)
{
    return OpenAndMap(file, path, true);
}

int OpenClassListReadOnlyAt(ClassListFile* file, LPCSTR path)
{
    return OpenAndMap(file, path, false);
}

int CloseClassList(ClassListFile* file)
{
    if (!file) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (file->view)
        UnmapViewOfFile(file->view);
    if (file->mappingHandle)
        CloseHandle(file->mappingHandle);
    if (file->fileHandle)
        CloseHandle(file->fileHandle);
    // A second close, or a look at the record afterwards, must find nothing to use.
    file->view = nullptr;
    file->fileSize = 0;
    file->mappingHandle = nullptr;
    file->fileHandle = nullptr;
    return 1;
}

int FlushClassList(const ClassListFile* file)
{
    if (!file || !file->view || !file->fileHandle) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return FlushViewOfFile(file->view, 0) && FlushFileBuffers(file->fileHandle) ? 1 : 0;
}

bool IsInsideView(const ClassListFile* file, const BYTE* p, DWORD size)
{
    if (!file || !file->view || !p)
        return false;
    // Compare as integers: the pointer may lie anywhere, even wrapped.
    uintptr_t start = reinterpret_cast<uintptr_t>(file->view);
    uintptr_t at = reinterpret_cast<uintptr_t>(p);
    if (at < start)
        return false;
    uint64_t offset = static_cast<uint64_t>(at - start);
    return offset <= file->fileSize && size <= file->fileSize - offset;
}
