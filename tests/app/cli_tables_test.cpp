// kyt-cli tables: what an officer runs to see how Kyt reads a résumé.

#include <gtest/gtest.h>

#include "app/run_cli.h"
#include "resume-form/resume_form.h"
#include "support/temp_dir.h"
#include "support/zip_bytes.h"

using namespace kyt::test;
namespace form = kyt::form;

namespace {

std::string quoted(const std::string& path)
{
    return "'" + path + "'";
}

}  // namespace

TEST(CliTables, PrintsOneLinePerCellWithTableRowAndCellNumbers)
{
    TempDir dir;
    writeFile(dir.file("t.docx"), docxWithBody(table({{"a", "b"}, {"c"}}) + table({{"z"}})));
    std::string output;
    EXPECT_EQ(runCli("tables " + quoted(dir.file("t.docx")), &output), 0) << output;
    EXPECT_EQ(output, "1\t1\t1\ta\n1\t1\t2\tb\n1\t2\t1\tc\n2\t1\t1\tz\n");
}

TEST(CliTables, CleansTheTextAndEscapesTabsBreaksAndBackslashes)
{
    TempDir dir;
    const std::string cellXml = "<w:tbl><w:tr><w:tc><w:p><w:r><w:t xml:space=\"preserve\">  it's a</w:t><w:tab/>"
                                "<w:t>b\\c</w:t></w:r></w:p><w:p><w:r><w:t xml:space=\"preserve\">x&#10;y&amp;z </w:t>"
                                "</w:r></w:p></w:tc></w:tr></w:tbl>";
    writeFile(dir.file("t.docx"), docxWithBody(cellXml));
    std::string output;
    EXPECT_EQ(runCli("tables " + quoted(dir.file("t.docx")), &output), 0) << output;
    // Apostrophes become backquotes and the cell marks blanks, trimmed at both ends, as the reader
    // cleans every cell.
    EXPECT_EQ(output, "1\t1\t1\tit`s a\\tb\\\\c x\\ny&z\n");
}

TEST(CliTables, ShowsAGeneratedResumeAsTheExtractionReadsIt)
{
    TempDir dir;
    std::string error;
    ASSERT_TRUE(form::writeResume(form::sampleResume(5, "1QP22CS005", form::Course::BE), dir.file("r.docx"), error));
    std::string output;
    EXPECT_EQ(runCli("tables " + quoted(dir.file("r.docx")), &output), 0);
    EXPECT_NE(output.find("1\t2\t1\t1QP22CS005\n"), std::string::npos) << output.substr(0, 500);
    EXPECT_NE(output.find("2\t1\t3\tMarks obtained\n"), std::string::npos);
}

TEST(CliTables, ReadsTheGoodFilesOfAListAndStillFailsForTheBadOne)
{
    TempDir dir;
    writeFile(dir.file("good.docx"), docxWithBody(table({{"ok"}})));
    std::string output;
    EXPECT_EQ(runCli("tables " + quoted(dir.file("good.docx")) + " " + quoted(dir.file("missing.docx")), &output), 1);
    EXPECT_NE(output.find("==> " + dir.file("good.docx") + " <==\n1\t1\t1\tok\n"), std::string::npos) << output;
    EXPECT_NE(output.find("missing.docx: The file cannot be opened."), std::string::npos) << output;
}

