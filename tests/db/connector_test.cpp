#include "db/data_connector.h"

#include <gtest/gtest.h>

#include <functional>

#include "seed.h"
#include "support/db_faults.h"

namespace kyt::test {
namespace {

using db::Database;
using db::DataConnector;

class Connector : public DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        connector = std::make_unique<DataConnector>();
        EXPECT_EQ(connector->ConnectToDataBase("placement", "secret", path), 2) << connector->ErrDesc;
    }

    long count(const std::string& table) { return select(*openDb(), "SELECT * FROM " + table).RecordCount(); }

    std::unique_ptr<DataConnector> connector;
};

TEST(ConnectorWithoutADatabase, RefusesWritesAndKeepsThePathAndTheReason)
{
    TempDir dir;
    const std::string missing = dir.file("nowhere.db");
    DataConnector connector;
    EXPECT_EQ(connector.ConnectToDataBase("placement", "", missing), 0);
    EXPECT_FALSE(connector.GetConnectStatus());
    EXPECT_EQ(connector.GetSource(), missing);
    EXPECT_NE(connector.ErrDesc.find(missing), std::string::npos) << connector.ErrDesc;
    EXPECT_NE(connector.ErrNo, 0);
    EXPECT_NE(connector.exec("DELETE FROM Branch"), DataConnector::kSuccess);
    connector.BeginTransaction();
    connector.EndTransaction();
    EXPECT_FALSE(connector.CommitFailed());
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

// Every way a student's transaction can end without a commit leaves nothing of the student.
TEST_F(Connector, ATransactionNotEndedLeavesNothingBehind)
{
    const std::pair<const char*, std::function<void(std::unique_ptr<DataConnector>&)>> endings[] = {
        {"rolled back after a failed statement",
         [](auto& c) {
             ASSERT_NE(c->exec(marksInsert("1QP22CS001", 4, 70, 100, "70", "FCD", "")), -13);
             EXPECT_EQ(c->ErrNo, db::kErrRequiredBlank);
             c->RollBackTransaction();
             EXPECT_EQ(c->ErrNo, 0);
             EXPECT_EQ(c->ErrDesc, "");
         }},
        {"connection closed", [](auto& c) { c->CloseConnection(); }},
        {"connector destroyed", [](auto& c) { c.reset(); }},
    };
    for (const auto& [ending, end] : endings) {
        SCOPED_TRACE(ending);
        if (!connector)
            connector = std::make_unique<DataConnector>();
        ASSERT_EQ(connector->ConnectToDataBase("placement", "", path), 2) << connector->ErrDesc;
        connector->BeginTransaction();
        ASSERT_EQ(connector->exec(personalInsert({.usn = "1QP22CS001"})), -13);
        ASSERT_EQ(connector->exec(marksInsert("1QP22CS001", 3, 70, 100)), -13);
        end(connector);
        EXPECT_EQ(count("Personal"), 0);
        EXPECT_EQ(count("Marks"), 0);
    }
}

// A full disk makes the engine give up the whole transaction; ending it afterwards must tell that nothing
// was stored, not report a commit. Another program can write at once: nothing is left holding the file.
TEST_F(Connector, EndingATransactionTheEngineAlreadyRolledBackReportsTheFailure)
{
    connector->BeginTransaction();
    ASSERT_EQ(connector->exec(personalInsert({.usn = "1QP22CS000"})), -13);
    ASSERT_TRUE(fillDisk(*connector->GetCurrentConnection()));
    int32_t result = -13;
    for (int i = 1; i <= 200 && result == -13; ++i)
        result = connector->exec(
            personalInsert({.usn = "1QP22CS" + std::to_string(100 + i), .hobbies = std::string(240, 'h'),
                            .eca = std::string(240, 'e')}));
    ASSERT_NE(result, -13);
    EXPECT_NE(connector->ErrDesc.find("full"), std::string::npos) << connector->ErrDesc;
    EXPECT_EQ(connector->EnvironmentFailure(), connector->ErrDesc);
    EXPECT_FALSE(connector->GetCurrentConnection()->inTransaction());

    connector->EndTransaction();
    EXPECT_TRUE(connector->CommitFailed());
    EXPECT_NE(connector->ErrNo, 0);
    EXPECT_NE(connector->ErrDesc.find("nothing was saved"), std::string::npos) << connector->ErrDesc;

    auto other = openDb();
    other->setBusyTimeout(0);
    run(*other, personalInsert({.usn = "1QP22CS004"}));
    EXPECT_EQ(column(*other, "SELECT USN FROM Personal", "USN"), std::vector<std::string>{"1QP22CS004"});
}

struct WriteFailure {
    const char* what;
    std::string sql;
    int32_t number;
};

// The native numbers the error table is keyed on; the student already stored stays as it was, and the
// same statement fails the same way, word for word, when it comes again.
TEST_F(Connector, AFailedWriteReportsTheNativeNumberAndLeavesTheFirstStudentAlone)
{
    ASSERT_EQ(connector->exec(personalInsert({.usn = "1QP22CS001", .name = "Asha Rao"})), -13) << connector->ErrDesc;
    ASSERT_EQ(connector->exec(marksInsert("1QP22CS001", 3, 70, 100)), -13) << connector->ErrDesc;
    const std::string project = "UPDATE personal set prefinalproject1 = '" + std::string(254, 'p') +
                                "', prefinalproject2='" + std::string(255, 'q') +
                                "', finalproject1='x', finalproject2=''  where USN='1QP22CS001'";
    ASSERT_EQ(connector->exec(project), -13) << connector->ErrDesc;  // titles up to their field size fit
    const WriteFailure cases[] = {
        {"same USN", personalInsert({.usn = "1QP22CS001", .name = "Other"}), db::kErrDuplicateKey},
        {"same USN in lower case", personalInsert({.usn = "1qp22cs001", .name = "Other"}), db::kErrDuplicateKey},
        {"name of 66 characters", personalInsert({.usn = "1QP22CS002", .name = std::string(66, 'a')}),
         db::kErrFieldTooLong},
        {"project title of 256 characters",
         "UPDATE personal set prefinalproject2='" + std::string(256, 'q') + "' where USN='1QP22CS001'",
         db::kErrFieldTooLong},
        {"empty name", personalInsert({.usn = "1QP22CS002", .name = ""}), db::kErrRequiredBlank},
        {"number column holding text", personalInsert({.usn = "1QP22CS002", .pin = "'56a'"}), db::kErrConversion},
        {"same level twice", marksInsert("1QP22CS001", 3, 60, 100), db::kErrDuplicateKey},
        {"empty year of passing", marksInsert("1QP22CS001", 4, 60, 100, "60", "First", ""), db::kErrRequiredBlank},
        {"attempts left out", "INSERT INTO marks (usn, education_level, PassingYear) values ('1QP22CS001', 4, '2023')",
         db::kErrRequiredBlank},
        {"marks beyond 16 bits", marksInsert("1QP22CS001", 4, 40000, 50000), db::kErrConversion},
    };
    for (const WriteFailure& c : cases) {
        SCOPED_TRACE(c.what);
        const int32_t result = connector->exec(c.sql);
        EXPECT_EQ(result, c.number) << connector->ErrDesc;
        EXPECT_EQ(connector->ErrNo, result);
        const std::string first = connector->ErrDesc;
        EXPECT_FALSE(first.empty());
        EXPECT_EQ(connector->exec(c.sql), result);
        EXPECT_EQ(connector->ErrDesc, first);
    }
    Database& db = *connector->GetCurrentConnection();
    EXPECT_EQ(column(db, "SELECT Name FROM Personal", "Name"), std::vector<std::string>{"Asha Rao"});
    EXPECT_EQ(column(db, "SELECT obtained FROM Marks", "obtained"), std::vector<std::string>{"70"});
    run(db, personalInsert({.usn = "1QP22CS004", .name = "Bala"}));  // each shape stays usable
    EXPECT_EQ(column(db, "SELECT Name FROM Personal WHERE USN = '1QP22CS004'", "Name"),
              std::vector<std::string>{"Bala"});
}

}  // namespace
}  // namespace kyt::test
