#include "word/document.h"

#include <gtest/gtest.h>

#include "docx_builder.h"

using kyt::word::Document;
using namespace kyt::test;

namespace {

std::unique_ptr<Document> openBody(const std::string& body)
{
    std::string error;
    auto doc = Document::openBytes(docxWithBody(body), error);
    EXPECT_TRUE(doc) << error;
    return doc;
}

// The cells of row 1 of table 1.
std::vector<std::string> firstRow(const std::string& body)
{
    auto doc = openBody(body);
    if (!doc || !doc->row(1, 1))
        return {"<no row>"};
    return *doc->row(1, 1);
}

std::string tcWith(const std::string& content, const std::string& props = {})
{
    return "<w:tc>" + (props.empty() ? std::string() : "<w:tcPr>" + props + "</w:tcPr>") + content + "</w:tc>";
}

std::string oneCellTable(const std::string& cellContent)
{
    return "<w:tbl><w:tr>" + tcWith(cellContent) + "</w:tr></w:tbl>";
}

std::string run(const std::string& text)
{
    return "<w:r><w:t xml:space=\"preserve\">" + text + "</w:t></w:r>";
}

}  // namespace

TEST(Document, CellTextIsParagraphsEndedByCarriageReturnAndTheCellEndsWithBell)
{
    EXPECT_EQ(firstRow(oneCellTable(para("first") + para("second")))[0], "first\rsecond\r\a");
    EXPECT_EQ(firstRow(oneCellTable("<w:p/>"))[0], "\r\a");
    EXPECT_EQ(firstRow(oneCellTable(""))[0], "\r\a");
}

TEST(Document, TablesRowsAndCellsAreCountedFromOneInDocumentOrder)
{
    auto doc = openBody(para("title") + table({{"a", "b"}, {"c"}}) + para("between") + table({{"x"}}));
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->tableCount(), 2);
    EXPECT_EQ(*doc->row(1, 1), (std::vector<std::string>{"a\r\a", "b\r\a"}));
    EXPECT_EQ(*doc->row(1, 2), (std::vector<std::string>{"c\r\a"}));
    EXPECT_EQ(*doc->row(2, 1), (std::vector<std::string>{"x\r\a"}));
    EXPECT_EQ(doc->row(1, 3), nullptr);
    EXPECT_EQ(doc->row(3, 1), nullptr);
    EXPECT_EQ(doc->row(0, 1), nullptr);
    EXPECT_EQ(doc->row(1, 0), nullptr);
    EXPECT_EQ(doc->table(3), nullptr);
}

TEST(Document, EmptyBodyHasNoTables)
{
    auto doc = openBody(para("only text"));
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->tableCount(), 0);
}

struct CellCase {
    const char* what;
    std::string content;  // children of the one cell
    std::string expected;
};

void PrintTo(const CellCase& c, std::ostream* os)
{
    *os << c.what;
}

class CellText : public testing::TestWithParam<CellCase> {};

