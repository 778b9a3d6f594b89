// The set command's words, called directly: surface types, ranges and the
// classes a selection picks.
#include "cli/select.h"

#include <gtest/gtest.h>

#include "data/record_scan.h"

namespace {

TEST(SelectTest, SurfaceTypesByNameInAnyCaseWithHyphensOrByCode)
{
    const struct {
        const char* text;
        SurfaceType code;
    } good[] = {{"water", 2}, {"WATER", 2}, {"Bumpy grass", 3}, {"bumpy-grass", 3}, {"PSP-matting", 16},
                {"0", 0},     {"16", 16},   {"11", 11}};
    for (const auto& g : good) {
        SurfaceType code = 0xFFFF;
        EXPECT_TRUE(ParseSurfaceType(g.text, &code)) << g.text;
        EXPECT_EQ(code, g.code) << g.text;
    }
    for (const char* bad : {"", "8", "-2", "17", "0x2", "2 ", "wat", "bumpygrass", "1000000000000", "Water-"}) {
        SurfaceType code = 0xFFFF;
        EXPECT_FALSE(ParseSurfaceType(bad, &code)) << bad;
    }
}

TEST(SelectTest, RangesTakeNegativeNumbersOnEitherSide)
{
    const struct {
        const char* text;
        long low, high;
    } good[] = {{"7", 7, 7}, {"3-9", 3, 9}, {"-5", -5, -5}, {"-5--1", -5, -1}, {"-5-3", -5, 3}, {"0-0", 0, 0}};
    for (const auto& g : good) {
        long low = 99, high = 99;
        EXPECT_TRUE(ParseRange(g.text, &low, &high)) << g.text;
        EXPECT_EQ(low, g.low) << g.text;
        EXPECT_EQ(high, g.high) << g.text;
    }
    for (const char* bad : {"", "-", "5-", "-5-", "9-3", "-1--5", "1-2-3", "a", "5--", "--5", "1234567890", "+5", " 5"}) {
        long low, high;
        EXPECT_FALSE(ParseRange(bad, &low, &high)) << bad;
    }
}

class SelectPositionsTest : public ::testing::Test {
protected:
    // Classes -5, -1, 0, 10, 10 (a number may repeat), types Grass but the second and last Water.
    void SetUp() override
    {
        const int numbers[] = {-5, -1, 0, 10, 10};
        const SurfaceType types[] = {1, SURFACE_WATER, 1, 1, SURFACE_WATER};
        for (int i = 0; i < 5; ++i)
            classes_[i] = {DWORD(10 * i), numbers[i], types[i]};
    }
    std::vector<DWORD> Select(const Selection& selection, SelectionError* error = nullptr)
    {
        SelectionError ignored;
        std::vector<DWORD> positions{99};
        if (!SelectPositions(selection, classes_, 5, &positions, error ? error : &ignored))
            return {};
        return positions;
    }

    ListedClass classes_[5];
};

TEST_F(SelectPositionsTest, PicksTheUnionInFileOrderByNumberPositionTypeOrAll)
{
    Selection byNumber;
    byNumber.classes = {"10", "-5"};
    EXPECT_EQ(Select(byNumber), (std::vector<DWORD>{0, 3, 4}));
    Selection negativeRange;
    negativeRange.classes = {"-5--1"};
    EXPECT_EQ(Select(negativeRange), (std::vector<DWORD>{0, 1}));
    Selection mixed;
    mixed.classes = {"-1-0"};
    mixed.positions = {"4", "1-2"};
    mixed.water = true;
    EXPECT_EQ(Select(mixed), (std::vector<DWORD>{1, 2, 4}));
    Selection all;
    all.all = true;
    EXPECT_EQ(Select(all), (std::vector<DWORD>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(Selection().Empty());
    EXPECT_FALSE(all.Empty());
}

TEST_F(SelectPositionsTest, SelectorsThatPickNothingOrCannotBeReadSayWhich)
{
    const struct {
        std::vector<std::string> classes, positions;
        std::string subject, what;
    } cases[] = {
        {{"11"}, {}, "--class 11", "no class of the file has that number"},
        {{"-4--2"}, {}, "--class -4--2", "no class of the file has that number"},
        {{"x"}, {}, "--class x", "expected a class number"},
        {{}, {"5"}, "--position 5", "the file has 5 classes, at positions 0 to 4"},
        {{}, {"-1"}, "--position -1", "expected a position N or a range N-M (the first class is 0)"},
        {{}, {"3-1"}, "--position 3-1", "expected a position"},
    };
    for (const auto& c : cases) {
        Selection selection;
        selection.classes = c.classes;
        selection.positions = c.positions;
        SelectionError error;
        std::vector<DWORD> positions;
        EXPECT_FALSE(SelectPositions(selection, classes_, 5, &positions, &error)) << c.subject;
        EXPECT_EQ(error.subject, c.subject);
        EXPECT_EQ(error.what.rfind(c.what, 0), 0u) << error.what;
    }
}

} // namespace
