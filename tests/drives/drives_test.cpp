// Drives and statistics on a generated batch: every figure checked against what the test works out by
// hand, the shortlist kept as it was taken, outcomes counted as offers and placements.

#include <gtest/gtest.h>

#include "db/seed.h"
#include "drives/drive_store.h"
#include "drives/statistics.h"
#include "query/retrieve.h"

namespace kyt::drives {
namespace {

constexpr int kYear = 2026;

// Batch 22: CS at 55, 62, 68, 74, 81 % and EC at 45, 60, 65, 90 % (every semester alike, so each
// aggregate is exactly that), semesters 1 to 6 on record.
class Batch : public test::DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        db = openDb();
        for (const auto& [usn, percent] : {std::pair{"1QP22CS001", 55}, {"1QP22CS002", 62}, {"1QP22CS003", 68},
                                           {"1QP22CS004", 74}, {"1QP22CS005", 81}, {"1QP22EC001", 45},
                                           {"1QP22EC002", 60}, {"1QP22EC003", 65}, {"1QP22EC004", 90}})
            storeStudent(*db, {.usn = usn}, 3, 8, percent, 100);
        control.config.DatabasePath = path;
        control.session.BranchCodes[0] = "CS", control.session.BranchCodes[1] = "EC";
        control.session.BranchCount = 2;
    }

    query::RetrieveOutcome retrieve(const std::string& percent = "")
    {
        query::Criteria c = query::DefaultCriteria(codes, kYear);
        c.batch = "22";
        c.branches = {query::kAllBranches, query::kNoneElse, query::kNoneElse};
        c.percent = percent;
        query::RetrieveOutcome outcome = query::Retrieve(control, c, kYear);
        EXPECT_EQ(outcome.status, query::RetrieveOutcome::Status::Shown) << outcome.failure.description;
        return outcome;
    }

    // A drive of `company` shortlisting those at or above `percent`.
    Drive saveDrive(const std::string& company, const std::string& percent)
    {
        const query::RetrieveOutcome outcome = retrieve(percent);
        Drive drive;
        drive.company = company;
        drive.date = "2027-02-12";
        drive.criteria = query::DefaultCriteria(codes, kYear);
        db::Failure failure;
        EXPECT_TRUE(SaveDrive(*db, drive, ShortlistOf(outcome.result, outcome.query.PercentColumn, codes), failure))
            << failure.description;
        return drive;
    }

    std::vector<ShortlistEntry> shortlist(int id)
    {
        Drive drive;
        std::vector<ShortlistEntry> entries;
        db::Failure failure;
        EXPECT_TRUE(LoadDrive(*db, id, drive, &entries, failure)) << failure.description;
        return entries;
    }

    std::unique_ptr<db::Database> db;
    Control control;
    const std::vector<std::string> codes = {"CS", "EC"};
};

TEST_F(Batch, EveryFigureOfTheBatchAsWorkedOutByHand)
{
    const query::RetrieveOutcome outcome = retrieve();
    std::map<std::string, Placement> none;
    const Statistics s = ComputeStatistics(FiguresOfResult(outcome.result, "Percent1To6", codes, none), codes);
    // CS: 340 / 5 = 68; EC: 260 / 4 = 65, median (60 + 65) / 2; all: 600 / 9 = 66.67, median 65.
    const query::ResultTable summary = SummaryTable(s);
    EXPECT_EQ(summary.fields, (std::vector<std::string>{"Branch", "Students", "Mean", "Median", "Lowest", "Highest",
                                                        "Second", "First", "FCD", "60 % or more", "65 % or more",
                                                        "70 % or more", "75 % or more"}));
    EXPECT_EQ(summary.rows, (std::vector<std::vector<std::string>>{
                                {"CS", "5", "68.00", "68.00", "55.00", "81.00", "1", "2", "2", "4", "3", "2", "1"},
                                {"EC", "4", "65.00", "62.50", "45.00", "90.00", "1", "2", "1", "3", "2", "1", "1"},
                                {"All", "9", "66.67", "65.00", "45.00", "90.00", "2", "4", "3", "7", "5", "3", "2"}}));
    EXPECT_EQ(DistributionTable(s).rows, (std::vector<std::vector<std::string>>{{"CS", "0", "1", "2", "1", "1", "0"},
                                                                                {"EC", "1", "0", "2", "0", "0", "1"},
                                                                                {"All", "1", "1", "4", "1", "1", "1"}}));
    EXPECT_FALSE(s.outcomes);
}

