#include <gtest/gtest.h>

#include <clocale>

#include "merge/field_condition.h"
#include "merge/field_format.h"

namespace kyt::merge {
namespace {

TEST(FieldFormat, SwitchesShowValuesAsTheWordProcessorDoes)
{
    const struct { const char* code; const char* value; const char* shown; } cases[] = {
        {"MERGEFIELD n \\* Upper", "asha rao", "ASHA RAO"},
        {"MERGEFIELD n \\* Lower", "ASHA Rao", "asha rao"},
        {"MERGEFIELD n \\* FirstCap", "asha rao", "Asha rao"},
        {"MERGEFIELD n \\* Caps", "asha rao-kumar", "Asha Rao-Kumar"},
        {"MERGEFIELD n \\* Upper", "\xC3\xA9lise", "\xC3\x89LISE"},
        {"MERGEFIELD n \\b \"Tel: \" \\f \".\"", "123", "Tel: 123."},
        {"MERGEFIELD n \\b \"Tel: \"", "", ""},
        {"MERGEFIELD dob1 \\@ \"dd/MM/yyyy\"", "05-11-1982", "05/11/1982"},
        {"MERGEFIELD dob1 \\@ \"dddd, MMMM d, yy\"", "05-11-1982", "Friday, November 5, 82"},
        {"MERGEFIELD dob1 \\@ \"d MMM yyyy\"", "1982-11-05", "5 Nov 1982"},
        {"MERGEFIELD dob1 \\@ \"d MMM yyyy\"", "not a date", "not a date"},
        {"MERGEFIELD dob1 \\@ \"d MMM yyyy\"", "31-02-2003", "31-02-2003"},
        {"MERGEFIELD dob1 \\@ \"d MMM yyyy\"", "05-11-03", "5 Nov 2003"},
        {"MERGEFIELD dob1 \\@ \"d MMM yyyy\"", "05-11-82", "5 Nov 1982"},
        {"MERGEFIELD t \\@ \"h:mm am/pm\"", "05-11-2003 14:05", "2:05 pm"},
        {"MERGEFIELD t \\@ \"h:mm AM/PM\"", "14:05", "2:05 PM"},
        {"MERGEFIELD t \\@ \"h:mm Am/pM\"", "00:30", "12:30 Am"},
        {"MERGEFIELD t \\@ \"HH:mm:ss\"", "2:05:09 pm", "14:05:09"},
        {"MERGEFIELD t \\@ \"HH:mm:ss\"", "2003-11-05 07:08:09", "07:08:09"},
        {"MERGEFIELD t \\@ \"d MMM yyyy\"", "14:05", "14:05"},
        {"MERGEFIELD p \\# \"0.00\"", "72.5", "72.50"},
        {"MERGEFIELD p \\# 0", "72.5", "73"},
        {"MERGEFIELD p \\# \"#,##0.0 '%'\"", "123456.78", "123,456.8 '%'"},
        {"MERGEFIELD p \\# $#,###,###", "1234567", "$1,234,567"},
        {"MERGEFIELD p \\# $###", "15", "$ 15"},
        {"MERGEFIELD p \\# \"0.00;(0.00)\"", "-3.5", "(3.50)"},
        {"MERGEFIELD p \\# \"0.00;(0.00)\"", "0", "0.00"},
        {"MERGEFIELD p \\# \"0.00;(0.00);-\"", "0", "-"},
        {"MERGEFIELD p \\# 0.00", "-3.5", "-3.50"},
        {"MERGEFIELD p \\# 0.00", "n/a", "n/a"},
        {"MERGEFIELD \u201CBusiness Fax\u201D \\m", "1", "1"},
    };
    // The window program runs under the officer's locale; a decimal comma there changes nothing.
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    for (const char* locale : {"C", "de_DE.UTF-8"}) {
        ASSERT_NE(std::setlocale(LC_ALL, locale), nullptr) << "scripts/setup generates the de_DE.UTF-8 locale";
        for (const auto& c : cases)
            EXPECT_EQ(formatFieldValue(parseFieldCode(c.code), c.value), c.shown) << c.code << " on " << c.value << " in " << locale;
    }
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(parseFieldCode(" MERGEFIELD  \"Hello world\" \\* MERGEFORMAT ").name, "Hello world");
    EXPECT_TRUE(parseFieldCode(" MERGEFIELD  \"Hello world\" \\* MERGEFORMAT ").mergeFormat);
    EXPECT_EQ(parseFieldCode(" MERGEFIELD \u201CBusiness Fax\u201D \\m").name, "Business Fax");
}

// {} stands for the result of a field nested in the code, which stays one argument whatever it holds.
TEST(FieldCondition, IfFieldsChooseAsTheWordProcessorDoes)
{
    const struct { std::vector<std::string> code; const char* shown; } cases[] = {
        {{" IF ", "{F}", R"( = "F" "Ms." "Mr." )"}, "Ms."},
        {{" IF ", "{M}", R"( = "F" "Ms." "Mr." )"}, "Mr."},
        {{" IF ", "{f}", R"( = "F" "Ms." "Mr." )"}, "Mr."},
        {{" IF ", "{}", R"( <> "" "Rank" "No rank")"}, "No rank"},
        {{" IF ", "{1234}", R"( <> "" "Rank )", "{1234}", R"(" "No rank")"}, "Rank 1234"},
        {{" IF ", "{9}", R"( < 10 "less" "more")"}, "less"},
        {{" IF ", "{72.50}", R"( >= "72.5" "yes" "no")"}, "yes"},
        {{" IF ", "{60}", R"( > 60 "yes" "no")"}, "no"},
        {{" IF ", "{60}", R"( <= 60 "yes" "no")"}, "yes"},
        {{" IF ", "{abc}", R"( < "abd" "yes" "no")"}, "yes"},
        {{" IF ", "{Asha Rao}", R"( = "Asha Rao" "same" "other")"}, "same"},
        {{" IF ", "{1RV22CS001}", R"( = "*CS*" "CS" "other")"}, "CS"},
        {{" IF ", "{1RV22EC001}", R"( = "*CS*" "CS" "other")"}, "other"},
        {{" IF ", "{Asha}", R"( = "A?ha" "yes" "no")"}, "yes"},
        {{" IF ", "{Asha}", R"( <> "A*" "yes" "no")"}, "no"},
        {{" IF ", "{Asha}", R"( = A* "yes" "no")"}, "no"},
        {{" IF ", "{F}", R"( = "F" "ms. )", "{asha}", R"(" "mr." \* Upper)"}, "MS. ASHA"},
        {{" IF ", "{F}", " = \xE2\x80\x9C" "F\xE2\x80\x9D \xE2\x80\x9CMs.\xE2\x80\x9D \xE2\x80\x9CMr.\xE2\x80\x9D"}, "Ms."},
        {{" IF ", "{F}", R"( = "F" "Line one)", "\n", R"(line two")"}, "Line one\nline two"},
        {{" IF ", "{F}", R"( "F" "Ms.")"}, "Error! Unknown op code for conditional."},
    };
    for (const auto& c : cases) {
        std::vector<CodePiece> code;
        for (const std::string& piece : c.code)
            code.push_back(piece[0] == '{' ? CodePiece{piece.substr(1, piece.size() - 2), true} : CodePiece{piece});
        EXPECT_EQ(evaluateIf(code), c.shown) << c.code[2];
    }
}

}  // namespace
}  // namespace kyt::merge
