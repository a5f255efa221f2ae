#include <gtest/gtest.h>

#include "support/zip_bytes.h"
#include "template_builder.h"

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

}  // namespace
}  // namespace kyt::merge
