// turfwise-cli end to end: the built program run on files the tests make,
// checking what it prints, its exit code and every byte of the files.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "data/texture_classes.h"
#include "tests/cli/cli_run.h"
#include "tools/classlist_builder.h"
#include "turfwise_version.h"
#include "tests/support/file_bytes.h"

namespace fs = std::filesystem;

namespace {

enum : uint16_t { CONCRETE = 0, GRASS = 1, WATER = 2, BUMPY_GRASS = 3, LONG_GRASS = 6, CITY = 10, FOREST = 11,
                  PSP = 16 };

struct ClassList {
    std::vector<uint8_t> bytes;
    std::vector<size_t> classes;   // offsets of the class records
};

// Class i has number 10 + i and a texture named after its type.
ClassList MakeClassList(const std::vector<uint16_t>& types, const std::vector<uint8_t>& damage = {})
{
    ClassListBuilder b;
    ClassList list;
    b.AddLong(64);
    for (size_t i = 0; i < types.size(); ++i) {
        list.classes.push_back(b.AddTexturedClass(int16_t(10 + i), types[i], RealisticTextureName(int(i), types[i])));
        b.AddEleven(0x0105);
        if (i == 1 && !damage.empty())
            b.AddRaw(damage);
    }
    b.AddEnd();
    list.bytes = b.Bytes();
    return list;
}

std::vector<uint8_t> WithTypes(std::vector<uint8_t> bytes, const ClassList& list,
                               const std::vector<std::pair<size_t, uint16_t>>& changes)
{
    for (const auto& [index, code] : changes) {
        bytes[list.classes[index] + CLASS_SURFACE_TYPE_OFS] = uint8_t(code);
        bytes[list.classes[index] + CLASS_SURFACE_TYPE_OFS + 1] = uint8_t(code >> 8);
    }
    return bytes;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

std::vector<std::string> FolderContents(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ForgetTheGame();
        static int counter = 0;
        folder_ = (fs::temp_directory_path() / ("turfwise-cli-test-" + std::to_string(counter++))).string();
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        fs::permissions(folder_, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
        path_ = (fs::path(folder_) / "CLASSLIST.BGL").string();
    }
    void TearDown() override
    {
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(folder_, ignored))
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
        fs::remove_all(folder_, ignored);
    }
    ClassList Use(const std::vector<uint16_t>& types, const std::vector<uint8_t>& damage = {})
    {
        ClassList list = MakeClassList(types, damage);
        WriteFileBytes(path_, list.bytes);
        return list;
    }
    CliRun Run(std::vector<std::string> args)
    {
        args.push_back("--file");
        args.push_back(path_);
        return RunCli(args);
    }
    std::string Backup() const { return path_ + ".bak"; }

    KeptRegistration registration_;   // made before SetUp forgets the game
    std::string folder_;
    std::string path_;
};

// ---- list ----------------------------------------------------------------------

TEST_F(CliTest, ListPrintsTheDialogsLinesAndJsonWithEveryField)
{
    ClassListBuilder b;
    b.AddLong(64);
    b.AddTexturedClass(10, WATER, "WATER000.BMP");
    b.AddTexturedClass(11, CITY, "CITY001.BMP", 3);
    b.AddTexturedClass(12, 8, "ODD\x80\xE9.BMP");   // Windows-1252: the euro sign, e acute
    const size_t outside = b.AddClass(14, GRASS, 1 << 20);   // its texture list lies past the end
    // The last name runs to the end of the file without its zero byte; its
    // record ends there, so the file is whole.
    const size_t last = b.AddClass(13, WATER, 10);
    b.AddTextureList(1);
    b.AddRaw({0x43, 0x00, 14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'X', 'Y'});
    WriteFileBytes(path_, b.Bytes());

#ifdef _WIN32
    const std::string odd = "ODD\x80\xE9.BMP";   // the console's code page, as the game wrote it
#else
    const std::string odd = "ODD\u20ac\u00e9.BMP";   // a Linux terminal's UTF-8
#endif
    CliRun all = Run({"list"});
    EXPECT_EQ(all.exitCode, 0) << all.err;
    EXPECT_EQ(Lines(all.out), (std::vector<std::string>{" 10 [1] WATER000.BMP Type= Water",
                                                         " 11 [3] CITY001.BMP Type= City",
                                                         " 12 [1] " + odd + " Type= UNKNOWN(8)",
                                                         " 14 [?] ERROR:57 Type= Grass",
                                                         " 13 [1] ERROR:57 Type= Water"}));
    EXPECT_TRUE(Contains(all.err, "offset " + std::to_string(outside) + ": its texture list is outside the file"))
        << all.err;
    CliRun water = Run({"list", "--water"});
    EXPECT_EQ(Lines(water.out), (std::vector<std::string>{" 10 [1] WATER000.BMP Type= Water",
                                                           " 13 [1] ERROR:57 Type= Water"}));

    CliRun json = Run({"list", "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const nlohmann::json parsed = nlohmann::json::parse(json.out);
    ASSERT_EQ(parsed.size(), 5u);
    EXPECT_EQ(parsed[1], nlohmann::json({{"position", 1}, {"offset", 64 + 10 + 6 + 2 + 13 + 12}, {"class", 11},
                                          {"entries", 3}, {"texture", "CITY001.BMP"}, {"surfaceType", CITY},
                                          {"surfaceTypeName", "City"}}));
    EXPECT_EQ(parsed[2]["texture"], "ODD\u20ac\u00e9.BMP");   // UTF-8 in every build
    EXPECT_EQ(parsed[2]["surfaceTypeName"], "UNKNOWN(8)");
    EXPECT_EQ(parsed[3], nlohmann::json({{"position", 3}, {"offset", outside}, {"class", 14}, {"entries", nullptr},
                                          {"textureError", 87}, {"texture", nullptr}, {"surfaceType", GRASS},
                                          {"surfaceTypeName", "Grass"}}));
    EXPECT_EQ(parsed[4]["offset"], last);
    EXPECT_EQ(parsed[4]["texture"], nullptr);
    EXPECT_EQ(parsed[4]["textureError"], 87);

    CliRun waterJson = Run({"list", "--water", "--json"});
    const nlohmann::json waterParsed = nlohmann::json::parse(waterJson.out);
    ASSERT_EQ(waterParsed.size(), 2u);
    EXPECT_EQ(waterParsed[1]["position"], 4);   // its place among all classes
}

TEST_F(CliTest, ControlCharactersInTextureNamesReachTheTerminalOnlyAsEscapes)
{
    // A name that would retitle the terminal, ring its bell and print a line
    // of its own, and the five bytes Windows-1252 leaves undefined, which
    // stand for the C1 controls U+0081 to U+009D.
    ClassListBuilder b;
    b.AddTexturedClass(10, WATER, "A\x1B]0;T\x07" "B\nC\rD\tE\x7F\x81\x8D\x8F\x90\x9D.BMP");
    b.AddTexturedClass(11, CITY, "CITY001.BMP");
    b.AddEnd();
    WriteFileBytes(path_, b.Bytes());

    CliRun text = Run({"list"});
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out, " 10 [1] A\\x1B]0;T\\x07B\\x0AC\\x0DD\\x09E\\x7F\\x81\\x8D\\x8F\\x90\\x9D.BMP Type= Water\n"
                        " 11 [1] CITY001.BMP Type= City\n");

    // JSON escapes them its own way already, and keeps the characters.
    CliRun json = Run({"list", "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_EQ(nlohmann::json::parse(json.out)[0]["texture"],
              "A\x1B]0;T\x07" "B\nC\rD\tE\x7F\u0081\u008D\u008F\u0090\u009D.BMP");
}

// ---- set and reset -------------------------------------------------------------

TEST_F(CliTest, SetChangesOnlyTheSelectedSurfaceTypesAsAUnionOfSelectors)
{
    // Classes 10 to 16 at positions 0 to 6.
    ClassList list = Use({GRASS, CITY, WATER, FOREST, CONCRETE, WATER, GRASS});
    // An option before TYPE takes its one value and leaves TYPE to the next word.
    CliRun run = Run({"set", "--class", "10", "City", "--position", "3-4", "--water", "--class", "16-16",
                      "--no-backup"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(path_), WithTypes(list.bytes, list, {{0, CITY}, {2, CITY}, {3, CITY}, {4, CITY}, {5, CITY},
                                                              {6, CITY}}));
    EXPECT_TRUE(Contains(run.out, "position 2, class 12: Water -> City\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, "6 classes changed.")) << run.out;

    run = Run({"set", "water", "--all", "--no-backup"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::pair<size_t, uint16_t>> allWater;
    for (size_t i = 0; i < 7; ++i)
        allWater.push_back({i, WATER});
    EXPECT_EQ(ReadFileBytes(path_), WithTypes(list.bytes, list, allWater));
}

TEST_F(CliTest, SetOnClassesThatHaveTheTypeAlreadyChangesNothing)
{
    ClassList list = Use({GRASS, CITY, WATER});
    CliRun same = Run({"set", "city", "--class", "11"});
    EXPECT_EQ(same.exitCode, 0) << same.err;
    EXPECT_EQ(same.out, "Nothing to change.\n");
    CliRun some = Run({"set", "city", "--class", "10-11", "--no-backup"});
    EXPECT_EQ(some.exitCode, 0) << some.err;
    EXPECT_EQ(some.out, "position 0, class 10: Grass -> City\n1 class changed.\n");
    EXPECT_EQ(ReadFileBytes(path_), WithTypes(list.bytes, list, {{0, CITY}}));
    EXPECT_FALSE(fs::exists(Backup()));
}

TEST_F(CliTest, SetTakesAChoiceByNameOrCodeAndRefusesTheRest)
{
    ClassList list = Use({CONCRETE});
    const struct {
        const char* text;
        uint16_t code;
    } spellings[] = {{"LONG-GRASS", LONG_GRASS}, {"16", PSP}};
    for (const auto& s : spellings) {
        CliRun run = Run({"set", s.text, "--position", "0", "--no-backup"});
        EXPECT_EQ(run.exitCode, 0) << s.text << ": " << run.err;
        EXPECT_EQ(ReadFileBytes(path_), WithTypes(list.bytes, list, {{0, s.code}})) << s.text;
    }
    for (const char* wrong : {"Tarmac", "8"}) {
        const std::vector<uint8_t> before = ReadFileBytes(path_);
        CliRun run = Run({"set", wrong, "--position", "0"});
        EXPECT_EQ(run.exitCode, 1) << wrong;
        EXPECT_TRUE(Contains(run.err, "Psp matting (16)")) << wrong << ": " << run.err;
        EXPECT_EQ(ReadFileBytes(path_), before) << wrong;
    }
    EXPECT_FALSE(fs::exists(Backup()));
}

TEST_F(CliTest, SelectorsThatCannotBeMetAreUsageErrorsAndWriteNothing)
{
    ClassList list = Use({GRASS, CITY});
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"set", "water"},                          // no selector
             {"set", "water", "--position", "2"},       // past the last class
             {"set", "water", "--class", "99"},         // no such class
             {"set", "water", "--class", "11-10"},      // backwards
             {"set", "water", "--class", "ten"},
             {"frobnicate"},
             {},
             {"list", "--bogus"}}) {
        CliRun run = Run(args);
        EXPECT_EQ(run.exitCode, 1) << (args.empty() ? "" : args[0]) << " " << run.err;
        EXPECT_NE(run.err, "");
    }
    EXPECT_EQ(ReadFileBytes(path_), list.bytes);
    EXPECT_FALSE(fs::exists(Backup()));
}

TEST_F(CliTest, ResetGivesTheDefaultsAndLeavesPositionsPastTheTable)
{
    std::vector<uint16_t> types(258, PSP);
    ClassList list = Use(types);
    CliRun dry = Run({"reset", "--dry-run"});
    EXPECT_EQ(dry.exitCode, 0) << dry.err;
    EXPECT_EQ(ReadFileBytes(path_), list.bytes);
    EXPECT_FALSE(fs::exists(Backup()));
    const std::vector<std::string> lines = Lines(dry.out);
    ASSERT_EQ(lines.size(), 257u) << dry.out;
    EXPECT_EQ(lines[0], "position 0, class 10: Psp matting -> Water");
    EXPECT_EQ(lines[255], "position 255, class 265: Psp matting -> Short grass");
    EXPECT_EQ(lines[256], "256 classes would change; nothing was written (--dry-run).");

    CliRun run = Run({"reset"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::pair<size_t, uint16_t>> defaults;
    for (size_t i = 0; i < 256; ++i)
        defaults.push_back({i, DefaultSurfaceTypes[i]});
    EXPECT_EQ(ReadFileBytes(path_), WithTypes(list.bytes, list, defaults));

    // Already at the defaults: nothing to store.
    run = Run({"reset"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "Nothing to change.\n");
}

// ---- backup and restore --------------------------------------------------------

TEST_F(CliTest, BackupIsTheFileBeforeTheFirstChangeAndIsNeverReplaced)
{
    ClassList list = Use({GRASS, CITY, WATER});
    CliRun dry = Run({"set", "Water", "--class", "10", "--dry-run"});
    EXPECT_EQ(dry.out, "position 0, class 10: Grass -> Water\n1 class would change; nothing was written (--dry-run).\n");
    EXPECT_EQ(ReadFileBytes(path_), list.bytes);

    CliRun first = Run({"set", "Water", "--class", "10"});
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out, "Backup saved as " + Backup() + "\nposition 0, class 10: Grass -> Water\n1 class changed.\n");
    EXPECT_EQ(ReadFileBytes(Backup()), list.bytes);
    const std::vector<uint8_t> afterFirst = WithTypes(list.bytes, list, {{0, WATER}});
    EXPECT_EQ(ReadFileBytes(path_), afterFirst);

    CliRun second = Run({"reset"});
    EXPECT_EQ(second.exitCode, 0) << second.err;
    EXPECT_FALSE(Contains(second.out, "Backup")) << second.out;
    EXPECT_EQ(ReadFileBytes(Backup()), list.bytes);
    EXPECT_EQ(FolderContents(folder_), (std::vector<std::string>{"CLASSLIST.BGL", "CLASSLIST.BGL.bak"}));

    CliRun restoreDry = Run({"restore", "--dry-run"});
    EXPECT_EQ(restoreDry.exitCode, 0) << restoreDry.err;
    EXPECT_EQ(restoreDry.out.rfind("position 0, class 10: Water -> Grass\nposition 2, class 12: Bumpy grass -> Water\n", 0),
              0u)
        << restoreDry.out;
    EXPECT_NE(ReadFileBytes(path_), list.bytes);

    CliRun restore = Run({"restore"});
    EXPECT_EQ(restore.exitCode, 0) << restore.err;
    EXPECT_EQ(ReadFileBytes(path_), list.bytes);
    EXPECT_EQ(ReadFileBytes(Backup()), list.bytes);
    EXPECT_EQ(Run({"restore"}).out, "The class list already matches its backup.\n");
}

TEST_F(CliTest, NoBackupSkipsItAndABackupThatCannotBeWrittenStopsTheChange)
{
    ClassList list = Use({GRASS, CITY});
    EXPECT_EQ(Run({"set", "city", "--all", "--no-backup"}).exitCode, 0);
    EXPECT_FALSE(fs::exists(Backup()));

    // Whatever stands under the backup's name and is not a copy of this class
    // list is never replaced, and no change is made without a way back.
    const std::vector<uint8_t> other = WithTypes(list.bytes, list, {{0, WATER}});
    std::vector<uint8_t> renamed = list.bytes;
    renamed[list.classes[1] - 3] ^= 0x20;   // a letter of the first texture name
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        std::string why;
    } notBackups[] = {
        {"empty", {}, "it is 0 bytes and the class list " + std::to_string(list.bytes.size())},
        {"shorter", std::vector<uint8_t>(list.bytes.begin(), list.bytes.end() - 1),
         "it is " + std::to_string(list.bytes.size() - 1) + " bytes"},
        {"another texture name", renamed,
         "1 bytes besides surface types differ from the class list, the first at offset " +
             std::to_string(list.classes[1] - 3)},
    };
    for (const auto& c : notBackups) {
        WriteFileBytes(path_, list.bytes);
        WriteFileBytes(Backup(), c.bytes);
        CliRun run = Run({"set", "city", "--all"});
        EXPECT_EQ(run.exitCode, 2) << c.what;
        EXPECT_EQ(run.out, "") << c.what;   // no "Grass -> City" that reads as done
        EXPECT_TRUE(Contains(run.err, Backup() + ": not a backup of " + path_ + ": " + c.why)) << run.err;
        EXPECT_TRUE(Contains(run.err, "Rename or delete it to start a new backup")) << run.err;
        EXPECT_EQ(ReadFileBytes(path_), list.bytes) << c.what;
        EXPECT_EQ(ReadFileBytes(Backup()), c.bytes) << c.what;
        EXPECT_EQ(FolderContents(folder_), (std::vector<std::string>{"CLASSLIST.BGL", "CLASSLIST.BGL.bak"}));
    }
    fs::remove(Backup());
    fs::create_directory(Backup());
    CliRun folder = Run({"set", "city", "--all"});
    EXPECT_EQ(folder.exitCode, 2);
    EXPECT_TRUE(Contains(folder.err, Backup() + ": not a backup of " + path_ + ": it is not a regular file"))
        << folder.err;
    EXPECT_EQ(ReadFileBytes(path_), list.bytes);
    EXPECT_TRUE(fs::is_directory(Backup()));

    // A true backup differs only in surface types: used without a word.
    fs::remove(Backup());
    WriteFileBytes(Backup(), other);
    CliRun kept = Run({"set", "city", "--all"});
    EXPECT_EQ(kept.exitCode, 0) << kept.err;
    EXPECT_FALSE(Contains(kept.out, "Backup")) << kept.out;
    EXPECT_EQ(kept.err, "");
    EXPECT_EQ(ReadFileBytes(Backup()), other);
    EXPECT_EQ(ReadFileBytes(path_), WithTypes(list.bytes, list, {{0, CITY}}));
}

TEST_F(CliTest, RestoreRefusesAMissingDamagedOrDifferentlySizedBackup)
{
    ClassList list = Use({GRASS, CITY});
    CliRun missing = Run({"restore"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(Contains(missing.err, Backup() + ": cannot read the backup (error 2")) << missing.err;

    std::vector<uint8_t> longer = list.bytes;
    longer.push_back(0);
    WriteFileBytes(Backup(), longer);
    CliRun size = Run({"restore", "--force"});
    EXPECT_EQ(size.exitCode, 3);
    EXPECT_TRUE(Contains(size.err, "refused")) << size.err;
    EXPECT_EQ(ReadFileBytes(path_), list.bytes);

    std::vector<uint8_t> damaged = WithTypes(list.bytes, list, {{1, FOREST}});
    damaged[damaged.size() - 2] = 0x77;   // the end record becomes an unknown one
    WriteFileBytes(Backup(), damaged);
    CliRun refused = Run({"restore"});
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_TRUE(Contains(refused.err, "opcode 0077")) << refused.err;
    EXPECT_EQ(ReadFileBytes(path_), list.bytes);
    CliRun forced = Run({"restore", "--force"});
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_EQ(ReadFileBytes(path_), damaged);
}

TEST_F(CliTest, RestoreOfABackupThatDiffersBeyondSurfaceTypesNeedsForce)
{
    ClassList list = Use({GRASS, CITY});
    // The backup has another texture name, as one from before an add-on changed the file would.
    std::vector<uint8_t> backup = WithTypes(list.bytes, list, {{0, WATER}});
    const size_t letter = list.classes[1] - 3;
    backup[letter] ^= 0x20;
    WriteFileBytes(Backup(), backup);
    CliRun refused = Run({"restore"});
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_TRUE(Contains(refused.err, Backup() + ": refused: 1 bytes besides surface types differ from the class "
                                                 "list, the first at offset " + std::to_string(letter)))
        << refused.err;
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(ReadFileBytes(path_), list.bytes);
    EXPECT_EQ(Run({"restore", "--dry-run"}).exitCode, 3);

    CliRun forced = Run({"restore", "--force"});
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_EQ(forced.out, "position 0, class 10: Grass -> Water\n1 other bytes differ from the backup.\nRestored " +
                              path_ + " from " + Backup() + ".\n");
    EXPECT_EQ(ReadFileBytes(path_), backup);
    EXPECT_EQ(ReadFileBytes(Backup()), backup);
}

// ---- damaged files -------------------------------------------------------------

TEST_F(CliTest, DamagedFileIsListedUpToTheDamageAndChangedOnlyWithForce)
{
    ClassList list = Use({WATER, CITY, FOREST}, {0x77, 0x00, 1, 2, 3, 4});
    const size_t damageAt = list.classes[1] + 10 + 8 + 24 + 11;
    // A script learns of the damage from the exit code, with what came before it.
    CliRun listed = Run({"list"});
    EXPECT_EQ(listed.exitCode, 3);
    EXPECT_EQ(Lines(listed.out).size(), 2u) << listed.out;
    EXPECT_TRUE(Contains(listed.err, "stopped at offset " + std::to_string(damageAt) + " ")) << listed.err;
    EXPECT_TRUE(Contains(listed.err, "unrecognised record (opcode 0077) (error 1); 2 classes found")) << listed.err;
    CliRun json = Run({"list", "--json"});
    EXPECT_EQ(json.exitCode, 3);
    EXPECT_EQ(nlohmann::json::parse(json.out).size(), 2u) << json.out;
    EXPECT_TRUE(Contains(json.err, "stopped at offset " + std::to_string(damageAt) + " ")) << json.err;

    for (const char* command : {"set", "reset"}) {
        CliRun refused = command == std::string("set") ? Run({"set", "grass", "--all"}) : Run({"reset"});
        EXPECT_EQ(refused.exitCode, 3) << command;
        EXPECT_TRUE(Contains(refused.err, "refused")) << refused.err;
        EXPECT_EQ(ReadFileBytes(path_), list.bytes) << command;
    }
    EXPECT_FALSE(fs::exists(Backup()));
    CliRun forced = Run({"set", "grass", "--all", "--force"});
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_EQ(ReadFileBytes(path_), WithTypes(list.bytes, list, {{0, GRASS}, {1, GRASS}}));
    EXPECT_EQ(ReadFileBytes(Backup()), list.bytes);

    // More classes than the table holds.
    Use(std::vector<uint16_t>(1025, CITY));
    CliRun full = Run({"reset"});
    EXPECT_EQ(full.exitCode, 3);
    EXPECT_TRUE(Contains(full.err, "more than 1024 texture classes (error 8)")) << full.err;
}

// A record that runs past the end of the file means the file was cut short or
// a length was damaged: the classes after it are lost to every reader.
TEST_F(CliTest, ARecordThatRunsPastTheEndOfTheFileIsDamage)
{
    const ClassList whole = MakeClassList({WATER, CITY, FOREST});
    const size_t size = whole.bytes.size();
    const size_t lastName = whole.classes[2] + 10 + 8;   // after its class and texture list records
    const size_t eleven = size - 2 - 11;                   // the 11-byte record before the end record
    std::vector<uint8_t> longRecord(62, 0);               // 1 MiB long, in the middle of the file
    longRecord[0] = 0x01;
    longRecord[58 + 2] = 0x10;
    const ClassList hiding = MakeClassList({WATER, CITY, FOREST}, longRecord);
    const size_t hidingAt = hiding.classes[1] + 10 + 8 + 24 + 11;
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        size_t damageAt;   // 0: none
        size_t classes;
    } cases[] = {
        {"cut after a whole record", {whole.bytes.begin(), whole.bytes.end() - 2}, 0, 3},
        {"cut with one byte left over", {whole.bytes.begin(), whole.bytes.end() - 1}, 0, 3},
        {"cut in a texture name", {whole.bytes.begin(), whole.bytes.begin() + lastName + 15}, lastName, 3},
        {"cut in an 11-byte record", {whole.bytes.begin(), whole.bytes.begin() + eleven + 6}, eleven, 3},
        {"a length that hides the classes after it", hiding.bytes, hidingAt, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(path_, c.bytes);
        CliRun listed = Run({"list"});
        EXPECT_EQ(Lines(listed.out).size(), c.classes) << listed.out;
        if (!c.damageAt) {
            EXPECT_EQ(listed.exitCode, 0) << listed.err;
            EXPECT_EQ(listed.err, "");
            continue;
        }
        EXPECT_EQ(listed.exitCode, 3);
        EXPECT_TRUE(Contains(listed.err, "stopped at offset " + std::to_string(c.damageAt) + " ")) << listed.err;
        EXPECT_TRUE(Contains(listed.err, "runs past the end of the file")) << listed.err;
        CliRun refused = Run({"set", "grass", "--all"});
        EXPECT_EQ(refused.exitCode, 3);
        EXPECT_TRUE(Contains(refused.err, "refused")) << refused.err;
        EXPECT_EQ(ReadFileBytes(path_), c.bytes);
        EXPECT_FALSE(fs::exists(Backup()));
    }
    // The classes before the damage (here the last case's) can still be changed on purpose.
    CliRun forced = Run({"set", "grass", "--all", "--force"});
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_TRUE(Contains(forced.out, "2 classes changed.")) << forced.out;
}

// ---- which file, and failures ---------------------------------------------------

TEST_F(CliTest, FindsTheClassListThroughTheGamesRegistryEntryOrItsFolder)
{
    CliRun none = RunCli({"list"});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_TRUE(Contains(none.err, "cannot locate Combat Flight Simulator")) << none.err;
    EXPECT_TRUE(Contains(none.err, "error 2")) << none.err;

    RegisteredGame game;
    ClassList list = MakeClassList({GRASS, WATER});
    WriteFileBytes(game.ClassListPath(), list.bytes);
    CliRun found = RunCli({"set", "forest", "--water"});
    EXPECT_EQ(found.exitCode, 0) << found.err;
    EXPECT_EQ(ReadFileBytes(game.ClassListPath()), WithTypes(list.bytes, list, {{1, FOREST}}));
    EXPECT_EQ(ReadFileBytes(game.ClassListPath() + ".bak"), list.bytes);

    game.Unregister();
    CliRun byFolder = RunCli({"list", "--game-folder", game.Folder()});
    EXPECT_EQ(byFolder.exitCode, 0) << byFolder.err;
    EXPECT_EQ(Lines(byFolder.out).size(), 2u);
    EXPECT_EQ(RunCli({"list", "--game-folder", game.Folder(), "--file", path_}).exitCode, 1);
}

TEST_F(CliTest, MissingFileIsExitTwoNamingTheFileAndTheError)
{
    CliRun run = Run({"list"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(Contains(run.err, path_ + ": cannot open and map the class list (error 2: ")) << run.err;
    CliRun empty = (WriteFileBytes(path_, {}), Run({"list"}));
    EXPECT_EQ(empty.exitCode, 2) << empty.err;
    EXPECT_TRUE(Contains(empty.err, path_ + ": the file is empty")) << empty.err;
    EXPECT_FALSE(Contains(empty.err, "externally altered")) << empty.err;
}

TEST_F(CliTest, ReadOnlyFileIsListedAndDryRunButNeverChanged)
{
    ClassList list = Use({GRASS, WATER});
    const std::vector<uint8_t> backup = WithTypes(list.bytes, list, {{0, CITY}});
    WriteFileBytes(Backup(), backup);
    if (!MakeReadOnly(path_))
        GTEST_SKIP() << "this system lets the program write read-only files (Wine run by root)";
    // Looking needs no write access.
    const struct {
        std::vector<std::string> args;
        std::string out;
    } looks[] = {
        {{"list"}, " 10 [1] " + RealisticTextureName(0, GRASS) + " Type= Grass\n"},
        {{"list", "--json"}, "\"class\": 11"},
        {{"set", "city", "--all", "--dry-run"}, "2 classes would change; nothing was written (--dry-run).\n"},
        {{"reset", "--dry-run"}, "nothing was written (--dry-run)"},
        {{"restore", "--dry-run"}, "position 0, class 10: Grass -> City\n"},
    };
    for (const auto& look : looks) {
        std::vector<std::string> args = look.args;
        args.insert(args.end(), {"--file", path_});
        CliRun run = RunCli(args, /*unprivileged=*/true);
        EXPECT_EQ(run.exitCode, 0) << args[0] << ": " << run.err;
        EXPECT_TRUE(Contains(run.out, look.out)) << args[0] << ": " << run.out;
    }
    for (const std::vector<std::string>& change : {std::vector<std::string>{"set", "water", "--all"},
                                                    std::vector<std::string>{"restore"}}) {
        std::vector<std::string> args = change;
        args.insert(args.end(), {"--file", path_});
        CliRun run = RunCli(args, /*unprivileged=*/true);
        EXPECT_EQ(run.exitCode, 2) << change[0];
        EXPECT_TRUE(Contains(run.err, path_ + ": cannot open and map the class list (error 5: ")) << run.err;
    }
    EXPECT_EQ(ReadFileBytes(path_), list.bytes);
    EXPECT_EQ(ReadFileBytes(Backup()), backup);
}

TEST_F(CliTest, FilesOfGigabytesAreJudgedByTheirSizeWithoutBeingRead)
{
    ClassList list = Use({GRASS, WATER});
    if (!MakeSparseFile(Backup(), 5000000000ull))
        GTEST_SKIP() << "no sparse files here";
    CliRun set = Run({"set", "city", "--all"});
    EXPECT_EQ(set.exitCode, 2);
    EXPECT_TRUE(Contains(set.err, Backup() + ": not a backup of " + path_ + ": it is 5000000000 bytes and the class "
                                                                              "list " + std::to_string(list.bytes.size())))
        << set.err;
    CliRun restore = Run({"restore"});
    EXPECT_EQ(restore.exitCode, 3);
    EXPECT_TRUE(Contains(restore.err, Backup() + ": the backup is 5000000000 bytes and " + path_ + " " +
                                          std::to_string(list.bytes.size()) + ": refused, nothing was changed"))
        << restore.err;
    EXPECT_EQ(ReadFileBytes(path_), list.bytes);

    // A class list past 4 GiB whose low 32 bits are a small file's size.
    fs::remove(Backup());
    ASSERT_TRUE(MakeSparseFile(path_, (1ull << 32) + list.bytes.size()));
    for (const char* command : {"list", "set"}) {
        CliRun run = command == std::string("list") ? Run({"list"}) : Run({"set", "city", "--all"});
        EXPECT_EQ(run.exitCode, 2) << command;
        EXPECT_TRUE(Contains(run.err, path_ + ": cannot open and map the class list (the file is 4 GiB or more; "
                                              "error 223: "))
            << run.err;
        EXPECT_EQ(run.out, "") << command;
    }
    EXPECT_FALSE(fs::exists(Backup()));
}

// The names a section of the help lists as its entries: the first word of
// each line indented by two spaces under `heading`, "-h,--help" split at its
// comma. Descriptions and the footer mention the commands in passing too.
std::vector<std::string> HelpEntries(const std::string& help, const std::string& heading)
{
    std::vector<std::string> names;
    const std::vector<std::string> lines = Lines(help);
    auto line = std::find(lines.begin(), lines.end(), heading);
    if (line == lines.end())
        return names;
    for (++line; line != lines.end() && !line->empty(); ++line) {
        if (line->size() < 3 || line->compare(0, 2, "  ") != 0 || (*line)[2] == ' ')
            continue;
        const std::string first = line->substr(2, line->find(' ', 2) - 2);
        for (size_t start = 0, comma; start <= first.size(); start = comma + 1) {
            comma = std::min(first.find(',', start), first.size());
            names.push_back(first.substr(start, comma - start));
        }
    }
    return names;
}

TEST_F(CliTest, HelpAndVersion)
{
    CliRun help = RunCli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(HelpEntries(help.out, "Subcommands:"), (std::vector<std::string>{"list", "set", "reset", "restore"}))
        << help.out;
    const std::vector<std::string> options = HelpEntries(help.out, "Options:");
    for (const char* option : {"--help", "--version", "--file", "--game-folder", "--dry-run", "--no-backup", "--force"})
        EXPECT_NE(std::find(options.begin(), options.end(), option), options.end()) << option << "\n" << help.out;
    CliRun setHelp = RunCli({"set", "--help"});
    EXPECT_TRUE(Contains(setHelp.out, "Psp matting (16)")) << setHelp.out;
    CliRun version = RunCli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "turfwise-cli " TURFWISE_VERSION "\n");
}

} // namespace
