#include "extract/validation.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "support/log_sinks.h"

namespace kyt {
namespace {

const std::string kTabs = "\t\t\t\t";

// 'a'..'z' repeated, so a line cut at the wrong place shows.
std::string letters(size_t n)
{
    std::string text;
    for (size_t i = 0; i < n; ++i)
        text += static_cast<char>('a' + i % 26);
    return text;
}

TEST(Validation, CellTextsAreCleanedCasedAndPadded)
{
    using Function = std::string (*)(std::string&);
    const struct {
        Function function;
        std::string input, expected;
    } cases[] = {
        {CleanCellText, "O'Neil\r\a", "O`Neil"}, {CleanCellText, "  José Fernandes \r\a", "José Fernandes"},
        {CleanCellText, "line one\rline two", "line one line two"}, {CleanCellText, "it's'", "it`s`"},
        {ProperCase, "SHANKAR rao", "Shankar Rao"}, {ProperCase, "MARY-ANN", "Mary-Ann"},
        {ProperCase, "O`NEIL", "O`Neil"}, {ProperCase, "d'souza", "D'Souza"}, {ProperCase, "k.s.RAO", "K.S.Rao"},
        {ProperCase, "MARÍA NÚÑEZ", "María Núñez"}, {ProperCase, "  ravi   KUMAR  ", "Ravi   Kumar"},
        // a combining accent (decomposed form) does not end the word
        {ProperCase, "JOSE\u0301 MARI\u0301A", "Jose\u0301 Mari\u0301a"},
        // one character of two bytes is still shorter than two characters
        {PadDatePart, "7", "07"}, {PadDatePart, "", "0"}, {PadDatePart, "7.", "7"}, {PadDatePart, "é", "0"},
        {DigitsOnly, "1a2 b.3-4é5", "12345"}, {DigitsOnly, "no digits", ""},
        {CollapseSpaces, "  R V   College  of  Engg.  ", "R V College of Engg."}, {CollapseSpaces, "    ", ""},
    };
    for (const auto& c : cases) {
        std::string text = c.input;
        EXPECT_EQ(c.function(text), c.expected) << c.input;
        if (c.function == CollapseSpaces) {
            EXPECT_EQ(text, c.expected);  // changes its argument
        }
    }
}

TEST(Validation, FormatDOBBuildsTheDateOrRefuses)
{
    const struct {
        std::string day, month, year, expected;
    } cases[] = {
        {"5", "11", "1982", "05-11-1982"}, {"0", "11", "1982", "ERR"}, {"31", "13", "", "31-13-0"},
        {"5", "0", "1982", "ERR"},         {"00", "5", "1982", "ERR"}, {"5th", "11", "82", "5-11-82"},
        // far past any integer range: still a positive day, no overflow
        {"99999999999999999999999", "1", "1982", "99999999999999999999999-01-1982"},
    };
    for (auto c : cases)
        EXPECT_EQ(FormatDOB(c.day, c.month, c.year), c.expected) << c.day << "/" << c.month << "/" << c.year;
}

TEST(Validation, IsNumberAcceptsOnlyPlainDecimals)
{
    const struct {
        std::string text;
        bool isNumber;
        double value;
    } cases[] = {
        {"85", true, 85}, {" 85 ", true, 85}, {"72.5", true, 72.5}, {"085.50", true, 85.5}, {"85.", true, 85},
        {".5", true, 0.5}, {"\t85\t", true, 85}, {"\xC2\xA0" "85\xC2\xA0", true, 85}, {".", false, 0},
        {"", false, 0}, {"   ", false, 0}, {"-5", false, 0}, {"+5", false, 0}, {"1e5", false, 0},
        {"1,000", false, 0}, {"72,5", false, 0}, {"1.2.3", false, 0}, {"8 5", false, 0}, {"85%", false, 0},
        {"0x10", false, 0},
        {"\xD9\xA5", false, 0},  // an Arabic-Indic five
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsNumber(c.text), c.isNumber) << '"' << c.text << '"';
        EXPECT_DOUBLE_EQ(NumberValue(c.text), c.value) << '"' << c.text << '"';
    }
    const std::string huge = "1" + std::string(400, '0');
    EXPECT_TRUE(IsNumber(huge));
    EXPECT_EQ(NumberValue(huge), std::numeric_limits<double>::infinity());
    EXPECT_EQ(NumberValue("0." + std::string(400, '0') + "1"), 0.0);
}

TEST(Validation, ParsePercentFindsThePercentageAndClassFollowsIt)
{
    const struct {
        std::string text;
        double expected;
    } cases[] = {
        {"85", 85}, {"85 %", 85}, {"72.5%", 72.5}, {" 85 ", 85}, {"0.85", 0.85}, {"%", -1}, {"", 0},
        {"distinction", -1},
        // digits that end the text after words have no terminator
        {"Percentage 85", -1}, {"Aggregate: 78.4%", 78.4}, {"85.5.5%", -1},
        // no sign: a negative percentage is never read, and -1 keeps its meaning
        {"-1", -1}, {"-85", -1}, {"-5%", 5},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        EXPECT_DOUBLE_EQ(ParsePercent(text), c.expected) << '"' << c.text << '"';
    }
    const std::pair<double, const char*> classes[] = {{59.99, "Second"}, {60, "First"}, {69.99, "First"},
                                                      {70, "FCD"},       {0, "Second"}, {100, "FCD"}};
    for (const auto& [percent, expected] : classes)
        EXPECT_EQ(ClassFromPercent(percent), expected) << percent;
}

TEST(WrapText, WrapsAsTheLogExpects)
{
    const struct {
        std::string input;
        int16_t width, tabs;
        std::string expected;
    } cases[] = {
        {letters(120), 51, 4,
         kTabs + letters(52) + "\r\n" + kTabs + letters(120).substr(52, 51) + "\r\n" + kTabs + letters(120).substr(103)},
        {"   leading spaces go", 51, 4, kTabs + "leading spaces go"},
        // the break comes after the (Width + 1)th character even when nothing follows it
        {letters(52), 51, 4, kTabs + letters(52) + "\r\n" + kTabs},
        {"one\r\ntwo", 51, 4, kTabs + "one\r\n" + kTabs + "two"},
        {"one\ntwo", 51, 2, "\t\tonetwo"},  // a bare line feed is dropped
        // a carriage return restarts the count
        {"x\r" + letters(60), 51, 1, "\tx\r\n\t" + letters(51) + "\r\n\t" + letters(60).substr(51)},
        {letters(10), 0, -3, letters(10)},  // no width, no tabs: nothing breaks
        {letters(50) + "é€x", 51, 0, letters(50) + "é€\r\nx"},  // characters are counted, not bytes
    };
    for (const auto& c : cases) {
        std::string text = c.input;
        EXPECT_EQ(WrapText(text, c.width, c.tabs), c.expected) << c.input;
        EXPECT_EQ(text, c.expected);  // changes its argument
    }
}

TEST(AddError, FailedFlushKeepsTheTextForTheNextFlush)
{
    Control control;
    test::FailingLogSink log(1, 1);  // the second write fails, the third succeeds
    control.run.ErrorLog = &log;
    AddError(control, std::string("head"), kFlush);
    AddError(control, std::string("first block"), kFlush);
    EXPECT_EQ(log.refused, 1);
    EXPECT_EQ(control.run.ErrorText, "first block\r\n");
    AddError(control, std::string("second block"), kFlush);
    ASSERT_EQ(log.records.size(), 2u);
    EXPECT_EQ(log.records[1], "first block\r\nsecond block\r\n\r\n");
    EXPECT_EQ(control.run.ErrorText, "");
}

}  // namespace
}  // namespace kyt