TEST_P(CellText, ReadsAsTheWordProcessorShowsIt)
{
    EXPECT_EQ(firstRow(oneCellTable(GetParam().content))[0], GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Runs, CellText,
    testing::Values(
        CellCase{"text split over runs", "<w:p>" + run("Ka") + run("rna") + run("taka") + "</w:p>", "Karnataka\r\a"},
        CellCase{"tab", "<w:p><w:r><w:t>a</w:t><w:tab/><w:t>b</w:t></w:r></w:p>", "a\tb\r\a"},
        CellCase{"manual line break is a paragraph end", "<w:p><w:r><w:t>a</w:t><w:br/><w:t>b</w:t></w:r></w:p>",
                 "a\rb\r\a"},
        CellCase{"carriage return element", "<w:p><w:r><w:t>a</w:t><w:cr/><w:t>b</w:t></w:r></w:p>", "a\rb\r\a"},
        CellCase{"non-breaking hyphen", "<w:p><w:r><w:t>a</w:t><w:noBreakHyphen/><w:t>b</w:t></w:r></w:p>", "a-b\r\a"},
        CellCase{"entities and non-ASCII", "<w:p>" + run("R&amp;D &lt;ಕನ್ನಡ&gt; é") + "</w:p>", "R&D <ಕನ್ನಡ> é\r\a"},
        CellCase{"whitespace-only text kept", "<w:p>" + run("a") + run(" ") + run("b") + "</w:p>", "a b\r\a"},
        CellCase{"hidden text not shown", "<w:p>" + run("shown") + "<w:r><w:rPr><w:vanish/></w:rPr><w:t>hidden</w:t></w:r></w:p>",
                 "shown\r\a"},
        CellCase{"hidden switched off is shown",
                 "<w:p><w:r><w:rPr><w:vanish w:val=\"0\"/></w:rPr><w:t>seen</w:t></w:r></w:p>", "seen\r\a"},
        CellCase{"proofing marks and bookmarks ignored",
                 "<w:p><w:proofErr w:type=\"spellStart\"/><w:bookmarkStart w:id=\"0\" w:name=\"_GoBack\"/>" + run("ab") +
                     "<w:bookmarkEnd w:id=\"0\"/><w:proofErr w:type=\"spellEnd\"/></w:p>",
                 "ab\r\a"},
        CellCase{"drawings and text boxes are not cell text",
                 "<w:p>" + run("a") +
                     "<w:r><mc:AlternateContent><mc:Choice Requires=\"wps\"><w:drawing><w:txbxContent>" + para("box") +
                     "</w:txbxContent></w:drawing></mc:Choice><mc:Fallback><w:pict><w:txbxContent>" + para("box") +
                     "</w:txbxContent></w:pict></mc:Fallback></mc:AlternateContent></w:r></w:p>",
                 "a\r\a"}));

INSTANTIATE_TEST_SUITE_P(
    Wrappers, CellText,
    testing::Values(
        CellCase{"hyperlink", "<w:p><w:hyperlink r:id=\"rId5\">" + run("example.com") + "</w:hyperlink></w:p>",
                 "example.com\r\a"},
        CellCase{"smart tag", "<w:p><w:smartTag w:uri=\"urn:schemas\" w:element=\"City\">" + run("Mysuru") +
                                  "</w:smartTag>" + run(", India") + "</w:p>",
                 "Mysuru, India\r\a"},
        CellCase{"nested smart tags", "<w:p><w:smartTag w:element=\"place\"><w:smartTag w:element=\"City\">" +
                                          run("Udupi") + "</w:smartTag></w:smartTag></w:p>",
                 "Udupi\r\a"},
        CellCase{"run-level content control",
                 "<w:p><w:sdt><w:sdtPr><w:alias w:val=\"Name\"/></w:sdtPr><w:sdtContent>" + run("Asha") +
                     "</w:sdtContent></w:sdt></w:p>",
                 "Asha\r\a"},
        CellCase{"block-level content control in the cell",
                 "<w:sdt><w:sdtPr/><w:sdtContent>" + para("inside") + "</w:sdtContent></w:sdt>", "inside\r\a"},
        CellCase{"custom XML wrapper", "<w:p><w:customXml w:element=\"usn\">" + run("1QP22CS001") + "</w:customXml></w:p>",
                 "1QP22CS001\r\a"}));

INSTANTIATE_TEST_SUITE_P(
    Revisions, CellText,
    testing::Values(
        CellCase{"inserted text counts", "<w:p>" + run("a") + "<w:ins w:id=\"1\" w:author=\"x\">" + run("b") +
                                             "</w:ins></w:p>",
                 "ab\r\a"},
        CellCase{"deleted text does not", "<w:p>" + run("a") +
                                              "<w:del w:id=\"1\" w:author=\"x\"><w:r><w:delText>gone</w:delText></w:r></w:del>" +
                                              run("b") + "</w:p>",
                 "ab\r\a"},
        CellCase{"moved-away text does not, moved-here text does",
                 "<w:p><w:moveFrom w:id=\"1\">" + run("old") + "</w:moveFrom><w:moveTo w:id=\"2\">" + run("new") +
                     "</w:moveTo></w:p>",
                 "new\r\a"},
        CellCase{"deleted paragraph mark joins the paragraphs",
                 "<w:p><w:pPr><w:rPr><w:del w:id=\"3\" w:author=\"x\"/></w:rPr></w:pPr>" + run("one") + "</w:p>" +
                     para("two"),
                 "onetwo\r\a"}));

INSTANTIATE_TEST_SUITE_P(
    Fields, CellText,
    testing::Values(
        CellCase{"complex field shows its result, not its code",
                 "<w:p><w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText> MERGEFIELD Name </w:instrText></w:r>"
                 "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>" +
                     run("«Name»") + "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>" + run(" after") + "</w:p>",
                 "«Name» after\r\a"},
        CellCase{"field code split over runs with tabs is hidden",
                 "<w:p><w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText>HYPER</w:instrText></w:r>"
                 "<w:r><w:tab/><w:instrText>LINK \"x\"</w:instrText></w:r><w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>" +
                     run("link") + "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r></w:p>",
                 "link\r\a"},
        CellCase{"nested field inside a code shows only the outer result",
                 "<w:p><w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText>IF </w:instrText></w:r>"
                 "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText>MERGEFIELD x</w:instrText></w:r>"
                 "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>" +
                     run("inner") +
                     "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r><w:r><w:instrText> = 1 \"y\"</w:instrText></w:r>"
                     "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>" +
                     run("outer") + "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r></w:p>",
                 "outer\r\a"},
        CellCase{"field without a result shows nothing",
                 "<w:p><w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText>FORMCHECKBOX</w:instrText></w:r>"
                 "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>" +
                     run("Yes") + "</w:p>",
                 "Yes\r\a"},
        CellCase{"simple field shows its result",
                 "<w:p><w:fldSimple w:instr=\" FILENAME \">" + run("resume.docx") + "</w:fldSimple></w:p>",
                 "resume.docx\r\a"}));

TEST(Document, FieldLeftOpenInOneCellDoesNotHideTheNext)
{
    const std::string broken = tcWith("<w:p><w:r><w:fldChar w:fldCharType=\"begin\"/></w:r>" + run("code") + "</w:p>");
    auto cells = firstRow("<w:tbl><w:tr>" + broken + cell("next") + "</w:tr></w:tbl>");
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(cells[0], "\r\a");
    EXPECT_EQ(cells[1], "next\r\a");
}

TEST(Document, HorizontallyMergedCellIsOneCell)
{
    auto cells = firstRow("<w:tbl><w:tr>" + tcWith(para("wide"), "<w:gridSpan w:val=\"3\"/>") + cell("next") +
                          "</w:tr></w:tbl>");
    EXPECT_EQ(cells, (std::vector<std::string>{"wide\r\a", "next\r\a"}));
}

TEST(Document, OlderHorizontalMergeIsOneCell)
{
    auto cells = firstRow("<w:tbl><w:tr>" + tcWith(para("wide"), "<w:hMerge w:val=\"restart\"/>") +
                          tcWith("<w:p/>", "<w:hMerge/>") + tcWith("<w:p/>", "<w:hMerge w:val=\"continue\"/>") +
                          cell("next") + "</w:tr></w:tbl>");
    EXPECT_EQ(cells, (std::vector<std::string>{"wide\r\a", "next\r\a"}));
}

TEST(Document, CellContinuingVerticalMergeReadsEmptyAndKeepsItsPlace)
{
    auto doc = openBody("<w:tbl><w:tr>" + tcWith(para("tall"), "<w:vMerge w:val=\"restart\"/>") + cell("b1") +
                        "</w:tr><w:tr>" + tcWith(para("stale"), "<w:vMerge/>") + cell("b2") + "</w:tr><w:tr>" +
                        tcWith(para("stale"), "<w:vMerge w:val=\"continue\"/>") + cell("b3") + "</w:tr></w:tbl>");
    ASSERT_TRUE(doc);
    EXPECT_EQ(*doc->row(1, 1), (std::vector<std::string>{"tall\r\a", "b1\r\a"}));
    EXPECT_EQ(*doc->row(1, 2), (std::vector<std::string>{"\r\a", "b2\r\a"}));
    EXPECT_EQ(*doc->row(1, 3), (std::vector<std::string>{"\r\a", "b3\r\a"}));
}

TEST(Document, NestedTableIsPartOfItsCellNotATableOfItsOwn)
{
    const std::string nested = table({{"n1", "n2"}, {"n3"}});
    auto doc = openBody("<w:tbl><w:tr>" + tcWith(para("Before.") + nested + para("After.")) + cell("next") +
                        "</w:tr></w:tbl>");
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->tableCount(), 1);
    // Each nested cell ends with CR BEL and so does each nested row, as the word processor reports it.
    EXPECT_EQ((*doc->row(1, 1))[0], "Before.\rn1\r\an2\r\a\r\an3\r\a\r\aAfter.\r\a");
    EXPECT_EQ((*doc->row(1, 1))[1], "next\r\a");
}

