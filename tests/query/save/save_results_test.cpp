#include "query/save_results.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "docx_outline.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"
#include "support/unprivileged.h"
#include "word/application.h"

using namespace kyt::query;
using kyt::test::readFile;
using kyt::test::TempDir;
namespace fs = std::filesystem;

namespace {

using Lines = std::vector<std::string>;

ResultTable twoBranches(Lines captions = {"USN", "Name"})
{
    ResultTable grid{captions, {}};
    const Lines usns = {"1QP22CS001", "1QP22CS002", "1QP22EC001"}, names = {"Asha Rao", "Bala K", "Chitra N"};
    for (size_t r = 0; r < usns.size(); ++r) {
        grid.rows.emplace_back();
        for (const auto& caption : captions)
            grid.rows.back().push_back(caption == "Name" ? names[r] : usns[r]);
    }
    return grid;
}

Lines entries(const fs::path& folder)
{
    Lines names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(SaveSql, ColumnsInOutputOrderWithTheAgeRecomputed)
{
    const std::string condition = " where (Percent1To6 >= 60 )  AND (usn = Freepercent.usn_FP)  ORDER BY USN ASC";
    const std::pair<Lines, std::string> cases[] = {
        {{"USN", "Name"}, "SELECT USN, Name"},
        {{"Name", "USN", "Percent1To6", "Email"}, "SELECT Name, USN, Percent1To6, Email"},
        {{"Age", "USN"}, "SELECT  CInt((Now()-Cdate(dob1))/365.2) AS Age, USN"},
        {{"USN", "AGE"}, "SELECT USN,  CInt((Now()-Cdate(dob1))/365.2) AS Age"},
    };
    std::string sql, error;
    for (const auto& [names, select] : cases) {
        ASSERT_TRUE(BuildSaveSql(names, condition, sql, error)) << error;
        EXPECT_EQ(sql, select + " FROM Personal, FreePercent " + condition);
    }
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
    const struct {
        const char* what;
        Lines captions;
        SaveLayout layout;
        Lines outline;
    } cases[] = {
        {"one table per branch, each on its own page",
         {"USN", "Name"},
         {"Final year", false, false, "Space"},
         {"P c|Final year", "P c|", "T *USN,Name / , / 1QP22CS001,Asha Rao / 1QP22CS002,Bala K", "P c^|Final year",
          "P c|", "T *USN,Name / , / 1QP22EC001,Chitra N", "P |"}},
        {"delimited by tabs, every value followed by one; the title skipped",
         {"USN", "Name"},
         {"", true, false, "Tab"},
         {"P c|", "P c|", "P c|USN\tName\t", "P c|1QP22CS001\tAsha Rao\t", "P c|1QP22CS002\tBala K\t", "P c^|",
          "P c|USN\tName\t", "P c|1QP22EC001\tChitra N\t", "P |"}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string error;
        ASSERT_TRUE(WriteResults(twoBranches(c.captions), c.layout, dir.file("out.docx"), error)) << error;
        EXPECT_EQ(kyt::test::docxOutline(dir.file("out.docx")), c.outline);
    }
}

TEST(SaveLayout, TextAndCsvBytesWithFormulasDefused)
{
    const ResultTable grid{{"USN", "Name", "Email"},
                           {{"1QP22CS001", "Rao, Asha", "=HYPERLINK(\"http://x\")"},
                            {"1QP22EC001", "Ravi \"Ace\" Kumar", "-5"},
                            {"1QP22EC002", "+91 \xC3\x91" "and\xC3\xBA", "@SUM(A1)"},
                            {"1QP22EC003", "two\r\nlines", ""}}};
    EXPECT_EQ(ResultsCsv(grid), "\xEF\xBB\xBFUSN,Name,Email\r\n"
                                "1QP22CS001,\"Rao, Asha\",\"'=HYPERLINK(\"\"http://x\"\")\"\r\n"
                                "1QP22EC001,\"Ravi \"\"Ace\"\" Kumar\",'-5\r\n"
                                "1QP22EC002,'+91 \xC3\x91" "and\xC3\xBA,'@SUM(A1)\r\n"
                                "1QP22EC003,\"two\r\nlines\",\r\n");
    EXPECT_EQ(ResultsText(twoBranches(), {"Final year", true, false, "SemiColon"}),
              "Final year\r\n\r\nUSN;Name;\r\n1QP22CS001;Asha Rao;\r\n1QP22CS002;Bala K;\r\n\f"
              "Final year\r\nUSN;Name;\r\n1QP22EC001;Chitra N;\r\n");
}

TEST(SaveLayout, PdfThroughLibreOfficeOrARefusalSayingWhy)
{
    TempDir dir;
    std::string error;
    setenv("KYT_SOFFICE", "", 1);  // as if LibreOffice were not installed
    EXPECT_FALSE(WriteResults(twoBranches(), {}, dir.file("none.pdf"), error));
    unsetenv("KYT_SOFFICE");
    EXPECT_NE(error.find("LibreOffice is not installed"), std::string::npos) << error;
    if (!kyt::word::Application::libreOfficeAvailable())
        GTEST_SKIP() << "LibreOffice is not installed";
    ASSERT_TRUE(WriteResults(twoBranches(), {}, dir.file("Final year.pdf"), error)) << error;
    EXPECT_EQ(readFile(dir.file("Final year.pdf")).rfind("%PDF-", 0), 0u);
    EXPECT_EQ(entries(dir.path()), Lines{"Final year.pdf"});
}

TEST(SaveLayout, AFullDiskOrAReadOnlyFolderLeavesNoFileAndKeepsTheOldOne)
{
    ResultTable grid = twoBranches();
    for (int i = 0; i < 3000; ++i)
        grid.rows.push_back({"1QP22EC" + std::to_string(100 + i), "Student number " + std::to_string(i)});
    TempDir dir;
    kyt::test::writeFile(dir.file("kept.csv"), "old");
    for (const char* name : {"new.docx", "new.csv", "new.txt", "kept.csv"}) {
        SCOPED_TRACE(name);
        std::string error;
        bool saved;
        {
            kyt::test::FileSizeLimit limit(4096);
            ASSERT_TRUE(limit.active());
            saved = WriteResults(grid, {"Title", false, false, "Tab"}, dir.file(name), error);
        }
        EXPECT_FALSE(saved);
        EXPECT_NE(error.find("File too large"), std::string::npos) << error;
        EXPECT_EQ(entries(dir.path()), Lines{"kept.csv"});
        EXPECT_EQ(readFile(dir.file("kept.csv")), "old");
    }

    const fs::path folder = dir.path() / "handed-in";
    fs::create_directory(folder);
    kyt::test::reachableFor(folder.string());
    fs::permissions(folder, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    const int status = kyt::test::runUnprivileged([&] {
        std::string error;
        const bool saved = WriteResults(twoBranches(), {}, (folder / "out.docx").string(), error);
        return saved ? 1 : error.find("Permission denied") != std::string::npos ? 0 : 2;
    });
    EXPECT_EQ(status, 0) << "1: saved anyway, 2: another reason, 126: could not drop privileges";
    EXPECT_TRUE(entries(folder).empty());
}
