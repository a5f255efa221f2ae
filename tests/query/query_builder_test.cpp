// The query texts Retrieve builds, compared whole, and the checks that refuse criteria.

#include <gtest/gtest.h>

#include "query/query_builder.h"

namespace kyt::query {
namespace {

const std::vector<std::string> kCodes = {"CS", "EC", "MCA", "ME"};
constexpr int kYear = 2026;

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
    EXPECT_EQ(q.select,
              "SELECT USN,Name,  CInt((Now()-Cdate(dob1))/365.2) AS Age, Gender  , Percent1To6 , Email FROM personal, "
              "FreePercent   where (Percent1To6 >= 60 )  AND ( usn like '*22CS*' or usn like '*22EC*') AND (usn = "
              "Freepercent.usn_FP)  ORDER BY Percent1To6 DESC");
    EXPECT_EQ(q.aggregate,
              "SELECT USN as USN_FP, Count(*) as SemsCount, format(sum(obtained)/sum(max) * 100,'0.00') AS Percent1To6 "
              "From marks Where education_Level >=2 + 1+ 0 And education_Level <= 2 + 6+ 0 GROUP BY USN");
    EXPECT_EQ(q.condition, " where (Percent1To6 >= 60 )  AND ( usn like '*22CS*' or usn like '*22EC*')" + kJoinAndRank);
    EXPECT_EQ(q.PercentColumn, "Percent1To6");
    EXPECT_FALSE(q.rankedByUsn);
    EXPECT_FALSE(q.mcaWarning);
}

struct Variant {
    const char* what;
    void (*change)(Criteria&);
    std::string condition;
};

class Variants : public ::testing::TestWithParam<Variant> {};

TEST_P(Variants, ConditionIsExactly)
{
    Criteria c = workedExample();
    GetParam().change(c);
    const BuiltQuery q = BuildQuery(c, kCodes, kYear);
    ASSERT_FALSE(q.refused()) << q.refusal->text;
    EXPECT_EQ(q.condition, GetParam().condition) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    BuildQuery, Variants,
    ::testing::Values(
        Variant{"two-year batch", [](Criteria& c) { c.batch = "22 Or 23"; },
                " where (Percent1To6 >= 60 )  AND ( usn like '*22CS*' OR USN like  '*23CS*' or usn like '*22EC*' OR "
                "USN like  '*23EC*')" + kJoinAndRank},
        Variant{"all branches, all batches, exclusions",
                [](Criteria& c) {
                    c.batch = kAllBatches;
                    c.branches = {"CS", kAllBranches, "EC"};
                    c.excludeList = "CS,EC";
                },
                " where (Percent1To6 >= 60 )  AND ( usn like '***') AND usn not like '*CS*' AND usn not like '*EC*'" +
                    kJoinAndRank},
        Variant{"exclusions ignored without All Branches", [](Criteria& c) { c.excludeList = "CS"; },
                " where (Percent1To6 >= 60 )  AND ( usn like '*22CS*' or usn like '*22EC*')" + kJoinAndRank},
        Variant{"typed one-digit batch", [](Criteria& c) { c.batch = "5", c.batchTyped = true; },
                " where (Percent1To6 >= 60 )  AND ( usn like '*5CS*' or usn like '*5EC*')" + kJoinAndRank},
        Variant{"strict range",
                [](Criteria& c) { c.strictRange = true; },
                " where (Percent1To6 >= 60 )  AND ( usn like '*22CS*' or usn like '*22EC*') AND ( "
                "FreePercent.SemsCount = 6-1+ 1)" + kJoinAndRank},
        Variant{"at most, a decimal threshold", [](Criteria& c) { c.comparison = Comparison::Atmost, c.percent = " 62.50"; },
                " where (Percent1To6 <= 62.5 )  AND ( usn like '*22CS*' or usn like '*22EC*')" + kJoinAndRank},
        Variant{"exactly, empty threshold", [](Criteria& c) { c.comparison = Comparison::Exactly, c.percent = ""; },
                " where (Percent1To6 = 0 )  AND ( usn like '*22CS*' or usn like '*22EC*')" + kJoinAndRank},
        Variant{"FCD",
                [](Criteria& c) { c.classOption = ClassOption::FCD; },
                " where (Percent1To6 >= 60 )  AND ( usn like '*22CS*' or usn like '*22EC*') AND not exists ( select "
                "class  from  Marks where marks.usn = personal.usn AND  marks.education_level >= 3  AND  (marks.class = "
                "'Second' OR marks.class = 'First') )  AND exists ( select class from Marks where   marks.usn = usn and "
                "marks.education_level >= 3) " + kJoinAndRank},
        Variant{"First Class",
                [](Criteria& c) { c.classOption = ClassOption::FirstClass; },
                " where (Percent1To6 >= 60 )  AND ( usn like '*22CS*' or usn like '*22EC*') AND not exists ( select "
                "class  from  Marks where marks.usn = personal.usn AND  marks.education_level >= 4  AND  (marks.class = "
                "'Second') )  AND exists ( select class from Marks where   marks.usn = personal.usn and "
                "marks.education_level >= 4) " + kJoinAndRank},
        Variant{"both word constraints",
                [](Criteria& c) {
                    c.projectWordsEnabled = true, c.projectWords = "java; oracle";
                    c.hobbyWordsEnabled = true, c.hobbyWords = "chess;;music";
                },
                " where (Percent1To6 >= 60 )  AND ( usn like '*22CS*' or usn like '*22EC*') AND ( prefinalproject1 like "
                "'*java*oracle*'OR prefinalproject2 like '*java*oracle*' OR finalproject1 like '*java*oracle*' OR "
                "finalproject2 like '*java*oracle*') AND ( ( hobbies like '*chess*music*') or (eca like "
                "'*chess*music*'))" + kJoinAndRank},
        Variant{"an apostrophe is looked for, not obeyed",
                [](Criteria& c) { c.hobbyWordsEnabled = true, c.hobbyWords = "x'; DROP TABLE Marks; --"; },
                " where (Percent1To6 >= 60 )  AND ( usn like '*22CS*' or usn like '*22EC*') AND ( ( hobbies like "
                "'*x''*DROP*TABLE*Marks*--*') or (eca like '*x''*DROP*TABLE*Marks*--*'))" + kJoinAndRank},
        Variant{"ranked by USN ascendingly", [](Criteria& c) { c.rankBy = "USN", c.ascending = true; },
                " where (Percent1To6 >= 60 )  AND ( usn like '*22CS*' or usn like '*22EC*') AND (usn = "
                "Freepercent.usn_FP)  ORDER BY USN ASC"}));

TEST(BuildQuery, OptionalColumnsKeepTheirOrderAndCommas)
{
    struct Case {
        bool cet, gender, age;
        const char* columns;  // between "SELECT USN,Name, " and " , Email"
    };
    const char* A = " CInt((Now()-Cdate(dob1))/365.2) AS Age";
    const std::vector<Case> cases = {
        {false, false, false, "Percent1To6"},
        {true, false, false, " CET, Percent1To6"},
        {false, true, false, " Gender  , Percent1To6"},
        {false, false, true, "$ , Percent1To6"},
        {true, true, false, " Gender , CET, Percent1To6"},
        {true, false, true, "$, CET, Percent1To6"},
        {false, true, true, "$, Gender  , Percent1To6"},
        {true, true, true, "$, Gender , CET, Percent1To6"},
    };
    for (const Case& k : cases) {
        Criteria c = DefaultCriteria(kCodes, kYear);
        c.cetRank = k.cet, c.gender = k.gender, c.age = k.age;
        std::string columns = k.columns;
        if (columns[0] == '$')
            columns.replace(0, 1, A);
        const BuiltQuery q = BuildQuery(c, kCodes, kYear);
        EXPECT_EQ(q.select.substr(0, q.select.find(" , Email")), "SELECT USN,Name, " + columns)
            << k.cet << k.gender << k.age;
    }
}

TEST(BuildQuery, MCAOffsetShiftsTheLevelsAndWarnsWhenMixed)
{
    struct Case {
        const char* batch;
        std::array<std::string, 3> boxes;
        int offset;
        bool warning;
    };
    for (const Case& k : {Case{"22", {"MCA", "CS", kNoneElse}, 1, true},
                          Case{"22", {kNoneElse, "MCA", kNoneElse}, 1, false},
                          Case{"22 Or 23", {"MCA", kNoneElse, kNoneElse}, 1, false},
                          Case{kAllBatches, {"MCA", "CS", kNoneElse}, 0, false},
                          Case{"22", {"CS", "EC", kNoneElse}, 0, false}}) {
        Criteria c = DefaultCriteria(kCodes, kYear);
        c.batch = k.batch;
        c.branches = k.boxes;
        c.fromSemester = "3";
        c.toSemester = "5";
        const BuiltQuery q = BuildQuery(c, kCodes, kYear);
        const std::string O = std::to_string(k.offset);
        EXPECT_EQ(q.aggregate, "SELECT USN as USN_FP, Count(*) as SemsCount, format(sum(obtained)/sum(max) * 100,'0.00') "
                               "AS Percent3To5 From marks Where education_Level >=2 + 3+ " + O +
                                   " And education_Level <= 2 + 5+ " + O + " GROUP BY USN")
            << k.batch << " " << k.boxes[0];
        EXPECT_EQ(q.mcaWarning, k.warning) << k.batch << " " << k.boxes[0] << " " << k.boxes[1];
    }
}

TEST(BuildQuery, RefusalsCarryTheirMessageAndFocus)
{
    struct Case {
        const char* what;
        void (*change)(Criteria&);
        int step;
        const char* focus;
        const char* title;
        MsgIcon icon;
        bool percentColumnSet;
    };
    const std::vector<Case> cases = {
        {"To below From, before anything else", [](Criteria& c) { c.fromSemester = "5", c.toSemester = "3", c.batch = "abc", c.batchTyped = true; },
         2, "cmbFromSem", "Error", MsgIcon::Exclamation, false},
        {"three-digit batch", [](Criteria& c) { c.batch = "123", c.batchTyped = true; }, 7, "Combo7", "Error",
         MsgIcon::Exclamation, true},
        {"letters for a batch", [](Criteria& c) { c.batch = "ab", c.batchTyped = true; }, 7, "Combo7", "Error",
         MsgIcon::Exclamation, true},
        {"bad exclude list", [](Criteria& c) { c.branches[0] = kAllBranches, c.excludeList = "CS, EC"; }, 8, "Text4",
         "Kyt Error", MsgIcon::Critical, true},
        {"no branch", [](Criteria& c) { c.branches = {kNoneElse, kNoneElse, kNoneElse}; }, 9, "Combo1_1", "Error",
         MsgIcon::Critical, true},
        {"percent not a number", [](Criteria& c) { c.percent = "6O"; }, 12, "Text1", "Error", MsgIcon::Critical, true},
    };
    for (const Case& k : cases) {
        Criteria c = workedExample();
        k.change(c);
        const BuiltQuery q = BuildQuery(c, kCodes, kYear);
        ASSERT_TRUE(q.refused()) << k.what;
        EXPECT_EQ(q.refusal->step, k.step) << k.what;
        EXPECT_EQ(q.refusal->focus, k.focus) << k.what;
        EXPECT_EQ(q.refusal->title, k.title) << k.what;
        EXPECT_EQ(q.refusal->icon, k.icon) << k.what;
        EXPECT_EQ(!q.PercentColumn.empty(), k.percentColumnSet) << k.what;
        EXPECT_TRUE(q.condition.empty() && q.select.empty()) << k.what;
    }
    Criteria c = workedExample();
    c.branches[0] = kAllBranches;
    c.excludeList = "X1";
    EXPECT_EQ(BuildQuery(c, kCodes, kYear).refusal->text,
              "Please enter the exclude branches codes properly/correctly\r\nDo not include spaces. The codes you enter "
              "must be in the database\r\nor listed in the boxes on the left");
}

TEST(ExcludeList, AcceptsKnownCodesOnly)
{
    const std::string CS = " AND usn not like '*CS*'", EC = " AND usn not like '*EC*'";
    struct Case {
        const char* list;
        std::string conditions;  // empty: rejected
    };
    for (const Case& k : {Case{"CS", CS}, Case{"cs,ec", CS + EC}, Case{"CS,", CS}, Case{" CS,EC ", CS + EC},
                          Case{"CS EC", CS + EC}, Case{"CS, EC", ""}, Case{"C1", ""}, Case{"CS,XX", ""},
                          Case{"XX,CS", ""}, Case{"   ", ""}, Case{"", ""}, Case{",", ""}, Case{"CS;EC", ""}}) {
        const std::string result = VerifyAndGenerateExcludeSQLString(k.list, kCodes);
        if (k.conditions.empty())
            EXPECT_NE(result.find("-ERRERR"), std::string::npos) << '"' << k.list << "\" gave " << result;
        else
            EXPECT_EQ(result, k.conditions) << k.list;
    }
}

TEST(GetWordRegEx, RunsOfSeparatorsBecomeOneWildcard)
{
    EXPECT_EQ(GetWordRegEx(" java; oracle "), "*java*oracle*");
    EXPECT_EQ(GetWordRegEx(" java;;oracle "), "*java*oracle*");
    EXPECT_EQ(GetWordRegEx(" java oracle "), "*java*oracle*");
    EXPECT_EQ(GetWordRegEx("  "), "*");
    EXPECT_EQ(GetWordRegEx(" c#[x]? "), "*c#[x]?*");
}

TEST(BatchItems, FollowTheCalendarYear)
{
    EXPECT_EQ(BatchItems(2026), (std::vector<std::string>{"21", "22", "23", "22 Or 23", "All Batches"}));
    EXPECT_EQ(BatchItems(2104), (std::vector<std::string>{"99", "00", "01", "00 Or 01", "All Batches"}));
}

TEST(DefaultCriteria, BranchBoxesFollowTheListLength)
{
    using Boxes = std::array<std::string, 3>;
    EXPECT_EQ(DefaultCriteria({"CS", "EC", "ME", "IS"}, kYear).branches, (Boxes{"CS", "EC", "IS"}));
    EXPECT_EQ(DefaultCriteria({"CS", "EC", "ME"}, kYear).branches, (Boxes{"CS", "EC", kNoneElse}));
    EXPECT_EQ(DefaultCriteria({"CS", "EC"}, kYear).branches, (Boxes{"CS", "EC", kAllBranches}));
    EXPECT_EQ(DefaultCriteria({}, kYear).branches, (Boxes{kNoneElse, kAllBranches, ""}));
}

TEST(UsnLike, SplitsOnlyAtTheTwoYearJoint)
{
    EXPECT_EQ(usnlikeString("22CS OR 23CS"), "usn like '*22CS*' OR USN like  '*23CS*'");
    EXPECT_EQ(usnlikeString("22COR"), "usn like '*22COR*'");
}

TEST(IsNumeric, WithoutTheLocale)
{
    for (const char* yes : {"60", " 62.5 ", "-1", "+3", ".5", "5.", "1e2"})
        EXPECT_TRUE(IsNumeric(yes)) << yes;
    for (const char* no : {"", " ", "6O", "1,5", "e2", "1e", "--1", "0x1"})
        EXPECT_FALSE(IsNumeric(no)) << no;
}

}  // namespace
}  // namespace kyt::query
