#include "query/save_options.h"

#include <gtest/gtest.h>

#include <clocale>

using namespace kyt::query;

TEST(SequenceBox, NumbersAreReadWithoutTheLocaleAndRoundedHalfToEven)
{
    // A decimal comma locale must not change what a sequence box holds.
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    struct Case {
        const char* text;
        bool numeric;
        long long value;
    } cases[] = {
        {"0", true, 0},      {"2", true, 2},        {" 3 ", true, 3},  {"+1", true, 1},    {"-1", true, -1},
        {"0.5", true, 0},    {"1.5", true, 2},      {"2.5", true, 2},  {"1e1", true, 10},  {"3.", true, 3},
        {"1e10", true, 1000000000},                 {"", false, 0},    {"a", false, 0},    {"1a", false, 0},
        {"1,5", false, 0},   {"0x1", false, 0},     {"inf", false, 0}, {"nan", false, 0},  {".", false, 0},
        {"-", false, 0},     {"++1", false, 0},     {"+-1", false, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsNumericText(c.text), c.numeric) << c.text;
        EXPECT_EQ(SequenceNumber(c.text), c.value) << c.text;
    }
    std::setlocale(LC_NUMERIC, "C");
}
