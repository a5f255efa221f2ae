#include <gtest/gtest.h>

#include <filesystem>

#include "app/run_cli.h"
#include "merge/merged_docx.h"
#include "support/extraction_fixture.h"
#include "support/test_config.h"
#include "support/zip_bytes.h"

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

std::string Field(const std::string& name)
{
    return R"(<w:p><w:fldSimple w:instr="MERGEFIELD )" + name + R"("><w:r><w:t>x</w:t></w:r></w:fldSimple></w:p>)";
}

// One notice per refused résumé, its faults one per line; refused before writing for an unknown run, the
// run's own folder, and a template with fields a notice does not have.
TEST(CliRuns, NoticesAreOnePerRefusedResumeWithEveryFault)
{
    test::TempDir dir;
    std::string database;
    const std::string config = quoted(test::makeConfiguredFolder(dir, "CS,Computer Science\n", &database));
    const fs::path folder = dir.path() / "resumes", out = dir.path() / "notices";
    fs::create_directories(folder);
    ResumeForm::be("1QP01CS001").save((folder / "a.docx").string());
    ResumeForm twice = ResumeForm::be("1QP01CS002", "lata");
    twice.set(1, 3, 1, "32");
    twice.save((folder / "b.docx").string());
    ResumeForm::be("2QP01CS003", "ravi").save((folder / "c.docx").string());
    test::writeFile(dir.file("notice.docx"),
                    test::docxWithBody(Field("Name") + Field("USN") + Field("File") + Field("Faults")));
    test::writeFile(dir.file("salary.docx"), test::docxWithBody(Field("Name") + Field("Salary")));
    std::string output;
    ASSERT_EQ(test::runCli("extract " + quoted(folder.string()) + " --config " + config, &output), 1) << output;
    // The reader stops at a résumé's first fault; the history and the report hold any number.
    ASSERT_EQ(test::runCli("sql --db " + test::quoted(database) +
                               " \"INSERT INTO RunFault SELECT RunId, Document, 2, File, USN, Name, 2, 6, 4, "
                               "'Maximum marks', 'Max marks not entered.' FROM RunFault WHERE File = 'b.docx'\"",
                           &output),
              0)
        << output;

    const std::string notices = "notices --config " + config + " --template " + quoted(dir.file("notice.docx"));
    ASSERT_EQ(test::runCli(notices + " --run 1 --out " + quoted(out.string()), &output), 0) << output;
    EXPECT_NE(output.find("2 notices written"), std::string::npos) << output;
    const test::MergedDocx lataNotice((out / "b - notice.docx").string());
    const std::string lata = lataNotice.bodyText();
    EXPECT_NE(lataNotice.part("word/document.xml").find("<w:br/><w:t xml:space=\"preserve\">Table 2"), std::string::npos);
    for (const char* line : {"lata", "1QP01CS002", "b.docx", "Table 1, row 3, cell 1 (Date of birth): DOB: 32-",
                             "Table 2, row 6, cell 4 (Maximum marks): Max marks not entered."})
        EXPECT_NE(lata.find(line), std::string::npos) << line << "\n" << lata;
    const std::string ravi = test::MergedDocx((out / "c - notice.docx").string()).bodyText();
    EXPECT_NE(ravi.find("ravi\n2QP01CS003\nc.docx\nTable 1, row 2, cell 1 (USN): Error USN 2QP01CS003"), std::string::npos)
        << ravi;
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 2);

    const struct { std::string args; const char* said; } refused[] = {
        {notices + " --run 7 --out " + quoted(out.string()), "There is no run 7"},
        {notices + " --run 1 --out " + quoted(folder.string()), "would read them as résumés"},
        {"notices --config " + config + " --run 1 --template " + quoted(dir.file("salary.docx")) + " --out " +
             quoted(dir.file("x")),
         "fields a notice does not: Salary."},
        {notices + " --out " + quoted(out.string()), "--run RUN is required"},
        {"notices --config " + config + " --run 1 --template " + quoted((out / "c - notice.docx").string()) +
             " --out " + quoted(out.string()),
         "is the target format document"},
    };
    for (const auto& c : refused) {
        EXPECT_EQ(test::runCli(c.args, &output), 2) << c.args << "\n" << output;
        EXPECT_NE(output.find(c.said), std::string::npos) << output;
    }
    EXPECT_FALSE(fs::exists(dir.file("x")));
}

}  // namespace
}  // namespace kyt
