#include <gtest/gtest.h>

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
        {"MERGEFIELD p \\# \"0.00\"", "72.5", "72.50"},
        {"MERGEFIELD p \\# 0", "72.5", "73"},
        {"MERGEFIELD p \\# \"#,##0.0 '%'\"", "123456.78", "123,456.8 '%'"},
        {"MERGEFIELD p \\# $#,###,###", "1234567", "$1,234,567"},
        {"MERGEFIELD p \\# $###", "15", "$ 15"},
        {"MERGEFIELD p \\# \"0.00;(0.00)\"", "-3.5", "(3.50)"},
        {"MERGEFIELD p \\# 0.00", "-3.5", "-3.50"},
        {"MERGEFIELD p \\# 0.00", "n/a", "n/a"},
        {"MERGEFIELD \u201CBusiness Fax\u201D \\m", "1", "1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatFieldValue(parseFieldCode(c.code), c.value), c.shown) << c.code << " on " << c.value;
    EXPECT_EQ(parseFieldCode(" MERGEFIELD  \"Hello world\" \\* MERGEFORMAT ").name, "Hello world");
    EXPECT_TRUE(parseFieldCode(" MERGEFIELD  \"Hello world\" \\* MERGEFORMAT ").mergeFormat);
    EXPECT_EQ(parseFieldCode(" MERGEFIELD \u201CBusiness Fax\u201D \\m").name, "Business Fax");
}

}  // namespace
}  // namespace kyt::merge
