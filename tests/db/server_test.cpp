// What only a database on a server has: logins with their rights, and officers working at once.

#include <gtest/gtest.h>

#include "db/schema_upgrade.h"
#include "db/server_admin.h"
#include "seed.h"
#include "support/engine.h"

namespace kyt::test {
namespace {

using db::Failure;
using db::Road;

class Server : public DatabaseTest {
protected:
    void SetUp() override
    {
        if (!onServer())
            GTEST_SKIP() << "logins and their rights are a server's";
        DatabaseTest::SetUp();
        auto officer = openDb();
        for (const char* usn : {"1QP22CS001", "1QP22EC002", "1QP22MCA03"})
            storeStudent(*officer, {.usn = usn}, 3, 8, 70, 100);
    }

    // A login made by the server's administrator, as its own address of this database.
    std::string login(const std::string& suffix, const std::string& membership = "")
    {
        const std::string name = loginName(suffix);
        std::string error;
        EXPECT_TRUE(serverAdmin(path, "CREATE ROLE " + name + " LOGIN" + membership, &error)) << error;
        return name;
    }
    std::unique_ptr<db::Database> openAs(const std::string& name, Road road = Road::Query)
    {
        Failure failure;
        auto opened = db::Database::open(asLogin(path, name), road, failure);
        EXPECT_TRUE(opened) << failure.description;
        return opened;
    }
};

// A coordinator reads the students of their branch through every road the program has: tables, the
// saved queries as they are, and saved queries of their own. Nothing of another branch, and no write.
TEST_F(Server, ACoordinatorReadsOnlyTheirBranchAndWritesNothing)
{
    const std::string coordinator = login("coordinator");
    Failure failure;
    ASSERT_TRUE(db::addCoordinator(*openDb(), coordinator, {"CS"}, failure)) << failure.description;
    auto c = openAs(coordinator);
    ASSERT_TRUE(c);
    EXPECT_FALSE(c->access().write);
    EXPECT_EQ(c->access().branches, std::vector<std::string>{"CS"});

    const std::pair<const char*, const char*> reads[] = {
        {"SELECT USN FROM Personal", "USN"},
        {"SELECT DISTINCT usn FROM Marks", "usn"},
        {"SELECT BranchCode FROM Branch", "BranchCode"},
        {"SELECT USN FROM ser", "USN"},
        {"SELECT USN_FP FROM FreePercent", "USN_FP"},
        {"SELECT USN FROM MergeQuery", "USN"},
    };
    for (auto [sql, field] : reads) {
        const std::vector<std::string> seen = column(*c, sql, field);
        EXPECT_TRUE(seen == std::vector<std::string>{"1QP22CS001"} || seen == std::vector<std::string>{"CS"})
            << sql << ": " << testing::PrintToString(seen);
    }
    ASSERT_TRUE(c->setSavedQuery("ser", "SELECT * FROM Personal WHERE usn like '*EC*' OR 1 = 1", failure))
        << failure.description;
    EXPECT_EQ(column(*c, "SELECT USN FROM ser", "USN"), std::vector<std::string>{"1QP22CS001"});

    for (const std::string& write :
         {std::string("INSERT INTO Personal (USN, Name) VALUES ('1QP22CS009', 'Nine')"),
          std::string("UPDATE Personal SET Name = 'Changed'"), std::string("DELETE FROM Marks"),
          std::string("DELETE FROM Branch"), std::string("INSERT INTO Coordinator VALUES (current_user, 'EC')"),
          "INSERT INTO SavedQuery VALUES ('" + loginName("officer") + "', 'ser', 'SELECT 1')",
          std::string("CREATE VIEW kyt.everyone AS SELECT * FROM Personal")}) {
        EXPECT_FALSE(c->exec(write, failure)) << write;
        EXPECT_TRUE(failure.environment) << write << ": " << failure.description;
    }
    auto officer = openDb(Road::Query);
    EXPECT_EQ(column(*officer, "SELECT Name FROM Personal WHERE Name = 'Asha Rao'", "Name").size(), 3u);
    EXPECT_EQ(select(*officer, "SELECT * FROM ser").RecordCount(), 3);  // the coordinator's ser is theirs

    ASSERT_TRUE(db::removeCoordinator(*openDb(), coordinator, failure)) << failure.description;
    EXPECT_FALSE(db::Database::open(asLogin(path, coordinator), Road::Query, failure));
    EXPECT_NE(failure.description.find("neither a placement officer nor a coordinator"), std::string::npos)
        << failure.description;
}

// One officer's query run rewrites their own saved queries, never another's: each merge and save keeps
// the selection its officer made, however the two interleave, and a later connection finds it again.
TEST_F(Server, TwoOfficersQueryRunsDoNotDisturbEachOther)
{
    const std::string second = login("second", " IN ROLE kyt_officer");
    auto first = openDb(Road::Query);
    auto other = openAs(second);
    ASSERT_TRUE(other);
    const std::string aggregate =
        "SELECT USN as USN_FP, Count(*) as SemsCount, format(sum(obtained)/sum(max) * 100,'0.00') AS Percent%s From "
        "marks Where education_Level >=2 + %d+ 0 And education_Level <= 2 + %d+ 0 GROUP BY USN";
    auto freePercent = [&](int from, int to) {
        char text[512];
        std::snprintf(text, sizeof text, aggregate.c_str(), (std::to_string(from) + "To" + std::to_string(to)).c_str(),
                      from, to);
        return std::string(text);
    };
    Failure failure;
    ASSERT_TRUE(first->setSavedQuery("FreePercent", freePercent(1, 6), failure)) << failure.description;
    ASSERT_TRUE(other->setSavedQuery("FreePercent", freePercent(3, 6), failure)) << failure.description;
    ASSERT_TRUE(other->setSavedQuery("MergeQuery", "SELECT * FROM ser, FreePercent WHERE ser.usn = FreePercent.usn_FP "
                                                   "AND ser.usn like '*EC*'",
                                     failure))
        << failure.description;

    const std::vector<std::string> firstColumns{"USN_FP", "SemsCount", "Percent1To6"};
    EXPECT_EQ(select(*first, "SELECT * FROM FreePercent").fieldNames(), firstColumns);
    EXPECT_EQ(select(*other, "SELECT * FROM FreePercent").fieldNames(),
              (std::vector<std::string>{"USN_FP", "SemsCount", "Percent3To6"}));
    EXPECT_EQ(select(*first, "SELECT * FROM MergeQuery").RecordCount(), 3);
    EXPECT_EQ(column(*other, "SELECT USN FROM MergeQuery", "USN"), std::vector<std::string>{"1QP22EC002"});
    EXPECT_EQ(column(*openDb(Road::Query), "SELECT Percent1To6 FROM FreePercent ORDER BY USN_FP", "Percent1To6"),
              (std::vector<std::string>{"70.00", "70.00", "70.00"}));
}

// A server database made by the first Kyt is brought up to date by its administrator in one transaction,
// without a copy (pg_dump keeps those): its students stay, the later steps' tables are there with their
// rights (run history for officers only), and an officer, who may not change the schema, is told so first.
TEST_F(Server, AnOlderDatabaseIsUpgradedByItsAdministratorKeepingItsStudents)
{
    const std::string admin = newServerDatabase("first_kyt");
    Failure failure;
    ASSERT_TRUE(db::Database::create(admin, {{"CS", "Computer Science"}}, 1, failure)) << failure.description;
    const std::string officer = asLogin(admin, loginName("officer"));
    {
        auto db = db::Database::open(officer, Road::Connector, failure);
        ASSERT_TRUE(db) << failure.description;
        storeStudent(*db, {.usn = "1QP22CS001"}, 3, 8, 70, 100);
        db::SchemaUpgrade plan;
        EXPECT_FALSE(db::planUpgrade(*db, plan, failure));
        EXPECT_NE(failure.description.find("(schema version 1) and must be brought up to version"), std::string::npos)
            << failure.description;
        EXPECT_NE(failure.description.find("Only the server's administrator may do that"), std::string::npos);
    }
    auto db = db::Database::open(admin, Road::Connector, failure);
    ASSERT_TRUE(db) << failure.description;
    db::SchemaUpgrade plan;
    ASSERT_TRUE(db::planUpgrade(*db, plan, failure) && db::upgradeSchema(*db, plan, failure)) << failure.description;
    int version = 0;
    ASSERT_TRUE(db->schemaVersion(version, failure));
    EXPECT_EQ(version, db::latestSchemaVersion(db::Engine::PostgreSQL));

    auto theirs = db::Database::open(officer, Road::Connector, failure);
    ASSERT_TRUE(theirs) << failure.description;
    EXPECT_EQ(column(*theirs, "SELECT USN FROM Personal", "USN"), std::vector<std::string>{"1QP22CS001"});
    EXPECT_EQ(select(*theirs, "SELECT * FROM Marks").RecordCount(), 6);
    db::Recordset run;
    ASSERT_TRUE(theirs->query("INSERT INTO ExtractionRun (StartedAt, Folder, UserName, ReplaceStored) VALUES "
                              "('2027-02-12 14:03:09', '/r', 'asha', 0) RETURNING RunId",
                              run, failure))
        << failure.description;
    EXPECT_EQ(run.field(0).toInteger(), 1);
    ASSERT_TRUE(theirs->exec("INSERT INTO Drive (Company, DriveDate, Criteria, Saved) VALUES ('Acme', '2027-02-12', '', '2027-02-12')", failure))
        << failure.description;
    const std::string coordinator = loginName("coordinator");
    ASSERT_TRUE(serverAdmin(admin, "CREATE ROLE " + coordinator + " LOGIN"));
    ASSERT_TRUE(db::addCoordinator(*theirs, coordinator, {"CS"}, failure)) << failure.description;
    auto c = db::Database::open(asLogin(admin, coordinator), Road::Query, failure);
    ASSERT_TRUE(c) << failure.description;
    db::Recordset none;
    EXPECT_FALSE(c->openRecordset("SELECT * FROM ExtractionRun", none, failure));
    EXPECT_EQ(column(*c, "SELECT USN FROM Personal", "USN"), std::vector<std::string>{"1QP22CS001"});
}

}  // namespace
}  // namespace kyt::test
