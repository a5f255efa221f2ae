// The statement texts the program sends, run through the layer on a seeded database.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>

#include "db/functions.h"
#include "seed.h"

namespace kyt::test {
namespace {

using db::Database;
using db::Road;

const char* kAggregate1To6 =
    "SELECT USN as USN_FP, Count(*) as SemsCount, format(sum(obtained)/sum(max) * 100,'0.00') AS Percent1To6 From "
    "marks Where education_Level >=2 + 1+ 0 And education_Level <= 2 + 6+ 0 GROUP BY USN";

const char* kWorkedExampleQuery =
    "SELECT USN,Name,  CInt((Now()-Cdate(dob1))/365.2) AS Age, Gender  , Percent1To6 , Email FROM personal, "
    "FreePercent   where (Percent1To6 >= 60 )  AND ( usn like '*22CS*' or usn like '*22EC*') AND (usn = "
    "Freepercent.usn_FP)  ORDER BY Percent1To6 DESC";

// Today's day number from the calendar, independent of the engine's Now().
double todaySerial()
{
    using namespace std::chrono;
    const auto now = system_clock::to_time_t(system_clock::now());
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
    }
};

TEST_F(WorkedExample, SelectsRanksAndShowsTheStudentsAboveTheThreshold)
{
    auto db = openDb(Road::Query);
    db::Failure failure;
    ASSERT_TRUE(db->setSavedQuery("FreePercent", kAggregate1To6, failure)) << failure.description;

    db::Recordset rs = select(*db, kWorkedExampleQuery);
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
        ASSERT_FALSE(rs.isEOF());
        EXPECT_EQ(rs.field("USN").toText(), e.usn);
        EXPECT_EQ(rs.field("Percent1To6").toText(), e.percent) << e.usn;
        EXPECT_EQ(rs.field("Percent1To6").type(), db::Value::Type::Real) << e.usn;
        EXPECT_THAT(e.ages, ::testing::Contains(rs.field("Age").toText())) << e.usn;
        rs.MoveNext();
    }
    EXPECT_TRUE(rs.isEOF());
}

TEST_F(WorkedExample, PercentageComparesAsANumber)
{
    auto db = openDb(Road::Query);
    db::Failure failure;
    ASSERT_TRUE(db->setSavedQuery("FreePercent", kAggregate1To6, failure)) << failure.description;
    EXPECT_EQ(column(*db, "SELECT USN_FP FROM FreePercent WHERE Percent1To6 < 60 ORDER BY Percent1To6", "USN_FP"),
              (std::vector<std::string>{"1QP22CS008", "1QP22CS004"}));
    EXPECT_EQ(column(*db, "SELECT USN_FP FROM FreePercent WHERE Percent1To6 = 9.5", "USN_FP"),
              std::vector<std::string>{"1QP22CS008"});
}

TEST_F(WorkedExample, TwoYearBatchesAndStrictRangeConditionsRun)
{
    auto db = openDb(Road::Query);
    db::Failure failure;
    ASSERT_TRUE(db->setSavedQuery("FreePercent", kAggregate1To6, failure)) << failure.description;
    const std::string query =
        "SELECT USN,Name, Percent1To6 , Email FROM personal, FreePercent   where (Percent1To6 >= 0 )  AND ( usn like "
        "'*21CS*' OR USN like  '*22CS*') AND ( FreePercent.SemsCount = 6-1+ 1) AND (usn = Freepercent.usn_FP)  ORDER "
        "BY USN ASC";
    EXPECT_EQ(column(*db, query, "USN"),
              (std::vector<std::string>{"1QP21CS005", "1QP22CS001", "1QP22CS002", "1QP22CS004", "1QP22CS008"}));
}

