// The eligibility rules companies add to the query window's criteria: the condition they add, what they
// refuse, and who they select on real rows; the criteria kept with a drive read back whole.

#include <gtest/gtest.h>

#include "db/seed.h"
#include "query/criteria_text.h"
#include "query/retrieve.h"
#include "query/save_results.h"

namespace kyt::query {
namespace {

constexpr int kYear = 2026;

TEST(Eligibility, EachRuleIsAQuotedLiteralOrALocaleFreeNumberInTheCondition)
{
    Criteria c = DefaultCriteria({"CS", "EC"}, kYear);
    c.eligibility = {.tenthPercent = " 60", .twelfthPercent = "62.50", .maxBacklogs = 0, .bornFrom = "1-6-2003"};
    const BuiltQuery q = BuildQuery(c, {"CS", "EC"}, kYear);
    ASSERT_FALSE(q.refused());
    const std::string rules = " AND personal.usn in (select USN from Eligibility where Tenth >= 60 and Twelfth >= 62.5 "
                              "and Backlogs <= 0 and Born >= CDate('2003-06-01'))";
    // After the window's own conditions, before the join and ranking that saving and merging rely on.
    EXPECT_NE(q.condition.find(rules + " AND (usn = Freepercent.usn_FP)  ORDER BY "), std::string::npos) << q.condition;
    c.eligibility = {.maxBacklogs = 2};
    EXPECT_NE(BuildQuery(c, {"CS"}, kYear).condition.find("(select USN from Eligibility where Backlogs <= 2)"),
              std::string::npos);
    c.eligibility = {};
    EXPECT_EQ(BuildQuery(c, {"CS"}, kYear).condition.find("Eligibility"), std::string::npos);
}

TEST(Eligibility, RefusesWhatNoRuleCanHoldWithTheFocusOnItsBox)
{
    const struct {
        Eligibility e;
        const char* focus;
    } cases[] = {{{.tenthPercent = "60%"}, "TenthPercent"},   {{.tenthPercent = "101"}, "TenthPercent"},
                 {{.twelfthPercent = "-1"}, "TwelfthPercent"}, {{.bornFrom = "31-02-2003"}, "BornFrom"},
                 {{.bornFrom = "2003/13/01"}, "BornFrom"},     {{.bornFrom = "1-6-03"}, "BornFrom"}};
    for (const auto& c : cases) {
        Criteria criteria = DefaultCriteria({"CS"}, kYear);
        criteria.eligibility = c.e;
        const BuiltQuery q = BuildQuery(criteria, {"CS"}, kYear);
        ASSERT_TRUE(q.refused()) << c.focus;
        EXPECT_EQ(q.refusal->focus, c.focus);
        EXPECT_EQ(q.refusal->step, 13);
    }
    EXPECT_EQ(IsoDate("29-02-2004"), "2004-02-29");
    EXPECT_EQ(IsoDate("2004.2.9"), "2004-02-09");
}

TEST(Eligibility, TheCriteriaOfADriveReadBackWholeAndUnknownLinesAreRefused)
{
    Criteria c = DefaultCriteria({"CS", "EC"}, kYear);
    c.batch = "22 Or 23";
    c.branches = {"CS", kAllBranches, kNoneElse};
    c.excludeList = "EC";
    c.comparison = Comparison::Exactly;
    c.percent = "70";
    c.classOption = ClassOption::FCD;
    c.projectWordsEnabled = true;
    c.projectWords = "java;\nline \\ two";
    c.eligibility = {.tenthPercent = "60", .maxBacklogs = 1, .bornFrom = "2003-06-01"};
    Criteria read;
    std::string error;
    ASSERT_TRUE(ParseCriteriaText(CriteriaText(c), read, error)) << error;
    EXPECT_EQ(read, c);
    EXPECT_FALSE(ParseCriteriaText(CriteriaText(c) + "caste=general\n", read, error));
    EXPECT_EQ(error, "line 26: no criterion 'caste' in this Kyt");
    EXPECT_FALSE(ParseCriteriaText("strict=yes\n", read, error));
    // A two-year item of another year, as an old drive holds it, still gives its two years.
    c = DefaultCriteria({"CS"}, 2030);
    c.batch = "22 Or 23";
    EXPECT_NE(BuildQuery(c, {"CS"}, 2030).condition.find("usn like '*22CS*' OR USN like  '*23CS*'"), std::string::npos);
}

// Students whose figures each rule must tell apart, with the aggregate (70 %) the base criteria accept.
class EligibleStudents : public test::DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        auto db = openDb();
        struct Row {
            const char* usn;
            const char* tenth;  // empty: no 10th row
            const char* twelfth;
            std::vector<const char*> attempts;  // of semesters 1 to 6
            const char* dob;
        };
        const Row rows[] = {
            {"1QP22CS001", "85", "78", {"1", "1", "1", "1", "1", "1"}, "15-08-2004"},
            {"1QP22CS002", "59.5", "78", {"1", "1", "1", "1", "1", "1"}, "15-08-2004"},
            {"1QP22CS003", "85", "55", {"1", "1", "1", "1", "1", "1"}, "15-08-2004"},
            {"1QP22CS004", "85", "78", {"2", "1", "1", "1", "1", "1"}, "15-08-2004"},
            {"1QP22CS005", "85", "78", {"Two", "1", "3 attempts", "1", "1", "1"}, "15-08-2004"},
            {"1QP22CS006", "85", "78", {"1", "1", "1", "1", "1", "1"}, "31-05-2003"},
            {"1QP22CS007", "85", "78", {"1", "1", "1", "1", "1", "1"}, "01-06-2003"},
            {"1QP22CS008", "", "78", {"1", "1", "1", "1", "1", "1"}, "15-08-2004"},
        };
        for (const Row& r : rows) {
            run(*db, test::personalInsert({.usn = r.usn, .dob = r.dob}));
            if (*r.tenth)
                run(*db, test::marksInsert(r.usn, 1, 80, 100, r.tenth));
            run(*db, test::marksInsert(r.usn, 2, 80, 100, r.twelfth));
            for (int s = 0; s < 6; ++s)
                run(*db, test::marksInsert(r.usn, s + 3, 70, 100, "70", "FCD", "Jun 2023", r.attempts[s]));
        }
        control.config.DatabasePath = path;
        control.session.BranchCodes[0] = "CS";
        control.session.BranchCount = 1;
    }