TEST(Document, DeletedRowsAndCellsDoNotCountInsertedOnesDo)
{
    auto doc = openBody("<w:tbl>" + row({"keep"}) +
                        "<w:tr><w:trPr><w:del w:id=\"1\" w:author=\"x\"/></w:trPr>" + cell("gone") + "</w:tr>" +
                        "<w:tr><w:trPr><w:ins w:id=\"2\" w:author=\"x\"/></w:trPr>" + cell("new") + "</w:tr>" +
                        "<w:tr>" + tcWith(para("dead"), "<w:cellDel w:id=\"3\" w:author=\"x\"/>") + cell("alive") +
                        "</w:tr></w:tbl>");
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->table(1)->rows.size(), 3u);
    EXPECT_EQ(*doc->row(1, 2), (std::vector<std::string>{"new\r\a"}));
    EXPECT_EQ(*doc->row(1, 3), (std::vector<std::string>{"alive\r\a"}));
}

TEST(Document, TablesInsideContentControlsAndRowAndCellControlsAreRead)
{
    auto doc = openBody("<w:sdt><w:sdtPr/><w:sdtContent><w:tbl>"
                        "<w:sdt><w:sdtPr/><w:sdtContent>" + row({"r1"}) + "</w:sdtContent></w:sdt>"
                        "<w:tr><w:sdt><w:sdtPr/><w:sdtContent>" + cell("c1") + "</w:sdtContent></w:sdt>" + cell("c2") +
                        "</w:tr></w:tbl></w:sdtContent></w:sdt>");
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->tableCount(), 1);
    EXPECT_EQ(*doc->row(1, 1), (std::vector<std::string>{"r1\r\a"}));
    EXPECT_EQ(*doc->row(1, 2), (std::vector<std::string>{"c1\r\a", "c2\r\a"}));
}