TEST_F(WorkedExample, AllBranchesWithExclusionsKeepsTheOthers)
{
    auto db = openDb(Road::Query);
    db::Failure failure;
    ASSERT_TRUE(db->setSavedQuery("FreePercent", kAggregate1To6, failure)) << failure.description;
    const std::string query =
        "SELECT USN,Name, Percent1To6 , Email FROM personal, FreePercent   where (Percent1To6 >= 60 )  AND ( usn like "
        "'***') AND usn not like '*CS*' AND usn not like '*EC*' AND (usn = Freepercent.usn_FP)  ORDER BY "
        "Percent1To6 DESC";
    EXPECT_EQ(column(*db, query, "USN"), std::vector<std::string>{"1QP22ME006"});
}

TEST_F(WorkedExample, ClassConditionsUseExistsSubqueries)
{
    auto writer = openDb(Road::Connector);
    run(*writer, "UPDATE marks set class = 'First' where usn = '1QP22CS001' and education_level = 5");
    run(*writer, "UPDATE marks set class = 'Second' where usn = '1QP22EC003' and education_level = 3");
    auto db = openDb(Road::Query);
    db::Failure failure;
    ASSERT_TRUE(db->setSavedQuery("FreePercent", kAggregate1To6, failure)) << failure.description;
    const std::string head =
        "SELECT USN,Name, Percent1To6 , Email FROM personal, FreePercent   where (Percent1To6 >= 60 )  AND ( usn like "
        "'*22CS*' or usn like '*22EC*')";
    const std::string tail = " AND (usn = Freepercent.usn_FP)  ORDER BY USN ASC";
    const std::string fcd = std::string(" AND not exists ( select class  from ") + " Marks where marks.usn = personal.usn AND " +
                            " marks.education_level >= 3  AND " + " (marks.class = 'Second' OR marks.class = 'First') ) " +
                            " AND exists ( select class from Marks where  " + " marks.usn = usn and marks.education_level >= 3) ";
    const std::string first = std::string(" AND not exists ( select class  from ") + " Marks where marks.usn = personal.usn AND " +
                              " marks.education_level >= 4  AND " + " (marks.class = 'Second') ) " +
                              " AND exists ( select class from Marks where  " +
                              " marks.usn = personal.usn and marks.education_level >= 4) ";
    EXPECT_EQ(column(*db, head + fcd + tail, "USN"), (std::vector<std::string>{"1QP22CS002", "1QP22EC009"}));
    EXPECT_EQ(column(*db, head + first + tail, "USN"),
              (std::vector<std::string>{"1QP22CS001", "1QP22CS002", "1QP22EC003", "1QP22EC009"}));
}

TEST_F(WorkedExample, MergeQueryJoinsSerAndFreePercent)
{
    auto db = openDb(Road::Query);
    db::Failure failure;
    ASSERT_TRUE(db->setSavedQuery("FreePercent", kAggregate1To6, failure)) << failure.description;
    const std::string condition =
        " where (Percent1To6 >= 60 )  AND ( usn like '*22EC*') AND (usn = Freepercent.usn_FP)  ORDER BY Percent1To6 "
        "DESC";
    ASSERT_TRUE(db->setSavedQuery("MergeQuery", "SELECT * FROM ser, FreePercent " + condition, failure))
        << failure.description;
    db::Recordset rs = select(*db, "SELECT * FROM MergeQuery");
    ASSERT_EQ(rs.RecordCount(), 2);
    EXPECT_EQ(rs.field("usn").toText(), "1QP22EC009");
    EXPECT_EQ(rs.field("Percent1To6").toText(), "100.00");
    EXPECT_EQ(rs.field("Name").toText(), "Indu");
}

TEST_F(DatabaseTest, DeleteBranchFormRemovesOnlyThatBranch)
{
    db::DataConnector connector;
    connector.ConnectToDataBase("admin", "", path);
    ASSERT_TRUE(connector.GetConnectStatus()) << connector.ErrDesc;
    connector.BeginTransaction();
    EXPECT_EQ(connector.exec("DELETE Branch from branch where BranchCode = 'EC'"), db::DataConnector::kSuccess)
        << connector.ErrDesc;
    connector.EndTransaction();
    EXPECT_EQ(column(*connector.GetCurrentConnection(), "SELECT BranchCode FROM branch", "BranchCode"),
              (std::vector<std::string>{"CS", "MCA"}));
}

