#include "db/database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>

#include "seed.h"
#include "support/db_faults.h"

namespace kyt::test {
namespace {

using db::Database;
using db::Failure;
using db::Road;

struct BadFile {
    const char* what;
    std::function<std::string(const TempDir&)> make;  // returns the path to open
};

class OpenRefuses : public ::testing::TestWithParam<BadFile> {};

TEST_P(OpenRefuses, WhatIsNotOneOfOurDatabasesAndNamesThePath)
{
    TempDir dir;
    const std::string path = GetParam().make(dir);
    const auto before = std::filesystem::exists(path) ? readFile(path) : std::string("<none>");
    Failure failure;
    EXPECT_FALSE(Database::open(path, Road::Connector, failure)) << GetParam().what;
    EXPECT_NE(failure.number, 0);
    EXPECT_NE(failure.description.find(path), std::string::npos) << failure.description;
    // Nothing was created or changed.
    EXPECT_EQ(std::filesystem::exists(path) ? readFile(path) : std::string("<none>"), before);
    EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, OpenRefuses,
    ::testing::Values(
        BadFile{"missing file", [](const TempDir& d) { return d.file("missing.db"); }},
        BadFile{"folder", [](const TempDir& d) { return d.path().string(); }},
        BadFile{"text file",
                [](const TempDir& d) {
                    writeFile(d.file("notes.db"), std::string(2048, 'x'));
                    return d.file("notes.db");
                }},
        BadFile{"another program's SQLite database", [](const TempDir& d) {
                    sqlite3* other = nullptr;
                    sqlite3_open(d.file("other.db").c_str(), &other);
                    sqlite3_exec(other, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
                    sqlite3_close(other);
                    return d.file("other.db");
                }}));

TEST(Open, ADamagedFileIsAnInconsistentDatabase)
{
    TempDir dir;
    writeFile(dir.file("damaged.db"), std::string(4096, '\x5a'));
    Failure failure;
    EXPECT_FALSE(Database::open(dir.file("damaged.db"), Road::Query, failure));
    EXPECT_EQ(failure.number, db::kErrInconsistent) << failure.description;
}

TEST_F(DatabaseTest, OpenRefusesAReadOnlyFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes to read-only files";
    chmod(path.c_str(), 0444);
    Failure failure;
    EXPECT_FALSE(Database::open(path, Road::Connector, failure));
    EXPECT_NE(failure.description.find("read-only"), std::string::npos) << failure.description;
}

TEST(Create, RefusesToReplaceAnExistingFile)
{
    TempDir dir;
    const std::string path = dir.file("kyt.db");
    writeFile(path, "precious");
    Failure failure;
    EXPECT_FALSE(Database::create(path, failure));
    EXPECT_NE(failure.description.find(path), std::string::npos);
    EXPECT_EQ(readFile(path), "precious");
}

TEST(Create, LeavesNothingBehindWhenTheBranchesFail)
{
    TempDir dir;
    const std::string path = dir.file("kyt.db");
    Failure failure;
    EXPECT_FALSE(Database::create(path, {{"CS", "Computer Science"}, {"cs", "Again"}}, failure));
    EXPECT_EQ(failure.number, db::kErrDuplicateKey) << failure.description;
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(DatabaseTest, TablesHaveTheirColumnsInOrder)
{
    auto db = openDb();
    const std::pair<const char*, size_t> tables[] = {{"Personal", 37}, {"Marks", 9}, {"Branch", 2}};
    for (auto [table, count] : tables)
        EXPECT_EQ(select(*db, std::string("SELECT * FROM ") + table).fieldNames().size(), count) << table;
    const std::vector<std::string> personal = select(*db, "SELECT * FROM Personal").fieldNames();
    EXPECT_EQ(personal[0], "USN");
    EXPECT_EQ(personal[2], "Name");
    EXPECT_EQ(personal[4], "dob1");
    EXPECT_EQ(personal[11], "Email");
    EXPECT_EQ(personal[28], "one_to_4");
    EXPECT_EQ(personal[36], "finalproject2");
    for (const char* named : {"Gender", "CET", "hobbies", "eca"}) {
        auto at = std::find(personal.begin(), personal.end(), named) - personal.begin();
        EXPECT_GE(at, 3) << named;
        EXPECT_LE(at, 27) << named;
    }
    EXPECT_EQ(select(*db, "SELECT * FROM Marks").fieldNames(),
              (std::vector<std::string>{"usn", "education_level", "Institution", "obtained", "max", "Percentage",
                                        "class", "PassingYear", "Attempts"}));
}

TEST_F(DatabaseTest, NewStudentStartsWithTheInitialAggregatesAndProjects)
{
    auto db = openDb();
    run(*db, personalInsert({.usn = "1QP22CS001"}));
    db::Recordset rs = select(*db, "SELECT one_to_4, one_to_5, one_to_6, one_to_7, one_to_8, prefinalproject1 FROM "
                                   "personal");
    std::string values;
    for (int i = 0; i < rs.fieldCount(); ++i)
        values += rs.field(i).toText() + " ";
    EXPECT_EQ(values, "2 2 2 0 0 e ");
}

TEST_F(DatabaseTest, OneStatementPerCall)
{
    auto db = openDb();
    run(*db, personalInsert({.usn = "1QP22CS001"}));
    Failure failure;
    EXPECT_FALSE(db->exec("DELETE FROM Branch; DELETE FROM Personal", failure));
    EXPECT_NE(failure.number, 0);
    EXPECT_FALSE(db->exec("SELECT 1; DROP TABLE Personal", failure));
    db::Recordset rs;
    EXPECT_FALSE(db->openRecordset("SELECT * FROM Personal; DELETE FROM Personal", rs, failure));
    EXPECT_EQ(select(*db, "SELECT * FROM Personal").RecordCount(), 1);
    EXPECT_EQ(select(*db, "SELECT * FROM Branch").RecordCount(), 3);
    // A closing semicolon or comment is not a second statement.
    EXPECT_TRUE(db->exec("UPDATE Personal SET Gender = 'F';  -- done\n", failure)) << failure.description;
}

TEST_F(DatabaseTest, RecordsetIsReadWhole)
{
    auto db = openDb();
    db::Recordset empty = select(*db, "SELECT BranchCode FROM Branch WHERE BranchCode = 'XX'");
    EXPECT_EQ(empty.RecordCount(), 0);
    EXPECT_TRUE(empty.isEOF());
    EXPECT_TRUE(empty.isBOF());
    EXPECT_EQ(empty.fieldNames(), std::vector<std::string>{"BranchCode"});

    db::Recordset rs = select(*db, "SELECT BranchCode, Branch FROM branch ORDER BY BranchCode");
    EXPECT_EQ(rs.RecordCount(), 3);
    EXPECT_FALSE(rs.isBOF());
    std::vector<std::string> codes;
    for (; !rs.isEOF(); rs.MoveNext())
        codes.push_back(rs.field(0).toText() + "=" + rs.field("branch").toText());
    EXPECT_EQ(codes, (std::vector<std::string>{"CS=Computer Science", "EC=Electronics",
                                               "MCA=Master of Computer Applications"}));
    EXPECT_TRUE(rs.field("BranchCode").isNull());  // past the end
    rs.MoveFirst();
    EXPECT_EQ(rs.field("BRANCHCODE").toText(), "CS");
    EXPECT_TRUE(rs.field("nosuch").isNull());
    EXPECT_TRUE(rs.field(7).isNull());
    EXPECT_EQ(rs.fieldIndex("nosuch"), -1);
}

TEST_F(DatabaseTest, RecordsetRefusesAStatementThatWrites)
{
    auto db = openDb();
    db::Recordset rs;
    Failure failure;
    EXPECT_FALSE(db->openRecordset("DELETE FROM Branch", rs, failure));
    EXPECT_EQ(select(*db, "SELECT * FROM Branch").RecordCount(), 3);
}

TEST_F(DatabaseTest, RollbackLeavesNothingBehind)
{
    auto db = openDb();
    Failure failure;
    ASSERT_TRUE(db->begin(failure)) << failure.description;
    EXPECT_TRUE(db->inTransaction());
    run(*db, personalInsert({.usn = "1QP22CS001"}));
    run(*db, marksInsert("1QP22CS001", 3, 70, 100));
    ASSERT_TRUE(db->rollback(failure)) << failure.description;
    EXPECT_FALSE(db->inTransaction());
    auto other = openDb();
    EXPECT_EQ(select(*other, "SELECT * FROM Personal").RecordCount(), 0);
    EXPECT_EQ(select(*other, "SELECT * FROM Marks").RecordCount(), 0);
}

TEST_F(DatabaseTest, ClosingWithAnOpenTransactionDoesNotCommitIt)
{
    {
        auto db = openDb();
        Failure failure;
        ASSERT_TRUE(db->begin(failure));
        run(*db, personalInsert({.usn = "1QP22CS001"}));
    }
    auto db = openDb();
    EXPECT_EQ(select(*db, "SELECT * FROM Personal").RecordCount(), 0);
}

TEST_F(DatabaseTest, AFullDiskFailsTheWriteAndRollsBackTheTransaction)
{
    auto db = openDb();
    Failure failure;
    ASSERT_TRUE(db->begin(failure));
    run(*db, personalInsert({.usn = "1QP22CS000"}));
    ASSERT_TRUE(fillDisk(*db));
    bool failed = false;
    for (int i = 1; i <= 200 && !failed; ++i) {
        char usn[16];
        std::snprintf(usn, sizeof usn, "1QP22CS%03d", i);
        failed = !db->exec(personalInsert({.usn = usn, .hobbies = std::string(240, 'h'), .eca = std::string(240, 'e')}),
                           failure);
    }
    ASSERT_TRUE(failed);
    EXPECT_NE(failure.description.find("full"), std::string::npos) << failure.description;
    EXPECT_FALSE(db->inTransaction());
    EXPECT_EQ(select(*openDb(), "SELECT * FROM Personal").RecordCount(), 0);
}

TEST_F(DatabaseTest, SavedQueryTextIsKeptAsWritten)
{
    auto db = openDb(Road::Query);
    const std::string text =
        "SELECT USN as USN_FP, Count(*) as SemsCount, format(sum(obtained)/sum(max) * 100,'0.00') AS Percent3To8 From "
        "marks Where education_Level >=2 + 3+ 1 And education_Level <= 2 + 8+ 1 GROUP BY USN";
    Failure failure;
    ASSERT_TRUE(db->setSavedQuery("freepercent", text + " ;", failure)) << failure.description;
    std::string stored;
    ASSERT_TRUE(db->savedQuery("FreePercent", stored, failure));
    EXPECT_EQ(stored, text);
    EXPECT_EQ(select(*db, "SELECT * FROM FreePercent").fieldNames(),
              (std::vector<std::string>{"USN_FP", "SemsCount", "Percent3To8"}));
}

struct Rejected {
    const char* name;
    const char* sql;
};

class SavedQueryRejection : public DatabaseTest, public ::testing::WithParamInterface<Rejected> {};

TEST_P(SavedQueryRejection, KeepsTheOldQuery)
{
    auto db = openDb(Road::Query);
    std::string before;
    Failure failure;
    ASSERT_TRUE(db->savedQuery("FreePercent", before, failure));
    run(*db, personalInsert({.usn = "1QP22CS001"}));
    run(*db, marksInsert("1QP22CS001", 3, 70, 100));

    EXPECT_FALSE(db->setSavedQuery(GetParam().name, GetParam().sql, failure)) << GetParam().sql;
    EXPECT_NE(failure.number, 0);
    EXPECT_FALSE(failure.description.empty());

    std::string after;
    ASSERT_TRUE(db->savedQuery("FreePercent", after, failure));
    EXPECT_EQ(after, before);
    db::Recordset rs = select(*db, "SELECT * FROM FreePercent");
    EXPECT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.field("Percent1To6").toText(), "70.00");
    EXPECT_FALSE(db->inTransaction());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SavedQueryRejection,
    ::testing::Values(Rejected{"FreePercent", "SELECT nosuch FROM marks"},
                      Rejected{"FreePercent", "SELECT * FROM nosuchtable"},
                      Rejected{"FreePercent", "SELECT usn FROM marks WHERE usn like 'a"},
                      Rejected{"FreePercent", "DELETE FROM marks"},
                      Rejected{"FreePercent", "SELECT 1; DROP TABLE Marks"},
                      Rejected{"NoSuchQuery", "SELECT * FROM marks"}));

TEST_F(DatabaseTest, SavedQueryCanBeSetInsideAnOpenTransaction)
{
    auto db = openDb(Road::Query);
    Failure failure;
    ASSERT_TRUE(db->begin(failure));
    ASSERT_TRUE(db->setSavedQuery("ser", "SELECT USN, Name FROM Personal", failure)) << failure.description;
    EXPECT_FALSE(db->setSavedQuery("ser", "SELECT nosuch FROM Personal", failure));
    EXPECT_TRUE(db->inTransaction());
    ASSERT_TRUE(db->commit(failure));
    EXPECT_EQ(select(*db, "SELECT * FROM ser").fieldNames(), (std::vector<std::string>{"USN", "Name"}));
}

}  // namespace
}  // namespace kyt::test