TEST_F(Batch, OutcomesGiveOfferAndPlacementRatesForTheDriveAndTheBatch)
{
    const Drive drive = saveDrive("Acme", "70");  // CS 81, 74 and EC 90, in that order
    ASSERT_EQ(shortlist(drive.id).size(), 3u);
    db::Failure failure;
    for (const auto& [usn, outcome] : {std::pair{"1QP22CS005", Outcome::Joined}, {"1QP22CS004", Outcome::Declined},
                                       {"1QP22EC004", Outcome::Offered}})
        ASSERT_TRUE(SetOutcome(*db, drive.id, usn, outcome, failure)) << failure.description;
    EXPECT_FALSE(SetOutcome(*db, drive.id, "1QP22CS001", Outcome::Offered, failure));
    EXPECT_NE(failure.description.find("not on the shortlist"), std::string::npos);

    // The drive: CS 2 of 2 offered, 1 joined; EC 1 of 1 offered.
    Statistics s = ComputeStatistics(FiguresOfShortlist(shortlist(drive.id)), codes);
    EXPECT_EQ(PlacementTable(s).rows, (std::vector<std::vector<std::string>>{
                                          {"CS", "2", "2", "1", "100.00", "50.00"},
                                          {"EC", "1", "1", "0", "100.00", "0.00"},
                                          {"All", "3", "3", "1", "100.00", "33.33"}}));
    // The batch, outcomes of every drive: CS 2 of 5 offered, 1 of 5 joined; EC 1 of 4.
    std::map<std::string, Placement> placements;
    ASSERT_TRUE(Placements(*db, placements, failure));
    const query::RetrieveOutcome outcome = retrieve();
    s = ComputeStatistics(FiguresOfResult(outcome.result, "Percent1To6", codes, placements), codes);
    EXPECT_TRUE(s.outcomes);
    EXPECT_EQ(PlacementTable(s).rows, (std::vector<std::vector<std::string>>{
                                          {"CS", "5", "2", "1", "40.00", "20.00"},
                                          {"EC", "4", "1", "0", "25.00", "0.00"},
                                          {"All", "9", "3", "1", "33.33", "11.11"}}));
}

TEST_F(Batch, AShortlistStaysAsItWasTakenAndRunningAgainOnlyAddsNewcomers)
{
    const Drive drive = saveDrive("Acme", "65");  // 90, 81, 74, 68, 65
    db::Failure failure;
    ASSERT_TRUE(SetOutcome(*db, drive.id, "1QP22CS004", Outcome::Interviewed, failure));
    const std::vector<ShortlistEntry> taken = shortlist(drive.id);
    ASSERT_EQ(taken.size(), 5u);
    EXPECT_EQ(taken[0].usn, "1QP22EC004");
    EXPECT_EQ(*taken[0].aggregate, 90);

    // Later: a student extracted, one's marks corrected, one deleted. The shortlist does not move.
    storeStudent(*db, {.usn = "1QP22CS009"}, 3, 8, 77, 100);
    run(*db, "UPDATE Marks SET obtained = 40 WHERE usn = '1QP22CS005'");
    run(*db, "DELETE FROM Marks WHERE usn = '1QP22EC003'");
    run(*db, "DELETE FROM Personal WHERE usn = '1QP22EC003'");
    const auto sameAs = [&](const std::vector<ShortlistEntry>& now) {
        ASSERT_EQ(now.size(), taken.size());
        for (size_t i = 0; i < now.size(); ++i) {
            EXPECT_EQ(now[i].usn, taken[i].usn);
            EXPECT_EQ(now[i].aggregate, taken[i].aggregate);
            EXPECT_EQ(now[i].outcome, taken[i].outcome);
        }
    };
    sameAs(shortlist(drive.id));

    // Running again adds the newcomer after the last place; nobody leaves, outcomes stay.
    const query::RetrieveOutcome outcome = retrieve("65");
    std::vector<ShortlistEntry> added;
    ASSERT_TRUE(AddToShortlist(*db, drive.id, ShortlistOf(outcome.result, "Percent1To6", codes), added, failure));
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].usn, "1QP22CS009");
    EXPECT_EQ(added[0].place, 6);
    std::vector<ShortlistEntry> now = shortlist(drive.id);
    now.pop_back();
    sameAs(now);

    // One drive per company and day; a deleted drive takes its shortlist along.
    Drive again;
    again.company = "ACME";
    again.date = "2027-02-12";
    EXPECT_FALSE(SaveDrive(*db, again, {}, failure));
    EXPECT_NE(failure.description.find("is saved already"), std::string::npos) << failure.description;
    ASSERT_TRUE(DeleteDrive(*db, drive.id, failure));
    EXPECT_EQ(select(*db, "SELECT * FROM Shortlist").RecordCount(), 0);
    EXPECT_FALSE(LoadDrive(*db, drive.id, again, nullptr, failure));
}

// Statistics beside the query window take their rows aside: the saved query that the shown result (and
// its merge) was made with stays.
TEST_F(Batch, FiguresTakenAsideLeaveTheSavedQueryOfTheShownResult)
{
    retrieve();
    db::Failure failure;
    std::string shown, after;
    ASSERT_TRUE(db->savedQuery("FreePercent", shown, failure));
    query::Criteria c = query::DefaultCriteria(codes, kYear);
    c.batch = "22";
    c.branches = {query::kAllBranches, query::kNoneElse, query::kNoneElse};
    c.toSemester = "8";
    query::ResultTable rows;
    ASSERT_TRUE(query::RunQueryAside(path, query::BuildQuery(c, codes, kYear), rows, failure)) << failure.description;
    EXPECT_EQ(rows.recordCount(), 9);
    EXPECT_EQ(rows.fields[2], "Percent1To8");
    ASSERT_TRUE(db->savedQuery("FreePercent", after, failure));
    EXPECT_EQ(after, shown);
}

TEST(BranchOf, TakesTheCodeTheBranchListKnows)
{
    const std::vector<std::string> codes = {"CS", "MCA", "EC"};
    EXPECT_EQ(BranchOf("1QP22CS001", codes), "CS");
    EXPECT_EQ(BranchOf("1qp22mca01", codes), "MCA");
    EXPECT_EQ(BranchOf("1QP22ME001", codes), "ME");
    EXPECT_EQ(BranchOf("1QP", codes), "");
}

}  // namespace
}  // namespace kyt::drives
