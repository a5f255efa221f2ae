#include <gtest/gtest.h>

#include "support/zip_bytes.h"
#include "template_builder.h"

namespace kyt::merge {
namespace {

using namespace test;

TEST(TemplatePackage, BareNamesBecomeMergeFieldsButWordProcessorFieldsStay)
{
    const struct { const char* what; std::vector<std::string> codes; int converted; std::vector<bool> mergeAfter; } cases[] = {
        {"first not a merge field: bare names converted, PAGE, DATE, HYPERLINK kept",
         {"Name", " PAGE ", "USN", " DATE \\@ \"d.M.yyyy\" ", " HYPERLINK \"http://x\" ", "dob1"},
         3,
         {true, false, true, false, false, true}},
        {"first and last merge fields: the middle ones stay", {"MERGEFIELD Name", "USN", "MERGEFIELD dob1"}, 0,
         {true, false, true}},
        {"last not a merge field", {"MERGEFIELD Name", "USN"}, 1, {true, true}},
        {"a quoted or switched code is no bare name", {"\"Name\"", "Name \\* Upper", "=A1+1", "page"}, 0,
         {false, false, false, false}},
    };
    for (const auto& c : cases) {
        std::string body;
        for (const auto& code : c.codes)
            body += p(complexField({code}));
        std::string error;
        auto tpl = MergeTemplate::loadBytes(test::docxWithBody(body), error);
        ASSERT_TRUE(tpl) << error;
        ASSERT_EQ(tpl->fieldCount(), static_cast<int>(c.codes.size())) << c.what;
        EXPECT_EQ(tpl->makeMergeFields(), c.converted) << c.what;
        for (size_t i = 0; i < c.codes.size(); ++i)
            EXPECT_EQ(tpl->isMergeField(static_cast<int>(i)), c.mergeAfter[i]) << c.what << ": " << c.codes[i];
    }
}

// Elements nested past the limit are refused with the reason, before they can exhaust the stack.
TEST(TemplatePackage, NestingPastTheLimitIsRefusedWithItsReason)
{
    std::string body = p(complexField({"MERGEFIELD Name"}));
    for (int i = 0; i < 12; ++i)
        body = "<w:customXml>" + body + "</w:customXml>";
    std::string error;
    EXPECT_FALSE(MergeTemplate::loadBytes(test::docxWithBody(body), error, {.maxDepth = 10}));
    EXPECT_NE(error.find("deeper than 10 levels"), std::string::npos) << error;
    EXPECT_TRUE(MergeTemplate::loadBytes(test::docxWithBody(body), error, {.maxDepth = 20})) << error;
}

}  // namespace
}  // namespace kyt::merge
