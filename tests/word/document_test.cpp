#include "word/document.h"

#include <gtest/gtest.h>

#include "support/zip_bytes.h"

using kyt::word::Document;
using namespace kyt::test;

namespace {

using Rows = std::vector<std::vector<std::string>>;

std::string run(const std::string& text)
{
    return "<w:r><w:t xml:space=\"preserve\">" + text + "</w:t></w:r>";
}
std::string para(const std::string& text)
{
    return "<w:p>" + run(text) + "</w:p>";
}
std::string tc(const std::string& content, const std::string& props = {})
{
    return "<w:tc>" + (props.empty() ? std::string() : "<w:tcPr>" + props + "</w:tcPr>") + content + "</w:tc>";
}
std::string tr(const std::string& cells, const std::string& props = {})
{
    return "<w:tr>" + (props.empty() ? std::string() : "<w:trPr>" + props + "</w:trPr>") + cells + "</w:tr>";
}
std::string tbl(const std::string& rows)
{
    return "<w:tbl>" + rows + "</w:tbl>";
}
std::string field(const char* type)
{
    return std::string("<w:r><w:fldChar w:fldCharType=\"") + type + "\"/></w:r>";
}
std::string code(const std::string& text)
{
    return "<w:r><w:instrText>" + text + "</w:instrText></w:r>";
}

// Every table of the document as rows of cell texts, each cell without its closing CR BEL.
std::vector<Rows> tablesOf(const std::string& bytes)
{
    std::string error;
    auto doc = Document::openBytes(bytes, error);
    EXPECT_TRUE(doc) << error;
    std::vector<Rows> tables;
    for (int t = 1; doc && t <= doc->tableCount(); ++t) {
        tables.emplace_back();
        for (const auto& row : doc->table(t)->rows) {
            tables.back().emplace_back();
            for (const std::string& cell : row) {
                EXPECT_EQ(cell.substr(cell.size() - 2), "\r\a");
                tables.back().back().push_back(cell.substr(0, cell.size() - 2));
            }
        }
    }
    return tables;
}

}  // namespace

// The text of one cell, as the word processor shows it.
TEST(Document, CellTextReadsAsTheWordProcessorShowsIt)
{
    const struct {
        const char* what;
        std::string content;  // children of the one cell
        std::string expected;
    } cases[] = {
        {"paragraphs end with a carriage return", para("first") + para("second"), "first\rsecond"},
        {"an empty paragraph", "<w:p/>", ""},
        {"no paragraph", "", ""},
        {"tab, line break, carriage return, hyphen",
         "<w:p><w:r><w:t>a</w:t><w:tab/><w:t>b</w:t><w:br/><w:t>c</w:t><w:cr/><w:t>d</w:t><w:noBreakHyphen/></w:r></w:p>",
         "a\tb\rc\rd-"},
        {"entities and non-ASCII", "<w:p>" + run("R&amp;D &lt;ಕನ್ನಡ&gt; é") + "</w:p>", "R&D <ಕನ್ನಡ> é"},
        {"whitespace-only text kept", "<w:p>" + run("a") + run(" ") + run("b") + "</w:p>", "a b"},
        {"hidden text, hidden switched off",
         "<w:p>" + run("shown") + "<w:r><w:rPr><w:vanish/></w:rPr><w:t>hidden</w:t></w:r>" +
             "<w:r><w:rPr><w:vanish w:val=\"0\"/></w:rPr><w:t> seen</w:t></w:r></w:p>",
         "shown seen"},
        {"drawings and text boxes are not cell text",
         "<w:p>" + run("a") + "<w:r><mc:AlternateContent><mc:Choice Requires=\"wps\"><w:drawing><w:txbxContent>" +
             para("box") + "</w:txbxContent></w:drawing></mc:Choice><mc:Fallback><w:pict><w:txbxContent>" + para("box") +
             "</w:txbxContent></w:pict></mc:Fallback></mc:AlternateContent></w:r></w:p>",
         "a"},
        {"hyperlink", "<w:p><w:hyperlink r:id=\"rId5\">" + run("example.com") + "</w:hyperlink></w:p>", "example.com"},
        {"run-level content control",
         "<w:p><w:sdt><w:sdtPr><w:alias w:val=\"Name\"/></w:sdtPr><w:sdtContent>" + run("Asha") + "</w:sdtContent></w:sdt></w:p>",
         "Asha"},
        {"block-level content control", "<w:sdt><w:sdtPr/><w:sdtContent>" + para("inside") + "</w:sdtContent></w:sdt>",
         "inside"},
        {"inserted text counts, deleted text does not",
         "<w:p>" + run("a") + "<w:ins w:id=\"1\" w:author=\"x\">" + run("b") + "</w:ins>" +
             "<w:del w:id=\"2\" w:author=\"x\"><w:r><w:delText>gone</w:delText></w:r></w:del>" + run("c") + "</w:p>",
         "abc"},
        {"moved-away text does not count, moved-here text does",
         "<w:p><w:moveFrom w:id=\"1\">" + run("old") + "</w:moveFrom><w:moveTo w:id=\"2\">" + run("new") + "</w:moveTo></w:p>",
         "new"},
        {"a deleted paragraph mark joins the paragraphs",
         "<w:p><w:pPr><w:rPr><w:del w:id=\"3\" w:author=\"x\"/></w:rPr></w:pPr>" + run("one") + "</w:p>" + para("two"),
         "onetwo"},
        {"a complex field shows its result, not its code",
         "<w:p>" + field("begin") + code(" MERGEFIELD Name ") + field("separate") + run("«Name»") + field("end") +
             run(" after") + "</w:p>",
         "«Name» after"},
        {"a field code split over runs with tabs is hidden",
         "<w:p>" + field("begin") + code("HYPER") + "<w:r><w:tab/><w:instrText>LINK \"x\"</w:instrText></w:r>" +
             field("separate") + run("link") + field("end") + "</w:p>",
         "link"},
        {"a field inside a code shows only the outer result",
         "<w:p>" + field("begin") + code("IF ") + field("begin") + code("MERGEFIELD x") + field("separate") + run("inner") +
             field("end") + code(" = 1 \"y\"") + field("separate") + run("outer") + field("end") + "</w:p>",
         "outer"},
        {"a field without a result shows nothing",
         "<w:p>" + field("begin") + code("FORMCHECKBOX") + field("end") + run("Yes") + "</w:p>", "Yes"},
        {"a simple field shows its result", "<w:p><w:fldSimple w:instr=\" FILENAME \">" + run("resume.docx") + "</w:fldSimple></w:p>",
         "resume.docx"},
    };
    for (const auto& c : cases) {
        const auto tables = tablesOf(docxWithBody(tbl(tr(tc(c.content)))));
        ASSERT_EQ(tables.size(), 1u) << c.what;
        EXPECT_EQ(tables[0], Rows{{c.expected}}) << c.what;
    }
}

