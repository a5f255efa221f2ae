#include <gtest/gtest.h>

#include <limits>

#include "db/data_connector.h"
#include "db/database.h"
#include "shell/product.h"
#include "shell/startup.h"
#include "support/db_faults.h"
#include "support/scripted_messages.h"
#include "support/temp_dir.h"
#include "support/test_config.h"

namespace kyt {
namespace {

const std::string kOther =
    "Other database error. Please verify the resume once again. If it still does not resolve the problem, please "
    "contact the author at kyt-support@example.org";

TEST(DbErrorText, MapsTheEnginesNumbersNegativeOrPositiveAndLeavesThemPositive)
{
    const std::pair<int32_t, std::string> known[] = {
        {db::kErrDuplicateKey, "A resume with the same USN already exists in the database. Maybe the student has "
                               "entered someone else's USN."},
        {db::kErrConversion,
         "One of the fields in the resume document contained invalid characters example: an apostrophe in the DOB "
         "or marks field has some other character other than '%' character OR contained letters when only digits "
         "were expected ( example DOB field ) "},
        {db::kErrRequiredBlank, "One or more of the required fields is blank in the resume."},
        {db::kErrFieldTooLong, "One or more of the fields in the resume has exceeded the capacity of the database "
                               "field. Try reducing the number of characters in a field which has lots of characters."},
        {db::kErrInconsistent, "The data base is inconsistent. Easy way to solve is to delete all records from "
                               "administration option of Kyt and rescan the records. "},
        {db::kErrOther, kOther}, {0, kOther}, {19, kOther}, {std::numeric_limits<int32_t>::max(), kOther}};
    Control control;
    int32_t unfilled = db::kErrDuplicateKey;
    EXPECT_EQ(db::DbErrorText(control.session, unfilled, kSupportContact), kOther) << "before the table is filled";
    FillDbErrorTable(control);
    for (const auto& [number, text] : known) {
        for (int32_t given : {number, -number}) {
            int32_t left = given;
            EXPECT_EQ(db::DbErrorText(control.session, left, kSupportContact), text) << given;
            EXPECT_EQ(left, given < 0 ? -given : given);
        }
    }
    int32_t lowest = std::numeric_limits<int32_t>::min();  // has no positive counterpart
    EXPECT_EQ(db::DbErrorText(control.session, lowest, kSupportContact), kOther);
    EXPECT_EQ(lowest, std::numeric_limits<int32_t>::min());
}

class StartUpProcedure : public ::testing::Test {
protected:
    StartUpProcedure() { control.session.Messages = &messages; }

    test::TempDir dir;
    test::ScriptedMessages messages;
    Control control;
};

TEST_F(StartUpProcedure, ConnectsLoadsTrimmedBranchCodesAndFillsTheErrorTable)
{
    control.config.DatabasePath = test::makeDatabase(dir, "CS,Computer Science\nEC,Electronics\n");
    {
        db::Failure failure;
        auto database = db::Database::open(control.config.DatabasePath, db::Road::Connector, failure);
        ASSERT_TRUE(database && database->exec("INSERT INTO Branch VALUES ('ME  ', 'Mechanical')", failure))
            << failure.description;
    }
    EXPECT_EQ(StartUp(control), StartUpResult::Ready);
    EXPECT_TRUE(messages.messages().empty());
    ASSERT_TRUE(control.session.Connector && control.session.Connector->GetConnectStatus());
    ASSERT_EQ(control.session.BranchCount, 3);
    std::vector<std::string> codes(control.session.BranchCodes.begin(), control.session.BranchCodes.begin() + 3);
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes, (std::vector<std::string>{"CS", "EC", "ME"}));
    EXPECT_EQ(control.session.DbErrorCount, 6);
    CloseDown(control);
    EXPECT_FALSE(control.session.Connector);
    EXPECT_FALSE(control.session.WordApp);
}

TEST_F(StartUpProcedure, AMissingDatabaseIsReportedWithItsReason)
{
    control.config.DatabasePath = dir.file("gone.db");
    EXPECT_EQ(StartUp(control), StartUpResult::NotConnected);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.last().title, "Error Reading database");
    EXPECT_EQ(messages.last().icon, MsgIcon::Critical);
    EXPECT_FALSE(control.session.Connector->ErrDesc.empty());
    EXPECT_EQ(messages.last().text,
              "Error opening the database.\nPlease check that you are trying to open the correct database \n\n" +
                  control.session.Connector->ErrDesc);
    EXPECT_EQ(control.session.DbErrorCount, 0);
}

// The database sits on a network share in write-ahead-log mode, and another program has it open, so the
// log cannot be ended: the officer is told, and Kyt starts.
TEST_F(StartUpProcedure, AWriteAheadLogThatCannotBeEndedOnAShareIsTold)
{
    control.config.DatabasePath = test::makeDatabase(dir);
    {
        test::FakeFileSystem localDisk(test::kExt4);
        db::Failure failure;
        ASSERT_TRUE(db::Database::open(control.config.DatabasePath, db::Road::Connector, failure)) << failure.description;
    }
    test::DatabaseLock otherProgram(control.config.DatabasePath, test::DatabaseLock::Kind::Read);
    ASSERT_TRUE(otherProgram.held());
    test::FakeFileSystem share(test::kNfs);

    EXPECT_EQ(StartUp(control), StartUpResult::Ready);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.last().title, "Kyt Message");
    EXPECT_EQ(messages.last().icon, MsgIcon::Exclamation);
    EXPECT_EQ(messages.last().text, control.session.Connector->GetCurrentConnection()->storage().warning);
    EXPECT_NE(messages.last().text.find(control.config.DatabasePath), std::string::npos) << messages.last().text;
    EXPECT_EQ(control.session.BranchCount, 3);
}

TEST_F(StartUpProcedure, NoBranchesIsToldAndFortyOneAreTooMany)
{
    const struct { int branches; StartUpResult result; const char* title; } cases[] = {
        {0, StartUpResult::Ready, "Error"},
        {1, StartUpResult::Ready, nullptr},
        {40, StartUpResult::Ready, nullptr},
        {41, StartUpResult::TooManyBranches, "Critical Error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.branches);
        Control fresh;
        fresh.session.Messages = &messages;
        messages.clear();
        fresh.config.DatabasePath = test::makeDatabase(dir, test::branchLines(c.branches), std::to_string(c.branches) + ".db");
        EXPECT_EQ(StartUp(fresh), c.result);
        EXPECT_EQ(messages.messages().size(), c.title ? 1u : 0u);
        if (c.title) {
            EXPECT_EQ(messages.last().title, c.title);
        }
        EXPECT_EQ(fresh.session.BranchCount, c.branches);
        const bool loaded = c.result == StartUpResult::Ready;
        EXPECT_EQ(!fresh.session.BranchCodes[0].empty(), loaded && c.branches > 0);
        EXPECT_EQ(fresh.session.DbErrorCount, loaded ? 6 : 0);
        CloseDown(fresh);
    }
}

}  // namespace
}  // namespace kyt
