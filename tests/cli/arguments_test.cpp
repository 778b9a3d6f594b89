// The command line read into what it asks for, without running anything.
#include "cli/arguments.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Parses `words` after the program's name; the error, or "" when it parsed.
std::string Parse(std::vector<std::string> words, Arguments* arguments)
{
    words.insert(words.begin(), "turfwise-cli");
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    std::string error;
    *arguments = Arguments();
    return ParseArguments(int(words.size()), argv.data(), arguments, &error) ? "" : error;
}

TEST(ArgumentsTest, OptionsStandAnywhereAndTakeOneValueEachNegativeOrNot)
{
    Arguments a;
    ASSERT_EQ(Parse({"--no-backup", "set", "--class", "10", "water", "--class=-5", "--class", "-5--1",
                     "--position", "0-2", "--dry-run", "--file", "x.bgl"},
                    &a),
              "");
    EXPECT_EQ(a.command, Arguments::SET);
    EXPECT_EQ(a.type, "water");
    EXPECT_EQ(a.selection.classes, (std::vector<std::string>{"10", "-5", "-5--1"}));
    EXPECT_EQ(a.selection.positions, std::vector<std::string>{"0-2"});
    EXPECT_TRUE(a.common.noBackup);
    EXPECT_TRUE(a.common.dryRun);
    EXPECT_FALSE(a.common.force);
    EXPECT_EQ(a.common.file, "x.bgl");

    // --water filters a list and selects for set: each keeps its own meaning.
    ASSERT_EQ(Parse({"list", "--water", "--json", "--game-folder=C:\\Games\\CFS"}, &a), "");
    EXPECT_EQ(a.command, Arguments::LIST);
    EXPECT_TRUE(a.list.waterOnly);
    EXPECT_TRUE(a.list.json);
    EXPECT_FALSE(a.selection.water);
    EXPECT_EQ(a.common.gameFolder, "C:\\Games\\CFS");
    ASSERT_EQ(Parse({"set", "grass", "--water"}, &a), "");
    EXPECT_TRUE(a.selection.water);
    EXPECT_FALSE(a.list.waterOnly);

    ASSERT_EQ(Parse({"restore", "--force"}, &a), "");
    EXPECT_EQ(a.command, Arguments::RESTORE);
    EXPECT_TRUE(a.common.force);

    // Each parse starts afresh.
    ASSERT_EQ(Parse({"reset"}, &a), "");
    EXPECT_EQ(a.command, Arguments::RESET);
    EXPECT_TRUE(a.selection.Empty());
}

TEST(ArgumentsTest, UsageErrorsNameWhatIsWrong)
{
    const struct {
        std::vector<std::string> words;
        const char* error;
    } cases[] = {
        {{}, "a command is needed"},
        {{"--dry-run"}, "a command is needed"},
        {{"lsit"}, "'lsit' is not a command"},
        {{"set"}, "set: TYPE is needed, one of Concrete (0)"},
        {{"set", "water", "grass"}, "set: 'grass' is more than it takes"},
        {{"list", "--bogus"}, "--bogus: not an option"},
        {{"list", "-q"}, "-q: not an option"},
        {{"set", "water", "--class"}, "--class: needs a value"},
        {{"reset", "--json"}, "reset: --json is for list only"},
        {{"restore", "--all"}, "restore: --water, --all, --class and --position are for list and set"},
        {{"reset", "--water"}, "reset: --water, --all, --class and --position are for list and set"},
        {{"list", "--position", "1"}, "list: --all, --class and --position are for set"},
        {{"list", "--file", "a", "--game-folder", "b"}, "--file and --game-folder: name the file"},
        // An empty path must not fall back on the registry's game.
        {{"set", "water", "--all", "--file", ""}, "--file: the path is empty"},
        {{"list", "--file="}, "--file: the path is empty"},
        {{"list", "--game-folder="}, "--game-folder: the path is empty"},
    };
    for (const auto& c : cases) {
        Arguments a;
        const std::string error = Parse(c.words, &a);
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
        EXPECT_NE(error.find("(see --help)"), std::string::npos) << error;
    }
}

TEST(ArgumentsTest, HelpAndVersionWinOverEverythingElse)
{
    Arguments a;
    EXPECT_EQ(Parse({"set", "--bogus", "-h"}, &a), "");
    EXPECT_TRUE(a.help);
    EXPECT_EQ(Parse({"--version", "frob"}, &a), "");
    EXPECT_TRUE(a.version);
    EXPECT_FALSE(a.help);
}

} // namespace
