#include <gtest/gtest.h>

#include <filesystem>

#include "merge/field_format.h"
#include "merge/merge_template.h"
#include "merged_docx.h"
#include "support/temp_dir.h"
#include "support/zip_bytes.h"

namespace kyt::merge {
namespace {

using test::MergedDocx;
using test::TempDir;

// Complex field with its code split over the given runs.
std::string complexField(const std::vector<std::string>& codePieces, const std::string& shown = "«x»",
                         const std::string& rPr = "")
{
    std::string xml = "<w:r>" + rPr + R"(<w:fldChar w:fldCharType="begin"/></w:r>)";
    for (const auto& piece : codePieces)
        xml += "<w:r>" + rPr + R"(<w:instrText xml:space="preserve">)" + piece + "</w:instrText></w:r>";
    xml += "<w:r>" + rPr + R"(<w:fldChar w:fldCharType="separate"/></w:r><w:r>)" + rPr + "<w:t>" + shown +
           "</w:t></w:r><w:r>" + rPr + R"(<w:fldChar w:fldCharType="end"/></w:r>)";
    return xml;
}

std::string simpleField(const std::string& code)
{
    return R"(<w:fldSimple w:instr=")" + code + R"("><w:r><w:t>«x»</w:t></w:r></w:fldSimple>)";
}

std::string p(const std::string& runs) { return "<w:p>" + runs + "</w:p>"; }

// A template with a header (`headerBody`) and a footer (`footerBody`) referenced from the section.
std::string templateWithParts(const std::string& body, const std::string& headerBody, const std::string& footerBody)
{
    const std::string sect = R"(<w:sectPr><w:headerReference w:type="default" r:id="rId7"/>)"
                             R"(<w:footerReference w:type="default" r:id="rId8"/><w:type w:val="continuous"/></w:sectPr>)";
    std::vector<test::ZipEntry> entries = test::docxEntries(body + sect);
    const std::string ns = R"(xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main")",
                      type = "application/vnd.openxmlformats-officedocument.wordprocessingml.",
                      rel = R"(<Relationship Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/)";
    std::string& types = entries[0].bytes;
    types.insert(types.find("</Types>"), R"(<Override PartName="/word/header1.xml" ContentType=")" + type + "header+xml\"/>" +
                                             R"(<Override PartName="/word/footer1.xml" ContentType=")" + type + "footer+xml\"/>");
    entries.push_back({"word/_rels/document.xml.rels",
                       R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)" + rel +
                           R"(header" Id="rId7" Target="header1.xml"/>)" + rel + R"(footer" Id="rId8" Target="footer1.xml"/>)"
                           "</Relationships>"});
    entries.push_back({"word/header1.xml", "<w:hdr " + ns + ">" + headerBody + "</w:hdr>"});
    entries.push_back({"word/footer1.xml", "<w:ftr " + ns + ">" + footerBody + "</w:ftr>"});
    return test::zipBytes(entries);
}

const DataSource kStudents{{"USN", "Name", "dob1", "Percent1To6"},
                           {{"1RV22CS001", "asha rao", "05-11-2003", "72.5"},
                            {"1RV22CS002", "Ravi Kumar", "17-01-2004", "1234.567"},
                            {"1RV22CS003", "Meena", "", "60"}}};

struct Merged {
    std::string error;
    std::vector<std::string> unknown;
    std::unique_ptr<MergedDocx> docx;
};

Merged mergeBytes(const TempDir& dir, const std::string& bytes, const DataSource& data = kStudents)
{
    Merged result;
    auto tpl = MergeTemplate::loadBytes(bytes, result.error);
    if (!tpl)
        return result;
    tpl->makeMergeFields();
    auto compiled = tpl->compile(data.columns, result.unknown, result.error);
    if (!compiled)
        return result;
    const std::string out = dir.file("out.docx");
    if (compiled->write(data, 0, data.rows.size(), out, result.error))
        result.docx = std::make_unique<MergedDocx>(out);
    return result;
}

