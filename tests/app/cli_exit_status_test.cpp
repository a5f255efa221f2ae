// What scripts rely on: every command says why it did not run, exits with 2 when it was used wrongly or
// cannot start, with 1 when the work failed, and creates or changes nothing then.

#include <gtest/gtest.h>

#include <filesystem>

#include "app/run_cli.h"
#include "support/test_config.h"

namespace kyt::test {
namespace {

namespace fs = std::filesystem;

TEST(CliExitStatus, RefusalsAndFailuresSayWhyAndLeaveNothingBehind)
{
    TempDir dir;
    std::string database;
    const std::string config = makeConfiguredFolder(dir, "CS,Computer Science\n", &database);
    const std::string before = readFile(database);
    writeFile(dir.file("branches.csv"), "CS,Computer Science\nEC\n");
    writeFile(dir.file("note.docx"), "not a document");
    fs::create_directory(dir.file("empty"));
    const std::string withConfig = " --config '" + config + "'";
    writeFile(dir.file("other.db"), "not a database");
    writeSetupConfig(dir.file("other.ini"), dir.file("other.db"));
    writeSetupConfig(dir.file("none.ini"), dir.file("none.db"));
    struct Case {
        std::string args;
        int status;
        std::string said;
    };
    const Case cases[] = {
        {"init-db '" + database + "'", 1, "already exists"},
        {"init-db '" + dir.file("new.db") + "' --branches '" + dir.file("branches.csv") + "'", 1, "line 2"},
        {"sql --db '" + dir.file("none.db") + "' \"SELECT 1\"", 1, dir.file("none.db")},
        {"tables '" + dir.file("note.docx") + "'", 1, "note.docx: The file is not a .docx document"},
        {"tables", 2, "usage"},
        {"extract '" + dir.path().string() + "' --config '" + dir.file("missing.ini") + "'", 2, "missing.ini"},
        {"extract '" + dir.file("nowhere") + "'" + withConfig, 2, "nowhere"},
        {"extract" + withConfig, 2, "usage"},
        {"extract '" + dir.path().string() + "' --config '" + dir.file("none.ini") + "'", 2, "does not exist"},
        {"extract '" + dir.file("empty") + "'" + withConfig, 2, "Could not find any Word Document."},
        // A path past the system's limit is a message, never an uncaught exception.
        {"extract '/" + std::string(5000, 'x') + "'" + withConfig, 2, "is not a folder"},
        {"save" + withConfig + " --out '" + dir.file("out.xlsx") + "'", 2, "--out must end in"},
        {"save" + withConfig, 2, "--out FILE is required"},
        {"merge --all --target x.docx", 2, "usage"},
        {"merge --target x.docx --out y.docx --bogus", 2, "bogus"},
        {"nonsense", 2, "nonsense"},
        {"", 2, "usage: kyt-cli COMMAND"},
        // The database failing is 1 for every command that uses it.
        {"query --config '" + dir.file("none.ini") + "'", 1, "does not exist"},
        {"save --out '" + dir.file("out.docx") + "' --config '" + dir.file("other.ini") + "'", 1, "not a Kyt database"},
        {"admin show-marks 1QP01CS001 1 --config '" + dir.file("other.ini") + "'", 1, "not a Kyt database"},
        {"merge --all --target '" + database + "-wal' --out '" + dir.file("y.docx") + "'" + withConfig, 2,
         "is Kyt's database"},
        {"sql --help", 0, "Usage: kyt-cli sql [options]"},
        {"init-db --confg x.ini y", 2, "Unknown option 'confg'"},
        {"tables --confg x.ini y", 2, "usage: kyt-cli tables"},
    };
    for (const Case& c : cases) {
        std::string output;
        EXPECT_EQ(runCli(c.args + " </dev/null", &output), c.status) << c.args << "\n" << output;
        EXPECT_NE(output.find(c.said), std::string::npos) << c.args << "\n" << output;
    }
    EXPECT_EQ(readFile(database), before);
    for (const char* made : {"new.db", "none.db", "out.xlsx", "out.docx", "y.docx"})
        EXPECT_FALSE(fs::exists(dir.file(made))) << made;
}

}  // namespace
}  // namespace kyt::test
