// Writes of one shape share one compiled statement: what they store and how they fail must be exactly what
// the statement as written would store and how it would fail.

#include "db/statement_shape.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <optional>
#include <string>
#include <vector>

#include "db/jet_sql.h"
#include "db/native_error.h"
#include "seed.h"
#include "support/db_faults.h"

namespace kyt::test {
namespace {

using db::Database;
using db::Failure;
using db::Road;
using db::StatementShape;
using Kind = StatementShape::Literal::Kind;

TEST(WriteShape, ReplacesEachValueByAParameter)
{
    struct ShapeCase {
        const char* sql;
        const char* shape;
        std::vector<std::pair<Kind, std::string>> literals;
    };
    const ShapeCase cases[] = {
        {"INSERT INTO marks values( '1QP22CS001', 3, 'R V', 650, 1000, 65.25, 'FCD', 'Jun 2023', '1')",
         "INSERT INTO marks values( ?, ?, ?, ?, ?, ?, ?, ?, ?)",
         {{Kind::Text, "1QP22CS001"}, {Kind::Integer, "3"}, {Kind::Text, "R V"}, {Kind::Integer, "650"},
          {Kind::Integer, "1000"}, {Kind::Real, "65.25"}, {Kind::Text, "FCD"}, {Kind::Text, "Jun 2023"},
          {Kind::Text, "1"}}},
        // Names with digits stay names; a quote inside a string is doubled.
        {"UPDATE personal set one_to_4=72.50 where USN='O''Neil'",
         "UPDATE personal set one_to_4=? where USN=?",
         {{Kind::Real, "72.50"}, {Kind::Text, "O'Neil"}}},
        {"  delete FROM Marks WHERE Level = -2 AND x = 1e3 AND y = .5 -- 'note' 4\n",
         "  delete FROM Marks WHERE Level = -? AND x = ? AND y = ? -- 'note' 4\n",
         {{Kind::Integer, "2"}, {Kind::Real, "1e3"}, {Kind::Real, ".5"}}},
        {"INSERT INTO \"Branch 2\" ([Code 1], `x`) /* 'a' */ VALUES ('É', 007)",
         "INSERT INTO \"Branch 2\" ([Code 1], `x`) /* 'a' */ VALUES (?, ?)",
         {{Kind::Text, "É"}, {Kind::Integer, "007"}}},
        {"UPDATE t SET a = b*1.0/4", "UPDATE t SET a = b*?/?", {{Kind::Real, "1.0"}, {Kind::Integer, "4"}}},
    };
    for (const ShapeCase& c : cases) {
        SCOPED_TRACE(c.sql);
        const std::optional<StatementShape> shape = db::writeShape(c.sql);
        ASSERT_TRUE(shape);
        EXPECT_EQ(shape->text, c.shape);
        ASSERT_EQ(shape->literals.size(), c.literals.size());
        for (size_t k = 0; k < c.literals.size(); ++k) {
            EXPECT_EQ(shape->literals[k].kind, c.literals[k].first) << "value " << k;
            EXPECT_EQ(shape->literals[k].text, c.literals[k].second) << "value " << k;
        }
    }
}

TEST(WriteShape, RefusesWhatMustBeCompiledAsWritten)
{
    for (const char* sql :
         {"SELECT 1", "  select 'a' AS x", "PRAGMA user_version = 3", "CREATE TABLE t(a DEFAULT 1)",
          "INSERT INTO t SELECT 1, 'a'", "INSERT INTO t VALUES (1) RETURNING 2", "UPDATE t SET a = 1 ORDER BY 1 LIMIT 1",
          "INSERT INTO t VALUES (x'00ff')", "INSERT INTO t VALUES (0x10)", "INSERT INTO t VALUES (12345678901234567890)",
          "INSERT INTO t VALUES (?)", "INSERT INTO t VALUES (:a)", "INSERT INTO t VALUES ($a)",
          "INSERT INTO t VALUES (@a)", "INSERT INTO t VALUES ('open", "INSERT INTO t VALUES (1.2.3)",
          "INSERT INTO t VALUES (12abc)", "BEGIN", ""})
        EXPECT_FALSE(db::writeShape(sql)) << sql;
}

class SharedStatements : public DatabaseTest {
protected:
    Failure failureOf(Database& database, const std::string& sql)
    {
        Failure failure;
        EXPECT_FALSE(database.exec(sql, failure)) << sql;
        return failure;
    }
};

// The same statements through the layer (shaped) and straight into the engine (as written), into two
// tables alike; every value must be stored alike, type and bits, with no column type and with REAL.
TEST_F(SharedStatements, StoreEveryValueAsTheWrittenStatementWould)
{
    const std::vector<std::string> values = {
        "65.25", "0.1", "72.50", "1e3", "2.5E-3", ".5", "123456789.123456789", "3.14159265358979323846", "-0.0",
        "1e308", "99999999999999999.9", "7/2", "007", "-42", "123456789012345678", "0", "'text'", "'O''Neil'",
        "''", "'É ü'", "'650'", "'65.25'", "NULL", "-(3)", "'a' || 'b'", "2 * 0.1"};
    auto database = openDb();
    for (const char* columnType : {"", "REAL"}) {
        SCOPED_TRACE(columnType);
        for (const char* table : {"Shaped", "Written"})
            run(*database, std::string("CREATE TABLE ") + table + " (id INTEGER PRIMARY KEY, v " + columnType + ")");
        for (size_t k = 0; k < values.size(); ++k) {
            const std::string id = std::to_string(k + 1);
            run(*database, "INSERT INTO Shaped VALUES (" + id + ", " + values[k] + ")");
            const std::string written = db::jet::toSqlite("INSERT INTO Written VALUES (" + id + ", " + values[k] + ")");
            ASSERT_EQ(sqlite3_exec(database->handle(), written.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
                << written << ": " << sqlite3_errmsg(database->handle());
        }
        EXPECT_EQ(select(*database, "SELECT count(*) AS n FROM Shaped s JOIN Written w ON s.id = w.id "
                                    "WHERE s.v IS w.v AND typeof(s.v) = typeof(w.v)")
                      .field("n")
                      .toInteger(),
                  static_cast<int64_t>(values.size()));
        run(*database, "DROP TABLE Shaped");
        run(*database, "DROP TABLE Written");
    }
}

int compiledStatements(Database& database)
{
    int count = 0;
    for (sqlite3_stmt* s = sqlite3_next_stmt(database.handle(), nullptr); s; s = sqlite3_next_stmt(database.handle(), s))
        ++count;
    return count;
}

TEST_F(SharedStatements, OneCompiledStatementServesEveryRowOfAShapeAndFailsAsTheWrittenOne)
{
    auto database = openDb();
    run(*database, personalInsert({.usn = "1QP22CS001"}));
    run(*database, marksInsert("1QP22CS001", 1, 650, 1000, "65.5"));
    const int kept = compiledStatements(*database);
    for (int level = 2; level <= 10; ++level)
        run(*database, marksInsert("1QP22CS001", level, 600 + level, 1000, std::to_string(60 + level) + ".25"));
    run(*database, personalInsert({.usn = "1QP22CS002", .name = "Bala"}));
    EXPECT_EQ(compiledStatements(*database), kept);
    EXPECT_EQ(column(*database, "SELECT Percentage FROM Marks WHERE education_level = 7", "Percentage"),
              std::vector<std::string>{"67.25"});

    for (const std::string& sql : {personalInsert({.usn = "1QP22CS001"}),
                                   personalInsert({.usn = "1QP22CS003", .gender = std::string(11, 'F')}),
                                   personalInsert({.usn = "1QP22CS003", .pin = "'56A001'"})}) {
        const Failure shaped = failureOf(*database, sql);
        ASSERT_NE(sqlite3_exec(database->handle(), sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        const Failure written = db::nativeFailure(sqlite3_extended_errcode(database->handle()),
                                                  sqlite3_errmsg(database->handle()), path);
        EXPECT_EQ(shaped.number, written.number) << sql;
        EXPECT_EQ(shaped.description, written.description) << sql;
    }
    EXPECT_EQ(column(*database, "SELECT Name FROM Personal ORDER BY USN", "Name"),
              (std::vector<std::string>{"Asha Rao", "Bala"}));
}

// Another program can write between two uses: nothing kept for reuse holds the file, whether the
// transaction was rolled back or committed, nor a query that was read whole or failed while stepping.
TEST_F(SharedStatements, HoldNoLockBetweenUses)
{
    auto database = openDb();
    auto other = openDb();
    other->setBusyTimeout(0);
    Failure failure;
    ASSERT_TRUE(database->begin(failure));
    run(*database, personalInsert({.usn = "1QP22CS001"}));
    ASSERT_TRUE(database->rollback(failure));
    ASSERT_TRUE(database->begin(failure));
    run(*database, personalInsert({.usn = "1QP22CS002"}));
    ASSERT_TRUE(database->commit(failure)) << failure.description;
    EXPECT_EQ(column(*database, "SELECT USN FROM Personal", "USN"), std::vector<std::string>{"1QP22CS002"});

    for (const char* query : {"SELECT USN FROM Personal", "SELECT CInt(Pin * 1000) AS n FROM Personal"}) {
        for (int round = 0; round < 2; ++round) {
            db::Recordset rs;
            database->openRecordset(query, rs, failure);  // the second fails while it steps: CInt overflows
            ASSERT_TRUE(other->begin(failure)) << failure.description;
            run(*other, "UPDATE Personal SET Gender = 'F" + std::to_string(round) + "'");
            EXPECT_TRUE(other->commit(failure)) << query << ": " << failure.description;
        }
    }
    db::Recordset rs;
    EXPECT_FALSE(database->openRecordset("SELECT CInt(Pin * 1000) AS n FROM Personal", rs, failure));
    EXPECT_NE(failure.description.find("Overflow"), std::string::npos) << failure.description;
}

// A change of the schema, here or by another program, means nothing compiled before it is used after.
TEST_F(SharedStatements, FollowEveryChangeOfTheSchema)
{
    auto database = openDb();
    run(*database, "CREATE TABLE Notes (a TEXT)");
    run(*database, "INSERT INTO Notes VALUES ('first')");
    const std::string query = "SELECT * FROM Notes";
    EXPECT_EQ(select(*database, query).fieldCount(), 1);
    run(*database, "ALTER TABLE Notes ADD COLUMN b TEXT DEFAULT 'x'");
    EXPECT_EQ(select(*database, query).field("b").toText(), "x");
    run(*database, "DROP TABLE Notes");
    run(*database, "CREATE TABLE Notes (a TEXT, b TEXT)");
    EXPECT_NE(failureOf(*database, "INSERT INTO Notes VALUES ('second')").description.find("has 2 columns"),
              std::string::npos);
    run(*database, "INSERT INTO Notes VALUES ('third', 'x')");
    {
        auto other = openDb();
        run(*other, "DROP TABLE Notes");
        run(*other, "CREATE TABLE Notes (b TEXT, a TEXT DEFAULT 'none')");
    }
    run(*database, "INSERT INTO Notes VALUES ('fourth', 'y')");
    EXPECT_EQ(column(*database, "SELECT b FROM Notes", "b"), std::vector<std::string>{"fourth"});

    // Inside a transaction a query asked for again sees the transaction's rows; after a rollback, no longer.
    Failure failure;
    ASSERT_TRUE(database->begin(failure));
    run(*database, "INSERT INTO Notes VALUES ('fifth', 'z')");
    EXPECT_EQ(select(*database, query).RecordCount(), 2);
    ASSERT_TRUE(database->rollback(failure));
    EXPECT_EQ(select(*database, query).RecordCount(), 1);
}

TEST_F(SharedStatements, SeeTheSavedQueryAsItIsNow)
{
    auto database = openDb(Road::Query);
    const std::string query = "SELECT Seat FROM ser ORDER BY Seat";
    run(*database, personalInsert({.usn = "1QP22CS001"}));
    Failure failure;
    ASSERT_TRUE(database->setSavedQuery("ser", "SELECT USN AS Seat FROM Personal", failure)) << failure.description;
    run(*database, personalInsert({.usn = "1QP22CS002"}));
    EXPECT_EQ(column(*database, query, "Seat"), (std::vector<std::string>{"1QP22CS001", "1QP22CS002"}));
    ASSERT_TRUE(database->setSavedQuery("ser", "SELECT Name AS Seat FROM Personal WHERE USN = '1QP22CS002'", failure))
        << failure.description;
    run(*database, personalInsert({.usn = "1QP22CS003", .name = "Chitra"}));
    EXPECT_EQ(column(*database, query, "Seat"), std::vector<std::string>{"Asha Rao"});
    // A percentage column made by the saved query shows with two decimals from the moment it is saved.
    ASSERT_TRUE(database->setSavedQuery("ser", "SELECT format(72.5, '0.00') AS Seat FROM Personal LIMIT 1", failure))
        << failure.description;
    EXPECT_EQ(column(*database, query, "Seat"), std::vector<std::string>{"72.50"});
}

TEST_F(SharedStatements, AStatementThatCannotBeShapedRunsAsWritten)
{
    auto database = openDb();
    // SQLite takes a string where a name belongs; with a parameter there it would not compile.
    run(*database, "INSERT INTO Branch ('BranchCode', 'Branch') VALUES ('XX', 'Textiles')");
    run(*database, "UPDATE Branch SET 'Branch' = 'Textile Technology' WHERE BranchCode = 'XX'");
    EXPECT_EQ(column(*database, "SELECT Branch FROM Branch WHERE BranchCode = 'XX'", "Branch"),
              std::vector<std::string>{"Textile Technology"});
    // A wrong statement fails with the engine's message for the statement as written.
    const Failure failure = failureOf(*database, "INSERT INTO Nowhere VALUES ('a')");
    EXPECT_NE(failure.description.find("no such table: Nowhere"), std::string::npos) << failure.description;
    EXPECT_EQ(failureOf(*database, "INSERT INTO Branch VALUES ('YY', 'a'); DELETE FROM Branch").description,
              "Only one statement can be run at a time.");
    EXPECT_TRUE(column(*database, "SELECT Branch FROM Branch WHERE BranchCode = 'YY'", "Branch").empty());
}

}  // namespace
}  // namespace kyt::test
