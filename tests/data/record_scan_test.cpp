#include "data/record_scan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "data/byte_order.h"
#include "tests/support/view_bytes.h"
#include "tools/classlist_builder.h"

namespace {

struct Report {
    int count = 0;
    std::string text;
};

class RecordScan : public ::testing::Test {
protected:
    // Scans `bytes` as the whole file; the image stays alive in `view_`. What
    // the walk would tell the user lands in `report_`; the last error stays.
    int Scan(const std::vector<uint8_t>& bytes)
    {
        view_ = std::make_unique<ViewBytes>(bytes);
        view_->Install(&file_);
        const int result = ScanClassListEx(&file_, &stop_);
        const DWORD error = GetLastError();
        char text[MAX_PATH];
        if (FormatScanReport(&file_, stop_, text, sizeof text)) {
            ++report_.count;
            report_.text = text;
        }
        SetLastError(error);
        return result;
    }
    size_t OffsetOf(const BYTE* record) const { return static_cast<size_t>(record - view_->data()); }

    ClassListFile file_{};
    std::unique_ptr<ViewBytes> view_;
    ScanStop stop_{};
    Report report_;
};

TEST_F(RecordScan, StepsOverEveryLengthRuleAndFindsClassesInFileOrder)
{
    ClassListBuilder b;
    b.AddEnd();
    size_t c0 = b.AddClass(1, 3, 0);
    b.AddLong(100);
    b.AddTextureName("A.BMP");
    b.AddTextureList(3);                       // 6 + 2*3 = 12 bytes
    b.AddEleven(0x0005);
    b.AddEleven(0x0105);                       // judged by its low byte alone
    b.AddEleven(0xFF0A);
    b.AddFourteen(0x000E);
    b.AddFourteen(0x7F0E);
    b.AddSized15(0x0015, 9);
    b.AddSized15(0x3315, 200);
    size_t c1 = b.AddClass(2, 2, 0);
    b.AddEnd();

    ASSERT_EQ(Scan(b.Bytes()), 1);
    ASSERT_EQ(file_.classCount, 2u);
    EXPECT_EQ(OffsetOf(file_.classRecords[0]), c0);
    EXPECT_EQ(OffsetOf(file_.classRecords[1]), c1);
    ASSERT_EQ(file_.waterCount, 1u);
    EXPECT_EQ(file_.waterRecords[0], file_.classRecords[1]);
    EXPECT_EQ(file_.classRecords[2], nullptr);
    EXPECT_EQ(report_.count, 0);
}

TEST_F(RecordScan, TextureListLengthFollowsItsEntryCount)
{
    // 0x0064 with 3 entries is 12 bytes: a class record straight after it is found.
    ClassListBuilder b;
    b.AddRaw({0x64, 0x00, 0, 0, 3, 0, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE});
    size_t c = b.AddClass(7, 1, 0);
    ASSERT_EQ(Scan(b.Bytes()), 1);
    ASSERT_EQ(file_.classCount, 1u);
    EXPECT_EQ(OffsetOf(file_.classRecords[0]), c);
}

TEST_F(RecordScan, UnrecognisedRecordIsReportedAndKeepsWhatCameBefore)
{
    // The unknown record follows a 10-byte class and an 11-byte record: offset 21.
    const struct {
        uint16_t opcode;
        const char* report;
    } cases[] = {
        {0x0100, "TWSSCN001E  SCAN =L'00000015, O= 0100, L= 00"},
        {0x01A1, "TWSSCN001E  SCAN =L'00000015, O= 01A1, L= A1"},
        {0x0143, "TWSSCN001E  SCAN =L'00000015, O= 0143, L= 43"},
        {0x0002, "TWSSCN001E  SCAN =L'00000015, O= 0002, L= 02"},
        {0xFFFF, "TWSSCN001E  SCAN =L'00000015, O= FFFF, L= FF"},
    };
    for (const auto& c : cases)
        for (size_t padding : {0, 80}) {
        SCOPED_TRACE(c.report);
        report_ = Report();
        ClassListBuilder b;
        b.AddClass(1, 2, 0);
        b.AddEleven(0x0105);
        b.AddRaw({static_cast<uint8_t>(c.opcode), static_cast<uint8_t>(c.opcode >> 8), 0, 0});
        b.AddClass(2, 2, 0);
        b.AddRaw(std::vector<uint8_t>(padding, 0));

        SetLastError(0);
        EXPECT_EQ(Scan(b.Bytes()), 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
        EXPECT_EQ(file_.classCount, 1u);
        EXPECT_EQ(file_.waterCount, 1u);
        ASSERT_EQ(report_.count, 1);
        EXPECT_EQ(stop_.offset, 21u);
        EXPECT_EQ(stop_.opcode, c.opcode);
        EXPECT_EQ(stop_.error, static_cast<DWORD>(ERROR_INVALID_FUNCTION));
        std::string expected = c.report;
        // The 32-bit build names the record by its address, which the view decides.
        if (sizeof(void*) == 4) {
            char address[9];
            std::snprintf(address, sizeof address, "%08lX",
                          static_cast<unsigned long>(reinterpret_cast<uintptr_t>(view_->data()) + 21));
            expected.replace(20, 8, address);
        }
        EXPECT_EQ(report_.text, expected);
        }
}

TEST_F(RecordScan, WalkEndsCleanlyAtOrPastTheEnd)
{
    // Nothing mapped: nothing read, success, last error untouched.
    ClassListFile empty{};
    SetLastError(1234);
    EXPECT_EQ(ScanClassList(&empty), 1);
    EXPECT_EQ(GetLastError(), 1234u);

    // A single byte holds no opcode.
    EXPECT_EQ(Scan({0xA1}), 1);
    EXPECT_EQ(file_.classCount, 0u);

    // Last record ending exactly at the last byte, and one byte left over.
    ClassListBuilder b;
    b.AddClass(1, 1, 0);
    EXPECT_EQ(Scan(b.Bytes()), 1);
    EXPECT_EQ(file_.classCount, 1u);
    b.AddRaw({0x00});
    EXPECT_EQ(Scan(b.Bytes()), 1);
    EXPECT_EQ(file_.classCount, 1u);

    // A length that carries the cursor beyond the end, including one that
    // would wrap a 32-bit cursor.
    for (uint32_t length : {0x200000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        ClassListBuilder c;
        c.AddClass(1, 1, 0);
        c.AddLong(length);
        c.AddClass(2, 1, 0);       // never reached
        EXPECT_EQ(Scan(c.Bytes()), 1) << length;
        EXPECT_EQ(file_.classCount, 1u) << length;
    }
}

TEST_F(RecordScan, DamagedLengthsStopTheScanWithInvalidData)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> tail;
    };
    std::vector<uint8_t> longWithZero(62, 0);
    longWithZero[0] = 0x01;
    const Case cases[] = {
        {"0x0001 length 0", longWithZero},
        {"0x0001 length field past the end", {0x01, 0x00, 1, 2, 3}},
        {"0x0001 length shorter than its own length field", [] {
             std::vector<uint8_t> r(70, 0);
             r[0] = 0x01;
             r[58] = 61;
             return r;
         }()},
        {"0x0043 length 0", {0x43, 0x00, 0x00, 0x00}},
        {"0x0043 length 3", {0x43, 0x00, 0x03, 0x00, 0, 0}},
        {"0x0043 negative length", {0x43, 0x00, 0xF6, 0xFF, 0, 0}},
        {"0x0043 length field past the end", {0x43, 0x00, 0x10}},
        {"0x0064 count past the end", {0x64, 0x00, 0, 0, 1}},
        {"0x0015 length 0", {0x15, 0x00, 0, 0, 0, 0, 0, 0}},
        {"0xA115 length 1", {0x15, 0xA1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0}},
        {"0x0815 length field past the end", {0x15, 0x08, 0, 0, 0, 9}},
        {"truncated texture class record", {0xA1, 0x00, 1, 0, 2, 0, 10, 0, 0}},
    };
    // With and without a long run of records behind: the scan takes a
    // different road where fewer bytes are left.
    for (const Case& c : cases)
        for (size_t padding : {0, 80}) {
        bool atTheEnd = std::strstr(c.what, "past the end") || std::strstr(c.what, "truncated");
        if (padding && atTheEnd)
            continue;
        SCOPED_TRACE(std::string(c.what) + (padding ? ", padded" : ""));
        ClassListBuilder b;
        b.AddClass(1, 2, 0);
        b.AddRaw(c.tail);
        b.AddRaw(std::vector<uint8_t>(padding, 0));
        SetLastError(0);
        EXPECT_EQ(Scan(b.Bytes()), 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
        EXPECT_EQ(file_.classCount, 1u);     // the truncated class is not entered
        EXPECT_EQ(file_.waterCount, 1u);
        EXPECT_EQ(report_.count, 0);
        }
}

// The bytes just past the view hold what would be a sound length: a length
// field read from there would let the walk end quietly instead of failing,
// in every build, with or without a sanitizer.
TEST_F(RecordScan, LengthFieldsPastTheEndOfTheViewAreNeverRead)
{
    const struct {
        const char* what;
        std::vector<uint8_t> inside, beyond;
    } cases[] = {
        {"0x0001, 2 of its 4 length bytes", [] {
             std::vector<uint8_t> r(60, 0);
             r[0] = 0x01;
             r[58] = 100;
             return r;
         }(), {0, 0}},
        {"0x0043, opcode alone", {0x43, 0x00}, {0x20, 0x00}},
        {"0x0043, half its length", {0x43, 0x00, 0x20}, {0x00}},
        {"0x0064, no count", {0x64, 0x00, 0, 0}, {1, 0}},
        {"0x0815, half its length", {0x15, 0x08, 0, 0, 0, 9}, {0}},
        {"texture class, 9 of 10 bytes", {0xA1, 0x00, 1, 0, 2, 0, 10, 0, 0}, {0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ClassListBuilder b;
        b.AddClass(1, 2, 0);
        b.AddRaw(c.inside);
        const size_t viewSize = b.Size();
        b.AddRaw(c.beyond);
        std::vector<uint8_t> storage = b.Bytes();
        std::memset(&file_, 0, sizeof file_);
        file_.view = storage.data();
        file_.fileSize = static_cast<DWORD>(viewSize);
        SetLastError(0);
        EXPECT_EQ(ScanClassList(&file_), 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
        EXPECT_EQ(file_.classCount, 1u);
    }
}

TEST_F(RecordScan, TablesHoldAtMost1024Classes)
{
    ClassListBuilder b;
    for (int i = 0; i < 1024; ++i)
        b.AddClass(static_cast<int16_t>(i), i % 2 ? 2 : 1, 0);
    ASSERT_EQ(Scan(b.Bytes()), 1);
    EXPECT_EQ(file_.classCount, 1024u);
    EXPECT_EQ(file_.waterCount, 512u);

    b.AddClass(1024, 2, 0);
    SetLastError(0);
    EXPECT_EQ(Scan(b.Bytes()), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    ASSERT_EQ(file_.classCount, 1024u);
    EXPECT_EQ(file_.waterCount, 512u);
    for (DWORD i = 0; i < file_.classCount; ++i)
        ASSERT_EQ(OffsetOf(file_.classRecords[i]), 10u * i);
}

TEST_F(RecordScan, RescanFollowsSurfaceTypeChangesAndClearsOldEntries)
{
    ClassListBuilder b;
    b.AddClass(1, 1, 0);
    b.AddClass(2, 2, 0);
    b.AddClass(3, 2, 0);
    ASSERT_EQ(Scan(b.Bytes()), 1);
    ASSERT_EQ(file_.waterCount, 2u);
    BYTE* second = file_.classRecords[1];
    EXPECT_EQ(file_.waterRecords[0], second);

    // Same bytes again: same tables.
    ClassListFile before = file_;
    ASSERT_EQ(ScanClassList(&file_), 1);
    EXPECT_EQ(std::memcmp(&before, &file_, sizeof file_), 0);

    WriteLE16(second + 4, 10);
    WriteLE16(file_.classRecords[0] + 4, 2);
    ASSERT_EQ(ScanClassList(&file_), 1);
    EXPECT_EQ(file_.classCount, 3u);
    EXPECT_EQ(file_.classRecords[1], second);
    ASSERT_EQ(file_.waterCount, 2u);
    EXPECT_EQ(file_.waterRecords[0], file_.classRecords[0]);
    EXPECT_EQ(file_.waterRecords[1], file_.classRecords[2]);
    EXPECT_EQ(file_.waterRecords[2], nullptr);

    // Every scan starts from empty tables, even after a stop.
    WriteLE16(file_.classRecords[0], 0x0100);
    ASSERT_EQ(ScanClassList(&file_), 0);
    EXPECT_EQ(file_.classCount, 0u);
    EXPECT_EQ(file_.classRecords[1], nullptr);
    EXPECT_EQ(file_.waterRecords[0], nullptr);
}

TEST(RecordScanArguments, NullRecordIsRefused)
{
    SetLastError(0);
    EXPECT_EQ(ScanClassList(nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

} // namespace
