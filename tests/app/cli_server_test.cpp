// kyt-cli on a server: coordinators made and removed by an officer and what a coordinator's kyt-cli
// sees; four extractions at once, one of them killed in the middle of a résumé.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "app/run_cli.h"
#include "db/database.h"
#include "db/seed.h"
#include "support/engine.h"
#include "support/extraction_fixture.h"
#include "support/test_config.h"

namespace kyt::test {
namespace {

namespace fs = std::filesystem;

class CliServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!onServer())
            GTEST_SKIP() << "a server's";
        config = makeConfiguredFolder(dir, "CS,Computer Science\nEC,Electronics\n", &database);
    }
    long count(const std::string& sql)
    {
        db::Failure failure;
        auto db = db::Database::open(database, db::Road::Connector, failure);
        db::Recordset rs;
        EXPECT_TRUE(db && db->openRecordset(sql, rs, failure)) << sql << ": " << failure.description;
        return rs.isEOF() ? -1 : static_cast<long>(rs.field(0).toInteger());
    }

    TempDir dir;
    std::string database;
    std::string config;
    std::string output;
};

TEST_F(CliServer, AnOfficerMakesACoordinatorWhoseKytSeesOnlyTheirBranch)
{
    {
        db::Failure failure;
        auto officer = db::Database::open(database, db::Road::Connector, failure);
        for (const char* usn : {"1QP22CS001", "1QP22EC002"}) {
            ASSERT_TRUE(officer->exec(personalInsert({.usn = usn}), failure)) << failure.description;
            ASSERT_TRUE(officer->exec(marksInsert(usn, 3, 70, 100), failure)) << failure.description;
        }
    }
    const std::string coordinator = loginName("coordinator");
    ASSERT_TRUE(serverAdmin(database, "CREATE ROLE " + coordinator + " LOGIN"));
    ASSERT_EQ(runCli("add-coordinator --db " + test::quoted(database) + " " + coordinator + " cs", &output), 0) << output;
    EXPECT_NE(output.find("coordinates CS"), std::string::npos) << output;

    const std::string theirs = asLogin(database, coordinator);
    ASSERT_EQ(runCli("sql --db " + test::quoted(theirs) + " 'SELECT USN FROM Personal'", &output), 0) << output;
    EXPECT_EQ(output, "USN\n1QP22CS001\n");
    const std::string theirConfig = dir.file("coordinator.ini");
    writeSetupConfig(theirConfig, theirs);
    ASSERT_EQ(runCli("query --config " + test::quoted(theirConfig) + " --batch 'All Batches' --all-branches", &output), 0) << output;
    EXPECT_NE(output.find("1QP22CS001"), std::string::npos) << output;
    EXPECT_EQ(output.find("1QP22EC002"), std::string::npos) << output;
    fs::create_directory(dir.path() / "resumes");
    EXPECT_NE(runCli("extract " + test::quoted(dir.file("resumes")) + " --config " + test::quoted(theirConfig), &output), 0);
    EXPECT_NE(output.find("is for the placement officers"), std::string::npos) << output;
    EXPECT_EQ(runCli("add-coordinator --db " + test::quoted(theirs) + " " + coordinator + " EC", &output), 1);
    EXPECT_NE(output.find("Only a placement officer"), std::string::npos) << output;

    ASSERT_EQ(runCli("remove-coordinator --db " + test::quoted(database) + " " + coordinator, &output), 0) << output;
    EXPECT_EQ(runCli("sql --db " + test::quoted(theirs) + " 'SELECT USN FROM Personal'", &output), 1);
}

// A database file moved onto a server: students, marks and the history of runs come along, new runs are
// numbered after the copied ones, and a database that already holds students is refused.
TEST_F(CliServer, MigrateDbCopiesAFileWithItsRunsOnce)
{
    const std::string file = dir.file("office.db"), fileConfig = dir.file("office.ini");
    writeFile(dir.file("branches.csv"), "CS,Computer Science\nEC,Electronics\n");
    ASSERT_EQ(runCli("init-db " + test::quoted(file) + " --branches " + test::quoted(dir.file("branches.csv")), &output), 0) << output;
    writeSetupConfig(fileConfig, file);
    for (const char* folder : {"first", "second"})
        fs::create_directory(dir.path() / folder);
    ResumeForm::be("1QP01CS001").save(dir.file("first/a.docx"));
    ResumeForm::be("1QP01CS001").save(dir.file("first/b.docx"));  // refused: the USN is stored already
    ResumeForm::be("1QP01EC002").save(dir.file("first/c.docx"));
    ResumeForm::be("1QP01CS003").save(dir.file("second/d.docx"));
    ASSERT_EQ(runCli("extract " + test::quoted(dir.file("first")) + " --no-stop --config " + test::quoted(fileConfig), &output), 1)
        << output;

    ASSERT_EQ(runCli("migrate-db " + test::quoted(file) + " " + test::quoted(database), &output), 0) << output;
    EXPECT_EQ(count("SELECT count(*) FROM Personal"), 2);
    EXPECT_EQ(count("SELECT count(*) FROM Marks"), 20);
    EXPECT_EQ(count("SELECT count(*) FROM RunStudent WHERE RunId = 1"), 2);
    EXPECT_EQ(count("SELECT count(*) FROM RunFault WHERE RunId = 1"), 1);
    ASSERT_EQ(runCli("extract " + test::quoted(dir.file("second")) + " --config " + test::quoted(config), &output), 0) << output;
    EXPECT_NE(output.find("Run 2 of the history"), std::string::npos) << output;

    EXPECT_EQ(runCli("migrate-db " + test::quoted(file) + " " + test::quoted(database), &output), 1);
    EXPECT_NE(output.find("already holds students"), std::string::npos) << output;
    EXPECT_EQ(count("SELECT count(*) FROM Personal"), 3);
}

