// Retrieve on a real database: a failure of the database leaves the saved query and the kept condition as
// the result still shown needs them.

#include <gtest/gtest.h>

#include "db/data_connector.h"
#include "query/retrieve.h"
#include "students.h"
#include "support/db_faults.h"

namespace kyt::query {
namespace {

constexpr int kYear = 2026;

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
