// Maps arbitrary bytes as a class list and scans them. The sanitizers catch
// any read outside the bytes; the checks below catch tables that lie.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "data/byte_order.h"
#include "data/record_scan.h"
#include "fuzz/texture_fuzz_checks.h"

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0xFFFFFFFFu)
        return 0;
    // A block of exactly the input's size: one byte further is a finding.
    std::unique_ptr<BYTE[]> bytes(new BYTE[size ? size : 1]);
    if (size)
        std::memcpy(bytes.get(), data, size);

    ClassListFile& file = g_classListFile;
    std::memset(&file, 0, sizeof file);
    file.view = size ? bytes.get() : nullptr;
    file.fileSize = static_cast<DWORD>(size);

    int result = ScanClassList(&file);
    DWORD error = GetLastError();
    Check(result == 1 || error == ERROR_INVALID_FUNCTION || error == ERROR_INVALID_DATA ||
          error == ERROR_NOT_ENOUGH_MEMORY);
    Check(file.classCount <= CLASS_TABLE_SIZE && file.waterCount <= file.classCount);
    DWORD w = 0;
    for (DWORD i = 0; i < file.classCount; ++i) {
        const BYTE* record = file.classRecords[i];
        Check(IsInsideView(&file, record, 10) && ReadLE16(record) == 0x00A1);
        Check(i == 0 || record > file.classRecords[i - 1]);
        if (ReadLE16(record + 4) == 2)
            Check(w < file.waterCount && file.waterRecords[w++] == record);
    }
    Check(w == file.waterCount);

    CheckTextureClasses(&file);

    std::memset(&file, 0, sizeof file);
    return 0;
}
