#include "word/docx_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "libreoffice.h"
#include "support/temp_dir.h"
#include "support/unprivileged.h"
#include "word/application.h"
#include "word/document.h"

using kyt::test::TempDir;
using kyt::word::Align;
using kyt::word::Document;
using kyt::word::DocxWriter;
namespace fs = std::filesystem;

namespace {

std::unique_ptr<Document> saveAndRead(const DocxWriter& writer, const TempDir& dir, const std::string& name = "out.docx")
{
    std::string error;
    EXPECT_TRUE(writer.save(dir.file(name), error)) << error;
    auto doc = Document::open(dir.file(name), error);
    EXPECT_TRUE(doc) << error;
    return doc;
}

size_t count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// The results of a query written as the saving window does: title, bold heading row, an empty row,
// the students; a page break and the same again for the next branch.
DocxWriter branchPages()
{
    DocxWriter writer;
    writer.addParagraph("Students placed in 2026", Align::Centre);
    writer.addParagraph("", Align::Centre);
    writer.addParagraph("", Align::Centre);
    writer.addTable({{"USN", "Name", "Email"}, {}, {"1QP22CS001", "Asha Rao", "asha@example.com"}});
    writer.addPageBreak();
    writer.addParagraph("Students placed in 2026", Align::Centre);
    writer.addParagraph("", Align::Centre);
    writer.addTable({{"USN", "Name", "Email"}, {}, {"1QP22EC001", "Kiran", "kiran@example.com"}});
    return writer;
}

}  // namespace

TEST(DocxWriter, TablesReadBackCellForCell)
{
    TempDir dir;
    auto doc = saveAndRead(branchPages(), dir);
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->tableCount(), 2);
    EXPECT_EQ(*doc->row(1, 1), (std::vector<std::string>{"USN\r\a", "Name\r\a", "Email\r\a"}));
    EXPECT_EQ(*doc->row(1, 2), (std::vector<std::string>{"\r\a", "\r\a", "\r\a"}));
    EXPECT_EQ(*doc->row(2, 3), (std::vector<std::string>{"1QP22EC001\r\a", "Kiran\r\a", "kiran@example.com\r\a"}));
}

TEST(DocxWriter, HeadingRowIsBoldAndTheOthersAreNot)
{
    DocxWriter writer;
    writer.addTable({{"Head"}, {"Body"}});
    const std::string xml = writer.bodyXml();
    const size_t secondRow = xml.find("<w:tr>", xml.find("<w:tr>") + 1);
    ASSERT_NE(secondRow, std::string::npos);
    EXPECT_NE(xml.substr(0, secondRow).find("<w:b/>"), std::string::npos);
    EXPECT_EQ(xml.substr(secondRow).find("<w:b/>"), std::string::npos);

    DocxWriter plain;
    plain.addTable({{"Head"}, {"Body"}}, false);
    EXPECT_EQ(plain.bodyXml().find("<w:b/>"), std::string::npos);
}

TEST(DocxWriter, ParagraphsKeepAlignmentAndBoldness)
{
    DocxWriter writer;
    writer.addParagraph("Centred", Align::Centre, true);
    writer.addParagraph("Left");
    const std::string xml = writer.bodyXml();
    EXPECT_EQ(count(xml, R"(<w:jc w:val="center"/>)"), 1u);
    EXPECT_EQ(count(xml, "<w:b/>"), 1u);
    EXPECT_EQ(count(writer.bodyXml(), "<w:p>"), 2u);
}

TEST(DocxWriter, RowsShorterThanTheTableAreFilledWithEmptyCells)
{
    TempDir dir;
    DocxWriter writer;
    writer.addTable({{"a", "b", "c"}, {"d"}});
    auto doc = saveAndRead(writer, dir);
    ASSERT_TRUE(doc);
    EXPECT_EQ(*doc->row(1, 2), (std::vector<std::string>{"d\r\a", "\r\a", "\r\a"}));
}

