// kyt-cli query as a script runs it, and the option parsing every command shares.

#include <gtest/gtest.h>

#include "db/seed.h"
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
        db::Failure failure;
        auto writer = db::Database::open(database, db::Road::Connector, failure);
        ASSERT_TRUE(writer) << failure.description;
        ASSERT_TRUE(writer->begin(failure));
        for (const auto& [usn, name, obtained] : {std::tuple{"1QP22CS001", "Asha", 70}, std::tuple{"1QP22EC002", "Ravi\tTab", 81},
                                                  std::tuple{"1QP22MCA03", "Mala", 60}, std::tuple{"1QP21CS004", "Old", 90}}) {
            ASSERT_TRUE(writer->exec(personalInsert({.usn = usn, .name = name}), failure)) << failure.description;
            for (int level = 3; level <= 9; ++level)
                ASSERT_TRUE(writer->exec(marksInsert(usn, level, obtained, 100), failure)) << failure.description;
        }
        ASSERT_TRUE(writer->commit(failure));
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

TEST_F(CliQuery, OptionsReachTheirCriteria)
{
    struct Case {
        const char* options;
        const char* expected;  // in the output
    };
    for (const Case& k : {
             Case{"--all-branches --exclude cs,ec --batch 'All Batches' --rank usn --ascending --sql",
                  "( usn like '***') AND usn not like '*CS*' AND usn not like '*EC*' AND (usn = Freepercent.usn_FP)  "
                  "ORDER BY USN ASC\n"},
             Case{"--batch 22 --branch MCA --branch CS --from 2 --to 5 --strict --exactly 60 --sql",
                  "education_Level >=2 + 2+ 1 And education_Level <= 2 + 5+ 1 GROUP BY USN\nUSN\tName\tPercent2To5\tEmail\n"
                  "1QP22MCA03\tMala\t60.00\t"},
             Case{"--batch 21 --branch CS --atmost 95 --class fcd --cet --age --sql", "AND not exists ("},
             Case{"--batch 22 --branch CS --project-words 'java; oracle' --hobby-words chess --sql",
                  "finalproject2 like '*java*oracle*') AND ( ( hobbies like '*chess*')"},
         }) {
        std::string output;
        EXPECT_EQ(query(k.options, &output), 0) << k.options << "\n" << output;
        EXPECT_NE(output.find(k.expected), std::string::npos) << k.options << "\n" << output;
    }
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

TEST(CliOptions, EveryCommandHasHelpAndNamesAnUnknownOption)
{
    for (const char* command : {"query", "sql", "init-db", "tables", "extract"}) {
        std::string output;
        EXPECT_EQ(runCli(std::string(command) + " --help", &output), 0) << command;
        EXPECT_EQ(output.rfind(std::string("Usage: kyt-cli ") + command + " [options]", 0), 0u) << output;
        EXPECT_EQ(runCli(std::string(command) + " --confg x.ini y", &output), 2) << command;
        EXPECT_NE(output.find("Unknown option 'confg'"), std::string::npos) << output;
        EXPECT_NE(output.find(std::string("usage: kyt-cli ") + command), std::string::npos) << output;
    }
}

}  // namespace
}  // namespace kyt::test
