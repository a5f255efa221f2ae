// An extraction killed part-way (power cut, a killed process) leaves a sound database of whole students,
// and extracting the same folder again completes it.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "app/run_cli.h"
#include "db/database.h"
#include "resume-form/resume_form.h"
#include "support/temp_dir.h"

namespace kyt {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

constexpr int kResumes = 300;
const char* kBranches = "CS,Computer Science\nEC,Electronics\nME,Mechanical\nMCA,Master of Computer Applications\n";

// Everything in the rows `sql` selects, one text a row, values separated by bars. The database is opened
// read-write, as the next run opens it: a journal left by the killed run is rolled back here.
std::vector<std::string> rows(const std::string& path, const std::string& sql)
{
    db::Failure failure;
    auto database = db::Database::open(path, db::Road::Connector, failure);
    db::Recordset rs;
    if (!database || !database->query(sql, rs, failure)) {
        ADD_FAILURE() << sql << ": " << failure.description;
        return {};
    }
    std::vector<std::string> out;
    for (; !rs.isEOF(); rs.MoveNext()) {
        std::string all;
        for (int k = 0; k < rs.fieldCount(); ++k)
            all += rs.field(k).toText() + "|";
        out.push_back(all);
    }
    return out;
}

// USN -> everything stored for the student, one text (Personal row, then its marks rows in level order).
std::map<std::string, std::string> students(const std::string& path)
{
    std::map<std::string, std::string> out;
    for (const std::string& row : rows(path, "SELECT * FROM Personal"))
        out[row.substr(0, row.find('|'))] = row;
    for (const std::string& row : rows(path, "SELECT * FROM Marks ORDER BY usn, education_level"))
        out[row.substr(0, row.find('|'))] += "\n" + row;
    return out;
}

// On a local disk the database keeps a write-ahead log (bytes 18 and 19 of its header are 2), and a
// run that ends normally leaves nothing in the log: the database file alone holds every student.
void expectWriteAheadLogEmptied(const std::string& database)
{
    EXPECT_EQ(test::readFile(database).at(18), 2) << database << " does not keep a write-ahead log";
    std::error_code ec;
    const auto logSize = fs::file_size(database + "-wal", ec);
    EXPECT_TRUE(ec || logSize == 0) << database << "-wal holds " << logSize << " bytes after the run";
}

std::string writeConfig(const TempDir& dir, const std::string& name, const std::string& database)
{
    const std::string path = dir.file(name);
    test::writeFile(path, "1QP\r\nplacement@college.edu\r\n" + database + "\r\n" + dir.path().string() + "\r\n" +
                              dir.path().string() + "\r\n" + dir.file("kyt") + "\r\n");
    return path;
}

// Runs kyt-cli extract, which kills itself (SIGKILL, as a power cut would stop it) in the middle of
// document `killAt`'s transaction: its Personal row and some marks are written, the commit is not.
pid_t startExtraction(const std::string& folder, const std::string& config, int killAt)
{
    const char* cli = std::getenv("KYT_CLI");
    const std::string program = cli ? cli : KYT_CLI;
    const std::string kill = "KYT_CLI_KILL_AT=" + std::to_string(killAt);
    const pid_t pid = fork();
    if (pid == 0) {
        freopen("/dev/null", "w", stdout);
        freopen("/dev/null", "w", stderr);
        putenv(const_cast<char*>(kill.c_str()));
        execl(program.c_str(), program.c_str(), "extract", folder.c_str(), "--config", config.c_str(), "--no-stop",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// The run keeps a write-ahead log (the test folder is on a local disk): the kill leaves committed
// students in the log, and whoever opens the database next reads them from there.
TEST(Reliability, RunKilledPartWayLeavesWholeStudentsAndARerunCompletesIt)
{
    TempDir dir;
    const fs::path folder = dir.path() / "resumes";
    fs::create_directory(folder);
    for (int serial = 0; serial < kResumes; ++serial) {
        const std::string usn = form::batchUsn(serial);
        std::string error;
        ASSERT_TRUE(form::writeResume(form::sampleResume(serial, usn, form::Course::BE),
                                            (folder / (usn + ".docx")).string(), error))
            << error;
    }

    // What an uninterrupted run stores, for comparison.
    const std::string reference = test::makeDatabase(dir, kBranches, "reference.db");
    const fs::path referenceFolder = dir.path() / "reference";
    fs::copy(folder, referenceFolder);
    std::string output;
    ASSERT_EQ(test::runCli("extract '" + referenceFolder.string() + "' --no-stop --config '" +
                               writeConfig(dir, "reference.ini", reference) + "'",
                           &output),
              0)
        << output;
    expectWriteAheadLogEmptied(reference);
    const auto expected = students(reference);
    ASSERT_EQ(expected.size(), static_cast<size_t>(kResumes));

    // The run killed inside the transaction of its 150th document.
    constexpr int kKilledAt = 150;
    const std::string database = test::makeDatabase(dir, kBranches);
    const std::string config = writeConfig(dir, "Kyt.ini", database);
    const pid_t pid = startExtraction(folder.string(), config, kKilledAt);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the run was not killed: " << status;
    // Killed in write-ahead-log mode (a local disk) with a transaction under way.
    ASSERT_GT(fs::file_size(database + "-wal"), 0u);

    EXPECT_EQ(rows(database, "PRAGMA integrity_check"), std::vector<std::string>{"ok|"});
    EXPECT_TRUE(rows(database, "SELECT usn FROM Marks WHERE usn NOT IN (SELECT USN FROM Personal)").empty());
    const auto killed = students(database);
    ASSERT_EQ(killed.size(), static_cast<size_t>(kKilledAt - 1));
    for (const auto& [usn, stored] : killed)
        EXPECT_EQ(stored, expected.at(usn)) << usn << " is not whole";

    // The rerun stores the rest and refuses the stored ones as duplicates.
    ASSERT_EQ(test::runCli("extract '" + folder.string() + "' --no-stop --config '" + config + "'", &output), 1)
        << output;
    expectWriteAheadLogEmptied(database);
    EXPECT_EQ(students(database), expected);
    const std::string log = test::readFile((folder / "Kyt_errors.txt").string());
    size_t duplicates = 0;
    for (size_t at = log.find("A resume with the same USN"); at != std::string::npos;
         at = log.find("A resume with the same USN", at + 1))
        ++duplicates;
    EXPECT_EQ(duplicates, killed.size());
}

}  // namespace
}  // namespace kyt