    // The last three digits of the USNs selected under `e`.
    std::string selected(const Eligibility& e)
    {
        Criteria c = DefaultCriteria({"CS"}, kYear);
        c.batch = "22";
        c.branches = {"CS", kNoneElse, kNoneElse};
        c.rankBy = "USN";
        c.ascending = true;
        c.eligibility = e;
        const RetrieveOutcome outcome = Retrieve(control, c, kYear);
        EXPECT_EQ(outcome.status, RetrieveOutcome::Status::Shown) << outcome.failure.description;
        std::string out;
        for (const auto& row : outcome.result.rows)
            out += (out.empty() ? "" : " ") + row[0].substr(7);
        return out;
    }

    Control control;
};

TEST_F(EligibleStudents, EachRuleSelectsWhomItsFiguresAllow)
{
    EXPECT_EQ(selected({}), "001 002 003 004 005 006 007 008");
    EXPECT_EQ(selected({.tenthPercent = "60"}), "001 003 004 005 006 007");
    EXPECT_EQ(selected({.tenthPercent = "59.5"}), "001 002 003 004 005 006 007");
    EXPECT_EQ(selected({.twelfthPercent = "60"}), "001 002 004 005 006 007 008");
    EXPECT_EQ(selected({.maxBacklogs = 0}), "001 002 003 006 007 008");
    EXPECT_EQ(selected({.maxBacklogs = 1}), "001 002 003 004 006 007 008");
    EXPECT_EQ(selected({.bornFrom = "01-06-2003"}), "001 002 003 004 005 007 008");
    EXPECT_EQ(selected({.tenthPercent = "60", .twelfthPercent = "60", .maxBacklogs = 0, .bornFrom = "2003-06-01"}),
              "001 007");
    // Saving and merging rebuild their queries from the condition: it must run there too.
    std::string sql;
    std::string error;
    ASSERT_TRUE(BuildSaveSql({"USN"}, control.query.QueryCondition, sql, error)) << error;
    ResultTable saved;
    db::Failure failure;
    ASSERT_TRUE(OpenResult(path, sql, saved, failure)) << failure.description;
    EXPECT_EQ(saved.recordCount(), 2);
}

}  // namespace
}  // namespace kyt::query
