#include "query/save_results.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cstdlib>
#include <filesystem>

#include "query/save_options.h"
#include "support/temp_dir.h"
#include "support/unprivileged.h"
#include "word/application.h"
#include "word/zip_reader.h"

using namespace kyt::query;
using kyt::test::readFile;
using kyt::test::TempDir;
namespace fs = std::filesystem;

namespace {

using Lines = std::vector<std::string>;

const ResultTable kTwoBranches{{"USN", "Name"},
                               {{"1QP22CS001", "Asha Rao"}, {"1QP22CS002", "Bala K"}, {"1QP22EC001", "Chitra N"}}};

// A written .docx read back as one line per body element, so a test compares a document's whole
// structure at a glance:
//   paragraph  "P " + ("c" when centred) + ("^" when it starts on a new page) + "|" + text
//   table      "T " + rows joined by " / ", a row's cells joined by ",", "*" before a row set in bold
Lines docxOutline(const std::string& path)
{
    kyt::word::detail::ZipReader zip;
    std::string error, xml;
    pugi::xml_document doc;
    if (!zip.open(readFile(path), 100, error) ||
        zip.read("word/document.xml", 64u << 20, xml) != kyt::word::detail::ZipStatus::Ok ||
        !doc.load_buffer(xml.data(), xml.size()))
        return {"unreadable: " + error};
    const auto textUnder = [](const pugi::xml_node& node) {  // tabs included
        std::string text;
        for (const pugi::xpath_node& x : node.select_nodes(".//*[self::w:t or self::w:tab]"))
            text += std::string(x.node().name()) == "w:tab" ? "\t" : x.node().text().get();
        return text;
    };
    Lines lines;
    for (const pugi::xpath_node& x : doc.select_nodes("/w:document/w:body/*[self::w:p or self::w:tbl]")) {
        const pugi::xml_node node = x.node();
        std::string line = std::string(node.name()) == "w:p" ? "P " : "T ";
        if (line == "P ")
            line += std::string(node.select_node("w:pPr/w:jc[@w:val='center']") ? "c" : "") +
                    (node.select_node(".//w:br[@w:type='page']") ? "^" : "") + "|" + textUnder(node);
        for (pugi::xml_node tr : node.children("w:tr")) {
            // In bold: some text, and none of it in a run not set in bold.
            const bool bold = tr.select_node(".//w:t[string()]") &&
                              !tr.select_node(".//w:r[w:t[string()] and not(w:rPr/w:b)]");
            line += std::string(line.size() > 2 ? " / " : "") + (bold ? "*" : "");
            for (pugi::xml_node tc : tr.children("w:tc"))
                line += (tc == tr.child("w:tc") ? "" : ",") + textUnder(tc);
        }
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

// The options window's OK: the ticked columns must carry 0 to n - 1, each once; a refusal says why and
// where the focus goes.
TEST(SaveOptions, SequenceNumbersAreCheckedBeforeAnythingIsTakenOver)
{
    const std::string twice = "One or more fields has the same sequence number. please correct it";
    const std::string tooLarge = "one or more of the sequence number is larger than the number of selected fields\r\n"
                                 "Max sequence number for this selection is 2";
    // what, the sequences of USN, Name, Percent1To6 and Email ("-" not ticked), result, text, focus row;
    // an accepted arrangement is the window test's
    const std::tuple<const char*, Lines, int16_t, std::string, int> cases[] = {
        {"halves go to the even neighbour", {"0.5", "1.5", "2", "-"}, kSequenceRepeated, twice, 2},
        {"a gap", {"0", "1", "3", "-"}, kSequenceTooLarge, tooLarge, 2},
        {"a negative number", {"-1", "0", "1", "-"}, kSequenceTooLarge, tooLarge, 0},
        {"nothing ticked", {"-", "-", "-", "-"}, kSequenceTooLarge, "Please select atleast one field", 0},
    };
    const Lines captions = {"USN", "Name", "Percent1To6", "Email"};
    for (const auto& [what, sequences, result, text, focusRow] : cases) {
        SCOPED_TRACE(what);
        std::vector<ColumnRow> rows;
        for (size_t i = 0; i < 4; ++i)  // a row not ticked keeps a number that would collide
            rows.push_back({captions[i], sequences[i] != "-", sequences[i] == "-" ? "1" : sequences[i]});
        const ColumnChoice choice = SelectColumns(rows);
        EXPECT_EQ(choice.result, result);
        EXPECT_EQ(choice.text, text);
        EXPECT_EQ(choice.title, result == kSequenceRepeated ? "Kyt Error" : "");
        EXPECT_EQ(choice.focusRow, focusRow);
        EXPECT_EQ(choice.focusOnTick, sequences[0] == "-");
    }
}

TEST(SaveSql, ColumnsInOutputOrderWithTheAgeRecomputed)
{
    const std::string condition = " where (Percent1To6 >= 60 )  AND (usn = Freepercent.usn_FP)  ORDER BY USN ASC";
    std::string sql, error;
    ASSERT_TRUE(BuildSaveSql({"Name", "AGE", "USN"}, condition, sql, error)) << error;
    EXPECT_EQ(sql, "SELECT Name,  CInt((Now()-Cdate(dob1))/365.2) AS Age, USN FROM Personal, FreePercent " + condition);
    EXPECT_FALSE(BuildSaveSql({}, condition, sql, error));
    EXPECT_FALSE(BuildSaveSql({"USN", ""}, condition, sql, error)) << "a choice left incomplete by a refused OK";
}

TEST(SaveLayout, BranchWatchStartsAPageAtEachChangeOfBranch)
{
    ResultTable grid{{"Name", "USN"}, {}};
    for (const char* usn : {"1QP22CS001", "1QP22CS002", "1QP22EC001", "1QP2", "1QP22EC002", "1QP22ME001"})
        grid.rows.push_back({"someone", usn});
    auto starts = [&](bool noPageBreak) {
        std::vector<size_t> first;
        for (const Page& p : BranchPages(grid, noPageBreak))
            first.push_back(p.first);
        return first;
    };
    // The USN in the second column is watched; a USN too short to carry a branch starts a page of its
    // own and the watch again.
    EXPECT_EQ(starts(false), (std::vector<size_t>{0, 2, 3, 5}));
    EXPECT_EQ(starts(true), (std::vector<size_t>{0}));
    grid.fields[1] = "usn";  // only the column named exactly USN is watched
    EXPECT_EQ(starts(false), (std::vector<size_t>{0}));
}

TEST(SaveLayout, DocumentStructure)
{
    const std::tuple<const char*, SaveLayout, Lines> cases[] = {
        {"one table per branch, each on its own page",
         {"Final year", false, false, "Space"},
         {"P c|Final year", "P c|", "T *USN,Name / , / 1QP22CS001,Asha Rao / 1QP22CS002,Bala K", "P c^|Final year",
          "P c|", "T *USN,Name / , / 1QP22EC001,Chitra N", "P |"}},
        {"delimited by tabs, every value followed by one; the title skipped",
         {"", true, false, "Tab"},
         {"P c|", "P c|", "P c|USN\tName\t", "P c|1QP22CS001\tAsha Rao\t", "P c|1QP22CS002\tBala K\t", "P c^|",
          "P c|USN\tName\t", "P c|1QP22EC001\tChitra N\t", "P |"}},
    };
    TempDir dir;
    for (const auto& [what, layout, outline] : cases) {
        SCOPED_TRACE(what);
        std::string error;
        ASSERT_TRUE(WriteResults(kTwoBranches, layout, dir.file("out.docx"), error)) << error;
        EXPECT_EQ(docxOutline(dir.file("out.docx")), outline);
    }
}

TEST(SaveLayout, TextAndCsvBytesWithFormulasDefused)
{
    const ResultTable grid{{"USN", "Name", "Email"},
                           {{"1QP22CS001", "Rao, Asha", "=HYPERLINK(\"http://x\")"},
                            {"1QP22EC001", "Ravi \"Ace\" Kumar", "-5"},
                            {"1QP22EC002", "+91 \xC3\x91" "and\xC3\xBA", "@SUM(A1)"},
                            {"1QP22EC003", "two\r\nlines", "cr\ronly"},
                            {"1QP22EC004", "\t=1+1", "\r=1+1"}}};
    EXPECT_EQ(ResultsCsv(grid), "\xEF\xBB\xBFUSN,Name,Email\r\n"
                                "1QP22CS001,\"Rao, Asha\",\"'=HYPERLINK(\"\"http://x\"\")\"\r\n"
                                "1QP22EC001,\"Ravi \"\"Ace\"\" Kumar\",'-5\r\n"
                                "1QP22EC002,'+91 \xC3\x91" "and\xC3\xBA,'@SUM(A1)\r\n"
                                "1QP22EC003,\"two\r\nlines\",\"cr\ronly\"\r\n"
                                "1QP22EC004,'\t=1+1,\"'\r=1+1\"\r\n");
    EXPECT_EQ(ResultsText(kTwoBranches, {"Final year", true, false, "SemiColon"}),
              "Final year\r\n\r\nUSN;Name;\r\n1QP22CS001;Asha Rao;\r\n1QP22CS002;Bala K;\r\n\f"
              "Final year\r\nUSN;Name;\r\n1QP22EC001;Chitra N;\r\n");
}

// A running aggregate still at its starting value (its last semester not on record) is saved empty.
TEST(SaveLayout, AggregatesNotOnRecordAreSavedEmpty)
{
    TempDir dir;
    const ResultTable grid{{"USN", "one_to_4", "ONE_TO_6", "one_to_7", "Name"},
                           {{"1QP22CS001", "72.5", "2", "0", "2"}, {"1QP22CS002", "2", "64", "0.5", "0"}}};
    std::string error;
    ASSERT_TRUE(WriteResults(grid, {}, dir.file("out.csv"), error)) << error;
    EXPECT_EQ(readFile(dir.file("out.csv")), "\xEF\xBB\xBFUSN,one_to_4,ONE_TO_6,one_to_7,Name\r\n"
                                             "1QP22CS001,72.5,,,2\r\n1QP22CS002,,64,0.5,0\r\n");
}

TEST(SaveLayout, PdfThroughLibreOfficeOrARefusalSayingWhy)
{
    TempDir dir;
    std::string error;
    setenv("KYT_SOFFICE", "", 1);  // as if LibreOffice were not installed
    EXPECT_FALSE(WriteResults(kTwoBranches, {}, dir.file("none.pdf"), error));
    unsetenv("KYT_SOFFICE");
    EXPECT_NE(error.find("LibreOffice is not installed"), std::string::npos) << error;
    if (!kyt::word::Application::libreOfficeAvailable())
        GTEST_SKIP() << "LibreOffice is not installed";
    // A name LibreOffice would take for an option is not handed to it as one.
    ASSERT_TRUE(WriteResults(kTwoBranches, {}, dir.file("-Final year.pdf"), error)) << error;
    EXPECT_EQ(readFile(dir.file("-Final year.pdf")).rfind("%PDF-", 0), 0u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1) << "the PDF only";
}

// A folder the officer may not write to: nothing is left there and the reason reaches the caller (the file
// writer itself is tried on full disks on its own).
TEST(SaveLayout, AReadOnlyFolderLeavesNoFileAndSaysWhy)
{
    TempDir dir;
    const fs::path folder = dir.path() / "handed-in";
    fs::create_directory(folder);
    kyt::test::reachableFor(folder.string());
    fs::permissions(folder, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    const int status = kyt::test::runUnprivileged([&] {
        std::string error;
        const bool saved = WriteResults(kTwoBranches, {}, (folder / "out.docx").string(), error);
        return saved ? 1 : error.find("Permission denied") != std::string::npos ? 0 : 2;
    });
    EXPECT_EQ(status, 0) << "1: saved anyway, 2: another reason, 126: could not drop privileges";
    EXPECT_TRUE(fs::is_empty(folder));
}