// Which tables, rows and cells there are: top-level body tables in order, as the word processor counts them.
TEST(Document, TablesRowsAndCellsAreCountedAsTheWordProcessorCountsThem)
{
    const struct {
        const char* what;
        std::string body;
        std::vector<Rows> expected;
    } cases[] = {
        {"tables in document order", para("title") + tbl(tr(tc(para("a")) + tc(para("b"))) + tr(tc(para("c")))) +
                                         para("between") + tbl(tr(tc(para("x")))),
         {{{"a", "b"}, {"c"}}, {{"x"}}}},
        {"no table", para("only text"), {}},
        {"a field left open in one cell does not hide the next",
         tbl(tr(tc("<w:p>" + field("begin") + run("code") + "</w:p>") + tc(para("next")))), {{{"", "next"}}}},
        {"a horizontally merged cell is one cell",
         tbl(tr(tc(para("wide"), "<w:gridSpan w:val=\"3\"/>") + tc(para("next")))), {{{"wide", "next"}}}},
        {"the older horizontal merge is one cell",
         tbl(tr(tc(para("wide"), "<w:hMerge w:val=\"restart\"/>") + tc("<w:p/>", "<w:hMerge/>") +
                tc("<w:p/>", "<w:hMerge w:val=\"continue\"/>") + tc(para("next")))),
         {{{"wide", "next"}}}},
        {"a cell continuing a vertical merge reads empty and keeps its place",
         tbl(tr(tc(para("tall"), "<w:vMerge w:val=\"restart\"/>") + tc(para("b1"))) +
             tr(tc(para("stale"), "<w:vMerge/>") + tc(para("b2"))) +
             tr(tc(para("stale"), "<w:vMerge w:val=\"continue\"/>") + tc(para("b3")))),
         {{{"tall", "b1"}, {"", "b2"}, {"", "b3"}}}},
        // Each nested cell ends with CR BEL and so does each nested row, as the word processor reports it.
        {"a nested table is part of its cell",
         tbl(tr(tc(para("Before.") + tbl(tr(tc(para("n1")) + tc(para("n2"))) + tr(tc(para("n3")))) + para("After.")) +
                tc(para("next")))),
         {{{"Before.\rn1\r\an2\r\a\r\an3\r\a\r\aAfter.", "next"}}}},
        {"deleted rows and cells do not count, inserted ones do",
         tbl(tr(tc(para("keep"))) + tr(tc(para("gone")), "<w:del w:id=\"1\" w:author=\"x\"/>") +
             tr(tc(para("new")), "<w:ins w:id=\"2\" w:author=\"x\"/>") +
             tr(tc(para("dead"), "<w:cellDel w:id=\"3\" w:author=\"x\"/>") + tc(para("alive")))),
         {{{"keep"}, {"new"}, {"alive"}}}},
        {"tables, rows and cells inside content controls",
         "<w:sdt><w:sdtPr/><w:sdtContent>" +
             tbl("<w:sdt><w:sdtPr/><w:sdtContent>" + tr(tc(para("r1"))) + "</w:sdtContent></w:sdt>" +
                 tr("<w:sdt><w:sdtPr/><w:sdtContent>" + tc(para("c1")) + "</w:sdtContent></w:sdt>" + tc(para("c2")))) +
             "</w:sdtContent></w:sdt>",
         {{{"r1"}, {"c1", "c2"}}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tablesOf(docxWithBody(c.body)), c.expected) << c.what;

    // Another prefix for the namespace; the main part found through the package relationships.
    auto prefixed = docxEntries("");
    prefixed[2].bytes = documentXml("<x:tbl><x:tr><x:tc><x:p><x:r><x:t>odd</x:t></x:r></x:p></x:tc></x:tr></x:tbl>", "x");
    EXPECT_EQ(tablesOf(zipBytes(prefixed)), std::vector<Rows>{{{"odd"}}});
    auto moved = docxEntries(tbl(tr(tc(para("moved")))));
    moved[1].bytes =
        R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="/word/main.xml"/></Relationships>)";
    moved[2].name = "word/main.xml";
    EXPECT_EQ(tablesOf(zipBytes(moved)), std::vector<Rows>{{{"moved"}}});
}
