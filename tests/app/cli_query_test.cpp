// kyt-cli query and save as a script runs them: the options reach their controls, the exit status, no
// partial file. What a query selects and how a saved file is laid out is the procedures' to check.

#include <gtest/gtest.h>

#include "app/run_cli.h"
#include "query/students.h"
#include "support/db_faults.h"
#include "support/test_config.h"

namespace kyt::test {
namespace {

class CliQuery : public ::testing::Test {
protected:
    void SetUp() override
    {
        config = makeConfiguredFolder(dir, "CS,Computer Science\nEC,Electronics\nMCA,Master of Computer Applications\n",
                                      &database);
        storeStudents(database);
    }

    int run(const std::string& command, const std::string& options, std::string* output)
    {
        return runCli(command + " --config '" + config + "' " + options + " </dev/null", output);
    }
    // kyt-cli save of batch 22, CS and EC, to `name` in the folder.
    int save(const std::string& options, const std::string& name, std::string* output)
    {
        return run("save", "--batch 22 --branch CS --branch EC " + options + " --out '" + dir.file(name) + "'", output);
    }

    TempDir dir;
    std::string config, database;
};

TEST_F(CliQuery, PrintsTheGridAndWithSqlTheTextsThatRan)
{
    std::string output;
    ASSERT_EQ(run("query", "--batch 22 --branch cs --branch EC --atleast 75 --gender --sql", &output), 0) << output;
    EXPECT_EQ(output,
              "SELECT USN,Name,  Gender  , Percent1To6 , Email FROM personal, FreePercent   where (Percent1To6 >= 75 )  "
              "AND ( usn like '*22CS*' or usn like '*22EC*') AND (usn = Freepercent.usn_FP)  ORDER BY Percent1To6 DESC\n"
              "SELECT USN as USN_FP, Count(*) as SemsCount, format(sum(obtained)/sum(max) * 100,'0.00') AS Percent1To6 "
              "From marks Where education_Level >=2 + 1+ 0 And education_Level <= 2 + 6+ 0 GROUP BY USN\n"
              "USN\tName\tGender\tPercent1To6\tEmail\n"
              "1QP22EC002\tRavi Tab\tFemale\t81.00\tasha@example.com\n");
}

TEST_F(CliQuery, OptionsReachTheirControls)
{
    std::string output;
    ASSERT_EQ(run("query", "--all-branches --exclude cs,ec --batch 'all batches' --rank usn --ascending --from 2 --to 5 "
                           "--strict --exactly 62.5 --class first --cet --age --hobby-words chess --sql", &output), 0)
        << output;
    for (const char* part : {"SELECT USN,Name,  CInt((Now()-Cdate(dob1))/365.2) AS Age, CET, Percent2To5 , Email",
                             " where (Percent2To5 = 62.5 )  AND ( usn like '***') AND usn not like '*CS*' AND usn not like "
                             "'*EC*' AND ( FreePercent.SemsCount = 5-2+ 1) AND ( ( hobbies like '*chess*')",
                             "marks.education_level >= 4  AND  (marks.class = 'Second')", "ORDER BY USN ASC\n"})
        EXPECT_NE(output.find(part), std::string::npos) << part << "\n" << output;
}

TEST_F(CliQuery, SaveWritesTheColumnsTitleDelimiterAndBreaksAsked)
{
    std::string output;
    ASSERT_EQ(save("--rank USN --ascending --columns email,usn --delimiter SemiColon --no-title", "list.txt", &output), 0)
        << output;
    EXPECT_EQ(output, "Information Saved. 2 students in " + dir.file("list.txt") + "\n");
    EXPECT_EQ(readFile(dir.file("list.txt")),
              "\r\n\r\nEmail;USN;\r\nasha@example.com;1QP22CS001;\r\n\f\r\nEmail;USN;\r\nasha@example.com;1QP22EC002;\r\n");
    // Breaks only for a result ranked by USN with the USN saved, and not when turned off.
    for (const auto& [options, title, pages] :
         {std::tuple{"--rank USN --title 'Final year'", "Final year\r\n", 2}, std::tuple{"", "Student List\r\n", 1},
          std::tuple{"--rank USN --no-page-breaks", "", 1}, std::tuple{"--rank USN --columns Name,Email", "", 1}}) {
        ASSERT_EQ(save(options, "breaks.txt", &output), 0) << output;
        const std::string text = readFile(dir.file("breaks.txt"));
        EXPECT_EQ(text.rfind(title, 0), 0u) << options;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\f') + 1, pages) << options;
    }
}

TEST_F(CliQuery, RefusalsExitTwoAndFailuresOneLeavingNoFile)
{
    struct Case {
        const char* command;
        const char* options;
        int status;
        const char* message;
    };
    for (const Case& k : {
             Case{"query", "--from 5 --to 3", 2, "The 'From' semester must be less than or equal to the 'TO' semester"},
             Case{"query", "--branch XX", 2, "no branch 'XX' in the database (its branches: CS, EC, MCA)"},
             Case{"query", "--exclude CS", 2, "--exclude applies only with --all-branches"},
             Case{"query", "--from 9", 2, "--from takes a semester from 1 to 8"},
             Case{"query", "--atleast 1 --atmost 2", 2, "one of --atleast, --atmost and --exactly"},
             Case{"query", "--rnak USN", 2, "Unknown option 'rnak'"},
             Case{"save", "--columns USN,Nonesuch", 2, "has no column 'Nonesuch'"},
             Case{"save", "--columns USN,usn", 2, "named twice"},
             Case{"save", "--delimiter Pipe", 2, "--delimiter must be"},
             Case{"save", "--title T --no-title", 2, "exclude each other"},
         }) {
        std::string output;
        const std::string out = std::string(k.command) == "save" ? " --out '" + dir.file("out.docx") + "'" : "";
        EXPECT_EQ(run(k.command, k.options + out, &output), k.status) << k.options << "\n" << output;
        EXPECT_NE(output.find(k.message), std::string::npos) << k.options << "\n" << output;
    }
    std::string output;
    EXPECT_EQ(save("", "missing/out.docx", &output), 1) << output;
    EXPECT_NE(output.find("Information Not Saved. "), std::string::npos) << output;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().rfind("out", 0), std::string::npos) << entry.path();

    DatabaseLock lock(database);
    EXPECT_EQ(run("query", "", &output), 1) << output;
    EXPECT_NE(output.find("locked"), std::string::npos) << output;
}

}  // namespace
}  // namespace kyt::test