struct LikeCase {
    Road road;
    const char* condition;
    std::vector<std::string> usns;
};

class LikeOnRoads : public DatabaseTest, public ::testing::WithParamInterface<LikeCase> {};

TEST_P(LikeOnRoads, EachRoadHasItsOwnWildcardsAndIgnoresCase)
{
    {
        auto writer = openDb(Road::Connector);
        for (const char* usn : {"1QP22CS001", "1QP22EC002", "1QP21CS003"})
            run(*writer, personalInsert({.usn = usn}));
    }
    auto db = openDb(GetParam().road);
    EXPECT_EQ(column(*db, std::string("SELECT USN from PERSONAL where ") + GetParam().condition + " ORDER BY USN", "USN"),
              GetParam().usns)
        << GetParam().condition;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, LikeOnRoads,
    ::testing::Values(LikeCase{Road::Connector, "usn like '1QP22%'", {"1QP22CS001", "1QP22EC002"}},
                      LikeCase{Road::Connector, "usn like '1qp22cs%'", {"1QP22CS001"}},
                      LikeCase{Road::Connector, "usn like '1QP2_CS%'", {"1QP21CS003", "1QP22CS001"}},
                      LikeCase{Road::Connector, "usn like '*22CS*'", {}},
                      LikeCase{Road::Connector, "usn = '1qp22cs001'", {"1QP22CS001"}},
                      LikeCase{Road::Query, "usn like '*22cs*'", {"1QP22CS001"}},
                      LikeCase{Road::Query, "usn like '1QP2#CS*'", {"1QP21CS003", "1QP22CS001"}},
                      LikeCase{Road::Query, "usn not like '*CS*'", {"1QP22EC002"}},
                      LikeCase{Road::Query, "usn like '1QP22%'", {}},
                      LikeCase{Road::Query, "usn = '1qp22cs001'", {"1QP22CS001"}}));

TEST_F(DatabaseTest, BatchDeletePairRemovesTheBatchOnly)
{
    db::DataConnector connector;
    connector.ConnectToDataBase("admin", "", path);
    ASSERT_TRUE(connector.GetConnectStatus());
    Database& db = *connector.GetCurrentConnection();
    storeStudent(db, {.usn = "1QP22CS001"}, 3, 4, 70, 100);
    storeStudent(db, {.usn = "1QP21CS002"}, 3, 4, 70, 100);
    const std::string p = "1qp22";
    EXPECT_EQ(column(db, "SELECT name from PERSONAL where usn like '" + p + "%'", "name").size(), 1u);
    connector.BeginTransaction();
    ASSERT_EQ(connector.exec("DELETE from Personal where usn like '" + p + "%'"), db::DataConnector::kSuccess);
    ASSERT_EQ(connector.exec("DELETE from Marks where usn like '" + p + "%'"), db::DataConnector::kSuccess);
    connector.EndTransaction();
    EXPECT_EQ(column(db, "SELECT usn FROM Marks ORDER BY education_level", "usn"),
              (std::vector<std::string>{"1QP21CS002", "1QP21CS002"}));
    EXPECT_EQ(column(db, "SELECT USN FROM Personal", "USN"), std::vector<std::string>{"1QP21CS002"});
}

