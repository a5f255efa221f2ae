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

// One database, the statements in turn, as an administrator types them.
TEST(SqlCommand, PrintsRowsOrTheNativeError)
{
    TempDir dir;
    const std::string db = quoted(makeDatabase(dir));
    ASSERT_EQ(runCli("sql --db " + db + " " + quoted(personalInsert({.usn = "1QP22CS001", .name = "Asha Rao"}))), 0);
    for (int level = 3; level <= 8; ++level)
        ASSERT_EQ(runCli("sql --db " + db + " " + quoted(marksInsert("1QP22CS001", level, 145, 200))), 0);
    struct Case {
        std::string args;  // after "sql --db DB"
        int status;
        std::string printed;
    };
    const Case cases[] = {
        {"\"SELECT USN, Name, one_to_4 FROM Personal\"", 0, "USN\tName\tone_to_4\n1QP22CS001\tAsha Rao\t2\n"},
        {"--road query \"SELECT Name FROM Personal WHERE usn like '*22cs*'\"", 0, "Name\nAsha Rao\n"},
        {"\"INSERT into BRANCH(BranchCode,Branch) values('cs', 'Again')\"", 1, "-105121349"},
        {"\"SELEC 1\"", 1, "error -1"},
        {"\"DELETE FROM Branch; DELETE FROM Personal\"", 1, "one statement"},
        {"--saved-query FreePercent \"SELECT nosuch FROM marks\"", 1, "nosuch"},
        {"", 2, "usage"},
        {"--road dao \"SELECT 1\"", 2, "usage"},
        {"--saved-query FreePercent " +
             quoted("SELECT USN as USN_FP, Count(*) as SemsCount, format(sum(obtained)/sum(max) * 100,'0.00') AS "
                    "Percent1To6 From marks Where education_Level >=2 + 1+ 0 And education_Level <= 2 + 6+ 0 GROUP BY "
                    "USN"),
         0, ""},
        {"--road query " + quoted("SELECT USN,Name,  Gender  , Percent1To6 , Email FROM personal, FreePercent   where "
                                  "(Percent1To6 >= 60 )  AND ( usn like '*22CS*' or usn like '*22EC*') AND (usn = "
                                  "Freepercent.usn_FP)  ORDER BY Percent1To6 DESC"),
         0, "USN\tName\tGender\tPercent1To6\tEmail\n1QP22CS001\tAsha Rao\tFemale\t72.50\tasha@example.com\n"},
        {"\"UPDATE personal set one_to_4=72.5 where USN='1QP22CS001'\"", 0, ""},
        {"\"SELECT one_to_4 FROM Personal\"", 0, "one_to_4\n72.5\n"},
    };
    for (const Case& c : cases) {
        std::string output;
        EXPECT_EQ(runCli("sql --db " + db + " " + c.args, &output), c.status) << c.args << "\n" << output;
        EXPECT_NE(output.find(c.printed), std::string::npos) << c.args << "\n" << output;
    }
}

}  // namespace
}  // namespace kyt::test