TEST(Document, ReadsDocumentsWhoseNamespaceHasAnotherPrefix)
{
    std::string body = "<x:tbl><x:tr><x:tc><x:p><x:r><x:t>odd</x:t></x:r></x:p></x:tc></x:tr></x:tbl>";
    auto entries = docxEntries("");
    entries[2].bytes = documentXml(body, "x");
    std::string error;
    auto doc = Document::openBytes(zipBytes(entries), error);
    ASSERT_TRUE(doc) << error;
    EXPECT_EQ((*doc->row(1, 1))[0], "odd\r\a");
}

TEST(Document, FindsTheMainPartThroughThePackageRelationships)
{
    auto entries = docxEntries(table({{"moved"}}));
    entries[1].bytes =
        R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="/word/main.xml"/></Relationships>)";
    entries[2].name = "word/main.xml";
    std::string error;
    auto doc = Document::openBytes(zipBytes(entries), error);
    ASSERT_TRUE(doc) << error;
    EXPECT_EQ((*doc->row(1, 1))[0], "moved\r\a");
}

TEST(Document, OpensFromAFileAndReportsAMissingOne)
{
    std::string error;
    EXPECT_EQ(Document::open("/nonexistent/folder/resume.docx", error), nullptr);
    EXPECT_EQ(error, "The file cannot be opened.");
}

TEST(Document, RefusesFoldersAndDevicesWithoutReadingThem)
{
    std::string error;
    EXPECT_EQ(Document::open("/", error), nullptr);
    EXPECT_EQ(error, "It is not a document file.");
    EXPECT_EQ(Document::open("/dev/zero", error), nullptr);  // endless: must not be read
    EXPECT_EQ(error, "It is not a document file.");
}
