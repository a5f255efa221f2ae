#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/run_cli.h"
#include "support/db_faults.h"
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
    CliExtract()
    {
        fs::create_directory(folder);
        database = test::makeDatabase(dir);
        config = dir.file("Kyt.ini");
        test::writeFile(config, "1QP\r\nplacement@college.edu\r\n" + database + "\r\n\r\n\r\n\r\n");
    }
    int extract(const std::string& options = "")
    {
        return test::runCli("extract '" + folder.string() + "' --config '" + config + "' " + options + " </dev/null",
                            &output);
    }
    std::vector<std::string> configLines() const { return test::crlfLines(test::readFile(config)); }

    TempDir dir;
    fs::path folder = dir.path() / "resumes";
    std::string database, config, output;
};

TEST_F(CliExtract, EveryDocumentStoredExitsZeroAndUpdatesTheConfiguration)
{
    ResumeForm::be("1QP01CS001").save((folder / "a.docx").string());
    ResumeForm::be("1QP01CS002").save((folder / "b.docx").string());
    ASSERT_EQ(extract(), 0) << output;
    EXPECT_NE(output.find(" Total Documents scanned : 2"), std::string::npos) << output;
    EXPECT_NE(output.find(" No. of Successfully scanned documents :2"), std::string::npos) << output;
    EXPECT_NE(output.find(" The resumes were extracted to " + database), std::string::npos) << output;

    const auto lines = configLines();
    ASSERT_EQ(lines.size(), 9u) << test::readFile(config);
    EXPECT_EQ(lines[3], folder.string());
    EXPECT_EQ(lines[6], "2");
    // A second run adds to the statistics.
    ResumeForm::be("1QP01CS003").save((folder / "c.docx").string());
    EXPECT_EQ(extract(), 1) << output;  // a.docx and b.docx are stored already
    EXPECT_EQ(configLines()[6], "5");
}

TEST_F(CliExtract, SomeRejectedExitsOneAndNamesTheLog)
{
    ResumeForm::be("1QP01CS001").save((folder / "a.docx").string());
    ResumeForm::be("2QP01CS002").save((folder / "b.docx").string());
    ASSERT_EQ(extract("--copy-errors"), 1) << output;
    const std::string log = (folder / "Kyt_errors.txt").string();
    EXPECT_NE(output.find("Please see " + log + "  file for description"), std::string::npos) << output;
    EXPECT_NE(output.find("NOTE: Resumes with errors were copied"), std::string::npos) << output;
    EXPECT_TRUE(fs::exists(folder / "Kyt_Resumes_WithErrors" / "b.docx"));
}

TEST_F(CliExtract, WithoutATerminalTheQuestionIsAnsweredContinue)
{
    for (int k = 10; k < 21; ++k)
        ResumeForm::be("2QP01CS0" + std::to_string(k)).save((folder / ("bad" + std::to_string(k) + ".docx")).string());
    ResumeForm::be("1QP01CS001").save((folder / "z.docx").string());
    ASSERT_EQ(extract(), 1) << output;
    EXPECT_NE(output.find("Please Intervene"), std::string::npos) << output;
    EXPECT_NE(output.find(" Total Documents scanned : 12"), std::string::npos) << output;
    EXPECT_NE(output.find(" No. of Successfully scanned documents :1"), std::string::npos) << output;
}

// kyt-cli extract running in the background with extra environment, its standard output on a pipe.
struct BackgroundRun {
    BackgroundRun(const std::vector<std::string>& args, const std::vector<std::string>& environment)
    {
        int out[2];
        if (pipe(out) != 0)
            return;
        const char* cli = std::getenv("KYT_CLI");
        std::vector<std::string> argv{cli ? cli : KYT_CLI, "extract"};
        argv.insert(argv.end(), args.begin(), args.end());
        pid = fork();
        if (pid == 0) {
            dup2(out[1], 1);
            const int devnull = ::open("/dev/null", O_RDWR);
            dup2(devnull, 0);
            dup2(devnull, 2);
            for (const std::string& variable : environment)
                putenv(const_cast<char*>(variable.c_str()));
            std::vector<char*> cargv;
            for (const std::string& a : argv)
                cargv.push_back(const_cast<char*>(a.c_str()));
            cargv.push_back(nullptr);
            execv(cargv[0], cargv.data());
            _exit(127);
        }
        close(out[1]);
        output = out[0];
    }
    ~BackgroundRun()
    {
        if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (output >= 0)
            close(output);
    }
    // Reads standard output until a line holding `text` (or the end).
    bool waitForLine(const std::string& text)
    {
        std::string seen;
        char c;
        while (read(output, &c, 1) == 1) {
            seen += c;
            if (c == '\n' && seen.find(text) != std::string::npos)
                return true;
        }
        return false;
    }
    int killAndWait()
    {
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        return status;
    }