TEST_F(DatabaseTest, AverageOfALevelRangeDividesAsRealNumbers)
{
    db::DataConnector connector;
    connector.ConnectToDataBase("admin", "", path);
    Database& db = *connector.GetCurrentConnection();
    const std::string usn = "1QP22CS001";
    run(db, personalInsert({.usn = usn}));
    run(db, marksInsert(usn, 3, 451, 600));
    run(db, marksInsert(usn, 4, 512, 700));
    run(db, marksInsert(usn, 5, 600, 700));  // outside the range asked for

    db::Recordset rs = select(db, "SELECT (sum(obtained) /sum(max)) * 100  as average from marks where usn='" + usn +
                                      "' AND education_level >= " + std::to_string(0 + 3) + " And education_level <= 4");
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_DOUBLE_EQ(rs.field("average").toDouble(), (451.0 + 512.0) / (600.0 + 700.0) * 100);

    EXPECT_EQ(select(db, "SELECT max(education_level) as maxEL from Marks where usn = '" + usn + "'")
                  .field("maxEl")
                  .toInteger(),
              5);
    EXPECT_EQ(connector.exec("UPDATE personal set one_to_" + std::to_string(4) + "= 74.08 where usn = '" + usn + "'"),
              db::DataConnector::kSuccess);
    EXPECT_EQ(select(db, "SELECT one_to_4, one_to_5, one_to_8 FROM Personal").field(0).toText(), "74.08");
}

TEST_F(DatabaseTest, DivisionIsRealWhereverItAppears)
{
    auto db = openDb(Road::Query);
    const std::pair<const char*, double> cases[] = {
        {"7/2", 7.0 / 2}, {"1 + 7/2*2", 1 + 7.0 / 2 * 2}, {"(7)/2/2", 7.0 / 2 / 2}, {"7 - 4/8", 7 - 4.0 / 8},
        {"-7/2", -7.0 / 2}, {"3*7/2", 3 * 7.0 / 2},     {"7 % 4/2", (7 % 4) / 2.0}};
    for (auto [expression, expected] : cases)
        EXPECT_DOUBLE_EQ(select(*db, std::string("SELECT ") + expression + " AS r").field("r").toDouble(), expected)
            << expression;
}

TEST_F(DatabaseTest, JetFunctionsGiveJetResults)
{
    auto db = openDb(Road::Query);
    struct Case {
        const char* expression;
        const char* text;
    };
    const Case cases[] = {{"CInt(2.5)", "2"},
                          {"CInt(3.5)", "4"},
                          {"CInt(-2.5)", "-2"},
                          {"CInt('7.5')", "8"},
                          {"CInt(NULL)", ""},
                          {"Cdate('05-11-1982')", "30260"},
                          {"CDate('31-13-0')", ""},
                          {"CDate(NULL)", ""},
                          {"format(2/3*100,'0.00')", "66.67"},
                          {"format(72.5,'0.00')", "72.50"},
                          {"format(NULL,'0.00')", ""},
                          {"Count(*)", "1"}};
    for (const Case& c : cases)
        EXPECT_EQ(select(*db, std::string("SELECT ") + c.expression + " AS v").field("v").toText(), c.text)
            << c.expression;
    EXPECT_GT(select(*db, "SELECT Now()-Cdate('05-11-1982') AS days").field("days").toDouble(), 365 * 40);
}

TEST_F(DatabaseTest, CIntOfTextThatIsNoNumberIsAConversionError)
{
    auto db = openDb(Road::Query);
    db::Recordset rs;
    db::Failure failure;
    EXPECT_FALSE(db->openRecordset("SELECT CInt('abc') AS v", rs, failure));
    EXPECT_EQ(failure.number, db::kErrConversion) << failure.description;
}

struct InsertFailure {
    const char* what;
    std::function<std::string()> sql;
    int32_t number;
};

class RecordWriterFailures : public DatabaseTest, public ::testing::WithParamInterface<InsertFailure> {};

