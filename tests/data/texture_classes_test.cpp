#include "data/texture_classes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "data/byte_order.h"
#include "data/record_scan.h"
#include "tools/classlist_builder.h"
#include "tests/support/file_bytes.h"

namespace {

namespace fs = std::filesystem;

// Points g_classListFile at a copy of `bytes` in a block of exactly that
// size, so that the sanitizer catches any read past the end of the "view".
class ViewOf {
public:
    explicit ViewOf(const std::vector<uint8_t>& bytes) : copy_(new BYTE[bytes.size()])
    {
        std::memcpy(copy_.get(), bytes.data(), bytes.size());
        std::memset(&g_classListFile, 0, sizeof g_classListFile);
        g_classListFile.view = copy_.get();
        g_classListFile.fileSize = static_cast<DWORD>(bytes.size());
    }
    ~ViewOf() { std::memset(&g_classListFile, 0, sizeof g_classListFile); }
    ViewOf(const ViewOf&) = delete;
    ViewOf& operator=(const ViewOf&) = delete;

    BYTE* at(size_t offset) const { return copy_.get() + offset; }

private:
    std::unique_ptr<BYTE[]> copy_;
};

std::string NameOf(const BYTE* classRecord, int* ok = nullptr)
{
    char buffer[MAX_PATH] = {};
    DWORD length = sizeof buffer;
    int result = GetTextureName(classRecord, buffer, &length);
    if (ok)
        *ok = result;
    EXPECT_EQ(length, DWORD(MAX_PATH));
    EXPECT_TRUE(std::memchr(buffer, 0, sizeof buffer)) << "name left unterminated";
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}

std::string LineOf(const BYTE* classRecord)
{
    char line[CLASS_LINE_SIZE];
    std::memset(line, 'x', sizeof line);
    SetLastError(0);
    EXPECT_EQ(FormatClassLine(classRecord, line), 1);
    for (size_t i = strnlen(line, sizeof line); i < sizeof line; ++i)
        if (line[i] != 0)
            return "line not zero-padded";
    return line;
}

// ---------------------------------------------------------------------------
// Names and tables

TEST(SurfaceTypeTables, NamesChoicesAndUnknownCodes)
{
    const struct { DWORD code; const char* name; } expected[] = {
        {0, "Concrete"}, {1, "Grass"}, {2, "Water"}, {3, "Bumpy grass"}, {4, "Asphalt"},
        {5, "Short grass"}, {6, "Long grass"}, {7, "Hard turf"}, {10, "City"}, {11, "Forest"},
        {16, "Psp matting"},
    };
    ASSERT_EQ(SurfaceTypeChoiceCount, 11);
    for (int i = 0; i < SurfaceTypeChoiceCount; ++i) {
        EXPECT_EQ(SurfaceTypeChoices[i].code, expected[i].code) << "entry " << i;
        EXPECT_STREQ(SurfaceTypeChoices[i].name, expected[i].name) << "entry " << i;
        EXPECT_STREQ(SurfaceTypeName(SurfaceType(expected[i].code)), expected[i].name);
    }

    EXPECT_STREQ(SurfaceTypeName(8), "UNKNOWN(8)");
    EXPECT_STREQ(SurfaceTypeName(9), "UNKNOWN(9)");
    EXPECT_STREQ(SurfaceTypeName(12), "UNKNOWN(C)");
    EXPECT_STREQ(SurfaceTypeName(17), "UNKNOWN(11)");
    EXPECT_STREQ(SurfaceTypeName(0x0102), "UNKNOWN(102)");   // a named low byte is not enough
    EXPECT_STREQ(SurfaceTypeName(65535), "UNKNOWN(FFFF)");
    // The unknown text lives in one shared buffer; a named code must not touch it.
    const char* unknown = SurfaceTypeName(0xABC);
    EXPECT_STREQ(SurfaceTypeName(16), "Psp matting");
    EXPECT_STREQ(unknown, "UNKNOWN(ABC)");
}

TEST(SurfaceTypeTables, DefaultTypesFollowTheRuns)
{
    const struct { int first, last; SurfaceType code; } runs[] = {
        {0, 0, 2}, {1, 1, 10}, {2, 3, 3}, {4, 5, 6}, {6, 6, 11}, {7, 7, 5}, {8, 8, 10},
        {9, 27, 2}, {28, 62, 10}, {63, 155, 3}, {156, 215, 6}, {216, 239, 11}, {240, 255, 5},
    };
    // Every entry of the table the code holds, each against the one run it lies in.
    ASSERT_EQ(std::size(DefaultSurfaceTypes), 256u);
    for (int i = 0; i < int(std::size(DefaultSurfaceTypes)); ++i) {
        const auto* run = std::find_if(std::begin(runs), std::end(runs),
                                       [i](const auto& r) { return r.first <= i && i <= r.last; });
        ASSERT_NE(run, std::end(runs)) << "position " << i << " is in no run";
        EXPECT_EQ(DefaultSurfaceTypes[i], run->code) << "position " << i;
    }
}

// ---------------------------------------------------------------------------
// Texture names

TEST(TextureName, CopySizeQueryAndArguments)
{
    ClassListBuilder b;
    size_t cls = b.AddTexturedClass(1, 1, "GRASS01.BMP", 3);
    size_t name = cls + CLASS_RECORD_SIZE + LIST_HEADER_SIZE + 2 * 3;
    b.PatchLE16(name + NAME_RECORD_LENGTH_OFS, 20);   // the size query trusts the length field
    ViewOf v(b.Bytes());

    // A short name comes back terminated with the rest of the buffer zeroed.
    char buffer[MAX_PATH];
    std::memset(buffer, 0xCC, sizeof buffer);
    DWORD length = sizeof buffer;
    ASSERT_EQ(GetTextureName(v.at(cls), buffer, &length), 1);
    EXPECT_STREQ(buffer, "GRASS01.BMP");
    EXPECT_EQ(length, DWORD(MAX_PATH));
    for (size_t i = std::strlen("GRASS01.BMP"); i < sizeof buffer; ++i)
        ASSERT_EQ(buffer[i], 0) << "byte " << i;

    // Size query: fails with 122 and gives recordLength - 12.
    length = 0;
    SetLastError(0);
    EXPECT_EQ(GetTextureName(v.at(cls), buffer, &length), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(length, 8u);
    length = 0;
    EXPECT_EQ(CopyTextureName(v.at(name), buffer, &length), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(length, 8u);

    // A length field shorter than the header has no size to give.
    b.PatchLE16(name + NAME_RECORD_LENGTH_OFS, 0xFFF0);
    ViewOf damaged(b.Bytes());
    length = 0;
    EXPECT_EQ(CopyTextureName(damaged.at(name), buffer, &length), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

    // Missing arguments: 87, and a size query too needs a buffer.
    length = 0;
    EXPECT_EQ(GetTextureName(damaged.at(cls), nullptr, &length), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(GetTextureName(damaged.at(cls), buffer, nullptr), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    length = sizeof buffer;
    SetLastError(0);
    EXPECT_EQ(GetTextureName(nullptr, buffer, &length), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST(TextureName, ListAndNameRecordsAreFoundByOffsets)
{
    // Class at 500 pointing back 200 bytes: list at 300 with two entries,
    // name record at 310, text at 322.
    ClassListBuilder b;
    b.AddRaw(std::vector<uint8_t>(300, 0xEE));
    ASSERT_EQ(b.AddTextureList(2), 300u);
    ASSERT_EQ(b.AddTextureName("BACK.BMP"), 310u);
    b.AddRaw(std::vector<uint8_t>(500 - b.Size(), 0xEE));
    size_t back = b.AddClass(-1, 16, -200);
    ASSERT_EQ(back, 500u);
    // A list with no entries: the name record starts 6 bytes in.
    size_t empty = b.AddTexturedClass(0, 8, "EMPTY.BMP", 0);
    // A list with 65535 entries, shown unsigned.
    size_t wide = b.AddTexturedClass(1234, 65535, "WIDE.BMP", 65535);
    ViewOf v(b.Bytes());

    EXPECT_EQ(NameOf(v.at(back)), "BACK.BMP");
    EXPECT_EQ(LineOf(v.at(back)), " -1 [2] BACK.BMP Type= Psp matting");
    EXPECT_EQ(LineOf(v.at(empty)), "  0 [0] EMPTY.BMP Type= UNKNOWN(8)");
    EXPECT_EQ(LineOf(v.at(wide)), "1234 [65535] WIDE.BMP Type= UNKNOWN(FFFF)");

    b.PatchLE16(back + CLASS_CLASS_NUMBER_OFS, 0x8000);
    ViewOf most(b.Bytes());
    EXPECT_EQ(LineOf(most.at(back)), "-32768 [2] BACK.BMP Type= Psp matting");
}

TEST(TextureName, LongNamesAreCutAndUnendedNamesFail)
{
    const std::string fits(259, 'F');
    const std::string exact(260, 'E');
    const std::string longer(400, 'L');
    ClassListBuilder b;
    size_t c259 = b.AddTexturedClass(1, 1, fits);
    size_t c260 = b.AddTexturedClass(2, 1, exact);
    size_t c400 = b.AddTexturedClass(3, 1, longer);
    ViewOf v(b.Bytes());

    EXPECT_EQ(NameOf(v.at(c259)), fits);
    EXPECT_EQ(NameOf(v.at(c260)), exact.substr(0, 259));
    EXPECT_EQ(NameOf(v.at(c400)), longer.substr(0, 259));
    EXPECT_EQ(LineOf(v.at(c400)), "  3 [1] " + longer.substr(0, 259) + " Type= Grass");

    // The last name of the file lacks its zero byte: the file is damaged there,
    // and the buffer keeps what had been copied, still terminated.
    ClassListBuilder t;
    size_t cut = t.AddTexturedClass(5, 1, "TRUNC.BMP");
    std::vector<uint8_t> bytes = t.Bytes();
    bytes.pop_back();
    ViewOf tv(bytes);
    int ok = -1;
    SetLastError(0);
    EXPECT_EQ(NameOf(tv.at(cut), &ok), "TRUNC.BMP");
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(LineOf(tv.at(cut)), "  5 [1] ERROR:57 Type= Grass");

    // 259 characters that end with the file: the zero byte would be the 260th.
    ClassListBuilder e;
    size_t edge = e.AddTexturedClass(6, 1, fits);
    bytes = e.Bytes();
    bytes.pop_back();
    ViewOf ev(bytes);
    NameOf(ev.at(edge), &ok);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

// Offsets that lead outside the file: nothing outside the view is read (the
// view is an exact-size block under the sanitizer), and the failure is 87.
TEST(TextureName, HostileOffsetsFailWithoutReadingOutside)
{
    enum Outcome { NO_LINE, ERROR_LINE };
    const struct {
        const char* what;
        int32_t listOffset;
        uint16_t entryCount;
        int sizeChange;   // bytes cut from the end, or a name record header of that many bytes added
        Outcome outcome;
    } cases[] = {
        {"list past the end", 1000, 0, 0, NO_LINE},
        {"list before the start", -20, 0, 0, NO_LINE},
        {"INT32_MIN", INT32_MIN, 0, 0, NO_LINE},
        {"INT32_MAX", INT32_MAX, 0, 0, NO_LINE},
        {"list header cut by the end", 10, 0, -2, NO_LINE},
        {"name record past the end", 10, 0xFFFF, 0, ERROR_LINE},
        {"name header cut by the end", 10, 0, 8, ERROR_LINE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ClassListBuilder b;
        size_t cls = b.AddClass(9, 1, c.listOffset);
        size_t list = b.AddTextureList(0);
        b.PatchLE16(list + LIST_ENTRY_COUNT_OFS, c.entryCount);
        std::vector<uint8_t> bytes = b.Bytes();
        bytes.resize(bytes.size() + c.sizeChange, 0);
        if (c.sizeChange > 0)
            bytes[list + LIST_HEADER_SIZE] = 0x43;
        ViewOf v(bytes);

        int ok = -1;
        SetLastError(0);
        EXPECT_EQ(NameOf(v.at(cls), &ok), "");
        EXPECT_EQ(ok, 0);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

        char line[CLASS_LINE_SIZE];
        std::memset(line, 'x', sizeof line);
        SetLastError(0);
        if (c.outcome == NO_LINE) {
            EXPECT_EQ(FormatClassLine(v.at(cls), line), 0);
            EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
            EXPECT_EQ(line[0], 'x') << "a line was written";
            EXPECT_EQ(LocateTextureList(v.at(cls)), nullptr);
        } else {
            EXPECT_EQ(LineOf(v.at(cls)), "  9 [" + std::to_string(c.entryCount) + "] ERROR:57 Type= Grass");
        }
    }

    // A class record that is not (wholly) inside the view is not read at all.
    ClassListBuilder b;
    size_t cls = b.AddTexturedClass(1, 1, "OK.BMP");
    ViewOf v(b.Bytes());
    BYTE outside[CLASS_RECORD_SIZE] = {0xA1, 0, 1, 0, 1, 0, 0, 0, 0, 0};
    const BYTE* strays[] = {outside, v.at(b.Size() - 4), nullptr};
    for (const BYTE* stray : strays) {
        char line[CLASS_LINE_SIZE] = "untouched";
        SetLastError(0);
        EXPECT_EQ(FormatClassLine(stray, line), 0);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
        EXPECT_STREQ(line, "untouched");
    }
    EXPECT_EQ(NameOf(v.at(cls)), "OK.BMP");
}

// ---------------------------------------------------------------------------
// The edits, on a real mapping of a file on disk

// The builder says where the class records are: the edits are checked
// against that, not against where the scan under test finds them.
class MappedClassList : public ::testing::Test {
protected:
    void Map(const ClassListBuilder& built)
    {
        const std::vector<uint8_t>& bytes = built.Bytes();
        static int serial;
        folder_ = fs::temp_directory_path() /
                  ("turfwise-tc-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
                   "-" + std::to_string(++serial));
        fs::create_directories(folder_ / "Scenery" / "All" / "Scenery");
        path_ = folder_ / "Scenery" / "All" / "Scenery" / "CLASSLIST.BGL";
        WriteFileBytes(path_.string(), bytes);
        before_ = bytes;

        std::memset(&g_classListFile, 0, sizeof g_classListFile);
        ASSERT_EQ(OpenClassListAt(&g_classListFile, path_.string().c_str()), 1) << "error " << GetLastError();
        ASSERT_EQ(g_classListFile.fileSize, bytes.size());
        offsets_ = built.ClassOffsets();
        classes_.clear();
        for (size_t offset : offsets_)
            classes_.push_back(g_classListFile.view + offset);
        Rescan();
        ExpectTablesFollowTheFile();
    }

    void TearDown() override
    {
        if (g_classListFile.view)
            CloseClassList(&g_classListFile);
        std::memset(&g_classListFile, 0, sizeof g_classListFile);
        std::error_code ignored;
        if (!folder_.empty())
            fs::remove_all(folder_, ignored);
    }

    void Rescan() { ASSERT_EQ(ScanClassList(&g_classListFile), 1) << "error " << GetLastError(); }

    std::vector<uint8_t> ViewBytes() const
    {
        return std::vector<uint8_t>(g_classListFile.view, g_classListFile.view + g_classListFile.fileSize);
    }

    SurfaceType TypeAt(size_t position) const { return ReadLE16(classes_[position] + CLASS_SURFACE_TYPE_OFS); }

    std::vector<size_t> WaterPositions() const
    {
        std::vector<size_t> positions;
        for (DWORD w = 0; w < g_classListFile.waterCount; ++w)
            for (size_t i = 0; i < classes_.size(); ++i)
                if (classes_[i] == g_classListFile.waterRecords[w])
                    positions.push_back(i);
        return positions;
    }

    // The scan's class table holds the builder's records, in file order, and
    // its water table exactly those of them that are Water now.
    void ExpectTablesFollowTheFile() const
    {
        ASSERT_EQ(g_classListFile.classCount, classes_.size());
        for (size_t i = 0; i < classes_.size(); ++i)
            ASSERT_EQ(size_t(g_classListFile.classRecords[i] - g_classListFile.view), offsets_[i]) << "position " << i;
        std::vector<size_t> water;
        for (size_t i = 0; i < classes_.size(); ++i)
            if (TypeAt(i) == SURFACE_WATER)
                water.push_back(i);
        EXPECT_EQ(WaterPositions(), water);
    }

    // Every byte of the file is as before except the surfaceType fields named
    // by `expected` (position -> code).
    void ExpectOnly(const std::vector<std::pair<size_t, SurfaceType>>& expected,
                    const std::vector<uint8_t>& now) const
    {
        std::vector<uint8_t> want = before_;
        for (const auto& [position, code] : expected)
            WriteLE16(&want[offsets_[position] + CLASS_SURFACE_TYPE_OFS], code);
        ASSERT_EQ(now.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i)
            ASSERT_EQ(int(now[i]), int(want[i])) << "byte " << i;
    }

    // Closes the mapping and checks the file on disk holds the same bytes.
    void ExpectOnDisk(const std::vector<uint8_t>& bytes)
    {
        ASSERT_EQ(CloseClassList(&g_classListFile), 1);
        std::memset(&g_classListFile, 0, sizeof g_classListFile);
        EXPECT_TRUE(ReadFileBytes(path_.string()) == bytes) << "file on disk differs from the view";
    }

    fs::path folder_, path_;
    std::vector<uint8_t> before_;
    std::vector<size_t> offsets_;
    std::vector<BYTE*> classes_;   // the same, in the view
};

TEST_F(MappedClassList, UpdateMovesClassesIntoAndOutOfTheWaterTable)
{
    ClassListBuilder b;
    b.AddLong(64);
    b.AddTexturedClass(0, 2, "WATER0.BMP");
    b.AddEleven(0x0105);
    b.AddTexturedClass(1, 1, "GRASS1.BMP", 3);
    b.AddTexturedClass(2, 9, "ODD2.BMP");
    b.AddFourteen(0x030E);
    b.AddTexturedClass(3, 2, "WATER3.BMP");
    b.AddEnd();
    ASSERT_NO_FATAL_FAILURE(Map(b));
    ASSERT_EQ(WaterPositions(), (std::vector<size_t>{0, 3}));
    EXPECT_EQ(LineOf(classes_[2]), "  2 [1] ODD2.BMP Type= UNKNOWN(9)");

    // Water onto the two land classes, as the ticked lines in list order.
    BYTE* ticked[] = {classes_[1], classes_[2]};
    ApplySurfaceType(2, ticked, 2);
    ExpectOnly({{1, 2}, {2, 2}}, ViewBytes());
    Rescan();
    ExpectTablesFollowTheFile();
    EXPECT_EQ(WaterPositions(), (std::vector<size_t>{0, 1, 2, 3}));
    EXPECT_EQ(LineOf(classes_[1]), "  1 [3] GRASS1.BMP Type= Water");

    // The same type again changes no byte.
    std::vector<uint8_t> same = ViewBytes();
    ApplySurfaceType(2, ticked, 2);
    EXPECT_TRUE(ViewBytes() == same);

    // Another type takes classes out; only the low 16 bits of the code are stored.
    BYTE* out[] = {classes_[3], classes_[0]};
    ApplySurfaceType(0x10010, out, 2);
    Rescan();
    ExpectTablesFollowTheFile();
    EXPECT_EQ(WaterPositions(), (std::vector<size_t>{1, 2}));
    EXPECT_EQ(TypeAt(0), 16);
    EXPECT_EQ(TypeAt(3), 16);

    // A reference outside the view is not stored through; nothing to store is no error.
    BYTE stray[CLASS_RECORD_SIZE] = {};
    BYTE* strays[] = {stray, g_classListFile.view + g_classListFile.fileSize - 4, nullptr};
    std::vector<uint8_t> now = ViewBytes();
    ApplySurfaceType(5, strays, 3);
    ApplySurfaceType(5, nullptr, 4);
    ApplySurfaceType(5, ticked, 0);
    EXPECT_TRUE(ViewBytes() == now);
    EXPECT_EQ(stray[CLASS_SURFACE_TYPE_OFS], 0);

    ExpectOnly({{0, 16}, {1, 2}, {2, 2}, {3, 16}}, now);
    ExpectOnDisk(now);
}

TEST_F(MappedClassList, DefaultResetsByPositionAndLeavesTheRestAlone)
{
    // 300 classes, all Hard turf, so every default store shows.
    ClassListBuilder b;
    b.AddLong(64);
    for (int i = 0; i < 300; ++i) {
        b.AddTexturedClass(static_cast<int16_t>(1000 - i), 7, "T" + std::to_string(i) + ".BMP",
                           static_cast<uint16_t>(i % 5));
        if (i % 9 == 4)
            b.AddSized15(0x0115, 21);
    }
    ASSERT_NO_FATAL_FAILURE(Map(b));
    ASSERT_TRUE(WaterPositions().empty());

    ResetSurfaceTypes();
    std::vector<std::pair<size_t, SurfaceType>> expected;
    for (size_t i = 0; i < 256; ++i)
        expected.emplace_back(i, DefaultSurfaceTypes[i]);
    ExpectOnly(expected, ViewBytes());   // positions 256-299 keep Hard turf

    Rescan();
    ExpectTablesFollowTheFile();
    std::vector<size_t> water{0};
    for (size_t i = 9; i <= 27; ++i)
        water.push_back(i);
    EXPECT_EQ(WaterPositions(), water);

    // Default after an Update takes the updated classes back, those that have
    // a default; Update afterwards still reaches class 299.
    BYTE* updated[] = {classes_[0], classes_[27], classes_[28], classes_[255], classes_[299]};
    ApplySurfaceType(1, updated, 5);
    Rescan();
    ResetSurfaceTypes();
    expected.emplace_back(299, 1);
    ExpectOnly(expected, ViewBytes());
    ApplySurfaceType(2, &classes_[299], 1);
    Rescan();
    ExpectTablesFollowTheFile();
    EXPECT_EQ(WaterPositions().back(), 299u);

    expected.back() = {299, 2};
    std::vector<uint8_t> now = ViewBytes();
    ExpectOnly(expected, now);
    ExpectOnDisk(now);
}

} // namespace
