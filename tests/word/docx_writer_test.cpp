#include "word/docx_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"
#include "word/application.h"
#include "word/document.h"

using kyt::test::TempDir;
using kyt::word::Align;
using kyt::word::Document;
using kyt::word::DocxWriter;
namespace fs = std::filesystem;

namespace {

// The results of a query written as the saving window does: title, bold heading row, an empty row,
// the students; a page break and the same again for the next branch.
DocxWriter branchPages()
{
    DocxWriter writer;
    writer.addParagraph("Students placed in 2026", Align::Centre, true);
    writer.addParagraph("", Align::Centre);
    writer.addTable({{"USN", "Name", "Email"}, {}, {"1QP22CS001", "Asha Rao", "asha@example.com"}});
    writer.addPageBreak();
    writer.addParagraph("Students placed in 2026", Align::Centre);
    writer.addTable({{"USN", "Name", "Email"}, {}, {"1QP22EC001", "Kiran", "kiran@example.com"}});
    // Markup characters, a tab, a control character, a byte that is not UTF-8 (a Latin-1 é), a short row.
    writer.addTable({{"<b>R&D</b> \"q\"", std::string("a\tb\x01") + "caf\xE9", "line1\nline2"}, {"d"}}, false);
    writer.addTable({});
    writer.addTable({{}, {}});
    return writer;
}

}  // namespace

TEST(DocxWriter, WritesWhatTheReaderReadsBack)
{
    TempDir dir;
    const DocxWriter writer = branchPages();
    std::string error;
    ASSERT_TRUE(writer.save(dir.file("out.docx"), error)) << error;
    auto doc = Document::open(dir.file("out.docx"), error);
    ASSERT_TRUE(doc) << error;
    ASSERT_EQ(doc->tableCount(), 3) << "tables one after another stay apart; empty ones are not written";
    using Row = std::vector<std::string>;
    EXPECT_EQ(*doc->row(1, 1), (Row{"USN\r\a", "Name\r\a", "Email\r\a"}));
    EXPECT_EQ(*doc->row(1, 2), (Row{"\r\a", "\r\a", "\r\a"}));
    EXPECT_EQ(*doc->row(3, 1), (Row{"<b>R&D</b> \"q\"\r\a", "a\tbcaf\xEF\xBF\xBD\r\a", "line1\rline2\r\a"}));
    EXPECT_EQ(*doc->row(3, 2), (Row{"d\r\a", "\r\a", "\r\a"}));

    // Bold, centring and page breaks are read back where the saved results are; two tables with nothing
    // between them would be joined into one by the word processor, which the reader cannot see.
    EXPECT_NE(writer.bodyXml().find("</w:tbl><w:p/><w:tbl>"), std::string::npos);
    // Columns share the page by their longest text (at least four characters' worth): the e-mail column is
    // the widest: 10, 8 and 16 characters share the 9638 twips of the page.
    EXPECT_NE(writer.bodyXml().find(R"(<w:tblGrid><w:gridCol w:w="2834"/><w:gridCol w:w="2267"/><w:gridCol w:w="4535"/>)"),
              std::string::npos) << writer.bodyXml().substr(0, 900);
}

// LibreOffice accepts the documents as a batch shared among its processes, a page break making a page.
TEST(DocxWriter, LibreOfficeConvertsTheDocumentToPdf)
{
    if (!kyt::word::Application::libreOfficeAvailable())
        GTEST_SKIP() << "LibreOffice is not installed, so the document cannot be converted";
    TempDir dir;
    std::string error;
    ASSERT_TRUE(branchPages().save(dir.file("portrait.docx"), error)) << error;
    auto app = kyt::word::Application::start(error);
    ASSERT_TRUE(app) << error;
    app->maxConversionProcesses = 2;
    fs::create_directories(dir.path() / "pdf");
    const auto failures = app->convertToPdf({dir.file("portrait.docx"), dir.file("gone.docx")}, dir.file("pdf"));
    EXPECT_EQ(failures, (std::vector<std::string>{"", "LibreOffice could not make a PDF of the document."}));
    const std::string pdf = kyt::test::readFile(dir.file("pdf/portrait.pdf"));
    EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
    EXPECT_NE(pdf.find("/Count 2"), std::string::npos) << "two branches, two pages";
}
