// Retrieve on a real database: the saved query rewritten, the rows copied as text, typed words that cannot
// break the statement, and failures of the database that leave everything as it was.

#include <gtest/gtest.h>

#include "db/seed.h"
#include "query/retrieve.h"
#include "support/db_faults.h"

namespace kyt::query {
namespace {

using test::marksInsert;
using test::personalInsert;

constexpr int kYear = 2026;

class RetrieveTest : public test::DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        writer = openDb(db::Road::Connector);
        db::Failure failure;
        ASSERT_TRUE(writer->begin(failure));
        // Semesters 1-6 are levels 3-8 for BE students, 4-9 for MCA students.
        storeStudent(*writer, {.usn = "1QP22CS001", .name = "Asha Rao"}, 3, 8, 70, 100);
        storeStudent(*writer, {.usn = "1QP22CS002", .name = "Bala Kumar", .gender = "Male"}, 3, 8, 95, 1000);
        storeStudent(*writer, {.usn = "1QP22EC003", .name = "Chitra"}, 3, 8, 81, 100);
        storeStudent(*writer, {.usn = "1QP21CS004", .name = "Esha"}, 3, 8, 90, 100);  // another batch
        ASSERT_TRUE(writer->commit(failure));
        control.DatabasePath = path;
        control.BranchCodes[0] = "CS", control.BranchCodes[1] = "EC", control.BranchCodes[2] = "MCA";
        control.BranchCount = 3;
        control.QueryCondition = "earlier condition";
    }

    Criteria batch22()
    {
        Criteria c = DefaultCriteria(BranchList(control), kYear);
        c.batch = "22";
        return c;
    }

    std::string freePercent()
    {
        std::string sql;
        db::Failure failure;
        EXPECT_TRUE(writer->savedQuery("FreePercent", sql, failure)) << failure.description;
        return sql;
    }

    std::vector<std::string> usns(const ResultTable& table)
    {
        std::vector<std::string> out;
        for (const auto& row : table.rows)
            out.push_back(row.at(0));
        return out;
    }

    std::unique_ptr<db::Database> writer;
    Control control;
};

TEST_F(RetrieveTest, RanksByThePercentageAsANumberAndCopiesEveryValueAsText)
{
    Criteria c = batch22();
    c.gender = true;
    const RetrieveOutcome outcome = Retrieve(control, c, kYear);
    ASSERT_EQ(outcome.status, RetrieveOutcome::Status::Shown) << outcome.failure.description;
    EXPECT_EQ(outcome.result.fields, (std::vector<std::string>{"USN", "Name", "Gender", "Percent1To6", "Email"}));
    // 81.00 above 70.00 above 9.50: compared as numbers, shown with two decimals.
    ASSERT_EQ(outcome.result.rows.size(), 3u);
    EXPECT_EQ(outcome.result.rows[0], (std::vector<std::string>{"1QP22EC003", "Chitra", "Female", "81.00", "asha@example.com"}));
    EXPECT_EQ(outcome.result.rows[2][3], "9.50");
    EXPECT_EQ(control.QueryCondition, outcome.query.condition);
    EXPECT_EQ(control.PercentColumn, "Percent1To6");
    EXPECT_EQ(freePercent(), outcome.query.aggregate);
}

TEST_F(RetrieveTest, ThresholdAndStrictRange)
{
    Criteria c = batch22();
    c.percent = "75";
    EXPECT_EQ(usns(Retrieve(control, c, kYear).result), (std::vector<std::string>{"1QP22EC003"}));

    run(*writer, "DELETE FROM Marks WHERE usn = '1QP22EC003' AND education_level = 8");
    c = batch22();
    c.strictRange = true, c.rankBy = "USN", c.ascending = true;
    EXPECT_EQ(usns(Retrieve(control, c, kYear).result), (std::vector<std::string>{"1QP22CS001", "1QP22CS002"}));
}

