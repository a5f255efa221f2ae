// A database an earlier Kyt made is brought up to date whole or not at all, with a copy of its file as it
// was kept beside it (a server's database has no file: its transaction keeps it as it was); one a newer
// Kyt changed is refused.

#include "db/schema_upgrade.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "seed.h"
#include "support/engine.h"
#include "support/temp_dir.h"

namespace kyt::test {
namespace {

using db::Database;
using db::Failure;
using db::Road;

const int kLatest = db::latestSchemaVersion(testEngine());

class SchemaUpgradeTest : public DatabaseTest {
protected:
    // A database as the first Kyt made it, with three students and their marks.
    void SetUp() override
    {
        Failure failure;
        if (onServer()) {
            path = makeServerDatabase("old", {{"CS", "Computer Science"}}, 1);
        } else {
            path = dir.file("old.db");
            ASSERT_TRUE(Database::create(path, {{"CS", "Computer Science"}}, 1, failure)) << failure.description;
        }
        auto db = openDb();
        for (const char* usn : {"1QP22CS001", "1QP22CS002", "1QP22CS003"})
            storeStudent(*db, {.usn = usn}, 1, 8, 70, 100);
    }

    int versionOf(const std::string& file)
    {
        Failure failure;
        int version = -1;
        auto db = Database::open(file, Road::Connector, failure);
        EXPECT_TRUE(db && db->schemaVersion(version, failure)) << failure.description;
        return version;
    }

    // Anyone with the file upgrades it; on a server, its administrator (an officer is told so).
    std::unique_ptr<Database> openToUpgrade()
    {
        Failure failure;
        auto db = Database::open(onServer() ? asAdministrator(path) : path, Road::Connector, failure);
        EXPECT_TRUE(db) << failure.description;
        return db;
    }