TEST(DocxWriter, TablesWrittenOneAfterAnotherStayTwoTables)
{
    TempDir dir;
    DocxWriter writer;
    writer.addTable({{"first"}});
    writer.addTable({{"second"}});
    EXPECT_NE(writer.bodyXml().find("</w:tbl><w:p/><w:tbl>"), std::string::npos);
    auto doc = saveAndRead(writer, dir);
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->tableCount(), 2);
}

TEST(DocxWriter, PageBreaksAreWritten)
{
    EXPECT_EQ(count(branchPages().bodyXml(), R"(<w:br w:type="page"/>)"), 1u);
}

TEST(DocxWriter, TextIsEscapedAndBadBytesCannotSpoilTheFile)
{
    TempDir dir;
    DocxWriter writer;
    // Markup characters, a tab, a control character and a byte that is not UTF-8 (a Latin-1 é).
    writer.addTable({{"<b>R&D</b> \"q\"", std::string("a\tb\x01") + "caf\xE9", "line1\nline2"}});
    auto doc = saveAndRead(writer, dir);
    ASSERT_TRUE(doc);
    EXPECT_EQ((*doc->row(1, 1))[0], "<b>R&D</b> \"q\"\r\a");
    EXPECT_EQ((*doc->row(1, 1))[1], "a\tbcaf\xEF\xBF\xBD\r\a");
    EXPECT_EQ((*doc->row(1, 1))[2], "line1\rline2\r\a");
}

TEST(DocxWriter, EmptyTableWritesNothing)
{
    DocxWriter writer;
    writer.addTable({});
    writer.addTable({{}, {}});
    EXPECT_EQ(writer.bodyXml(), "");
}

TEST(DocxWriter, SaveReportsAFolderItCannotWriteTo)
{
    DocxWriter writer;
    writer.addParagraph("x");
    std::string error;
    EXPECT_FALSE(writer.save("/nonexistent-folder/out.docx", error));
    EXPECT_NE(error.find("/nonexistent-folder/out.docx"), std::string::npos) << error;
}

TEST(DocxWriter, SaveLeavesNoHalfWrittenFileInAReadOnlyFolder)
{
    TempDir dir;
    fs::create_directories(dir.path() / "locked");
    chmod(dir.file("locked").c_str(), 0555);
    kyt::test::reachableFor(dir.file("locked"));
    const DocxWriter writer = branchPages();
    // 0: refused with the path named; 1: saved; 2: refused without the path.
    const int result = kyt::test::runUnprivileged([&] {
        std::string error;
        if (writer.save(dir.file("locked/out.docx"), error))
            return 1;
        return error.find("out.docx") != std::string::npos ? 0 : 2;
    });
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(fs::exists(dir.file("locked/out.docx")));
}

TEST(DocxWriter, LibreOfficeConvertsTheDocumentToPdf)
{
    if (!kyt::word::Application::libreOfficeAvailable())
        GTEST_SKIP() << "LibreOffice is not installed, so the document cannot be converted";
    TempDir dir;
    DocxWriter wide = branchPages();
    wide.landscape = true;
    wide.title = "Selection";
    std::string error;
    ASSERT_TRUE(branchPages().save(dir.file("portrait.docx"), error)) << error;
    ASSERT_TRUE(wide.save(dir.file("landscape.docx"), error)) << error;
    fs::create_directories(dir.path() / "pdf");
    ASSERT_TRUE(kyt::test::libreOfficeConvert({dir.file("portrait.docx"), dir.file("landscape.docx")}, "pdf",
                                              dir.file("pdf"), dir.file("profile")));
    for (const char* name : {"pdf/portrait.pdf", "pdf/landscape.pdf"}) {
        const std::string pdf = kyt::test::readFile(dir.file(name));
        ASSERT_GT(pdf.size(), 1000u) << name;
        EXPECT_EQ(pdf.substr(0, 5), "%PDF-") << name;
        // Two branches, two pages.
        EXPECT_NE(pdf.find("/Count 2"), std::string::npos) << name;
    }
}
