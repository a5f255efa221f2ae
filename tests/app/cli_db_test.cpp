// kyt-cli init-db and sql, run as the administrator runs them.

#include <gtest/gtest.h>

#include <filesystem>

#include "app/run_cli.h"
#include "db/seed.h"

namespace kyt::test {
namespace {

std::string quoted(const std::string& s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

TEST(InitDb, RefusesToOverwriteAnExistingFile)
{
    TempDir dir;
    const std::string path = makeDatabase(dir);
    const std::string before = readFile(path);
    std::string output;
    EXPECT_EQ(runCli("init-db " + quoted(path), &output), 1);
    EXPECT_NE(output.find("already exists"), std::string::npos) << output;
    EXPECT_EQ(readFile(path), before);
}

TEST(InitDb, SeedsBranchesInUpperCase)
{
    TempDir dir;
    const std::string path = initDatabase(dir, "# code,name\n\ncs, Computer Science \r\nMca,Master of Computer Applications\n");
    std::string output;
    EXPECT_EQ(runCli("sql --db " + quoted(path) + " \"SELECT BranchCode, Branch FROM Branch ORDER BY BranchCode\"",
                     &output),
              0);
    EXPECT_EQ(output, "BranchCode\tBranch\nCS\tComputer Science\nMCA\tMaster of Computer Applications\n");
}

// The line names the journal the database now keeps, which is the one the engine reports.
TEST(InitDb, SaysWhichJournalTheDatabaseKeepsAndWhy)
{
    TempDir dir;
    const std::string path = dir.file("kyt.db");
    std::string output;
    ASSERT_EQ(runCli("init-db " + quoted(path), &output), 0) << output;
    const size_t line = output.find("\nJournal: ");
    ASSERT_NE(line, std::string::npos) << output;
    const bool wal = output.compare(line + 10, 15, "write-ahead log") == 0;
    EXPECT_TRUE(wal || output.compare(line + 10, 16, "rollback journal") == 0) << output;
    EXPECT_NE(output.find(" with full sync: the ", line), std::string::npos) << output;
    std::string mode;
    ASSERT_EQ(runCli("sql --db " + quoted(path) + " \"PRAGMA journal_mode\"", &mode), 0) << mode;
    EXPECT_EQ(mode, wal ? "journal_mode\nwal\n" : "journal_mode\ndelete\n");
}

TEST(InitDb, ABadBranchListLeavesNoDatabase)
{
    TempDir dir;
    writeFile(dir.file("branches.csv"), "CS,Computer Science\nEC\n");
    std::string output;
    EXPECT_EQ(runCli("init-db " + quoted(dir.file("kyt.db")) + " --branches " + quoted(dir.file("branches.csv")),
                     &output),
              1);
    EXPECT_NE(output.find("line 2"), std::string::npos) << output;
    EXPECT_FALSE(std::filesystem::exists(dir.file("kyt.db")));
}

struct CliCase {
    const char* what;
    const char* args;  // after "sql --db DB"
    int status;
    const char* output;  // expected in the output
};

class SqlCommand : public ::testing::TestWithParam<CliCase> {};

TEST_P(SqlCommand, PrintsRowsOrTheNativeError)
{
    TempDir dir;
    const std::string path = makeDatabase(dir);
    std::string output;
    ASSERT_EQ(runCli("sql --db " + quoted(path) + " " + quoted(personalInsert({.usn = "1QP22CS001", .name = "Asha Rao"}))),
              0);
    EXPECT_EQ(runCli("sql --db " + quoted(path) + " " + GetParam().args, &output), GetParam().status)
        << GetParam().what << "\n" << output;
    EXPECT_NE(output.find(GetParam().output), std::string::npos) << GetParam().what << "\n" << output;
}

INSTANTIATE_TEST_SUITE_P(
    Statements, SqlCommand,
    ::testing::Values(
        CliCase{"select", "\"SELECT USN, Name, one_to_4 FROM Personal\"", 0, "USN\tName\tone_to_4\n1QP22CS001\tAsha Rao\t2\n"},
        CliCase{"query road wildcards", "--road query \"SELECT Name FROM Personal WHERE usn like '*22cs*'\"", 0,
                "Name\nAsha Rao\n"},
        CliCase{"update", "\"UPDATE personal set one_to_4=72.5 where USN='1QP22CS001'\"", 0, ""},
        CliCase{"duplicate key", "\"INSERT into BRANCH(BranchCode,Branch) values('cs', 'Again')\"", 1, "-105121349"},
        CliCase{"syntax error", "\"SELEC 1\"", 1, "error -1"},
        CliCase{"two statements", "\"DELETE FROM Branch; DELETE FROM Personal\"", 1, "one statement"},
        CliCase{"saved query", "--saved-query FreePercent \"SELECT USN as USN_FP FROM marks\"", 0, ""},
        CliCase{"saved query rejected", "--saved-query FreePercent \"SELECT nosuch FROM marks\"", 1, "nosuch"},
        CliCase{"no statement", "", 2, "usage"},
        CliCase{"unknown road", "--road dao \"SELECT 1\"", 2, "usage"}));

TEST(SqlCommand, MissingDatabaseFailsAndCreatesNothing)
{
    TempDir dir;
    std::string output;
    EXPECT_EQ(runCli("sql --db " + quoted(dir.file("none.db")) + " \"SELECT 1\"", &output), 1);
    EXPECT_NE(output.find(dir.file("none.db")), std::string::npos) << output;
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.db")));
}

TEST(SqlCommand, WorkedExampleRunsOnTheQueryRoadAfterSettingFreePercent)
{
    TempDir dir;
    const std::string db = quoted(makeDatabase(dir));
    ASSERT_EQ(runCli("sql --db " + db + " " + quoted(personalInsert({.usn = "1QP22CS001", .name = "Asha Rao"}))), 0);
    for (int level = 3; level <= 8; ++level)
        ASSERT_EQ(runCli("sql --db " + db + " " + quoted(marksInsert("1QP22CS001", level, 145, 200))), 0);
    std::string output;
    ASSERT_EQ(runCli("sql --db " + db + " --saved-query FreePercent " +
                         quoted("SELECT USN as USN_FP, Count(*) as SemsCount, format(sum(obtained)/sum(max) * "
                                "100,'0.00') AS Percent1To6 From marks Where education_Level >=2 + 1+ 0 And "
                                "education_Level <= 2 + 6+ 0 GROUP BY USN"),
                     &output),
              0)
        << output;
    ASSERT_EQ(runCli("sql --db " + db + " --road query " +
                         quoted("SELECT USN,Name,  Gender  , Percent1To6 , Email FROM personal, FreePercent   where "
                                "(Percent1To6 >= 60 )  AND ( usn like '*22CS*' or usn like '*22EC*') AND (usn = "
                                "Freepercent.usn_FP)  ORDER BY Percent1To6 DESC"),
                     &output),
              0);
    EXPECT_EQ(output, "USN\tName\tGender\tPercent1To6\tEmail\n1QP22CS001\tAsha Rao\tFemale\t72.50\tasha@example.com\n");
}

}  // namespace
}  // namespace kyt::test