    std::vector<std::string> filesBeside() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(SchemaUpgradeTest, KeepsEveryStudentAndACopyOfTheDatabaseAsItWas)
{
    db::SchemaUpgrade plan;
    Failure failure;
    if (onServer()) {
        EXPECT_FALSE(db::planUpgrade(*openDb(), plan, failure));
        EXPECT_NE(failure.description.find("Only the server's administrator may do that"), std::string::npos)
            << failure.description;
    }
    auto db = openToUpgrade();
    ASSERT_TRUE(db::planUpgrade(*db, plan, failure)) << failure.description;
    EXPECT_EQ(plan.from, 1);
    EXPECT_EQ(plan.to, kLatest);
    if (!onServer()) {
        EXPECT_EQ(std::filesystem::path(plan.copy).parent_path(), dir.path());
        EXPECT_EQ(std::filesystem::path(plan.copy).filename().string().rfind("old.v1-copy-", 0), 0u) << plan.copy;
    }
    ASSERT_TRUE(db::upgradeSchema(*db, plan, failure)) << failure.description;

    EXPECT_EQ(column(*db, "SELECT USN FROM Personal ORDER BY USN", "USN"),
              (std::vector<std::string>{"1QP22CS001", "1QP22CS002", "1QP22CS003"}));
    EXPECT_EQ(select(*db, "SELECT * FROM Marks").RecordCount(), 24);
    EXPECT_EQ(select(*db, "SELECT * FROM Drive").RecordCount(), 0);
    EXPECT_EQ(column(*db, "SELECT Backlogs FROM Eligibility", "Backlogs"), (std::vector<std::string>{"0", "0", "0"}));
    db.reset();
    EXPECT_EQ(versionOf(path), kLatest);

    // The copy is a whole database of the old version, with the same students.
    if (!onServer()) {
        EXPECT_EQ(versionOf(plan.copy), 1);
        auto copy = Database::open(plan.copy, Road::Connector, failure);
        ASSERT_TRUE(copy) << failure.description;
        EXPECT_EQ(select(*copy, "SELECT * FROM Personal").RecordCount(), 3);
        EXPECT_EQ(select(*copy, "SELECT * FROM Marks").RecordCount(), 24);
    }

    // Up to date: nothing more to do, and no second copy.
    db = openDb();
    ASSERT_TRUE(db::planUpgrade(*db, plan, failure));
    EXPECT_FALSE(plan.needed());
    EXPECT_TRUE(plan.copy.empty());
}

TEST_F(SchemaUpgradeTest, AFailedUpgradeLeavesTheDatabaseUntouchedAndNoCopy)
{
    // A table of the new step already there, made by hand: the step cannot run.
    if (onServer()) {
        std::string error;
        ASSERT_TRUE(serverAdmin(path, "CREATE TABLE kyt.Drive (x integer); GRANT SELECT ON kyt.Drive TO kyt_officer",
                                &error))
            << error;
    } else {
        run(*openDb(), "CREATE TABLE Drive (x INTEGER)");
    }
    const std::string before = onServer() ? std::string() : readFile(path);
    const std::vector<std::string> files = filesBeside();

    auto db = openToUpgrade();
    db::SchemaUpgrade plan;
    Failure failure;
    ASSERT_TRUE(db::planUpgrade(*db, plan, failure));
    EXPECT_FALSE(db::upgradeSchema(*db, plan, failure));
    EXPECT_NE(failure.description.find("Step 2 of the schema failed"), std::string::npos) << failure.description;
    EXPECT_EQ(select(*db, "SELECT * FROM Personal").RecordCount(), 3);
    EXPECT_EQ(select(*db, "SELECT x FROM Drive").RecordCount(), 0);
    db::Recordset none;
    EXPECT_FALSE(db->query("SELECT * FROM Shortlist", none, failure)) << "nothing of the step stays";
    db.reset();

    if (!onServer()) {
        EXPECT_EQ(readFile(path), before);
    }
    EXPECT_EQ(filesBeside(), files);
    EXPECT_EQ(versionOf(path), 1);
}

// A copy that cannot be made (here: its name taken meanwhile) stops the upgrade before any step.
TEST_F(SchemaUpgradeTest, NoUpgradeWithoutItsCopyAndNothingIsReplaced)
{
    auto db = openDb();
    db::SchemaUpgrade plan;
    Failure failure;
    ASSERT_TRUE(db::planUpgrade(*db, plan, failure));
    writeFile(plan.copy, "someone's file");
    EXPECT_FALSE(db::upgradeSchema(*db, plan, failure));
    EXPECT_NE(failure.description.find("already exists"), std::string::npos) << failure.description;
    EXPECT_EQ(readFile(plan.copy), "someone's file");
    db.reset();
    EXPECT_EQ(versionOf(path), 1);
}

TEST_F(SchemaUpgradeTest, OneUpgradedByAnotherKytMeanwhileIsLeftAlone)
{
    auto first = openToUpgrade();
    auto second = openToUpgrade();
    db::SchemaUpgrade planned, other;
    Failure failure;
    ASSERT_TRUE(db::planUpgrade(*first, planned, failure) && db::planUpgrade(*second, other, failure));
    if (!other.copy.empty())
        other.copy += ".other";
    if (onServer()) {
        // The views of a Kyt open elsewhere keep the tables from changing: the upgrade is refused, whole,
        // with what to do, until that Kyt is closed.
        EXPECT_FALSE(db::upgradeSchema(*second, other, failure));
        EXPECT_NE(failure.description.find("ask everyone using it to close Kyt"), std::string::npos)
            << failure.description;
        EXPECT_EQ(versionOf(path), 1);
        first.reset();
        ASSERT_TRUE(db::upgradeSchema(*second, other, failure)) << failure.description;
        first = openToUpgrade();
        ASSERT_TRUE(db::planUpgrade(*first, planned, failure)) << failure.description;
        EXPECT_FALSE(planned.needed());
        return;
    }
    ASSERT_TRUE(db::upgradeSchema(*second, other, failure)) << failure.description;
    EXPECT_TRUE(db::upgradeSchema(*first, planned, failure)) << failure.description;
    EXPECT_EQ(planned.from, kLatest);
    EXPECT_FALSE(std::filesystem::exists(planned.copy));
}

TEST_F(SchemaUpgradeTest, ADatabaseOfANewerKytIsRefusedWithItsReason)
{
    const std::string newer = std::to_string(kLatest + 1);
    if (onServer()) {
        std::string error;
        ASSERT_TRUE(serverAdmin(path, "UPDATE kyt.SchemaVersion SET Version = " + newer, &error)) << error;
    } else {
        run(*openDb(), "PRAGMA user_version = " + newer);
    }
    const std::string before = onServer() ? std::string() : readFile(path);
    Failure failure;
    EXPECT_FALSE(Database::open(path, Road::Query, failure));
    EXPECT_EQ(failure.description, db::newerSchemaText(path, kLatest + 1, kLatest));
    EXPECT_NE(failure.description.find("newer version of Kyt"), std::string::npos);
    if (!onServer()) {
        EXPECT_EQ(readFile(path), before);
    }
}

}  // namespace
}  // namespace kyt::test
