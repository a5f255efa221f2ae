// The statement texts the program sends: how they are read for the engine, and what they give on a
// seeded database.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "db/functions.h"
#include "db/jet_sql.h"
#include "seed.h"

namespace kyt::test {
namespace {

using db::Road;
namespace jet = db::jet;

TEST(ToSqlite, RewritesOnlyWhatSqliteReadsDifferently)
{
    const std::pair<const char*, const char*> rewrites[] = {
        {"SELECT a/b FROM t", "SELECT a*1.0/b FROM t"},
        {"format(sum(obtained)/sum(max) * 100,'0.00')", "format(sum(obtained)*1.0/sum(max) * 100,'0.00')"},
        {"SELECT (sum(obtained) /sum(max)) * 100  as average", "SELECT (sum(obtained) *1.0/sum(max)) * 100  as average"},
        {"CInt((Now()-Cdate(dob1))/365.2)", "CInt((Now()-Cdate(dob1))*1.0/365.2)"},
        {"SELECT 'a/b', \"c/d\", [e/f], `g/h` FROM t", "SELECT 'a/b', \"c/d\", [e/f], `g/h` FROM t"},
        {"SELECT 'it''s 1/2' FROM t", "SELECT 'it''s 1/2' FROM t"},
        {"SELECT 1 -- a/b\n/2", "SELECT 1 -- a/b\n*1.0/2"},
        {"SELECT 1 /* a/b */ /2", "SELECT 1 /* a/b */ *1.0/2"},
        {"DELETE Branch from branch where BranchCode = 'EC'", "DELETE FROM branch where BranchCode = 'EC'"},
        {"delete * from Marks", "DELETE FROM Marks"},
        {"  DELETE Marks.* FROM Marks WHERE usn = 'x'", "  DELETE FROM Marks WHERE usn = 'x'"},
        {"DELETE from Personal where usn like '1QP22%'", "DELETE from Personal where usn like '1QP22%'"},
        {"DELETE from Marks ", "DELETE from Marks "},
        {"SELECT 'DELETE x FROM y'", "SELECT 'DELETE x FROM y'"},
        {"\t\nDelete\t[My Marks]\r\nFrom [My Marks] WHERE a/b > 1", "\t\nDELETE FROM [My Marks] WHERE a*1.0/b > 1"},
        {"DELETE *\nFROM(Marks)", "DELETE FROM(Marks)"},
        {"DELETE Marks.*  FROM Marks", "DELETE FROM Marks"},
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
    EXPECT_EQ(jet::twoDecimalAliases("SELECT USN as USN_FP, Count(*) as SemsCount, format(sum(obtained)/sum(max) * "
                                     "100,'0.00') AS Percent1To6 From marks GROUP BY USN"),
              std::vector<std::string>{"Percent1To6"});
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

TEST(ParseDate, ReadsDayFirstDatesAndRefusesImpossibleOnes)
{
    struct DateCase {
        const char* text;
        int year, month, day;  // year 0: does not convert
    };
    const DateCase cases[] = {
        {"05-11-1982", 1982, 11, 5}, {"5/11/82", 1982, 11, 5}, {" 01.01.05 ", 2005, 1, 1},
        {"1982-11-05", 1982, 11, 5}, {"29-02-2004", 2004, 2, 29}, {"29-02-2001", 0, 0, 0},
        {"31-13-0", 0, 0, 0}, {"00-11-1982", 0, 0, 0}, {"", 0, 0, 0}, {"ERR", 0, 0, 0},
        {"05-11-1982x", 0, 0, 0}, {"05--11-1982", 0, 0, 0}, {"05-11", 0, 0, 0},
    };
    for (const DateCase& c : cases) {
        const std::optional<double> day = db::parseDate(c.text);
        EXPECT_EQ(day.has_value(), c.year != 0) << c.text;
        if (day && c.year) {
            EXPECT_EQ(*day, db::daySerial(c.year, c.month, c.day)) << c.text;
        }
    }
}

// Expressions on the query road give what the program's formulas expect: division is real, CInt
// rounds halves to the even neighbour, days count from the last day of 1899.
TEST_F(DatabaseTest, ExpressionsGiveTheResultsTheFormulasExpect)
{
    auto db = openDb(Road::Query);
    const std::pair<const char*, const char*> cases[] = {
        {"7/2", "3.5"}, {"1 + 7/2*2", "8"}, {"(7)/2/2", "1.75"}, {"7 - 4/8", "6.5"}, {"-7/2", "-3.5"},
        {"7 % 4/2", "1.5"}, {"CInt(0.5)", "0"}, {"CInt(1.5)", "2"}, {"CInt(2.5)", "2"}, {"CInt(-2.5)", "-2"},
        {"CInt(2.51)", "3"}, {"CInt('7.5')", "8"}, {"CInt(NULL)", ""}, {"Cdate('05-11-1982')", "30260"},
        {"Cdate('01-01-1900')", "2"}, {"Cdate('01-03-2000') - Cdate('28-02-2000')", "2"},
        {"Cdate('01-03-2100') - Cdate('28-02-2100')", "1"}, {"CDate('31-13-0')", ""}, {"CDate(NULL)", ""},
        {"format(2/3*100,'0.00')", "66.67"}, {"format(72.5,'0.00')", "72.50"}, {"format(NULL,'0.00')", ""},
        {"Count(*)", "1"}};
    for (auto [expression, text] : cases)
        EXPECT_EQ(select(*db, std::string("SELECT ") + expression + " AS v").field("v").toText(), text) << expression;
    EXPECT_GT(select(*db, "SELECT Now()-Cdate('05-11-1982') AS days").field("days").toDouble(), 365 * 40);
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

// Today's day number from the calendar, independent of the engine's Now().
double todaySerial()
{
    const auto now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    return db::daySerial(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

// The age in whole years the query should give for a date of birth, allowing for the time of day.
std::vector<std::string> acceptableAges(int year, int month, int day)
{
    const double born = db::daySerial(year, month, day);
    std::vector<std::string> ages;
    for (double t : {todaySerial(), todaySerial() + 1})
        ages.push_back(std::to_string(static_cast<int>(db::roundHalfEven((t - born) / 365.2))));
    return ages;
}

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
    struct Expected {
        const char* usn;
        const char* percent;
        std::vector<std::string> ages;
    };
    const Expected expected[] = {{"1QP22EC009", "100.00", acceptableAges(2004, 8, 15)},
                                 {"1QP22EC003", "81.00", acceptableAges(2004, 1, 1)},
                                 {"1QP22CS001", "70.00", acceptableAges(2003, 11, 5)},
                                 {"1QP22CS002", "65.00", {""}}};
    for (const Expected& e : expected) {
        EXPECT_EQ(rs.field("USN").toText(), e.usn);
        EXPECT_EQ(rs.field("Percent1To6").toText(), e.percent) << e.usn;
        EXPECT_EQ(rs.field("Percent1To6").type(), db::Value::Type::Real) << e.usn;
        EXPECT_THAT(e.ages, ::testing::Contains(rs.field("Age").toText())) << e.usn;
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
        {"SELECT USN_FP AS USN FROM FreePercent WHERE Percent1To6 < 60 ORDER BY Percent1To6", {"1QP22CS008", "1QP22CS004"}},
        {"SELECT USN_FP AS USN FROM FreePercent WHERE Percent1To6 = 9.5", {"1QP22CS008"}},
        {"SELECT USN,Name, Percent1To6 , Email FROM personal, FreePercent   where (Percent1To6 >= 0 )  AND ( usn like "
         "'*21CS*' OR USN like  '*22CS*') AND ( FreePercent.SemsCount = 6-1+ 1) AND (usn = Freepercent.usn_FP)  "
         "ORDER BY USN ASC",
         {"1QP21CS005", "1QP22CS001", "1QP22CS002", "1QP22CS004", "1QP22CS008"}},
        {"SELECT USN,Name, Percent1To6 , Email FROM personal, FreePercent   where (Percent1To6 >= 60 )  AND ( usn like "
         "'***') AND usn not like '*CS*' AND usn not like '*EC*' AND (usn = Freepercent.usn_FP)  ORDER BY "
         "Percent1To6 DESC",
         {"1QP22ME006"}},
        {head + fcd + tail, {"1QP22CS002", "1QP22EC009"}},
        {head + first + tail, {"1QP22CS001", "1QP22CS002", "1QP22EC003", "1QP22EC009"}},
    };
    for (const auto& [query, usns] : cases)
        EXPECT_EQ(column(*db, query, "USN"), usns) << query;
}

}  // namespace
}  // namespace kyt::test
