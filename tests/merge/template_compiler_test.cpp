#include <gtest/gtest.h>

#include <filesystem>

#include "support/zip_bytes.h"
#include "template_builder.h"

namespace kyt::merge {
namespace {

using namespace test;

const DataSource kStudents{{"USN", "Name"}, {{"1RV22CS001", "asha rao"}}};

TEST(TemplateCompiler, NamesMatchWithoutLetterCaseAndUnknownColumnsAreFieldErrors)
{
    TempDir dir;
    const std::string body = p(simpleField("MERGEFIELD nAmE") + simpleField("MERGEFIELD Company") +
                               complexField({"MERGEFIELD company"}) + complexField({"MERGEFIELD Salary"}));
    const Merged m = mergeBytes(dir, test::docxWithBody(body), kStudents);
    EXPECT_FALSE(m.docx);
    EXPECT_EQ(m.unknown, (std::vector<std::string>{"Company", "Salary"}));
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.docx")));
}

TEST(TemplateCompiler, ResultKeepsTheFieldFormattingAndWritesValuesSafely)
{
    TempDir dir;
    const std::string bold = "<w:rPr><w:b/></w:rPr>";
    const std::string body = p(complexField({"MERGEFIELD Name \\* MERGEFORMAT"}, "x", bold)) +
                             p(complexField({"MERGEFIELD Percent1To6 \\# \"0.00\" \\b \"(\" \\f \"%)\""}));
    const DataSource data{{"Name", "Percent1To6"}, {{"A & B <C>\nline 2", "72.5"}, {"", ""}}};
    const Merged m = mergeBytes(dir, test::docxWithBody(body), data);
    ASSERT_TRUE(m.docx) << m.error;
    const std::string xml = m.docx->part("word/document.xml");
    EXPECT_NE(xml.find("<w:r><w:rPr><w:b/></w:rPr><w:t xml:space=\"preserve\">A &amp; B &lt;C&gt;</w:t><w:br/>"),
              std::string::npos)
        << xml;
    EXPECT_EQ(m.docx->bodyText(), "A & B <C>\nline 2\n(72.50%)\n\n\n");
}

}  // namespace
}  // namespace kyt::merge
