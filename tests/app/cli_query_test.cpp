// kyt-cli query as a script runs it.

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

    int query(const std::string& options, std::string* output)
    {
        return runCli("query --config '" + config + "' " + options + " </dev/null", output);
    }

    TempDir dir;
    std::string config, database;
};

TEST_F(CliQuery, PrintsTheGridAndWithSqlTheTextsThatRan)
{
    std::string output;
    ASSERT_EQ(query("--batch 22 --branch cs --branch EC --atleast 75 --gender --sql", &output), 0) << output;
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
    ASSERT_EQ(query("--all-branches --exclude cs,ec --batch 'all batches' --rank usn --ascending --from 2 --to 5 "
                    "--strict --exactly 62.5 --class first --cet --age --hobby-words chess --sql", &output), 0) << output;
    for (const char* part : {"SELECT USN,Name,  CInt((Now()-Cdate(dob1))/365.2) AS Age, CET, Percent2To5 , Email",
                             " where (Percent2To5 = 62.5 )  AND ( usn like '***') AND usn not like '*CS*' AND usn not like "
                             "'*EC*' AND ( FreePercent.SemsCount = 5-2+ 1) AND ( ( hobbies like '*chess*')",
                             "marks.education_level >= 4  AND  (marks.class = 'Second')", "ORDER BY USN ASC\n"})
        EXPECT_NE(output.find(part), std::string::npos) << part << "\n" << output;
}

TEST_F(CliQuery, RefusalsExitTwoWithTheWindowsMessageAndFailuresOne)
{
    struct Case {
        const char* options;
        int status;
        const char* message;
    };
    for (const Case& k : {
             Case{"--from 5 --to 3", 2, "The 'From' semester must be less than or equal to the 'TO' semester"},
             Case{"--batch 123", 2, "Please enter a valid 2 digit year in the batch field"},
             Case{"--all-branches --exclude 'CS, EC'", 2, "Please enter the exclude branches codes properly/correctly\n"},
             Case{"--branch 'None Else'", 2, "No branches were selected. Please select atleast one"},
             Case{"--atleast 6O", 2, "Please enter a valid number in the percent field"},
             Case{"--branch XX", 2, "no branch 'XX' in the database (its branches: CS, EC, MCA)"},
             Case{"--exclude CS", 2, "--exclude applies only with --all-branches"},
             Case{"--from 9", 2, "--from takes a semester from 1 to 8"},
             Case{"--atleast 1 --atmost 2", 2, "one of --atleast, --atmost and --exactly"},
             Case{"--rnak USN", 2, "Unknown option 'rnak'"},
         }) {
        std::string output;
        EXPECT_EQ(query(k.options, &output), k.status) << k.options << "\n" << output;
        EXPECT_NE(output.find(k.message), std::string::npos) << k.options << "\n" << output;
    }

    DatabaseLock lock(database);
    std::string output;
    EXPECT_EQ(query("", &output), 1) << output;
    EXPECT_NE(output.find("locked"), std::string::npos) << output;
}

}  // namespace
}  // namespace kyt::test