// Every record starts a new-page section with page numbers from one, whatever the template's section type.
TEST(MergeTemplate, FieldsSplitAcrossRunsInTablesTextBoxesHeadersAndFootersAreFilled)
{
    TempDir dir;
    const std::string body =
        p(R"(<w:r><w:t xml:space="preserve">Name: </w:t></w:r>)" + complexField({" MERGE", "FIELD ", " name ", "\\* Upper"})) +
        R"(<w:tbl><w:tr><w:tc><w:p>)" + simpleField(" MERGEFIELD USN ") + R"(</w:p></w:tc></w:tr></w:tbl>)" +
        p(R"(<w:r><w:drawing><wp:anchor xmlns:wp="http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing"><wp:docPr id="5" name="Box"/>)"
          R"(<w:txbxContent><w:p>)" + complexField({"MERGEFIELD dob1 \\@ \"d MMMM yyyy\""}) +
          R"(</w:p></w:txbxContent></wp:anchor></w:drawing></w:r>)") +
        p(R"(<w:bookmarkStart w:id="0" w:name="Top"/><w:r><w:t>end</w:t></w:r><w:bookmarkEnd w:id="0"/>)");
    const std::string header = p(simpleField(" MERGEFIELD Name \\* Caps "));
    const std::string footer = p(R"(<w:r><w:t xml:space="preserve">Page </w:t></w:r>)" + complexField({" PAGE "}, "1"));
    const Merged m = mergeBytes(dir, templateWithParts(body, header, footer));
    ASSERT_TRUE(m.docx) << m.error;
    test::expectValidPackage(*m.docx);

    const std::string text = m.docx->bodyText();
    EXPECT_NE(text.find("Name: ASHA RAO\n1RV22CS001\n5 November 2003\n\nend\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Name: RAVI KUMAR\n1RV22CS002\n17 January 2004\n\nend\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("MERGEFIELD"), std::string::npos);
    EXPECT_EQ(m.docx->sectionCount(), 3);
    const std::string xml = m.docx->part("word/document.xml");
    EXPECT_EQ(xml.find("continuous"), std::string::npos);
    size_t restarts = 0;
    for (size_t at = xml.find("w:start=\"1\""); at != std::string::npos; at = xml.find("w:start=\"1\"", at + 1))
        ++restarts;
    EXPECT_EQ(restarts, 3u);

    // The header with a field is written once per student, the footer with PAGE once and kept a field.
    EXPECT_NE(m.docx->part("word/header1.xml").find("Asha Rao"), std::string::npos);
    EXPECT_NE(m.docx->part("word/kyt_header1_3.xml").find("Meena"), std::string::npos);
    EXPECT_NE(m.docx->part("word/footer1.xml").find(" PAGE "), std::string::npos);
    EXPECT_FALSE(m.docx->parts.count("word/kyt_footer1_2.xml"));
}

TEST(MergeTemplate, BareNamesBecomeMergeFieldsButWordProcessorFieldsStay)
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
TEST(MergeTemplate, NestingPastTheLimitIsRefusedWithItsReason)
{
    std::string body = p(complexField({"MERGEFIELD Name"}));
    for (int i = 0; i < 12; ++i)
        body = "<w:customXml>" + body + "</w:customXml>";
    std::string error;
    EXPECT_FALSE(MergeTemplate::loadBytes(test::docxWithBody(body), error, {.maxDepth = 10}));
    EXPECT_NE(error.find("deeper than 10 levels"), std::string::npos) << error;
    EXPECT_TRUE(MergeTemplate::loadBytes(test::docxWithBody(body), error, {.maxDepth = 20})) << error;
}

TEST(MergeTemplate, NamesMatchWithoutLetterCaseAndUnknownColumnsAreFieldErrors)
{
    TempDir dir;
    const std::string body = p(simpleField("MERGEFIELD nAmE") + simpleField("MERGEFIELD Company") +
                               complexField({"MERGEFIELD company"}) + complexField({"MERGEFIELD Salary"}));
    const Merged m = mergeBytes(dir, test::docxWithBody(body));
    EXPECT_FALSE(m.docx);
    EXPECT_EQ(m.unknown, (std::vector<std::string>{"Company", "Salary"}));
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.docx")));
}

TEST(MergeTemplate, ResultKeepsTheFieldFormattingAndWritesValuesSafely)
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