// Four runs of kyt-cli extract at once into one server, one of them killed while its fourth résumé waits
// for a row another session holds: the other three store every student, the killed one the three it
// committed, and every student stored is whole. The fourth résumé's writes and COMMIT may all have been
// sent before the kill: the server then stores that student too, whole, once the row is let go. A second
// run of the killed folder takes the rest.
TEST_F(CliServer, FourExtractionsAtOnceAndAKilledOneLoseNoStudent)
{
    constexpr int kPerFolder = 12;
    std::vector<fs::path> folders;
    for (int k = 1; k <= 4; ++k) {
        folders.push_back(dir.path() / ("folder" + std::to_string(k)));
        fs::create_directory(folders.back());
        for (int n = 1; n <= kPerFolder; ++n) {
            const std::string usn = "1QP01CS" + std::to_string(100 * k + n);
            char name[16];
            std::snprintf(name, sizeof name, "r%02d.docx", n);
            ResumeForm::be(usn).save((folders.back() / name).string());
        }
    }
    // The fourth résumé of folder 4 (1QP01CS404) waits for this session's uncommitted row of its USN.
    db::Failure failure;
    auto holder = db::Database::open(database, db::Road::Connector, failure);
    ASSERT_TRUE(holder && holder->begin(failure)) << failure.description;
    ASSERT_TRUE(holder->exec("INSERT INTO Personal (USN, Name) VALUES ('1QP01CS404', 'Held')", failure));

    std::vector<pid_t> runs;
    for (int k = 0; k < 4; ++k) {
        const std::string ini = dir.file("run" + std::to_string(k) + ".ini");
        writeSetupConfig(ini, database);
        const pid_t pid = fork();
        if (pid == 0) {
            const std::string log = dir.file("run" + std::to_string(k) + ".out");
            if (!std::freopen(log.c_str(), "w", stdout) || !std::freopen(log.c_str(), "a", stderr) ||
                !std::freopen("/dev/null", "r", stdin))
                _exit(126);
            const char* cli = std::getenv("KYT_CLI") ? std::getenv("KYT_CLI") : KYT_CLI;
            execl(cli, cli, "extract", folders[static_cast<size_t>(k)].c_str(), "--config", ini.c_str(), "--no-stop",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        runs.push_back(pid);
    }
    // Killed once it is seen waiting for the held row, before its lock wait runs out.
    while (count("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() AND wait_event_type = "
                 "'Lock'") == 0) {
        int status = 0;
        ASSERT_EQ(waitpid(runs[3], &status, WNOHANG), 0) << "the fourth run ended without waiting";
        usleep(10000);
    }
    kill(runs[3], SIGKILL);
    ASSERT_TRUE(holder->rollback(failure));
    std::vector<int> statuses;
    for (pid_t pid : runs) {
        int status = 0;
        waitpid(pid, &status, 0);
        statuses.push_back(status);
    }
    for (int k = 0; k < 3; ++k)
        EXPECT_TRUE(WIFEXITED(statuses[static_cast<size_t>(k)]) && WEXITSTATUS(statuses[static_cast<size_t>(k)]) == 0)
            << readFile(dir.file("run" + std::to_string(k) + ".out"));
    EXPECT_TRUE(WIFSIGNALED(statuses[3]));

    // The killed run's students, each recorded in its run as stored.
    const long killedRuns = count("SELECT count(*) FROM Personal WHERE usn like '1QP01CS4%'");
    EXPECT_TRUE(killedRuns == 3 || killedRuns == 4) << killedRuns;
    EXPECT_EQ(count("SELECT count(*) FROM RunStudent WHERE USN like '1QP01CS4%'"), killedRuns);
    EXPECT_EQ(count("SELECT count(*) FROM Personal"), 3 * kPerFolder + killedRuns);
    // Whole: ten marks rows, the aggregates and the projects of every student; no marks of no student.
    EXPECT_EQ(count("SELECT count(*) FROM Personal p WHERE (SELECT count(*) FROM Marks m WHERE m.usn = p.usn) <> 10 "
                    "OR one_to_8 = 0 OR finalproject1 = 'e'"),
              0);
    EXPECT_EQ(count("SELECT count(*) FROM Marks m WHERE NOT EXISTS (SELECT 1 FROM Personal p WHERE p.usn = m.usn)"), 0);

    EXPECT_EQ(runCli("extract " + test::quoted(folders[3].string()) + " --config " + test::quoted(dir.file("run3.ini")) +
                         " --no-stop </dev/null",
                     &output),
              1)
        << output;
    EXPECT_EQ(count("SELECT count(*) FROM Personal"), 4 * kPerFolder);
}

}  // namespace
}  // namespace kyt::test
