#include "db/database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "seed.h"
#include "support/temp_dir.h"
#include "support/unprivileged.h"

namespace kyt::test {
namespace {

using db::Database;
using db::Failure;
using db::Road;

// Nothing is created or changed by a refused open, and the description names the file.
TEST(Open, RefusesWhatIsNotOneOfOurDatabases)
{
    struct BadFile {
        const char* what;
        std::function<std::string(const TempDir&)> make;  // returns the path to open
        int32_t number;                                     // 0: any
    };
    const BadFile files[] = {
        {"missing file", [](const TempDir& d) { return d.file("missing.db"); }, 0},
        {"folder", [](const TempDir& d) { return d.path().string(); }, 0},
        {"text file",
         [](const TempDir& d) {
             writeFile(d.file("notes.db"), std::string(2048, 'x'));
             return d.file("notes.db");
         },
         0},
        {"damaged file",
         [](const TempDir& d) {
             writeFile(d.file("damaged.db"), std::string(4096, '\x5a'));
             return d.file("damaged.db");
         },
         db::kErrInconsistent},
        {"another program's SQLite database",
         [](const TempDir& d) {
             sqlite3* other = nullptr;
             sqlite3_open(d.file("other.db").c_str(), &other);
             sqlite3_exec(other, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
             sqlite3_close(other);
             return d.file("other.db");
         },
         0},
    };
    for (const BadFile& bad : files) {
        SCOPED_TRACE(bad.what);
        TempDir dir;
        const std::string path = bad.make(dir);
        const auto before = std::filesystem::exists(path) ? readFile(path) : std::string("<none>");
        Failure failure;
        EXPECT_FALSE(Database::open(path, Road::Query, failure));
        EXPECT_NE(failure.number, 0);
        EXPECT_EQ(failure.number, bad.number ? bad.number : failure.number) << failure.description;
        EXPECT_NE(failure.description.find(path), std::string::npos) << failure.description;
        EXPECT_EQ(std::filesystem::exists(path) ? readFile(path) : std::string("<none>"), before);
        EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
    }
}

TEST_F(DatabaseTest, OpenRefusesAReadOnlyFile)
{
    chmod(path.c_str(), 0444);
    reachableFor(path);
    // 0: refused as read-only; 1: opened; 2: refused for another reason.
    const int result = runUnprivileged([&] {
        Failure failure;
        if (Database::open(path, Road::Connector, failure))
            return 1;
        return failure.description.find("read-only") != std::string::npos ? 0 : 2;
    });
    EXPECT_EQ(result, 0);
}

TEST(Create, NeverReplacesAFileAndLeavesNothingBehindWhenTheBranchesFail)
{
    TempDir dir;
    const std::string path = dir.file("kyt.db");
    writeFile(path, "precious");
    Failure failure;
    EXPECT_FALSE(Database::create(path, failure));
    EXPECT_NE(failure.description.find(path), std::string::npos);
    EXPECT_EQ(readFile(path), "precious");

    const std::string other = dir.file("other.db");
    EXPECT_FALSE(Database::create(other, {{"CS", "Computer Science"}, {"cs", "Again"}}, failure));
    EXPECT_EQ(failure.number, db::kErrDuplicateKey) << failure.description;
    EXPECT_FALSE(std::filesystem::exists(other));
}

// The reader writes rows by position: the columns it fills must stand where it expects them.
TEST_F(DatabaseTest, TablesHaveTheirColumnsInOrder)
{
    auto db = openDb();
    const std::vector<std::string> personal = select(*db, "SELECT * FROM Personal").fieldNames();
    ASSERT_EQ(personal.size(), 37u);
    const std::pair<size_t, const char*> places[] = {{0, "USN"},       {2, "Name"},      {4, "dob1"},
                                                     {11, "Email"},    {28, "one_to_4"}, {36, "finalproject2"}};
    for (auto [at, name] : places)
        EXPECT_EQ(personal[at], name);
    EXPECT_EQ(select(*db, "SELECT * FROM Marks").fieldNames(),
              (std::vector<std::string>{"usn", "education_level", "Institution", "obtained", "max", "Percentage",
                                        "class", "PassingYear", "Attempts"}));
    EXPECT_EQ(select(*db, "SELECT * FROM Branch").fieldNames().size(), 2u);
}

TEST_F(DatabaseTest, OneStatementPerCallAndARecordsetOnlyReads)
{
    auto db = openDb();
    run(*db, personalInsert({.usn = "1QP22CS001"}));
    Failure failure;
    EXPECT_FALSE(db->exec("DELETE FROM Branch; DELETE FROM Personal", failure));
    EXPECT_EQ(failure.description, "Only one statement can be run at a time.");
    EXPECT_FALSE(db->exec("SELECT 1; DROP TABLE Personal", failure));
    db::Recordset rs;
    EXPECT_FALSE(db->openRecordset("SELECT * FROM Personal; DELETE FROM Personal", rs, failure));
    EXPECT_FALSE(db->openRecordset("DELETE FROM Branch", rs, failure));
    EXPECT_EQ(failure.description, "Only a SELECT can be opened as a recordset.");
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
    EXPECT_TRUE(empty.isEOF() && empty.isBOF());
    EXPECT_EQ(empty.fieldNames(), std::vector<std::string>{"BranchCode"});

    db::Recordset rs = select(*db, "SELECT BranchCode, Branch FROM branch ORDER BY BranchCode");
    EXPECT_EQ(rs.RecordCount(), 3);
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
}

TEST_F(DatabaseTest, SavedQueryTextIsKeptAsWrittenAndCanBeSetInsideATransaction)
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

    ASSERT_TRUE(db->begin(failure));
    EXPECT_FALSE(db->begin(failure));  // never nested
    ASSERT_TRUE(db->setSavedQuery("ser", "SELECT USN, Name FROM Personal", failure)) << failure.description;
    EXPECT_FALSE(db->setSavedQuery("ser", "SELECT nosuch FROM Personal", failure));
    EXPECT_TRUE(db->inTransaction());
    ASSERT_TRUE(db->commit(failure));
    EXPECT_EQ(select(*db, "SELECT * FROM ser").fieldNames(), (std::vector<std::string>{"USN", "Name"}));
}

TEST_F(DatabaseTest, ARejectedSavedQueryKeepsTheOldOne)
{
    const std::pair<const char*, const char*> rejected[] = {
        {"FreePercent", "SELECT nosuch FROM marks"},
        {"FreePercent", "SELECT * FROM nosuchtable"},
        {"FreePercent", "SELECT usn FROM marks WHERE usn like 'a"},
        {"FreePercent", "DELETE FROM marks"},
        {"FreePercent", "SELECT 1; DROP TABLE Marks"},
        {"NoSuchQuery", "SELECT * FROM marks"},
    };
    auto db = openDb(Road::Query);
    std::string before;
    Failure failure;
    ASSERT_TRUE(db->savedQuery("FreePercent", before, failure));
    run(*db, personalInsert({.usn = "1QP22CS001"}));
    run(*db, marksInsert("1QP22CS001", 3, 70, 100));
    for (auto [name, sql] : rejected) {
        SCOPED_TRACE(sql);
        EXPECT_FALSE(db->setSavedQuery(name, sql, failure));
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
}

}  // namespace
}  // namespace kyt::test
