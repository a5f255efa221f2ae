#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <filesystem>
#include <regex>
#include <set>

#include "support/zip_bytes.h"
#include "template_builder.h"
#include "word/application.h"
#include "word/libreoffice.h"

namespace kyt::merge {
namespace {

using namespace test;

const DataSource kStudents{{"USN", "Name", "dob1", "Percent1To6"},
                           {{"1RV22CS001", "asha rao", "05-11-2003", "72.5"},
                            {"1RV22CS002", "Ravi Kumar", "17-01-2004", "1234.567"},
                            {"1RV22CS003", "Meena", "", "60"}}};

// Every record starts a new-page section with page numbers from one, whatever the template's section type.
TEST(CopyWriter, FieldsSplitAcrossRunsInTablesTextBoxesHeadersAndFootersAreFilled)
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
    const Merged m = mergeBytes(dir, templateWithParts(body, header, footer), kStudents);
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

std::string run(const std::string& text)
{
    return R"(<w:r><w:t xml:space="preserve">)" + text + "</w:t></w:r>";
}

// Values of the attribute `xpath` selects, in document order.
std::vector<std::string> values(const std::string& xml, const char* xpath)
{
    pugi::xml_document doc;
    doc.load_string(xml.c_str());
    std::vector<std::string> out;
    for (pugi::xpath_node n : doc.select_nodes(xpath))
        out.push_back(n.attribute().value());
    return out;
}

// Everything a company's format may hold beside plain fields: IF fields, notes, a comment, lists
// numbered directly and through a style, a header with a field.
TEST(CopyWriter, EachCopyHasItsOwnNotesListsAndConditionsAndNoComments)
{
    // An IF field with its code in pieces: "{...}" a merge field nested in it, the rest its own text.
    const auto ifField = [](const std::vector<std::string>& pieces) {
        std::string xml = R"(<w:r><w:fldChar w:fldCharType="begin"/></w:r>)";
        for (const std::string& piece : pieces)
            xml += piece[0] == '{' ? complexField({piece.substr(1, piece.size() - 2)})
                                   : R"(<w:r><w:instrText xml:space="preserve">)" + piece + "</w:instrText></w:r>";
        return xml + R"(<w:r><w:fldChar w:fldCharType="separate"/></w:r><w:r><w:t>old</w:t></w:r>)"
                     R"(<w:r><w:fldChar w:fldCharType="end"/></w:r>)";
    };
    const std::string item = R"(<w:p><w:pPr><w:numPr><w:ilvl w:val="0"/><w:numId w:val="1"/></w:numPr></w:pPr>)";
    const std::string step = R"(<w:p><w:pPr><w:pStyle w:val="Step"/></w:pPr>)";
    const std::string body =
        p(run("Student: ") + complexField({"MERGEFIELD Name"})) + item + run("Skill one") + "</w:p>" + item +
        run("Skill two") + "</w:p>" + step + run("Step one") + "</w:p>" + step + run("Step two") + "</w:p>" +
        p(run("Greeting: ") + ifField({" IF ", "{MERGEFIELD Gender}", R"( = "F" "Ms." "Mr." )"}) + run(" ") +
          complexField({"MERGEFIELD Name"})) +
        p(run("Rank: ") + ifField({" IF ", "{MERGEFIELD CET}", R"( &lt;&gt; "" "CET rank )", "{MERGEFIELD CET}", R"(" "none")"})) +
        p(R"(<w:commentRangeStart w:id="0"/>)" + run("Reviewed") + R"(<w:commentRangeEnd w:id="0"/>)"
          R"(<w:r><w:commentReference w:id="0"/></w:r>)") +
        p(run("Notes") + R"(<w:r><w:footnoteReference w:id="1"/></w:r><w:r><w:endnoteReference w:id="1"/></w:r>)") +
        R"(<w:sectPr><w:headerReference w:type="default" r:id="rId10"/></w:sectPr>)";
    const std::string separators = R"(<w:footnote w:type="separator" w:id="-1"><w:p><w:r><w:separator/></w:r></w:p></w:footnote>)"
                                   R"(<w:footnote w:type="continuationSeparator" w:id="0"><w:p><w:r><w:continuationSeparator/></w:r></w:p></w:footnote>)";
    std::string endSeparators = std::regex_replace(separators, std::regex("footnote"), "endnote");
    const std::string level = R"(<w:lvl w:ilvl="0"><w:start w:val="1"/><w:numFmt w:val="decimal"/><w:lvlText w:val="%1."/></w:lvl>)";
    TempDir dir;
    const Merged m = mergeBytes(
        dir,
        templateWith(body,
                     {{"word/header1.xml", "header", "header", wordXml("hdr", p(run("Header ") + simpleField("MERGEFIELD USN")))},
                      {"word/footnotes.xml", "footnotes", "footnotes",
                       wordXml("footnotes", separators + R"(<w:footnote w:id="1">)" +
                                                p(run("Note for ") + complexField({"MERGEFIELD Name"})) + "</w:footnote>")},
                      {"word/endnotes.xml", "endnotes", "endnotes",
                       wordXml("endnotes", endSeparators + R"(<w:endnote w:id="1">)" +
                                               p(run("End of ") + simpleField("MERGEFIELD USN")) + "</w:endnote>")},
                      {"word/comments.xml", "comments", "comments",
                       wordXml("comments", R"(<w:comment w:id="0" w:author="HR">)" + p(run("Check this")) + "</w:comment>")},
                      {"word/numbering.xml", "numbering", "numbering",
                       wordXml("numbering", R"(<w:abstractNum w:abstractNumId="0">)" + level +
                                                R"(</w:abstractNum><w:abstractNum w:abstractNumId="1">)" + level +
                                                R"(</w:abstractNum><w:num w:numId="1"><w:abstractNumId w:val="0"/></w:num>)"
                                                R"(<w:num w:numId="2"><w:abstractNumId w:val="1"/></w:num>)")},
                      {"word/styles.xml", "styles", "styles",
                       wordXml("styles", R"(<w:style w:type="paragraph" w:styleId="Step"><w:name w:val="Step"/>)"
                                         R"(<w:pPr><w:numPr><w:numId w:val="2"/></w:numPr></w:pPr></w:style>)")}}),
        DataSource{{"USN", "Name", "Gender", "CET"},
                   {{"1RV22CS001", "Asha Rao", "F", "1234"}, {"1RV22CS002", "Ravi Kumar", "M", ""}, {"1RV22CS003", "Meena", "F", "88"}}});
    ASSERT_TRUE(m.docx) << m.error;
    test::expectValidPackage(*m.docx);
    const std::string text = m.docx->bodyText();
    for (const char* shown : {"Greeting: Ms. Asha Rao\nRank: CET rank 1234\n", "Greeting: Mr. Ravi Kumar\nRank: none\n"})
        EXPECT_NE(text.find(shown), std::string::npos) << text;
    EXPECT_EQ(text.find("old"), std::string::npos) << "the saved result of an IF field is no result";

    // One note of each kind per copy, each referred to from its own copy, separators once.
    for (const auto& [notes, name, shown] : {std::tuple{"word/footnotes.xml", "footnote", "Note for Meena"},
                                             std::tuple{"word/endnotes.xml", "endnote", "End of 1RV22CS002"}}) {
        const std::string part = m.docx->part(notes);
        const std::vector<std::string> ids = values(part, ("//w:" + std::string(name) + "[not(@w:type)]/@w:id").c_str());
        EXPECT_EQ(ids.size(), 3u) << notes;
        EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), 3u) << notes;
        EXPECT_EQ(values(m.docx->part("word/document.xml"), ("//w:" + std::string(name) + "Reference/@w:id").c_str()), ids);
        EXPECT_EQ(values(part, "//*[@w:type='separator']/@w:id").size(), 1u);
        EXPECT_NE(m.docx->text(notes).find(shown), std::string::npos) << m.docx->text(notes);
    }
    // Comments are the template author's: none reach the students' document.
    for (const auto& [name, bytes] : m.docx->parts)
        EXPECT_EQ(bytes.find("comment"), std::string::npos) << name;

