// The statement texts the program sends: how they are read for the engine, what they give on a seeded
// database, and how writes of one shape share one compiled statement, storing and failing exactly as
// the statement as written would.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <ctime>
#include <optional>

#include "db/functions.h"
#include "db/jet_sql.h"
#include "db/native_error.h"
#include "db/sqlite_database.h"
#include "db/statement_shape.h"
#include "seed.h"

namespace kyt::test {
namespace {

using db::Database;
using db::Failure;
using db::Road;
using db::StatementShape;
using Kind = StatementShape::Literal::Kind;

// The engine's own handle, for the cases that compare with SQLite running the written text itself.
sqlite3* handleOf(Database& database)
{
    return static_cast<db::SqliteDatabase&>(database).handle();
}
namespace jet = db::jet;

TEST(ToSqlite, RewritesOnlyWhatSqliteReadsDifferently)
{
    const std::pair<const char*, const char*> rewrites[] = {
        {"SELECT a/b FROM t", "SELECT a*1.0/b FROM t"},
        {"format(sum(obtained)/sum(max) * 100,'0.00')", "format(sum(obtained)*1.0/sum(max) * 100,'0.00')"},
        {"SELECT 'a/b', \"c/d\", [e/f], `g/h` FROM t", "SELECT 'a/b', \"c/d\", [e/f], `g/h` FROM t"},
        {"SELECT 'it''s 1/2' FROM t", "SELECT 'it''s 1/2' FROM t"},
        {"SELECT 1 -- a/b\n/2", "SELECT 1 -- a/b\n*1.0/2"},
        {"SELECT 1 /* a/b */ /2", "SELECT 1 /* a/b */ *1.0/2"},
        {"DELETE Branch from branch where BranchCode = 'EC'", "DELETE FROM branch where BranchCode = 'EC'"},
        {"delete * from Marks", "DELETE FROM Marks"},
        {"DELETE from Personal where usn like '1QP22%'", "DELETE from Personal where usn like '1QP22%'"},
        {"SELECT 'DELETE x FROM y'", "SELECT 'DELETE x FROM y'"},
        {"\t\nDelete\t[My Marks]\r\nFrom [My Marks] WHERE a/b > 1", "\t\nDELETE FROM [My Marks] WHERE a*1.0/b > 1"},
        {"DELETE *\nFROM(Marks)", "DELETE FROM(Marks)"},
        {"DELETE Marks FROMAGE", "DELETE Marks FROMAGE"},
        {"DELETEx FROM Marks", "DELETEx FROM Marks"},
        {"DELETE [open FROM Marks", "DELETE [open FROM Marks"},
        {"DELETE Marks.x FROM Marks", "DELETE Marks.x FROM Marks"},
        {"-- note\nDELETE * FROM Marks", "-- note\nDELETE * FROM Marks"},
        {"DELETE * FROM", "DELETE FROM"},
        {"", ""},
    };
    for (auto [given, expected] : rewrites)
        EXPECT_EQ(jet::toSqlite(given), expected) << given;
    // The names of result columns read as written.
    EXPECT_EQ(jet::columnName("sum(obtained)*1.0/sum(max)"), "sum(obtained)/sum(max)");
    EXPECT_EQ(jet::columnName("Percent1To6"), "Percent1To6");
}

TEST(TwoDecimalAliases, FindsTheNamesOfFormattedPercentages)
{
    EXPECT_EQ(jet::twoDecimalAliases("SELECT FORMAT ( (a/b), '0.00' ) as [My Pct], format(x,'0.0') AS One, "
                                     "format(y, '0.00') AS \"Two\" FROM t"),
              (std::vector<std::string>{"My Pct", "Two"}));
    for (const char* none : {"SELECT 'format(x,''0.00'') AS Fake' FROM t", "SELECT format(x,'0.00') FROM t",
                             "SELECT format(x,'0.00' FROM t"})
        EXPECT_TRUE(jet::twoDecimalAliases(none).empty()) << none;
}

TEST(JetLike, FollowsTheQueryRoadWildcards)
{
    struct Like {
        const char* pattern;
        const char* text;
        bool matches;
    };
    const Like cases[] = {
        {"*22CS*", "1QP22CS001", true}, {"*22cs*", "1QP22CS001", true}, {"*22CS*", "1QP22EC001", false},
        {"***", "", true}, {"*", "anything", true}, {"", "", true}, {"", "a", false}, {"?", "", false},
        {"?QP*", "1QP22", true}, {"1QP2#CS*", "1QP22CS001", true}, {"1QP2#CS*", "1QP2XCS001", false},
        {"[A-C]x", "bx", true}, {"[A-C]x", "dx", false}, {"[!A-C]x", "bx", false}, {"[!A-C]x", "dx", true},
        {"a[*]b", "a*b", true}, {"a[*]b", "axb", false}, {"a[?]", "a?", true}, {"a%", "a%", true},
        {"a%", "ab", false}, {"a_", "ab", false}, {"*java*oracle*", "Java and Oracle", true},
        {"*java*oracle*", "Oracle and Java", false}, {"José*", "JOSÉ MARIA", true}, {"a[b", "a[b", true},
        {"*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", true},
        {"*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
    };
    for (const Like& c : cases)
        EXPECT_EQ(jet::likeMatches(c.pattern, c.text), c.matches) << c.pattern << " ~ " << c.text;
    EXPECT_TRUE(jet::likeMatches("50\\*", "50*", U'\\'));
    EXPECT_FALSE(jet::likeMatches("50\\*", "500", U'\\'));
}

// Expressions on the query road give what the program's formulas expect: division is real, CInt
// rounds halves to the even neighbour, dates are read day first and count from the last day of 1899.
TEST_F(DatabaseTest, ExpressionsGiveTheResultsTheFormulasExpect)
{
    auto db = openDb(Road::Query);
    const std::pair<const char*, const char*> cases[] = {
        {"7/2", "3.5"}, {"1 + 7/2*2", "8"}, {"(7)/2/2", "1.75"}, {"7 - 4/8", "6.5"}, {"-7/2", "-3.5"},
        {"7 % 4/2", "1.5"}, {"CInt(0.5)", "0"}, {"CInt(1.5)", "2"}, {"CInt(2.5)", "2"}, {"CInt(-2.5)", "-2"},
        {"CInt(2.51)", "3"}, {"CInt('7.5')", "8"}, {"CInt(NULL)", ""}, {"Cdate('05-11-1982')", "30260"},
        {"Cdate('5/11/82')", "30260"}, {"Cdate(' 01.01.05 ')", "38353"}, {"Cdate('1982-11-05')", "30260"},
        {"Cdate('29-02-2004')", "38046"}, {"Cdate('01-01-1900')", "2"}, {"Cdate('01-03-2000') - Cdate('28-02-2000')", "2"},
        {"Cdate('01-03-2100') - Cdate('28-02-2100')", "1"}, {"CDate('31-13-0')", ""}, {"CDate(NULL)", ""},
        {"CDate('29-02-2001')", ""}, {"CDate('00-11-1982')", ""}, {"CDate('05-11-1982x')", ""}, {"CDate('05-11')", ""},
        {"format(2/3*100,'0.00')", "66.67"}, {"format(72.5,'0.00')", "72.50"}, {"format(NULL,'0.00')", ""},
        // at 15 significant digits, a half away from zero
        {"format(689/800*100,'0.00')", "86.13"}, {"format(1.005,'0.00')", "1.01"}, {"format(-0.125,'0.00')", "-0.13"},
        {"format(99.995,'0.00')", "100.00"}, {"format(0.004,'0.00')", "0.00"},
        {"Count(*)", "1"}};
    for (auto [expression, text] : cases)
        EXPECT_EQ(select(*db, std::string("SELECT ") + expression + " AS v").field("v").toText(), text) << expression;
    // Now() counts days as Cdate does: today's date plus the time of day (a day more across midnight).
    char today[16];
    const std::time_t now = std::time(nullptr);
    std::strftime(today, sizeof today, "%d-%m-%Y", std::localtime(&now));
    const double sinceMidnight = select(*db, std::string("SELECT Now()-Cdate('") + today + "') AS d").field("d").toDouble();
    EXPECT_TRUE(sinceMidnight >= 0 && sinceMidnight < 2) << sinceMidnight;
    db::Recordset rs;
    db::Failure failure;
    EXPECT_FALSE(db->openRecordset("SELECT CInt('abc') AS v", rs, failure));
    EXPECT_EQ(failure.number, db::kErrConversion) << failure.description;
}

TEST_F(DatabaseTest, EachRoadHasItsOwnWildcardsAndIgnoresCase)
{
    struct LikeCase {
        Road road;
        const char* condition;
        std::vector<std::string> usns;
    };
    const LikeCase cases[] = {
        {Road::Connector, "usn like '1QP22%'", {"1QP22CS001", "1QP22EC002"}},
        {Road::Connector, "usn like '1qp22cs%'", {"1QP22CS001"}},
        {Road::Connector, "usn like '1QP2_CS%'", {"1QP21CS003", "1QP22CS001"}},
        {Road::Connector, "usn like '*22CS*'", {}},
        {Road::Connector, "usn = '1qp22cs001'", {"1QP22CS001"}},
        {Road::Query, "usn like '*22cs*'", {"1QP22CS001"}},
        {Road::Query, "usn like '1QP2#CS*'", {"1QP21CS003", "1QP22CS001"}},
        {Road::Query, "usn not like '*CS*'", {"1QP22EC002"}},
        {Road::Query, "usn like '1QP22%'", {}},
        {Road::Query, "usn = '1qp22cs001'", {"1QP22CS001"}},
    };
    auto writer = openDb(Road::Connector);
    for (const char* usn : {"1QP22CS001", "1QP22EC002", "1QP21CS003"})
        run(*writer, personalInsert({.usn = usn}));
    for (const LikeCase& c : cases)
        EXPECT_EQ(column(*openDb(c.road), std::string("SELECT USN from PERSONAL where ") + c.condition + " ORDER BY USN",
                         "USN"),
                  c.usns)
            << c.condition;
}

const char* kAggregate1To6 =
    "SELECT USN as USN_FP, Count(*) as SemsCount, format(sum(obtained)/sum(max) * 100,'0.00') AS Percent1To6 From "
    "marks Where education_Level >=2 + 1+ 0 And education_Level <= 2 + 6+ 0 GROUP BY USN";

class WorkedExample : public DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        auto writer = openDb(Road::Connector);
        // Semesters 1-6 are levels 3-8 for BE students.
        storeStudent(*writer, {.usn = "1QP22CS001", .name = "Asha Rao", .dob = "05-11-2003"}, 3, 8, 70, 100);
        storeStudent(*writer, {.usn = "1QP22CS002", .name = "Bala Kumar", .dob = "31-13-0", .gender = "Male"}, 3, 8,
                     65, 100);
        storeStudent(*writer, {.usn = "1QP22EC003", .name = "Chitra", .dob = "01-01-2004"}, 3, 8, 81, 100);
        storeStudent(*writer, {.usn = "1QP22CS004", .name = "Deepa"}, 3, 8, 55, 100);  // below the threshold
        storeStudent(*writer, {.usn = "1QP21CS005", .name = "Esha"}, 3, 8, 90, 100);   // another batch
        storeStudent(*writer, {.usn = "1QP22ME006", .name = "Farah"}, 3, 8, 95, 100);  // another branch
        storeStudent(*writer, {.usn = "1QP22CS007", .name = "Gita"}, 1, 2, 99, 100);   // no semester on record
        // 9.50 and 100.00 would pass and rank wrongly if the percentage compared as text.
        storeStudent(*writer, {.usn = "1QP22CS008", .name = "Hari"}, 3, 8, 19, 200);
        storeStudent(*writer, {.usn = "1QP22EC009", .name = "Indu", .dob = "15-08-2004"}, 3, 8, 100, 100);
        run(*writer, marksInsert("1QP22CS007", 9, 99, 100));  // semester 7: outside 1-6
        db = openDb(Road::Query);
        db::Failure failure;
        ASSERT_TRUE(db->setSavedQuery("FreePercent", kAggregate1To6, failure)) << failure.description;
    }
    std::unique_ptr<db::Database> db;
};

TEST_F(WorkedExample, SelectsRanksAndShowsTheStudentsAboveTheThreshold)
{
    db::Recordset rs = select(
        *db, "SELECT USN,Name,  CInt((Now()-Cdate(dob1))/365.2) AS Age, Gender  , Percent1To6 , Email FROM personal, "
             "FreePercent   where (Percent1To6 >= 60 )  AND ( usn like '*22CS*' or usn like '*22EC*') AND (usn = "
             "Freepercent.usn_FP)  ORDER BY Percent1To6 DESC");
    EXPECT_EQ(rs.fieldNames(), (std::vector<std::string>{"USN", "Name", "Age", "Gender", "Percent1To6", "Email"}));
    ASSERT_EQ(rs.RecordCount(), 4);
    const std::pair<const char*, const char*> expected[] = {
        {"1QP22EC009", "100.00"}, {"1QP22EC003", "81.00"}, {"1QP22CS001", "70.00"}, {"1QP22CS002", "65.00"}};
    for (auto [usn, percent] : expected) {
        EXPECT_EQ(rs.field("USN").toText(), usn);
        EXPECT_EQ(rs.field("Percent1To6").toText(), percent) << usn;
        EXPECT_EQ(rs.field("Percent1To6").type(), db::Value::Type::Real) << usn;
        EXPECT_EQ(rs.field("Age").isNull(), std::string(usn) == "1QP22CS002") << usn;  // an impossible birth date
        rs.MoveNext();
    }
}

// The conditions the query window writes, each on the students above.
TEST_F(WorkedExample, TheQueryWindowsConditionsSelectTheRightStudents)
{
    auto writer = openDb(Road::Connector);
    run(*writer, "UPDATE marks set class = 'First' where usn = '1QP22CS001' and education_level = 5");
    run(*writer, "UPDATE marks set class = 'Second' where usn = '1QP22EC003' and education_level = 3");
    const std::string head = "SELECT USN,Name, Percent1To6 , Email FROM personal, FreePercent   where (Percent1To6 "
                             ">= 60 )  AND ( usn like '*22CS*' or usn like '*22EC*')";
    const std::string tail = " AND (usn = Freepercent.usn_FP)  ORDER BY USN ASC";
    const std::string fcd = std::string(" AND not exists ( select class  from ") +
                            " Marks where marks.usn = personal.usn AND " + " marks.education_level >= 3  AND " +
                            " (marks.class = 'Second' OR marks.class = 'First') ) " +
                            " AND exists ( select class from Marks where  " +
                            " marks.usn = usn and marks.education_level >= 3) ";
    const std::string first = std::string(" AND not exists ( select class  from ") +
                              " Marks where marks.usn = personal.usn AND " + " marks.education_level >= 4  AND " +
                              " (marks.class = 'Second') ) " + " AND exists ( select class from Marks where  " +
                              " marks.usn = personal.usn and marks.education_level >= 4) ";
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"SELECT USN,Name, Percent1To6 , Email FROM personal, FreePercent   where (Percent1To6 >= 0 )  AND ( usn like "
         "'*21CS*' OR USN like  '*22CS*') AND ( FreePercent.SemsCount = 6-1+ 1) AND (usn = Freepercent.usn_FP)  "
         "ORDER BY USN ASC",
         {"1QP21CS005", "1QP22CS001", "1QP22CS002", "1QP22CS004", "1QP22CS008"}},
        {head + fcd + tail, {"1QP22CS002", "1QP22EC009"}},
        {head + first + tail, {"1QP22CS001", "1QP22CS002", "1QP22EC003", "1QP22EC009"}},
    };
    for (const auto& [query, usns] : cases)
        EXPECT_EQ(column(*db, query, "USN"), usns) << query;
}

