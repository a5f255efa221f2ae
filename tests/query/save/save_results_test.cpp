#include "query/save_results.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDate>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "db/seed.h"
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
        {"skipped title: the title paragraph is written empty",
         {"USN", "Name"},
         {"", false, true, "Space"},
         {"P c|", "P c|", "T *USN,Name / , / 1QP22CS001,Asha Rao / 1QP22CS002,Bala K / 1QP22EC001,Chitra N", "P |"}},
        {"delimited by tabs, every value followed by the delimiter",
         {"USN", "Name"},
         {"Final year", true, false, "Tab"},
         {"P c|Final year", "P c|", "P c|USN\tName\t", "P c|1QP22CS001\tAsha Rao\t", "P c|1QP22CS002\tBala K\t",
          "P c^|Final year", "P c|USN\tName\t", "P c|1QP22EC001\tChitra N\t", "P |"}},
        {"delimited by semicolons without page breaks",
         {"USN", "Name"},
         {"T", true, true, "SemiColon"},
         {"P c|T", "P c|", "P c|USN;Name;", "P c|1QP22CS001;Asha Rao;", "P c|1QP22CS002;Bala K;",
          "P c|1QP22EC001;Chitra N;", "P |"}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(docxOutline(written(twoBranches(c.captions), c.layout, dir, "out.docx")), c.outline);
    }
}

TEST(SaveLayout, TextFileIsTheDelimitedLayoutWithFormFeedsAtPageBreaks)
{
    TempDir dir;
    const std::string path = written(twoBranches(), {"Final year", false, false, "Comma"}, dir, "out.TXT");
    EXPECT_EQ(readFile(path),
              "Final year\r\n\r\nUSN,Name,\r\n1QP22CS001,Asha Rao,\r\n1QP22CS002,Bala K,\r\n"
              "\fFinal year\r\nUSN,Name,\r\n1QP22EC001,Chitra N,\r\n");
    EXPECT_EQ(DelimiterCharacter("Space"), " ");
    EXPECT_EQ(DelimiterCharacter(""), " ");
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
    const std::string bytes = readFile(path);
    ASSERT_EQ(bytes.rfind("\xEF\xBB\xBFUSN,Name,Email\r\n", 0), 0u);

    auto hex = [](const std::string& s) {
        std::string out;
        char two[3];
        for (unsigned char c : s) {
            std::snprintf(two, sizeof two, "%02x", c);
            out += two;
        }
        return out;
    };
    std::string expected;
    std::vector<std::vector<std::string>> all = {grid.fields};
    for (auto row : grid.rows) {
        for (auto& v : row)
            if (!v.empty() && std::string("=+-@").find(v[0]) != std::string::npos)
                v = "'" + v;
        all.push_back(row);
    }
    for (const auto& row : all) {
        for (const auto& v : row)
            expected += hex(v) + "|";
        expected += "\n";
    }
    const std::string script = dir.file("read.py");
    writeFile(script,
              "import csv, sys\n"
              "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
              "    for row in csv.reader(f):\n"
              "        print(''.join(v.encode('utf-8').hex() + '|' for v in row))\n");
    std::string output;
    ASSERT_EQ(kyt::test::runProgram("python3", "'" + script + "' '" + path + "'", &output), 0) << output;
    EXPECT_EQ(output, expected);
}

TEST(SaveLayout, PdfThroughLibreOffice)
{
    if (!kyt::word::Application::libreOfficeAvailable())
        GTEST_SKIP() << "LibreOffice is not installed";
    TempDir dir;
    const std::string path = written(twoBranches(), {"Final year", false, false, "Space"}, dir, "Final year.pdf");
    EXPECT_EQ(readFile(path).rfind("%PDF-", 0), 0u);
    EXPECT_EQ(entries(dir.path()), Lines{"Final year.pdf"});
}

TEST(SaveLayout, PdfWithoutLibreOfficeIsRefusedWithAReason)
{
    TempDir dir;
    setenv("KYT_SOFFICE", "", 1);
    std::string error;
    const bool saved = WriteResults(twoBranches(), {}, dir.file("out.pdf"), error);
    unsetenv("KYT_SOFFICE");
    EXPECT_FALSE(saved);
    EXPECT_NE(error.find("LibreOffice is not installed"), std::string::npos) << error;
    EXPECT_TRUE(entries(dir.path()).empty());
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

class SaveQuery : public kyt::test::DatabaseTest {};

TEST_F(SaveQuery, ChosenColumnsInTheirOrderWithAgeInWholeYearsAndAPagePerBranch)
{
    auto database = openDb();
    const QDate born = QDate::currentDate().addYears(-20).addDays(-100);
    kyt::test::Student s;
    s.dob = born.toString("dd-MM-yyyy").toStdString();
    for (const char* usn : {"1QP22EC001", "1QP22CS002", "1QP22CS001"}) {
        s.usn = usn;
        s.name = std::string("Student ") + usn;
        storeStudent(*database, s, 3, 8, 70, 100);
    }
    database.reset();

    const std::string condition = " where (Percent1To6 >= 0 )  AND ( usn like '*22*') AND (usn = Freepercent.usn_FP) "
                                  " ORDER BY USN ASC";
    std::string sql, error;
    ASSERT_TRUE(BuildSaveSql({"Name", "USN", "Age"}, condition, sql, error)) << error;
    ResultTable grid;
    kyt::db::Failure failure;
    ASSERT_TRUE(OpenResult(path, sql, grid, failure)) << failure.description;
    EXPECT_EQ(grid.fields, (Lines{"Name", "USN", "Age"}));
    ASSERT_EQ(grid.rows.size(), 3u);
    EXPECT_EQ(grid.rows[0], (Lines{"Student 1QP22CS001", "1QP22CS001", "20"}));

    EXPECT_EQ(docxOutline(written(grid, {"Placements", false, false, "Space"}, dir, "out.docx")),
              (Lines{"P c|Placements", "P c|",
                     "T *Name,USN,Age / ,, / Student 1QP22CS001,1QP22CS001,20 / Student 1QP22CS002,1QP22CS002,20",
                     "P c^|Placements", "P c|", "T *Name,USN,Age / ,, / Student 1QP22EC001,1QP22EC001,20", "P |"}));
}

TEST(SaveFile, DefaultNameFromThePageTitle)
{
    EXPECT_EQ(DefaultSaveFileName("Student List"), "Student List.docx");
    EXPECT_EQ(DefaultSaveFileName("CS/EC: 2026 batch?"), "CS EC  2026 batch.docx");
    EXPECT_EQ(DefaultSaveFileName(" .. "), "Student List.docx");
    EXPECT_FALSE(SaveFormatFor("list.doc"));
    EXPECT_EQ(SaveFormatFor("LIST.DocX"), SaveFormat::Docx);
}
