// kyt-cli tables: what an officer runs to see how Kyt reads a résumé.

#include <gtest/gtest.h>

#include "app/run_cli.h"
#include "support/temp_dir.h"
#include "support/zip_bytes.h"

namespace kyt::test {
namespace {

TEST(CliTables, PrintsEachCellCleanedAndEscapedAndGoesOnPastABadFile)
{
    TempDir dir;
    const std::string cellXml = "<w:tbl><w:tr><w:tc><w:p><w:r><w:t xml:space=\"preserve\">  it's a</w:t><w:tab/>"
                                "<w:t>b\\c</w:t></w:r></w:p><w:p><w:r><w:t xml:space=\"preserve\">x&#10;y&amp;z </w:t>"
                                "</w:r></w:p></w:tc></w:tr></w:tbl>";
    writeFile(dir.file("t.docx"), docxWithBody(table({{"a", "b"}, {"c"}}) + cellXml));
    // Table, row and cell numbers, then the text. Apostrophes become backquotes and the cell marks
    // blanks, trimmed at both ends, as the reader cleans every cell.
    const std::string cells = "1\t1\t1\ta\n1\t1\t2\tb\n1\t2\t1\tc\n2\t1\t1\tit`s a\\tb\\\\c x\\ny&z\n";
    std::string output;
    EXPECT_EQ(runCli("tables " + quoted(dir.file("t.docx")), &output), 0) << output;
    EXPECT_EQ(output, cells);

    EXPECT_EQ(runCli("tables " + quoted(dir.file("t.docx")) + " " + quoted(dir.file("missing.docx")), &output), 1);
    EXPECT_NE(output.find("==> " + dir.file("t.docx") + " <==\n" + cells), std::string::npos) << output;
    EXPECT_NE(output.find("missing.docx: The file cannot be opened."), std::string::npos) << output;
}

}  // namespace
}  // namespace kyt::test