TEST(WriteShape, ReplacesEachValueByAParameter)
{
    struct ShapeCase {
        const char* sql;
        const char* shape;
        std::vector<std::pair<Kind, std::string>> literals;
    };
    const ShapeCase cases[] = {
        // Names with digits stay names; nothing in a comment is a value.
        {"  delete FROM Marks WHERE one_to_4 = -2 AND x = 1e3 AND y = .5 -- 'note' 4\n",
         "  delete FROM Marks WHERE one_to_4 = -? AND x = ? AND y = ? -- 'note' 4\n",
         {{Kind::Integer, "2"}, {Kind::Real, "1e3"}, {Kind::Real, ".5"}}},
        {"INSERT INTO \"Branch 2\" ([Code 1], `x`) /* 'a' */ VALUES ('É', 007)",
         "INSERT INTO \"Branch 2\" ([Code 1], `x`) /* 'a' */ VALUES (?, ?)",
         {{Kind::Text, "É"}, {Kind::Integer, "007"}}},
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
            const std::string written = jet::toSqlite("INSERT INTO Written VALUES (" + id + ", " + values[k] + ")");
            ASSERT_EQ(sqlite3_exec(handleOf(*database), written.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
                << written << ": " << sqlite3_errmsg(handleOf(*database));
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
    for (sqlite3_stmt* s = sqlite3_next_stmt(handleOf(database), nullptr); s; s = sqlite3_next_stmt(handleOf(database), s))
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
        ASSERT_NE(sqlite3_exec(handleOf(*database), sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        const Failure written = db::nativeFailure(sqlite3_extended_errcode(handleOf(*database)),
                                                  sqlite3_errmsg(handleOf(*database)), path);
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
    run(*database, "INSERT INTO Notes VALUES ('second', 'x')");
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
