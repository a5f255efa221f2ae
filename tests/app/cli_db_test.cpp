// kyt-cli init-db and sql, run as the administrator runs them.

#include <gtest/gtest.h>

#include <filesystem>

#include "app/run_cli.h"
#include "db/seed.h"

namespace kyt::test {
namespace {

// Branch codes go in upper case; the line about the journal names the one the engine reports.
TEST(InitDb, SeedsBranchesInUpperCaseAndSaysWhichJournalTheDatabaseKeeps)
{
    TempDir dir;
    const std::string path = dir.file("kyt.db");
    writeFile(dir.file("branches.csv"), "# code,name\n\ncs, Computer Science \r\nMca,Master of Computer Applications\n");
    std::string output;
    ASSERT_EQ(runCli("init-db " + quoted(path) + " --branches " + quoted(dir.file("branches.csv")), &output), 0)
        << output;
    const size_t line = output.find("\nJournal: ");
    ASSERT_NE(line, std::string::npos) << output;
    const bool wal = output.compare(line + 10, 15, "write-ahead log") == 0;
    EXPECT_TRUE(wal || output.compare(line + 10, 16, "rollback journal") == 0) << output;
    EXPECT_NE(output.find(" with full sync: the ", line), std::string::npos) << output;
    ASSERT_EQ(runCli("sql --db " + quoted(path) + " \"PRAGMA journal_mode\"", &output), 0) << output;
    EXPECT_EQ(output, wal ? "journal_mode\nwal\n" : "journal_mode\ndelete\n");
    EXPECT_EQ(runCli("sql --db " + quoted(path) + " \"SELECT BranchCode, Branch FROM Branch ORDER BY BranchCode\"",
                     &output),
              0);
    EXPECT_EQ(output, "BranchCode\tBranch\nCS\tComputer Science\nMCA\tMaster of Computer Applications\n");
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
        {"--saved-query FreePercent \"SELECT nosuch FROM marks\"", 1, "nosuch"},
        {"", 2, "usage"},
        {"--road dao \"SELECT 1\"", 2, "usage"},
        {"--saved-query FreePercent " +
             quoted("SELECT USN as USN_FP, format(sum(obtained)/sum(max) * 100,'0.00') AS Percent1To6 From marks "
                    "GROUP BY USN"),
         0, ""},
        {"--road query \"SELECT Percent1To6 FROM FreePercent\"", 0, "Percent1To6\n72.50\n"},
        {"\"UPDATE personal set one_to_4=72.5 where USN='1QP22CS001'\"", 0, ""},
        {"\"SELECT one_to_4 FROM Personal\"", 0, "one_to_4\n72.5\n"},
    };
    for (const Case& c : cases) {
        std::string output;
        EXPECT_EQ(runCli("sql --db " + db + " " + c.args, &output), c.status) << c.args << "\n" << output;
        EXPECT_NE(output.find(c.printed), std::string::npos) << c.args << "\n" << output;
    }
}

// An earlier Kyt's database is upgraded once, the copy named; a second run finds it up to date.
TEST(UpgradeDb, UpgradesOnceAndSaysWhereTheCopyIs)
{
    TempDir dir;
    const std::string path = dir.file("kyt.db");
    db::Failure failure;
    ASSERT_TRUE(db::Database::create(path, {}, 1, failure)) << failure.description;
    const std::string latest = std::to_string(db::latestSchemaVersion(db::Engine::SQLite));
    std::string output;
    ASSERT_EQ(runCli("upgrade-db " + quoted(path), &output), 0) << output;
    EXPECT_EQ(output.rfind("Upgraded " + path + " from schema version 1 to " + latest + ".\nThe database as it was is kept in " +
                               dir.file("kyt.v1-copy-"),
                           0),
              0u)
        << output;
    ASSERT_EQ(runCli("upgrade-db " + quoted(path), &output), 0) << output;
    EXPECT_EQ(output, path + " is up to date (schema version " + latest + ").\n");
}

}  // namespace
}  // namespace kyt::test
