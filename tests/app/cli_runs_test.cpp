#include <gtest/gtest.h>

#include <filesystem>

#include "app/run_cli.h"
#include "support/extraction_fixture.h"
#include "support/test_config.h"

namespace kyt {
namespace {

namespace fs = std::filesystem;
using test::quoted;
using test::ResumeForm;

// The history on the command line: runs lists what each run did; revert asks (No without a terminal or
// --yes), waits for the later run on the same students, and takes runs back newest first.
TEST(CliRuns, RunsListsAndRevertTakesBackNewestFirst)
{
    test::TempDir dir;
    std::string database;
    const std::string config = quoted(test::makeConfiguredFolder(dir, "CS,Computer Science\n", &database));
    const fs::path first = dir.path() / "first", again = dir.path() / "again";
    fs::create_directories(first);
    fs::create_directories(again);
    ResumeForm::be("1QP01CS001").save((first / "a.docx").string());
    ResumeForm::be("1QP01CS002").save((first / "b.docx").string());
    ResumeForm::be("1QP01CS002", "lata").save((again / "b.docx").string());
    ResumeForm::be("2QP01CS003").save((again / "c.docx").string());
    std::string output;
    ASSERT_EQ(test::runCli("extract " + quoted(first.string()) + " --config " + config, &output), 0) << output;
    EXPECT_NE(output.find("Run 1 of the history"), std::string::npos) << output;
    ASSERT_EQ(test::runCli("extract " + quoted(again.string()) + " --replace --config " + config, &output), 1);

    ASSERT_EQ(test::runCli("runs --config " + config, &output), 0) << output;
    const size_t second = output.find("\n2 ");
    ASSERT_NE(second, std::string::npos) << output;
    // Run 2: two scanned, none new, one replaced, one refused.
    EXPECT_NE(output.find("      2     0        1       1  completed", second), std::string::npos) << output;
    EXPECT_NE(output.find(again.string(), second), std::string::npos) << output;

    EXPECT_EQ(test::runCli("revert 2 --config " + config + " </dev/null", &output), 2);
    EXPECT_NE(output.find("nothing changed"), std::string::npos) << output;
    EXPECT_EQ(test::runCli("revert 1 --yes --config " + config, &output), 2);
    EXPECT_NE(output.find("(run 2)"), std::string::npos) << output;
    EXPECT_EQ(test::runCli("revert 2 --yes --config " + config, &output), 0) << output;
    EXPECT_EQ(test::runCli("revert 1 --yes --config " + config, &output), 0) << output;
    EXPECT_NE(output.find("2 students deleted"), std::string::npos) << output;
    EXPECT_EQ(test::runCli("revert x --config " + config, &output), 2);
}

}  // namespace
}  // namespace kyt