    pid_t pid = -1;
    int output = -1;
};

TEST_F(CliExtract, ASecondRunOnAFolderBeingExtractedIsRefusedAndLeavesTheFirstsLog)
{
    ResumeForm::be("1QP01CS001").save((folder / "a.docx").string());
    ResumeForm::be("2QP01CS002").save((folder / "b.docx").string());
    ResumeForm::be("1QP01CS003").save((folder / "c.docx").string());
    BackgroundRun first({folder.string(), "--config", config}, {"KYT_CLI_PAUSE_AT=3"});
    ASSERT_TRUE(first.waitForLine("paused before document 3"));
    EXPECT_EQ(extract(), 2) << output;
    EXPECT_NE(output.find("Another Kyt run is extracting the folder " + folder.string()), std::string::npos) << output;
    EXPECT_NE(test::readFile((folder / "Kyt_errors.txt").string()).find("b.docx"), std::string::npos);
    first.killAndWait();
    EXPECT_EQ(extract(), 1) << output;  // a.docx is stored already; c.docx is taken now
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
    test::writeFile(soffice, "#!/bin/sh\nsleep 600 &\necho $$ > '" + started + "'\nwait\n");
    chmod(soffice.c_str(), 0755);
    test::writeFile((folder / "old.doc").string(), "an older document");
    BackgroundRun run({folder.string(), "--config", config}, {"KYT_SOFFICE=" + soffice, "TMPDIR=" + temp.string()});

    std::ifstream fifo(started);
    pid_t office = 0;
    ASSERT_TRUE(fifo >> office);
    std::ifstream stat("/proc/" + std::to_string(office) + "/stat");
    std::string field;
    for (int k = 0; k < 5 && stat >> field; ++k) {
    }
    const pid_t group = static_cast<pid_t>(std::stol(field));  // field 5: the process group
    ASSERT_EQ(run.killAndWait() & 0x7f, SIGKILL);

    // Whatever still lives in the group (zombies aside, which are dead) is left behind. The group dies
    // with kyt-cli; waiting for it is bounded only in case it does not.
    auto alive = [group] {
        for (const auto& entry : fs::directory_iterator("/proc")) {
            std::ifstream in(entry.path() / "stat");
            std::string line;
            if (!std::getline(in, line) || line.rfind(')') == std::string::npos)
                continue;
            std::istringstream rest(line.substr(line.rfind(')') + 2));
            std::string state;
            long ppid = 0, pgrp = 0;
            rest >> state >> ppid >> pgrp;
            if (pgrp == group && state != "Z")
                return true;
        }
        return false;
    };
    for (int tries = 0; alive() && tries < 600; ++tries)
        usleep(50000);
    EXPECT_FALSE(alive()) << "LibreOffice outlived kyt-cli";

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

TEST_F(CliExtract, ALockedDatabaseStopsTheRunWithItsCauseAndExitsTwo)
{
    ResumeForm::be("1QP01CS001").save((folder / "a.docx").string());
    ResumeForm::be("1QP01CS002").save((folder / "b.docx").string());
    test::DatabaseLock lock(database);
    ASSERT_TRUE(lock.held());
    EXPECT_EQ(extract(), 2) << output;
    EXPECT_NE(output.find("Kyt stopped the extraction because the database could not be written"), std::string::npos)
        << output;
    EXPECT_NE(output.find("is locked by another user or program"), std::string::npos) << output;
    lock.release();
    EXPECT_EQ(extract(), 0) << output;
}

}  // namespace
}  // namespace kyt