    // Each copy numbers its lists from one: instances of its own, starting again.
    const std::vector<std::string> lists = values(m.docx->part("word/document.xml"), "//w:numId/@w:val");
    ASSERT_EQ(lists.size(), 12u);
    EXPECT_EQ(std::vector<std::string>(lists.begin(), lists.begin() + 4), (std::vector<std::string>{"1", "1", "2", "2"}));
    EXPECT_EQ(std::set<std::string>(lists.begin(), lists.end()).size(), 6u);
    EXPECT_EQ(values(m.docx->part("word/numbering.xml"), "//w:num/w:lvlOverride/w:startOverride/@w:val"),
              std::vector<std::string>(4, "1"));

    if (!word::Application::libreOfficeAvailable())
        GTEST_SKIP() << "LibreOffice is not installed: the merged document was not opened";
    ASSERT_TRUE(test::libreOfficeConvert({dir.file("out.docx")}, "pdf", dir.path().string(), dir.file("profile")));
    const std::string pdf = test::pdfText(dir.file("out.pdf"));
    if (pdf.empty())
        GTEST_SKIP() << "pdftotext is not installed: the PDF was not read";
    // What a reader sees, copy by copy: header, greeting, lists from 1, the copy's own notes.
    const std::regex copy(R"(Header (\S+)[^]*?Student: (.+)\n[^]*?1\.\s*Skill one\s+2\.\s*Skill two\s+1\.\s*Step one\s+2\.\s*Step two\s+)"
                          R"(Greeting: (\S+)[^]*?Note for (.+)\n)");
    std::vector<std::string> seen;
    for (auto it = std::sregex_iterator(pdf.begin(), pdf.end(), copy); it != std::sregex_iterator(); ++it)
        seen.push_back((*it)[1].str() + " " + (*it)[2].str() + " " + (*it)[3].str() + " " + (*it)[4].str());
    EXPECT_EQ(seen, (std::vector<std::string>{"1RV22CS001 Asha Rao Ms. Asha Rao", "1RV22CS002 Ravi Kumar Mr. Ravi Kumar",
                                              "1RV22CS003 Meena Ms. Meena"}))
        << pdf;
}

}  // namespace
}  // namespace kyt::merge
