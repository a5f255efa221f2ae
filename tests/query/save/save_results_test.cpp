#include "query/save_results.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "docx_outline.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"
#include "word/application.h"

using namespace kyt::query;
using kyt::test::docxOutline;
using kyt::test::readFile;
using kyt::test::TempDir;
using kyt::test::writeFile;
namespace fs = std::filesystem;

namespace {

using Lines = std::vector<std::string>;

ResultTable twoBranches(Lines captions = {"USN", "Name"})
{
    ResultTable grid{captions, {}};
    const Lines usns = {"1QP22CS001", "1QP22CS002", "1QP22EC001"};
    const Lines names = {"Asha Rao", "Bala K", "Chitra N"};
    for (size_t r = 0; r < usns.size(); ++r) {
        std::vector<std::string> row;
        for (const auto& caption : captions)
            row.push_back(caption == "Name" ? names[r] : usns[r]);
        grid.rows.push_back(row);
    }
    return grid;
}

std::string written(const ResultTable& grid, const SaveLayout& layout, const TempDir& dir, const std::string& name)
{
    std::string error;
    EXPECT_TRUE(WriteResults(grid, layout, dir.file(name), error)) << error;
    return dir.file(name);
}

std::vector<std::string> entries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(SaveSql, ColumnsInOutputOrderWithTheAgeRecomputed)
{
    const std::string condition = " where (Percent1To6 >= 60 )  AND (usn = Freepercent.usn_FP)  ORDER BY USN ASC";
    struct Case {
        Lines names;
        std::string select;
    } cases[] = {
        {{"USN", "Name"}, "SELECT USN, Name"},
        {{"Name", "USN", "Percent1To6", "Email"}, "SELECT Name, USN, Percent1To6, Email"},
        {{"Age", "USN"}, "SELECT  CInt((Now()-Cdate(dob1))/365.2) AS Age, USN"},
        {{"USN", "AGE"}, "SELECT USN,  CInt((Now()-Cdate(dob1))/365.2) AS Age"},
    };
    for (const Case& c : cases) {
        std::string sql, error;
        ASSERT_TRUE(BuildSaveSql(c.names, condition, sql, error)) << error;
        EXPECT_EQ(sql, c.select + " FROM Personal, FreePercent " + condition);
    }
    std::string sql, error;
    EXPECT_FALSE(BuildSaveSql({}, condition, sql, error));
    EXPECT_FALSE(BuildSaveSql({"USN", ""}, condition, sql, error)) << "a choice left incomplete by a refused OK";
}

TEST(SaveLayout, BranchWatchStartsAPageAtEachChangeOfBranch)
{
    ResultTable grid{{"Name", "USN"}, {}};
    for (const char* usn : {"1QP22CS001", "1QP22CS002", "1QP22EC001", "1QP2", "1QP22EC002", "1QP22ME001"})
        grid.rows.push_back({"someone", usn});
    auto starts = [](const std::vector<Page>& pages) {
        std::vector<size_t> first;
        for (const Page& p : pages)
            first.push_back(p.first);
        return first;
    };
    // A USN too short to carry a branch starts a page of its own and the watch again.
    EXPECT_EQ(starts(BranchPages(grid, false)), (std::vector<size_t>{0, 2, 3, 5}));
    EXPECT_EQ(starts(BranchPages(grid, true)), (std::vector<size_t>{0}));
    grid.fields[1] = "usn";  // only the column named exactly USN is watched
    EXPECT_EQ(starts(BranchPages(grid, false)), (std::vector<size_t>{0}));
}

TEST(SaveLayout, DocumentStructure)
{
    struct Case {
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
        {"no page breaks: one table",
         {"USN", "Name"},
         {"Final year", false, true, "Space"},
         {"P c|Final year", "P c|", "T *USN,Name / , / 1QP22CS001,Asha Rao / 1QP22CS002,Bala K / 1QP22EC001,Chitra N",
          "P |"}},
        {"the USN in the second column breaks before the whole record",
         {"Name", "USN"},
         {"Final year", false, false, "Space"},
         {"P c|Final year", "P c|", "T *Name,USN / , / Asha Rao,1QP22CS001 / Bala K,1QP22CS002", "P c^|Final year",
          "P c|", "T *Name,USN / , / Chitra N,1QP22EC001", "P |"}},
        {"delimited by tabs, every value followed by one; the title skipped",
         {"USN", "Name"},
         {"", true, false, "Tab"},
         {"P c|", "P c|", "P c|USN\tName\t", "P c|1QP22CS001\tAsha Rao\t", "P c|1QP22CS002\tBala K\t", "P c^|",
          "P c|USN\tName\t", "P c|1QP22EC001\tChitra N\t", "P |"}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(docxOutline(written(twoBranches(c.captions), c.layout, dir, "out.docx")), c.outline);
    }
}

TEST(SaveLayout, CsvReadsBackInPythonValueForValueWithFormulasDefused)
{
    ResultTable grid{{"USN", "Name", "Email"},
                    {{"1QP22CS001", "Rao, Asha", "asha@example.com"},
                     {"1QP22CS002", "Ravi \"Ace\" Kumar", "=HYPERLINK(\"http://x\")"},
                     {"1QP22EC001", "Ñandú Gowda ಕನ್ನಡ", "-5"},
                     {"1QP22EC002", "+91 plus", "@SUM(A1)"},
                     {"1QP22EC003", "two\r\nlines", ""}}};
    TempDir dir;
    const std::string path = written(grid, {"ignored", false, false, "Tab"}, dir, "out.csv");
    ASSERT_EQ(readFile(path).rfind("\xEF\xBB\xBFUSN,Name,Email\r\n", 0), 0u);

    // Python prints each value it read followed by "|", a row per line; formulas come back defused.
    std::string expected = "USN|Name|Email|\n";
    for (auto row : grid.rows) {
        for (auto& v : row)
            expected += (!v.empty() && std::string("=+-@").find(v[0]) != std::string::npos ? "'" : "") + v + "|";
        expected += "\n";
    }
    const std::string script = dir.file("read.py");
    writeFile(script,
              "import csv, sys\n"
              "for row in csv.reader(open(sys.argv[1], newline='', encoding='utf-8-sig')):\n"
              "    sys.stdout.buffer.write(''.join(v + '|' for v in row).encode() + b'\\n')\n");
    std::string output;
    ASSERT_EQ(kyt::test::runProgram("python3", "'" + script + "' '" + path + "'", &output), 0) << output;
    EXPECT_EQ(output, expected);
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
    EXPECT_EQ(readFile(written(twoBranches(), {}, dir, "Final year.pdf")).rfind("%PDF-", 0), 0u);
    EXPECT_EQ(entries(dir.path()), Lines{"Final year.pdf"});
}

TEST(SaveLayout, FullDiskLeavesNoFileAndKeepsTheOldOne)
{
    ResultTable grid = twoBranches();
    for (int i = 0; i < 3000; ++i)
        grid.rows.push_back({"1QP22EC" + std::to_string(100 + i), "Student number " + std::to_string(i)});
    TempDir dir;
    writeFile(dir.file("kept.csv"), "old");
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
}

TEST(SaveLayout, ReadOnlyFolderLeavesNoFile)
{
    TempDir dir;
    const fs::path folder = dir.path() / "handed-in";
    fs::create_directory(folder);
    const bool root = geteuid() == 0;
    const uid_t nobody = 65534;
    if (root) {
        // The writer runs as an ordinary user, for whom the folder is read-only; root writes anywhere.
        ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
        ASSERT_EQ(chown(folder.c_str(), nobody, nobody), 0);
    }
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (root && (setgid(nobody) != 0 || setuid(nobody) != 0))
            _exit(3);
        std::string error;
        const bool saved = WriteResults(twoBranches(), {}, (folder / "out.docx").string(), error);
        _exit(saved ? 1 : error.find("Permission denied") != std::string::npos ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: saved anyway, 2: another reason, 3: could not drop privileges";
    EXPECT_TRUE(entries(folder).empty());
}
