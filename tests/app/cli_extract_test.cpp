#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/run_cli.h"
#include "support/db_faults.h"
#include "support/engine.h"
#include "support/extraction_fixture.h"
#include "support/test_config.h"
#include "support/temp_dir.h"

namespace kyt {
namespace {

namespace fs = std::filesystem;
using test::ResumeForm;
using test::TempDir;

class CliExtract : public ::testing::Test {
protected:
    CliExtract() { fs::create_directory(folder); }
    void add(const std::string& name, const std::string& usn) { ResumeForm::be(usn).save((folder / name).string()); }
    int extract(const std::string& options = "")
    {
        return test::runCli("extract '" + folder.string() + "' --config '" + config + "' " + options + " </dev/null",
                            &output);
    }
    bool said(const std::string& text) const { return output.find(text) != std::string::npos; }
    std::vector<std::string> configLines() const { return test::crlfLines(test::readFile(config)); }

    TempDir dir;
    fs::path folder = dir.path() / "resumes";
    std::string database;
    std::string config = test::makeConfiguredFolder(dir, "CS,Computer Science\n", &database);
    std::string output;
};

// 0 when every document was stored, 1 when some were refused, 2 when the surroundings stopped the run;
// each run adds to the statistics in the configuration.
TEST_F(CliExtract, TheExitStatusFollowsTheOutcomeAndEachRunUpdatesTheConfiguration)
{
    add("a.docx", "1QP01CS001");
    add("b.docx", "1QP01CS002");
    ASSERT_EQ(extract(), 0) << output;
    EXPECT_TRUE(said(" Total Documents scanned : 2")) << output;
    EXPECT_TRUE(said(" No. of Successfully scanned documents :2")) << output;
    EXPECT_TRUE(said(" The resumes were extracted to " + database)) << output;
    const auto lines = configLines();
    ASSERT_EQ(lines.size(), 9u) << test::readFile(config);
    EXPECT_EQ(lines[3], folder.string());
    EXPECT_EQ(lines[6], "2");

    // a.docx and b.docx are stored already: with nine refused besides, the tenth problem asks, and
    // without a terminal the answer is to go on to z.docx.
    for (int k = 10; k < 19; ++k)
        add("bad" + std::to_string(k) + ".docx", "2QP01CS0" + std::to_string(k));
    add("z.docx", "1QP01CS003");
    ASSERT_EQ(extract("--copy-errors"), 1) << output;
    EXPECT_TRUE(said("Please Intervene")) << output;
    EXPECT_TRUE(said(" No. of Successfully scanned documents :1")) << output;
    EXPECT_TRUE(said("Please see " + (folder / "Kyt_errors.txt").string() + "  file for description")) << output;
    EXPECT_TRUE(said("NOTE: Resumes with errors were copied")) << output;
    EXPECT_TRUE(fs::exists(folder / "Kyt_Resumes_WithErrors" / "bad10.docx"));
    EXPECT_EQ(configLines()[6], "14");
    EXPECT_TRUE(fs::exists(folder / "Kyt_Resumes_WithErrors" / "Kyt_errors.csv"));

    // Re-submitted: the three stored students are replaced, the nine still refused.
    ASSERT_EQ(extract("--replace --no-stop"), 1) << output;
    EXPECT_TRUE(said(" New students: 0   Replaced: 3   Refused: 9")) << output;

    if (test::onServer())
        return;  // a file's lock; a server's sessions wait for each other's rows
    add("y.docx", "1QP01CS004");
    test::DatabaseLock lock(database);
    ASSERT_TRUE(lock.held());
    EXPECT_EQ(extract(), 2) << output;
    EXPECT_TRUE(said("Kyt stopped the extraction because the database could not be written")) << output;
    EXPECT_TRUE(said("is locked by another user or program")) << output;
}

// Killed during a conversion, kyt-cli leaves no LibreOffice behind, and the next run removes the
// temporary folder the killed one left.
TEST_F(CliExtract, KilledDuringAConversionLeavesNoLibreOfficeAndTheNextRunClearsItsFolder)
{
    const fs::path temp = dir.path() / "tmp";
    fs::create_directory(temp);
    const std::string started = dir.file("started");
    ASSERT_EQ(mkfifo(started.c_str(), 0600), 0);
    // LibreOffice's starter runs the office as a child of its own: so does this stand-in.
    const std::string soffice = dir.file("soffice");
    test::writeFile(soffice, "#!/bin/sh\nsleep 600 &\necho $$ $! > '" + started + "'\nwait\n");
    chmod(soffice.c_str(), 0755);
    test::writeFile((folder / "old.doc").string(), "an older document");
    const char* cli = std::getenv("KYT_CLI");
    const std::string program = cli ? cli : KYT_CLI;
    const pid_t run = fork();
    if (run == 0) {
        setenv("KYT_SOFFICE", soffice.c_str(), 1);
        setenv("TMPDIR", temp.c_str(), 1);
        freopen("/dev/null", "w", stdout);
        freopen("/dev/null", "w", stderr);
        execl(program.c_str(), program.c_str(), "extract", folder.c_str(), "--config", config.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }

    std::ifstream fifo(started);
    pid_t starter = 0, office = 0;
    ASSERT_TRUE(fifo >> starter >> office);
    auto alive = [](pid_t pid) {  // a zombie is dead
        std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        return std::getline(in, line) && line.rfind(')') != std::string::npos && line[line.rfind(')') + 2] != 'Z';
    };
    ASSERT_TRUE(alive(starter) && alive(office));
    kill(run, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(run, &status, 0), run);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;

    // Both die with kyt-cli; waiting for them is bounded only in case they do not.
    for (int tries = 0; (alive(starter) || alive(office)) && tries < 600; ++tries)
        usleep(50000);
    EXPECT_FALSE(alive(starter) || alive(office)) << "LibreOffice outlived kyt-cli";

    auto workFolders = [&temp] {
        int count = 0;
        for (const auto& entry : fs::directory_iterator(temp))
            count += entry.path().filename().string().rfind("kyt-word-", 0) == 0 ? 1 : 0;
        return count;
    };
    EXPECT_EQ(workFolders(), 1);
    const fs::path empty = dir.path() / "empty";
    fs::create_directory(empty);
    setenv("TMPDIR", temp.c_str(), 1);
    test::runCli("extract '" + empty.string() + "' --config '" + config + "'", &output);
    unsetenv("TMPDIR");
    EXPECT_EQ(workFolders(), 0);
}

}  // namespace
}  // namespace kyt
