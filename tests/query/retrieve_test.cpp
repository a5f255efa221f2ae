// Retrieve on a real database: typed words that cannot break the statement, and failures of the database
// that leave the saved query and the kept condition as the result still shown needs them.

#include <gtest/gtest.h>

#include "db/data_connector.h"
#include "query/retrieve.h"
#include "students.h"
#include "support/db_faults.h"

namespace kyt::query {
namespace {

constexpr int kYear = 2026;

class RetrieveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        control.config.DatabasePath = test::makeDatabase(dir);
        test::storeStudents(control.config.DatabasePath);
        db::Failure failure;
        writer = db::Database::open(control.config.DatabasePath, db::Road::Connector, failure);
        control.session.BranchCodes[0] = "CS", control.session.BranchCodes[1] = "EC", control.session.BranchCodes[2] = "MCA";
        control.session.BranchCount = 3;
        control.query.QueryCondition = "earlier condition";
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
    long count(const char* table)
    {
        db::Recordset rs;
        db::Failure failure;
        EXPECT_TRUE(writer->openRecordset(std::string("SELECT * FROM ") + table, rs, failure));
        return rs.RecordCount();
    }

    test::TempDir dir;
    Control control;
    std::unique_ptr<db::Database> writer;
};

TEST_F(RetrieveTest, TypedWordsNeverBreakOrChangeTheStatement)
{
    db::Failure failure;
    ASSERT_TRUE(writer->exec(test::personalInsert({.usn = "1QP22CS010", .name = "Quote",
                                                   .hobbies = "it''s 50% _done_ [x] \"a\"; --ok"}), failure));
    ASSERT_TRUE(writer->exec(test::marksInsert("1QP22CS010", 3, 60, 100), failure));
    const long personal = count("Personal"), marks = count("Marks");
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
            bool found = false;
            for (const auto& row : outcome.result.rows)
                found = found || row[0] == "1QP22CS010";
            EXPECT_EQ(hobby && k.findsQuote, found) << k.words << (hobby ? " in hobbies" : " in projects");
        }
    }
    EXPECT_EQ(count("Personal"), personal);
    EXPECT_EQ(count("Marks"), marks);
}

TEST_F(RetrieveTest, AMissingSavedQueryIsAFailureWithItsName)
{
    db::Failure failure;
    ASSERT_TRUE(writer->exec("DELETE FROM SavedQuery WHERE Name = 'FreePercent'", failure));
    const RetrieveOutcome outcome = Retrieve(control, batch22(), kYear);
    ASSERT_EQ(outcome.status, RetrieveOutcome::Status::Failed);
    EXPECT_NE(outcome.failure.description.find("FreePercent"), std::string::npos) << outcome.failure.description;
}

// Another writer holds the database off in either journal. With the rollback journal (a network share) a
// reader elsewhere lets the saved query be rewritten but not committed: the rewrite goes back with the
// failed run, so FreePercent keeps matching the condition of the result still shown. The write-ahead log
// (a local disk) lets the query run beside the reader.
TEST_F(RetrieveTest, ALockedDatabaseIsToldAsSuchAndChangesNothing)
{
    using Kind = test::DatabaseLock::Kind;
    for (const uint64_t fileSystem : {test::kNfs, test::kExt4}) {
        writer.reset();  // so that the database can change its journal
        test::FakeFileSystem disk(fileSystem);
        db::Failure failure;
        writer = db::Database::open(control.config.DatabasePath, db::Road::Connector, failure);
        ASSERT_TRUE(writer) << failure.description;
        const bool wal = writer->storage().mode == db::JournalMode::WriteAheadLog;
        ASSERT_EQ(wal, fileSystem == test::kExt4) << writer->storage().reason;
        for (const Kind kind : {Kind::Write, Kind::Read}) {
            SCOPED_TRACE(std::string(wal ? "write-ahead log, " : "rollback journal, ") +
                         (kind == Kind::Write ? "writer" : "reader"));
            control.query.QueryCondition = "earlier condition";
            const std::string before = freePercent();
            test::DatabaseLock lock(control.config.DatabasePath, kind);
            ASSERT_TRUE(lock.held());
            Criteria c = batch22();
            c.fromSemester = "2";
            const RetrieveOutcome outcome = Retrieve(control, c, kYear, {.busyTimeoutMs = 50});
            lock.release();
            if (wal && kind == Kind::Read) {
                EXPECT_EQ(outcome.status, RetrieveOutcome::Status::Shown) << outcome.failure.description;
                continue;
            }
            ASSERT_EQ(outcome.status, RetrieveOutcome::Status::Failed);
            EXPECT_NE(outcome.failure.description.find("locked"), std::string::npos) << outcome.failure.description;
            EXPECT_EQ(control.query.QueryCondition, "earlier condition");
            EXPECT_EQ(control.query.PercentColumn, "Percent2To6");
            EXPECT_EQ(freePercent(), before);
        }
    }
    const RetrieveOutcome outcome = Retrieve(control, batch22(), kYear);
    ASSERT_EQ(outcome.status, RetrieveOutcome::Status::Shown);
    EXPECT_EQ(freePercent(), outcome.query.aggregate);
    EXPECT_EQ(control.query.QueryCondition, outcome.query.condition);
}

}  // namespace
}  // namespace kyt::query
