// A GoogleTest program with one test of each outcome the test command counts,
// for tests/scripts/suites_test.sh: its report is the input, not a test.
#include <gtest/gtest.h>

TEST(Outcomes, Passes) {}
TEST(Outcomes, IsSkipped) { GTEST_SKIP() << "on purpose"; }
TEST(Outcomes, DISABLED_IsDisabled) {}
