#include "extract/validation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "support/log_sinks.h"

namespace kyt {
namespace {

const std::string kTabs = "\t\t\t\t";

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t from = 0;
    for (;;) {
        const size_t at = text.find("\r\n", from);
        lines.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos)
            return lines;
        from = at + 2;
    }
}

// 'a'..'z' repeated, so a line cut at the wrong place shows.
std::string letters(size_t n)
{
    std::string text;
    for (size_t i = 0; i < n; ++i)
        text += static_cast<char>('a' + i % 26);
    return text;
}

struct TextCase {
    std::string input;
    std::string expected;
};

void PrintTo(const TextCase& c, std::ostream* out)
{
    *out << testing::PrintToString(c.input);
}

class CleanCellTextCases : public testing::TestWithParam<TextCase> {};

TEST_P(CleanCellTextCases, GivesTheCleanedText)
{
    std::string text = GetParam().input;
    EXPECT_EQ(CleanCellText(text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Validation, CleanCellTextCases,
                         testing::Values(TextCase{"O'Neil\r\a", "O`Neil"},
                                         TextCase{"  José Fernandes \r\a", "José Fernandes"},
                                         TextCase{"line one\rline two", "line one line two"},
                                         TextCase{"\r\a", ""},
                                         TextCase{"", ""},
                                         TextCase{"it's'", "it`s`"}));

class ProperCaseCases : public testing::TestWithParam<TextCase> {};

TEST_P(ProperCaseCases, CapitalisesTheFirstLetterOfEachWord)
{
    std::string text = GetParam().input;
    EXPECT_EQ(ProperCase(text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Validation, ProperCaseCases,
    testing::Values(TextCase{"SHANKAR rao", "Shankar Rao"}, TextCase{"MARY-ANN", "Mary-Ann"}, TextCase{"", ""},
                    TextCase{"O`NEIL", "O`Neil"}, TextCase{"d'souza", "D'Souza"},
                    TextCase{"MARÍA NÚÑEZ", "María Núñez"}, TextCase{"josé fernandes", "José Fernandes"},
                    TextCase{"ÉMILE ZOLA", "Émile Zola"}, TextCase{"ИВАН ПЕТРОВ", "Иван Петров"},
                    // a combining accent (decomposed form) does not end the word
                    TextCase{"JOSE\u0301 MARI\u0301A", "Jose\u0301 Mari\u0301a"},
                    TextCase{"  ravi   KUMAR  ", "Ravi   Kumar"}, TextCase{"3RD", "3Rd"},
                    TextCase{"k.s.RAO", "K.S.Rao"}));

TEST(Validation, CollapseSpacesTrimsAndCollapsesAndChangesItsArgument)
{
    std::string text = "  R V   College  of  Engg.  ";
    EXPECT_EQ(CollapseSpaces(text), "R V College of Engg.");
    EXPECT_EQ(text, "R V College of Engg.");
    std::string blank = "    ";
    EXPECT_EQ(CollapseSpaces(blank), "");
    EXPECT_EQ(blank, "");
}

TEST(Validation, DigitsOnlyKeepsTheAsciiDigitsInOrder)
{
    std::string mixed = "1a2 b.3-4é5";
    EXPECT_EQ(DigitsOnly(mixed), "12345");
    std::string none = "no digits";
    EXPECT_EQ(DigitsOnly(none), "");
}

class PadDatePartCases : public testing::TestWithParam<TextCase> {};

TEST_P(PadDatePartCases, PadsTextsShorterThanTwoCharacters)
{
    std::string text = GetParam().input;
    EXPECT_EQ(PadDatePart(text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Validation, PadDatePartCases,
                         testing::Values(TextCase{"7", "07"}, TextCase{"", "0"}, TextCase{"12", "12"},
                                         TextCase{"7.", "7"}, TextCase{"1982", "1982"},
                                         // one character of two bytes is still shorter than two characters
                                         TextCase{"é", "0"}));

struct DobCase {
    std::string day, month, year, expected;
};

void PrintTo(const DobCase& c, std::ostream* out)
{
    *out << testing::PrintToString(c.day + "/" + c.month + "/" + c.year);
}

class FormatDOBCases : public testing::TestWithParam<DobCase> {};

TEST_P(FormatDOBCases, BuildsTheDateOrRefuses)
{
    DobCase c = GetParam();
    EXPECT_EQ(FormatDOB(c.day, c.month, c.year), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Validation, FormatDOBCases,
                         testing::Values(DobCase{"5", "11", "1982", "05-11-1982"}, DobCase{"0", "11", "1982", "ERR"},
                                         DobCase{"", "11", "1982", "ERR"}, DobCase{"31", "13", "", "31-13-0"},
                                         DobCase{"5", "0", "1982", "ERR"}, DobCase{"5", "", "1982", "ERR"},
                                         DobCase{"00", "5", "1982", "ERR"}, DobCase{"ab", "5", "1982", "ERR"},
                                         DobCase{"5th", "11", "82", "5-11-82"},
                                         // far past any integer range: still a positive day, no overflow
                                         DobCase{"99999999999999999999999", "1", "1982",
                                                 "99999999999999999999999-01-1982"}));

struct NumberCase {
    std::string text;
    bool isNumber;
    double value;
};

void PrintTo(const NumberCase& c, std::ostream* out)
{
    *out << testing::PrintToString(c.text);
}

class IsNumberCases : public testing::TestWithParam<NumberCase> {};

TEST_P(IsNumberCases, AcceptsOnlyPlainDecimals)
{
    const NumberCase c = GetParam();
    EXPECT_EQ(IsNumber(c.text), c.isNumber) << '"' << c.text << '"';
    EXPECT_DOUBLE_EQ(NumberValue(c.text), c.value) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Validation, IsNumberCases,
    testing::Values(NumberCase{"85", true, 85}, NumberCase{" 85 ", true, 85}, NumberCase{"72.5", true, 72.5},
                    NumberCase{"085.50", true, 85.5}, NumberCase{"85.", true, 85}, NumberCase{".5", true, 0.5},
                    NumberCase{"\t85\t", true, 85}, NumberCase{"\xC2\xA0" "85\xC2\xA0", true, 85},
                    NumberCase{".", false, 0}, NumberCase{"", false, 0}, NumberCase{"   ", false, 0},
                    NumberCase{"-5", false, 0}, NumberCase{"+5", false, 0}, NumberCase{"1e5", false, 0},
                    NumberCase{"1,000", false, 0}, NumberCase{"72,5", false, 0}, NumberCase{"1.2.3", false, 0},
                    NumberCase{"8 5", false, 0}, NumberCase{"85%", false, 0}, NumberCase{"0x10", false, 0},
                    NumberCase{"\xD9\xA5", false, 0}));  // an Arabic-Indic five

TEST(Validation, NumberValueOfTooManyDigitsIsInfinityOrZeroNeverGarbage)
{
    const std::string huge = "1" + std::string(400, '0');
    EXPECT_TRUE(IsNumber(huge));
    EXPECT_EQ(NumberValue(huge), std::numeric_limits<double>::infinity());
    const std::string tiny = "0." + std::string(400, '0') + "1";
    EXPECT_TRUE(IsNumber(tiny));
    EXPECT_EQ(NumberValue(tiny), 0.0);
}

struct PercentCase {
    std::string text;
    double expected;
};

void PrintTo(const PercentCase& c, std::ostream* out)
{
    *out << testing::PrintToString(c.text);
}

class ParsePercentCases : public testing::TestWithParam<PercentCase> {};

TEST_P(ParsePercentCases, FindsThePercentage)
{
    std::string text = GetParam().text;
    EXPECT_DOUBLE_EQ(ParsePercent(text), GetParam().expected) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Validation, ParsePercentCases,
    testing::Values(PercentCase{"85", 85}, PercentCase{"85 %", 85}, PercentCase{"72.5%", 72.5},
                    PercentCase{"72.5 %", 72.5}, PercentCase{" 85 ", 85}, PercentCase{"0.85", 0.85},
                    PercentCase{"%", -1}, PercentCase{"", 0}, PercentCase{"distinction", -1},
                    // digits that end the text after words have no terminator
                    PercentCase{"Percentage 85", -1}, PercentCase{"Aggregate: 78.4%", 78.4},
                    PercentCase{"85.5.5%", -1},
                    // no sign: a negative percentage is never read, and -1 keeps its meaning
                    PercentCase{"-1", -1}, PercentCase{"-85", -1}, PercentCase{"-5%", 5}));

struct ClassCase {
    double percent;
    std::string expected;
};

void PrintTo(const ClassCase& c, std::ostream* out)
{
    *out << c.percent;
}

class ClassFromPercentCases : public testing::TestWithParam<ClassCase> {};

TEST_P(ClassFromPercentCases, GivesTheClass)
{
    EXPECT_EQ(ClassFromPercent(GetParam().percent), GetParam().expected) << GetParam().percent;
}

INSTANTIATE_TEST_SUITE_P(Validation, ClassFromPercentCases,
                         testing::Values(ClassCase{59.99, "Second"}, ClassCase{60, "First"}, ClassCase{69.99, "First"},
                                         ClassCase{70, "FCD"}, ClassCase{0, "Second"}, ClassCase{100, "FCD"}));

TEST(WrapText, BreaksALongLineIntoWidthPlusOneThenWidthCharacters)
{
    const std::string input = letters(120);
    std::string text = input;
    const std::string wrapped = WrapText(text, 51, 4);
    EXPECT_EQ(wrapped, kTabs + input.substr(0, 52) + "\r\n" + kTabs + input.substr(52, 51) + "\r\n" + kTabs +
                           input.substr(103));
    EXPECT_EQ(text, wrapped);  // changes its argument
}

TEST(WrapText, CountsCharactersNotBytes)
{
    std::string input;
    for (int i = 0; i < 60; ++i)
        input += "é€";  // two and three bytes
    std::string text = input;
    const std::vector<std::string> lines = splitLines(WrapText(text, 51, 4));
    ASSERT_EQ(lines.size(), 3u);
    std::string rejoined;
    for (const std::string& line : lines) {
        ASSERT_EQ(line.substr(0, 4), kTabs);
        rejoined += line.substr(4);
    }
    EXPECT_EQ(CharCount(lines[0]) - 4, 52u);
    EXPECT_EQ(CharCount(lines[1]) - 4, 51u);
    EXPECT_EQ(CharCount(lines[2]) - 4, 17u);
    EXPECT_EQ(rejoined, input);  // nothing cut in half, nothing lost
}

struct WrapCase {
    std::string input;
    int16_t width;
    int16_t tabs;
    std::string expected;
};

void PrintTo(const WrapCase& c, std::ostream* out)
{
    *out << testing::PrintToString(c.input) << " width " << c.width << " tabs " << c.tabs;
}

class WrapTextCases : public testing::TestWithParam<WrapCase> {};

TEST_P(WrapTextCases, WrapsAsTheLogExpects)
{
    std::string text = GetParam().input;
    EXPECT_EQ(WrapText(text, GetParam().width, GetParam().tabs), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Validation, WrapTextCases,
    testing::Values(
        WrapCase{"   leading spaces go", 51, 4, kTabs + "leading spaces go"},
        WrapCase{"", 51, 4, kTabs},
        // the break comes after the (Width + 1)th character even when nothing follows it
        WrapCase{letters(52), 51, 4, kTabs + letters(52) + "\r\n" + kTabs},
        WrapCase{letters(51), 51, 4, kTabs + letters(51)},
        WrapCase{letters(53), 51, 4, kTabs + letters(52) + "\r\n" + kTabs + "a"},
        WrapCase{"one\r\ntwo", 51, 4, kTabs + "one\r\n" + kTabs + "two"},
        WrapCase{"one\ntwo", 51, 2, "\t\tonetwo"},  // a bare line feed is dropped
        // a carriage return restarts the count
        WrapCase{"x\r" + letters(60), 51, 1, "\tx\r\n\t" + letters(51) + "\r\n\t" + letters(60).substr(51)},
        WrapCase{letters(12), 5, 0, letters(6) + "\r\n" + letters(12).substr(6, 5) + "\r\n" + "l"},
        WrapCase{letters(10), 0, -3, letters(10)}));  // no width, no tabs: nothing breaks

TEST(AddError, PlainLineIsAppendedUnwrappedAndUncounted)
{
    Control control;
    std::string message = letters(80);
    AddError(control, message, kPlainLine);
    EXPECT_EQ(control.run.ErrorText, letters(80) + "\r\n");
    EXPECT_EQ(message, letters(80));
    EXPECT_EQ(control.run.DocumentErrors, 0);
    EXPECT_EQ(control.run.TotalErrors, 0);
}

TEST(AddError, ErrorIsWrappedInPlaceAndRaisesBothCounters)
{
    Control control;
    control.run.ErrorText = "pending\r\n";
    control.run.DocumentErrors = 2;
    control.run.TotalErrors = 9;
    std::string message = letters(60);
    AddError(control, message, kError);
    const std::string wrapped = kTabs + letters(52) + "\r\n" + kTabs + letters(60).substr(52);
    EXPECT_EQ(message, wrapped);
    EXPECT_EQ(control.run.ErrorText, "pending\r\n" + wrapped + "\r\n");
    EXPECT_EQ(control.run.DocumentErrors, 3);
    EXPECT_EQ(control.run.TotalErrors, 10);
}

TEST(AddError, RemarkIsWrappedButNotCounted)
{
    Control control;
    AddError(control, std::string("Transaction rolled back"), kRemark);
    EXPECT_EQ(control.run.ErrorText, kTabs + "Transaction rolled back\r\n");
    EXPECT_EQ(control.run.DocumentErrors, 0);
    EXPECT_EQ(control.run.TotalErrors, 0);
}

TEST(AddError, DiscardEmptiesWhateverWasPending)
{
    Control control;
    test::MemoryLogSink log;
    control.run.ErrorLog = &log;
    control.run.ErrorText = "a whole document's problems\r\n";
    AddError(control, std::string("=-="), kDiscard);
    EXPECT_EQ(control.run.ErrorText, "");
    EXPECT_TRUE(log.records.empty());
    EXPECT_EQ(control.run.TotalErrors, 0);
}

TEST(AddError, UnknownKindBehavesLikeAPlainLine)
{
    Control control;
    AddError(control, letters(70), 9);
    EXPECT_EQ(control.run.ErrorText, letters(70) + "\r\n");
    EXPECT_EQ(control.run.TotalErrors, 0);
}

TEST(AddError, FlushWritesOneRecordWithTheDocumentBlockAndEmptiesTheText)
{
    Control control;
    test::MemoryLogSink log;
    control.run.ErrorLog = &log;
    AddError(control, std::string("\r\nresume1.docx\t\t"), kPlainLine);
    AddError(control, std::string("Name is blank"), kError);
    AddError(control, std::string("Transaction rolled back"), kRemark);
    AddError(control, std::string("=-="), kFlush);
    ASSERT_EQ(log.records.size(), 1u);
    EXPECT_EQ(log.records[0],
              "\r\nresume1.docx\t\t\r\n" + kTabs + "Name is blank\r\n" + kTabs + "Transaction rolled back\r\n=-=\r\n\r\n");
    EXPECT_EQ(control.run.ErrorText, "");
    EXPECT_EQ(control.run.DocumentErrors, 1);
}

TEST(AddError, FlushWithNoLogOpenKeepsTheText)
{
    Control control;
    AddError(control, std::string("Name is blank"), kError);
    AddError(control, std::string("=-="), kFlush);
    EXPECT_EQ(control.run.ErrorText, kTabs + "Name is blank\r\n=-=\r\n");
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
    EXPECT_EQ(log.records[0], "head\r\n\r\n");
    EXPECT_EQ(log.records[1], "first block\r\nsecond block\r\n\r\n");
    EXPECT_EQ(control.run.ErrorText, "");
}

TEST(Characters, CountAndCutNeverSplitACharacter)
{
    const std::string text = "Núñez€x";
    EXPECT_EQ(CharCount(text), 7u);
    EXPECT_EQ(FirstChars(text, 3), "Núñ");
    EXPECT_EQ(FirstChars(text, 100), text);
    EXPECT_EQ(FirstChars(text, 0), "");
    EXPECT_EQ(MidChars(text, 5, 1), "€");
    EXPECT_EQ(MidChars(text, 5), "€x");
    EXPECT_EQ(MidChars(text, 7), "");
    EXPECT_EQ(MidChars(text, 50, 2), "");
    EXPECT_EQ(CharCount(""), 0u);
}

TEST(Characters, AStrayContinuationByteCountsAsOneCharacter)
{
    const std::string text = "\x80" "ab";
    EXPECT_EQ(CharCount(text), 3u);
    EXPECT_EQ(FirstChars(text, 1), "\x80");
    EXPECT_EQ(MidChars(text, 1), "ab");
}

}  // namespace
}  // namespace kyt
