// The query texts Retrieve builds, compared whole, the checks that refuse criteria, and Retrieve on a real
// database that fails.

#include <gtest/gtest.h>

#include "query/retrieve.h"
#include "students.h"
#include "support/db_faults.h"

namespace kyt::query {
namespace {

const std::vector<std::string> kCodes = {"CS", "EC", "MCA", "ME"};
constexpr int kYear = 2026;

const std::string kWhere = " where (Percent1To6 >= 60 )  AND ( usn like '*22CS*' or usn like '*22EC*')";
const std::string kJoinAndRank = " AND (usn = Freepercent.usn_FP)  ORDER BY Percent1To6 DESC";

// The worked example: batch 22, CS and EC, semesters 1 to 6, at least 60, by aggregate decendingly,
// with Gender and Age.
Criteria workedExample()
{
    Criteria c = DefaultCriteria(kCodes, kYear);
    c.batch = "22";
    c.branches = {"CS", "EC", kNoneElse};
    c.percent = "60";
    c.gender = true;
    c.age = true;
    return c;
}

TEST(BuildQuery, WorkedExample)
{
    const BuiltQuery q = BuildQuery(workedExample(), kCodes, kYear);
    ASSERT_FALSE(q.refused());
    EXPECT_EQ(q.select, "SELECT USN,Name,  CInt((Now()-Cdate(dob1))/365.2) AS Age, Gender  , Percent1To6 , Email FROM "
                        "personal, FreePercent  " + kWhere + kJoinAndRank);
    EXPECT_EQ(q.aggregate,
              "SELECT USN as USN_FP, Count(*) as SemsCount, format(sum(obtained)/sum(max) * 100,'0.00') AS Percent1To6 "
              "From marks Where education_Level >=2 + 1+ 0 And education_Level <= 2 + 6+ 0 GROUP BY USN");
    EXPECT_EQ(q.condition, kWhere + kJoinAndRank);
}

TEST(BuildQuery, EachCriterionChangesTheConditionExactly)
{
    const struct {
        const char* what;
        void (*change)(Criteria&);
        std::string condition;
    } variants[] = {
        {"two-year batch", [](Criteria& c) { c.batch = "22 Or 23"; },
         " where (Percent1To6 >= 60 )  AND ( usn like '*22CS*' OR USN like  '*23CS*' or usn like '*22EC*' OR "
         "USN like  '*23EC*')"},
        {"all branches, all batches, exclusions",
         [](Criteria& c) { c.batch = kAllBatches, c.branches = {"CS", kAllBranches, "EC"}, c.excludeList = "CS,EC"; },
         " where (Percent1To6 >= 60 )  AND ( usn like '***') AND usn not like '*CS*' AND usn not like '*EC*'"},
        {"all branches of one batch: the year where a USN holds it",
         [](Criteria& c) { c.branches = {"CS", kNoneElse, kAllBranches}; },
         " where (Percent1To6 >= 60 )  AND ( usn like '???22*')"},
        {"all branches of two batches", [](Criteria& c) { c.batch = "22 Or 23", c.branches = {kAllBranches, "CS", "EC"}; },
         " where (Percent1To6 >= 60 )  AND ( usn like '???22*' OR USN like  '???23*')"},
        {"an exclude list left behind while no box shows All Branches", [](Criteria& c) { c.excludeList = "CS"; },
         kWhere},
        {"typed one-digit batch", [](Criteria& c) { c.batch = "5", c.batchTyped = true; },
         " where (Percent1To6 >= 60 )  AND ( usn like '*5CS*' or usn like '*5EC*')"},
        {"strict range", [](Criteria& c) { c.strictRange = true; }, kWhere + " AND ( FreePercent.SemsCount = 6-1+ 1)"},
        {"at most, a decimal threshold", [](Criteria& c) { c.comparison = Comparison::Atmost, c.percent = " 62.50"; },
         " where (Percent1To6 <= 62.5 )  AND ( usn like '*22CS*' or usn like '*22EC*')"},
        {"FCD", [](Criteria& c) { c.classOption = ClassOption::FCD; },
         kWhere + " AND not exists ( select class  from  Marks where marks.usn = personal.usn AND  "
                  "marks.education_level >= 3  AND  (marks.class = 'Second' OR marks.class = 'First') )  AND exists ( "
                  "select class from Marks where   marks.usn = usn and marks.education_level >= 3) "},
        {"First Class", [](Criteria& c) { c.classOption = ClassOption::FirstClass; },
         kWhere + " AND not exists ( select class  from  Marks where marks.usn = personal.usn AND  "
                  "marks.education_level >= 4  AND  (marks.class = 'Second') )  AND exists ( select class from Marks "
                  "where   marks.usn = personal.usn and marks.education_level >= 4) "},
        {"both word constraints",
         [](Criteria& c) {
             c.projectWordsEnabled = true, c.projectWords = "java; oracle";
             c.hobbyWordsEnabled = true, c.hobbyWords = "chess;;music";
         },
         kWhere + " AND ( prefinalproject1 like '*java*oracle*'OR prefinalproject2 like '*java*oracle*' OR "
                  "finalproject1 like '*java*oracle*' OR finalproject2 like '*java*oracle*') AND ( ( hobbies like "
                  "'*chess*music*') or (eca like '*chess*music*'))"},
        {"an apostrophe in the project words",
         [](Criteria& c) { c.projectWordsEnabled = true, c.projectWords = "o'neil"; },
         kWhere + " AND ( prefinalproject1 like '*o''neil*'OR prefinalproject2 like '*o''neil*' OR finalproject1 like "
                  "'*o''neil*' OR finalproject2 like '*o''neil*')"},
        {"an apostrophe is looked for, not obeyed",
         [](Criteria& c) { c.hobbyWordsEnabled = true, c.hobbyWords = "x'; DROP TABLE Marks; --"; },
         kWhere + " AND ( ( hobbies like '*x''*DROP*TABLE*Marks*--*') or (eca like '*x''*DROP*TABLE*Marks*--*'))"}};
    for (const auto& v : variants) {
        Criteria c = workedExample();
        v.change(c);
        const BuiltQuery q = BuildQuery(c, kCodes, kYear);
        ASSERT_FALSE(q.refused()) << q.refusal->text;
        EXPECT_EQ(q.condition, v.condition + kJoinAndRank) << v.what;
    }
}

// The percent box takes numbers up to 100; one past any double would otherwise read as 0 and select everyone.
TEST(BuildQuery, APercentageOver100OrNotFiniteIsRefused)
{
    for (const char* percent : {"100.1", "1e309", "-1e309"}) {
        Criteria c = workedExample();
        c.percent = percent;
        const BuiltQuery q = BuildQuery(c, kCodes, kYear);
        EXPECT_TRUE(q.refused() && q.refusal->step == 12) << percent;
    }
}

TEST(BuildQuery, MCAOffsetShiftsTheLevelsAndWarnsWhenMixed)
{
    const std::tuple<const char*, std::array<std::string, 3>, std::string, bool> cases[] = {
        {"22", {"MCA", "CS", kNoneElse}, "1", true},
        {"22 Or 23", {kNoneElse, "MCA", kNoneElse}, "1", false},
        {kAllBatches, {"MCA", "CS", kNoneElse}, "0", false}};  // "*MCA": no batch before the code
    for (const auto& [batch, boxes, offset, warning] : cases) {
        Criteria c = DefaultCriteria(kCodes, kYear);
        c.batch = batch, c.branches = boxes, c.fromSemester = "3", c.toSemester = "5";
        const BuiltQuery q = BuildQuery(c, kCodes, kYear);
        EXPECT_NE(q.aggregate.find("Where education_Level >=2 + 3+ " + offset + " And education_Level <= 2 + 5+ " + offset),
                  std::string::npos) << batch << " " << q.aggregate;
        EXPECT_EQ(q.mcaWarning, warning) << batch;
    }
}

TEST(ExcludeList, AcceptsKnownCodesOnly)
{
    const std::string CS = " AND usn not like '*CS*'", EC = " AND usn not like '*EC*'";
    const std::pair<const char*, std::string> accepted[] = {
        {"CS", CS}, {"cs,ec", CS + EC}, {"CS,", CS}, {" CS,EC ", CS + EC}, {"CS EC", CS + EC}};
    for (const auto& [list, conditions] : accepted)
        EXPECT_EQ(VerifyAndGenerateExcludeSQLString(list, kCodes), conditions) << list;
    for (const char* list : {"CS, EC", "C1", "CS,XX", "XX,CS", "   ", "", ",", "CS;EC"})
        EXPECT_NE(VerifyAndGenerateExcludeSQLString(list, kCodes).find("-ERRERR"), std::string::npos) << '"' << list << '"';
}

TEST(UsnLike, SplitsOnlyAtTheTwoYearJoint)
{
    EXPECT_EQ(usnlikeString("22COR"), "usn like '*22COR*'");
    EXPECT_EQ(GetWordRegEx("  "), "*");
    EXPECT_FALSE(IsNumeric("6O") || IsNumeric("1,5") || IsNumeric("1e") || IsNumeric(" "));
    EXPECT_TRUE(IsNumeric(" 62.5 ") && IsNumeric("-1") && IsNumeric(".5") && IsNumeric("1e2"));
}

// Another program holds the database off. On a network share (the rollback journal) even a reader does:
// the saved query is rewritten but cannot be committed, and the rewrite goes back with the failed run,
// so FreePercent keeps matching the condition of the result still shown.
TEST(Retrieve, ALockedDatabaseIsToldAsSuchAndChangesNothing)
{
    test::TempDir dir;
    Control control;
    control.config.DatabasePath = test::makeDatabase(dir);
    test::storeStudents(control.config.DatabasePath);
    control.session.BranchCodes[0] = "CS", control.session.BranchCodes[1] = "EC";
    control.session.BranchCount = 2;
    test::FakeFileSystem share(test::kNfs);
    db::Failure failure;
    auto db = db::Database::open(control.config.DatabasePath, db::Road::Connector, failure);
    ASSERT_TRUE(db && db->storage().mode != db::JournalMode::WriteAheadLog) << failure.description;
    const auto freePercent = [&] {
        std::string sql;
        EXPECT_TRUE(db->savedQuery("FreePercent", sql, failure)) << failure.description;
        return sql;
    };
    Criteria criteria = DefaultCriteria(BranchList(control), kYear);
    criteria.batch = "22", criteria.fromSemester = "2";
    for (const auto kind : {test::DatabaseLock::Kind::Write, test::DatabaseLock::Kind::Read}) {
        control.query.QueryCondition = "earlier condition";
        const std::string before = freePercent();
        test::DatabaseLock lock(control.config.DatabasePath, kind);
        ASSERT_TRUE(lock.held());
        const RetrieveOutcome outcome = Retrieve(control, criteria, kYear, {.busyTimeoutMs = 50});
        lock.release();
        ASSERT_EQ(outcome.status, RetrieveOutcome::Status::Failed);
        EXPECT_NE(outcome.failure.description.find("locked"), std::string::npos) << outcome.failure.description;
        EXPECT_EQ(control.query.QueryCondition, "earlier condition");
        EXPECT_EQ(control.query.PercentColumn, "Percent2To6");
        EXPECT_EQ(freePercent(), before);
    }
    const RetrieveOutcome outcome = Retrieve(control, criteria, kYear);
    ASSERT_EQ(outcome.status, RetrieveOutcome::Status::Shown);
    EXPECT_EQ(freePercent(), outcome.query.aggregate);
    EXPECT_EQ(control.query.QueryCondition, outcome.query.condition);
}

}  // namespace
}  // namespace kyt::query