TEST_P(RecordWriterFailures, ReportTheNativeNumberAndLeaveTheFirstStudentAlone)
{
    db::DataConnector connector;
    connector.ConnectToDataBase("reader", "", path);
    ASSERT_TRUE(connector.GetConnectStatus()) << connector.ErrDesc;
    ASSERT_EQ(connector.exec(personalInsert({.usn = "1QP22CS001", .name = "Asha Rao"})), db::DataConnector::kSuccess)
        << connector.ErrDesc;
    ASSERT_EQ(connector.exec(marksInsert("1QP22CS001", 3, 70, 100)), db::DataConnector::kSuccess) << connector.ErrDesc;

    const int32_t result = connector.exec(GetParam().sql());
    EXPECT_EQ(result, GetParam().number) << GetParam().what << ": " << connector.ErrDesc;
    EXPECT_EQ(connector.ErrNo, result);
    EXPECT_FALSE(connector.ErrDesc.empty());

    Database& db = *connector.GetCurrentConnection();
    EXPECT_EQ(column(db, "SELECT Name FROM Personal", "Name"), std::vector<std::string>{"Asha Rao"});
    EXPECT_EQ(column(db, "SELECT obtained FROM Marks", "obtained"), std::vector<std::string>{"70"});
}

INSTANTIATE_TEST_SUITE_P(
    Inserts, RecordWriterFailures,
    ::testing::Values(
        InsertFailure{"same USN", [] { return personalInsert({.usn = "1QP22CS001", .name = "Other"}); },
                      db::kErrDuplicateKey},
        InsertFailure{"same USN in lower case", [] { return personalInsert({.usn = "1qp22cs001", .name = "Other"}); },
                      db::kErrDuplicateKey},
        InsertFailure{"name of 66 characters",
                      [] { return personalInsert({.usn = "1QP22CS002", .name = std::string(66, 'a')}); },
                      db::kErrFieldTooLong},
        InsertFailure{"e-mail of 51 characters",
                      [] { return personalInsert({.usn = "1QP22CS002", .email = std::string(51, 'e')}); },
                      db::kErrFieldTooLong},
        InsertFailure{"empty name", [] { return personalInsert({.usn = "1QP22CS002", .name = ""}); },
                      db::kErrRequiredBlank},
        InsertFailure{"number column holding text", [] { return personalInsert({.usn = "1QP22CS002", .pin = "'56a'"}); },
                      db::kErrConversion},
        InsertFailure{"same level twice", [] { return marksInsert("1QP22CS001", 3, 60, 100); }, db::kErrDuplicateKey},
        InsertFailure{"empty year of passing", [] { return marksInsert("1QP22CS001", 4, 60, 100, "60", "First", ""); },
                      db::kErrRequiredBlank},
        InsertFailure{"empty attempts",
                      [] { return marksInsert("1QP22CS001", 4, 60, 100, "60", "First", "Jun 2023", ""); },
                      db::kErrRequiredBlank},
        InsertFailure{"marks beyond 16 bits", [] { return marksInsert("1QP22CS001", 4, 40000, 50000); },
                      db::kErrConversion},
        InsertFailure{"class of 51 characters",
                      [] { return marksInsert("1QP22CS001", 4, 60, 100, "60", std::string(51, 'c')); },
                      db::kErrFieldTooLong}));

TEST_F(DatabaseTest, ProjectTitlesUpToTheirFieldSizeAreStored)
{
    db::DataConnector connector;
    connector.ConnectToDataBase("reader", "", path);
    ASSERT_EQ(connector.exec(personalInsert({.usn = "1QP22CS001"})), db::DataConnector::kSuccess);
    const std::string first(254, 'p'), second(255, 'q');
    EXPECT_EQ(connector.exec("UPDATE personal set prefinalproject1 = '" + first + "', prefinalproject2='" + second +
                             "', finalproject1='" + "x" + "', finalproject2='" + "" + "'  where USN='1QP22CS001'"),
              db::DataConnector::kSuccess)
        << connector.ErrDesc;
    EXPECT_EQ(connector.exec("UPDATE personal set prefinalproject2='" + second + "q' where USN='1QP22CS001'"),
              db::kErrFieldTooLong);
}

}  // namespace
}  // namespace kyt::test
