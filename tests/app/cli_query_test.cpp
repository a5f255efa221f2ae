// kyt-cli query and save as a script runs them: the options reach their controls, the exit status, what is
// printed and written. What a query selects and how a saved file is laid out is the procedures' to check.

#include <gtest/gtest.h>

#include "app/run_cli.h"
#include "query/students.h"
#include "support/db_faults.h"
#include "support/engine.h"
#include "support/test_config.h"

namespace kyt::test {
namespace {

TEST(CliQuery, OptionsReachTheirControlsAndTheExitStatusTellsTheOutcome)
{
    TempDir dir;
    std::string database;
    const std::string config = makeConfiguredFolder(
        dir, "CS,Computer Science\nEC,Electronics\nMCA,Master of Computer Applications\n", &database);
    storeStudents(database);
    std::filesystem::create_symlink(config, dir.file("settings.txt"));
    const std::string all = "--all-branches --exclude cs,ec --batch 'all batches' --rank usn --ascending --from 2 --to 5 "
                            "--strict --exactly 62.5 --class first --cet --age --hobby-words chess --sql";
    const std::string save = "save --batch 22 --branch CS --branch EC ";
    const struct {
        std::string args;  // kyt-cli save writes out.txt
        int status;
        std::string printed;  // or written
        bool found = true;
    } cases[] = {
        {"query --batch 22 --branch cs --branch EC --atleast 75 --gender --sql", 0, " where (Percent1To6 >= 75 )"},
        {"query --batch 22 --branch cs --branch EC --atleast 75 --gender --sql", 0,
         " GROUP BY USN\nUSN\tName\tGender\tPercent1To6\tEmail\n1QP22EC002\tRavi Tab\tFemale\t81.00\tasha@example.com\n"},
        {"query " + all, 0, "SELECT USN,Name,  CInt((Now()-Cdate(dob1))/365.2) AS Age, CET, Percent2To5 , Email"},
        {"query " + all, 0, " where (Percent2To5 = 62.5 )  AND ( usn like '***') AND usn not like '*CS*' AND usn not "
                            "like '*EC*' AND ( FreePercent.SemsCount = 5-2+ 1) AND ( ( hobbies like '*chess*')"},
        {"query " + all, 0, "marks.education_level >= 4  AND  (marks.class = 'Second')"},
        {"query --from 5 --to 3", 2, "The 'From' semester must be less than or equal to the 'TO' semester"},
        {"query --batch 123", 2, "Please enter a valid 2 digit year in the batch field"},
        {"query --all-branches --exclude 'CS, EC'", 2, "Please enter the exclude branches codes properly/correctly\n"},
        {"query --branch 'None Else'", 2, "No branches were selected. Please select atleast one"},
        {"query --atleast 6O", 2, "Please enter a valid number in the percent field"},
        {"query --atleast 1e309", 2, "Please enter a valid number in the percent field"},
        {"query --batch 22 --branch CS --atmost 70 --sql", 0, " where (Percent1To6 <= 70 )"},
        {"query --branch XX", 2, "no branch 'XX' in the database (its branches: CS, EC, MCA)"},
        {"query --exclude CS", 2, "--exclude applies only with --all-branches"},
        {"query --from 9", 2, "--from takes a semester from 1 to 8"},
        {"query --atleast 1 --atmost 2", 2, "one of --atleast, --atmost and --exactly"},
        {"query --rnak USN", 2, "Unknown option 'rnak'"},
        // The eligibility group's options: what its boxes would hold, refused as the window refuses them.
        {"query --batch 22 --branch CS --tenth ' 60' --twelfth 62.50 --no-backlogs --born-from 1-6-2003 --sql", 0,
         " AND personal.usn in (select USN from Eligibility where Tenth >= 60 and Twelfth >= 62.5 and Backlogs <= 0 "
         "and Born >= CDate('2003-06-01'))"},
        {"query --batch 22 --branch CS --max-backlogs 2 --sql", 0, "(select USN from Eligibility where Backlogs <= 2)"},
        {"query --tenth 101", 2, "Please enter a valid number in the 10th percent field"},
        {"query --twelfth 100.25", 2, "a percentage takes at most 5 characters"},
        {"query --born-from 31-02-2003", 2, "Please enter a valid date of birth"},
        {"query --max-backlogs 17", 2, "--max-backlogs takes a number of semesters from 0 to 16"},
        {"query --max-backlogs 1 --no-backlogs", 2, "one of --max-backlogs and --no-backlogs"},
        {save + "--rank USN --ascending --columns email,usn --delimiter SemiColon --title 'Final year'", 0,
         "Final year\r\n\r\nEmail;USN;\r\nasha@example.com;1QP22CS001;\r\n\fFinal year\r\nEmail;USN;\r\n"
         "asha@example.com;1QP22EC002;\r\n"},
        {save + "--rank USN --no-title", 0, "Information Saved. 2 students in " + dir.file("out.txt") + "\n\r\n\r\nUSN"},
        // Breaks only for a result ranked by USN with the USN saved, and not when turned off.
        {save, 0, "\f", false},
        {save + "--rank USN --no-page-breaks", 0, "\f", false},
        {save + "--rank USN --columns Name,Email", 0, "\f", false},
        {save + "--columns USN,Nonesuch", 2, "has no column 'Nonesuch'"},
        {save + "--columns USN,usn", 2, "named twice"},
        {save + "--delimiter Pipe", 2, "--delimiter must be"},
        {save + "--title T --no-title", 2, "exclude each other"},
        {save + "--delimiter Comma --out '" + dir.file("x.csv") + "'", 2,
         "--delimiter does not go with a .csv file: its form is fixed"},
        {save + "--title T --out '" + dir.file("x.csv") + "'", 2, "--title does not go with a .csv file"},
        {save + "--out '" + dir.file("settings.txt") + "'", 2,
         "Information Not Saved. " + dir.file("settings.txt") + " is Kyt's configuration file; it is never written over."},
    };
    const std::string out = dir.file("out.txt");
    for (const auto& c : cases) {
        std::filesystem::remove(out);
        std::string output;
        const bool saving = c.args.rfind("save", 0) == 0;
        const bool ownOut = c.args.find("--out") != std::string::npos;
        EXPECT_EQ(runCli(c.args + " --config '" + config + "'" + (saving && !ownOut ? " --out '" + out + "'" : "") +
                             " </dev/null", &output), c.status) << c.args << "\n" << output;
        if (saving && c.status == 0)
            output += readFile(out);
        EXPECT_EQ(output.find(c.printed) != std::string::npos, c.found) << c.args << "\n" << output;
        EXPECT_EQ(std::filesystem::exists(out), saving && c.status == 0) << c.args;
    }
    std::string output;
    EXPECT_EQ(runCli(save + "--config '" + config + "' --out '" + dir.file("missing/out.docx") + "'", &output), 1);
    EXPECT_NE(output.find("Information Not Saved. "), std::string::npos) << output;
    if (onServer())
        return;  // a file's lock; a server's sessions wait for each other's rows
    DatabaseLock lock(database);
    EXPECT_EQ(runCli("query --config '" + config + "'", &output), 1) << output;
    EXPECT_NE(output.find("locked"), std::string::npos) << output;
}

}  // namespace
}  // namespace kyt::test