TEST_F(RetrieveTest, TypedWordsNeverBreakOrChangeTheStatement)
{
    run(*writer, personalInsert({.usn = "1QP22CS010", .name = "Quote", .hobbies = "it''s 50% _done_ [x] \"a\"; --ok"}));
    run(*writer, marksInsert("1QP22CS010", 3, 60, 100));
    const size_t personal = select(*writer, "SELECT * FROM Personal").RecordCount();
    const size_t marks = select(*writer, "SELECT * FROM Marks").RecordCount();

    struct Case {
        const char* words;
        bool findsQuote;  // in the hobbies; the projects hold only "e"
    };
    for (const Case& k : {Case{"'", true}, Case{"\"", true}, Case{"%", true}, Case{"_", true}, Case{"[", true},
                          Case{"--", true}, Case{"it's", true}, Case{"50%", true}, Case{"5%", false},
                          Case{"x'); DROP TABLE Marks; --", false}, Case{"' OR '1'='1", false}}) {
        for (bool hobby : {false, true}) {
            Criteria c = batch22();
            (hobby ? c.hobbyWordsEnabled : c.projectWordsEnabled) = true;
            (hobby ? c.hobbyWords : c.projectWords) = k.words;
            const RetrieveOutcome outcome = Retrieve(control, c, kYear);
            ASSERT_EQ(outcome.status, RetrieveOutcome::Status::Shown) << k.words << ": " << outcome.failure.description;
            const std::vector<std::string> found = usns(outcome.result);
            EXPECT_EQ(hobby && k.findsQuote, std::find(found.begin(), found.end(), "1QP22CS010") != found.end())
                << k.words << (hobby ? " in hobbies" : " in projects");
        }
    }
    EXPECT_EQ(select(*writer, "SELECT * FROM Personal").RecordCount(), static_cast<long>(personal));
    EXPECT_EQ(select(*writer, "SELECT * FROM Marks").RecordCount(), static_cast<long>(marks));
}

TEST_F(RetrieveTest, AMissingSavedQueryIsAFailureWithItsName)
{
    run(*writer, "DELETE FROM SavedQuery WHERE Name = 'FreePercent'");
    const RetrieveOutcome outcome = Retrieve(control, batch22(), kYear);
    ASSERT_EQ(outcome.status, RetrieveOutcome::Status::Failed);
    EXPECT_NE(outcome.failure.description.find("FreePercent"), std::string::npos) << outcome.failure.description;
}

// A reader elsewhere lets the saved query be rewritten but not committed: the rewrite goes back with the
// failed run, so FreePercent keeps matching the condition of the result still shown.
TEST_F(RetrieveTest, ALockedDatabaseIsToldAsSuchAndChangesNothing)
{
    const std::string before = freePercent();
    for (auto kind : {test::DatabaseLock::Kind::Write, test::DatabaseLock::Kind::Read}) {
        test::DatabaseLock lock(path, kind);
        ASSERT_TRUE(lock.held());
        Criteria c = batch22();
        c.fromSemester = "2";
        const RetrieveOutcome outcome = Retrieve(control, c, kYear, {.busyTimeoutMs = 50});
        ASSERT_EQ(outcome.status, RetrieveOutcome::Status::Failed);
        EXPECT_NE(outcome.failure.description.find("locked"), std::string::npos) << outcome.failure.description;
        EXPECT_EQ(control.QueryCondition, "earlier condition");
        EXPECT_EQ(control.PercentColumn, "Percent2To6");
        lock.release();
        EXPECT_EQ(freePercent(), before);
    }
    EXPECT_EQ(Retrieve(control, batch22(), kYear).status, RetrieveOutcome::Status::Shown);
}

TEST_F(RetrieveTest, ARefusalRunsNothing)
{
    const std::string before = freePercent();
    Criteria c = batch22();
    c.percent = "abc";
    c.toSemester = "8";
    const RetrieveOutcome outcome = Retrieve(control, c, kYear);
    ASSERT_EQ(outcome.status, RetrieveOutcome::Status::Refused);
    EXPECT_EQ(control.PercentColumn, "Percent1To8");
    EXPECT_EQ(control.QueryCondition, "earlier condition");
    EXPECT_EQ(freePercent(), before);
}

}  // namespace
}  // namespace kyt::query
