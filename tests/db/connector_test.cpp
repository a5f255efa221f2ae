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

struct FieldRule {
    const char* table;  // and the key column of its row below
    const char* column;
    int size;
};

// Every field with a size takes a value of that size and refuses one character more, naming its rule;
// setting one field is refused for that field alone. A required field refuses a blank, a 16- or 32-bit
// number one beyond its range.
TEST_F(Connector, EveryFieldTakesItsSizeAndRefusesOneCharacterMoreByName)
{
    ASSERT_EQ(connector->exec(personalInsert({.usn = "1QP22CS001"})), -13) << connector->ErrDesc;
    ASSERT_EQ(connector->exec(marksInsert("1QP22CS001", 3, 70, 100)), -13) << connector->ErrDesc;
    const FieldRule sized[] = {
        {"Personal", "BranchName", 255}, {"Personal", "Name", 65},          {"Personal", "SecondName", 65},
        {"Personal", "dob1", 10},        {"Personal", "Gender", 10},        {"Personal", "CET", 14},
        {"Personal", "Other1", 50},      {"Personal", "Other2", 50},        {"Personal", "Other3", 50},
        {"Personal", "Email", 50},       {"Personal", "Address1", 100},     {"Personal", "Address2", 100},
        {"Personal", "Address4", 255},   {"Personal", "City", 50},          {"Personal", "PermAddress1", 100},
        {"Personal", "PermAddress2", 100}, {"Personal", "PermAddress4", 255}, {"Personal", "PermCity", 50},
        {"Personal", "Phone", 50},       {"Personal", "hobbies", 250},      {"Personal", "eca", 250},
        {"Personal", "Achievements", 200}, {"Personal", "prefinalproject1", 255},
        {"Personal", "prefinalproject2", 255}, {"Personal", "finalproject1", 255},
        {"Personal", "finalproject2", 255}, {"Marks", "Institution", 255}, {"Marks", "class", 50},
        {"Marks", "PassingYear", 50},    {"Marks", "Attempts", 50},
    };
    const auto set = [](const char* table, const char* column, const std::string& value) {
        return std::string("UPDATE ") + table + " set " + column + "=" + value + " where " +
               (std::string(table) == "Marks" ? "usn" : "USN") + "='1QP22CS001'";
    };
    for (const FieldRule& rule : sized) {
        SCOPED_TRACE(std::string(rule.table) + "." + rule.column);
        EXPECT_EQ(connector->exec(set(rule.table, rule.column, "'" + std::string(rule.size, 'x') + "'")), -13)
            << connector->ErrDesc;
        EXPECT_EQ(connector->exec(set(rule.table, rule.column, "'" + std::string(rule.size + 1, 'x') + "'")),
                  db::kErrFieldTooLong);
        const std::string named = std::string(rule.table) + "." + rule.column + " holds at most " +
                                  std::to_string(rule.size) + " characters";
        EXPECT_NE(connector->ErrDesc.find(named), std::string::npos) << connector->ErrDesc;
    }
    const WriteFailure others[] = {
        {"USN of 51 characters", set("Personal", "USN", "'" + std::string(51, 'u') + "'"), db::kErrFieldTooLong},
        {"blank name", set("Personal", "Name", "''"), db::kErrRequiredBlank},
        {"blank attempts", set("Marks", "Attempts", "''"), db::kErrRequiredBlank},
        {"pin beyond 32 bits", set("Personal", "Pin", "2147483648"), db::kErrConversion},
        {"permanent pin beyond 32 bits", set("Personal", "PermPin", "-2147483649"), db::kErrConversion},
        {"maximum beyond 16 bits", set("Marks", "max", "32768"), db::kErrConversion},
        {"level beyond 16 bits", set("Marks", "education_level", "-32769"), db::kErrConversion},
    };
    for (const WriteFailure& c : others) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(connector->exec(c.sql), c.number) << connector->ErrDesc;
    }
    EXPECT_EQ(connector->exec(set("Personal", "Pin", "2147483647")), -13) << connector->ErrDesc;
    EXPECT_EQ(connector->exec(set("Marks", "obtained", "-32768")), -13) << connector->ErrDesc;
}

}  // namespace
}  // namespace kyt::test
