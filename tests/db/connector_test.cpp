#include "db/data_connector.h"

#include <gtest/gtest.h>

#include "seed.h"
#include "support/db_faults.h"

namespace kyt::test {
namespace {

using db::DataConnector;

class Connector : public DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        connector = std::make_unique<DataConnector>();
        EXPECT_EQ(connector->ConnectToDataBase("placement", "secret", path), 2) << connector->ErrDesc;
    }

    long count(const std::string& table)
    {
        auto db = openDb();
        return select(*db, "SELECT * FROM " + table).RecordCount();
    }

    std::unique_ptr<DataConnector> connector;
};

TEST(ConnectorBeforeConnecting, ReportsNoConnection)
{
    DataConnector connector;
    EXPECT_FALSE(connector.GetConnectStatus());
    EXPECT_EQ(connector.getCurrentConnectString(), "");
    EXPECT_EQ(connector.GetSource(), "");
    EXPECT_EQ(connector.GetCurrentConnection(), nullptr);
    EXPECT_NE(connector.exec("DELETE FROM Branch"), DataConnector::kSuccess);
    connector.BeginTransaction();
    connector.EndTransaction();
    connector.RollBackTransaction();
    EXPECT_EQ(connector.ErrNo, 0);
    connector.CloseConnection();
}

TEST(ConnectorToAMissingFile, FailsAndKeepsThePathAndTheReason)
{
    TempDir dir;
    const std::string missing = dir.file("nowhere.db");
    DataConnector connector;
    EXPECT_EQ(connector.ConnectToDataBase("placement", "", missing), 0);
    EXPECT_FALSE(connector.GetConnectStatus());
    EXPECT_EQ(connector.GetSource(), missing);
    EXPECT_EQ(connector.getCurrentConnectString(), "");
    EXPECT_NE(connector.ErrDesc.find(missing), std::string::npos) << connector.ErrDesc;
    EXPECT_NE(connector.ErrNo, 0);
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(Connector, KeepsTheConnectStringAndUser)
{
    EXPECT_TRUE(connector->GetConnectStatus());
    EXPECT_EQ(connector->getCurrentConnectString(), "Provider=Kyt.SQLite;Data Source=" + path);
    EXPECT_EQ(connector->UserName, "placement");
    EXPECT_EQ(connector->GetSource(), path);
    connector->CloseConnection();
    EXPECT_FALSE(connector->GetConnectStatus());
    EXPECT_NE(connector->exec("DELETE FROM Branch"), DataConnector::kSuccess);
}

TEST_F(Connector, ExecReturnsMinus13OrTheNativeNumber)
{
    EXPECT_EQ(connector->exec(personalInsert({.usn = "1QP22CS001"})), -13);
    const int32_t result = connector->exec(personalInsert({.usn = "1QP22CS001"}));
    EXPECT_EQ(result, db::kErrDuplicateKey);
    EXPECT_EQ(connector->ErrNo, result);
    EXPECT_EQ(std::abs(result), 105121349);
}

TEST_F(Connector, BeginTwiceThenEndCommitsOnce)
{
    connector->BeginTransaction();
    connector->BeginTransaction();
    EXPECT_EQ(connector->exec(personalInsert({.usn = "1QP22CS001"})), -13);
    connector->EndTransaction();
    EXPECT_FALSE(connector->CommitFailed());
    EXPECT_EQ(count("Personal"), 1);
    connector->EndTransaction();  // nothing open: nothing happens
    EXPECT_EQ(connector->exec(personalInsert({.usn = "1QP22CS002"})), -13);
    EXPECT_EQ(count("Personal"), 2);  // outside a transaction each statement stands alone
}

TEST_F(Connector, RollbackAfterAFailedStatementUndoesTheWholeStudentAndClearsTheError)
{
    connector->BeginTransaction();
    ASSERT_EQ(connector->exec(personalInsert({.usn = "1QP22CS001"})), -13);
    ASSERT_EQ(connector->exec(marksInsert("1QP22CS001", 3, 70, 100)), -13);
    ASSERT_NE(connector->exec(marksInsert("1QP22CS001", 4, 70, 100, "70", "FCD", "")), -13);
    EXPECT_EQ(connector->ErrNo, db::kErrRequiredBlank);
    connector->RollBackTransaction();
    EXPECT_EQ(connector->ErrNo, 0);
    EXPECT_EQ(connector->ErrDesc, "");
    EXPECT_EQ(count("Personal"), 0);
    EXPECT_EQ(count("Marks"), 0);
}

TEST_F(Connector, DestructionRollsBackAnOpenTransaction)
{
    connector->BeginTransaction();
    ASSERT_EQ(connector->exec(personalInsert({.usn = "1QP22CS001"})), -13);
    connector.reset();
    EXPECT_EQ(count("Personal"), 0);
}

TEST_F(Connector, CloseConnectionRollsBackAnOpenTransaction)
{
    connector->BeginTransaction();
    ASSERT_EQ(connector->exec(personalInsert({.usn = "1QP22CS001"})), -13);
    connector->CloseConnection();
    EXPECT_EQ(count("Personal"), 0);
}

TEST_F(Connector, WritesAfterABeginThatFoundTheDatabaseLockedDoNotRunOutsideATransaction)
{
    DatabaseLock holder(path);
    ASSERT_TRUE(holder.held());

    connector->GetCurrentConnection()->setBusyTimeout(100);
    connector->BeginTransaction();
    EXPECT_NE(connector->ErrDesc.find("locked"), std::string::npos) << connector->ErrDesc;
    holder.release();  // the lock goes away between two writes of one student

    EXPECT_NE(connector->exec(personalInsert({.usn = "1QP22CS001"})), -13);
    EXPECT_NE(connector->ErrDesc.find("locked"), std::string::npos) << connector->ErrDesc;
    connector->RollBackTransaction();
    EXPECT_EQ(count("Personal"), 0);

    connector->BeginTransaction();
    EXPECT_EQ(connector->exec(personalInsert({.usn = "1QP22CS001"})), -13) << connector->ErrDesc;
    connector->EndTransaction();
    EXPECT_FALSE(connector->CommitFailed());
    EXPECT_EQ(count("Personal"), 1);
}

TEST_F(Connector, ReadersShareTheConnection)
{
    ASSERT_EQ(connector->exec(personalInsert({.usn = "1QP22CS001", .name = "Asha Rao"})), -13);
    db::Database* cn = connector->GetCurrentConnection();
    ASSERT_NE(cn, nullptr);
    EXPECT_EQ(select(*cn, "SELECT name from PERSONAL where usn = '1qp22cs001'").field("name").toText(), "Asha Rao");
}

}  // namespace
}  // namespace kyt::test
