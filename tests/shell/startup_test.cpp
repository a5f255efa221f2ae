#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <stdexcept>

#include "db/data_connector.h"
#include "db/database.h"
#include "shell/product.h"
#include "shell/startup.h"
#include "shell/window_registry.h"
#include "support/db_faults.h"
#include "support/scripted_messages.h"
#include "support/temp_dir.h"
#include "support/test_config.h"

namespace kyt {
namespace {

const std::string kOther =
    "Other database error. Please verify the resume once again. If it still does not resolve the problem, please "
    "contact the author at kyt-support@example.org";

// Each known number has its own text, exactly as the error log shows it.
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

// A database an earlier Kyt made: the officer is told what will happen; Cancel leaves it as it was and
// Kyt does not start, OK upgrades it and Kyt starts on it.
TEST_F(StartUpProcedure, AnOlderDatabaseIsUpgradedOnlyWhenTheOfficerAgrees)
{
    control.config.DatabasePath = dir.file("old.db");
    db::Failure failure;
    ASSERT_TRUE(db::Database::create(control.config.DatabasePath, {{"CS", "Computer Science"}}, 1, failure));
    const int latest = db::latestSchemaVersion(db::Engine::SQLite);
    const auto version = [&] {
        int v = 0;
        db::Database::open(control.config.DatabasePath, db::Road::Connector, failure)->schemaVersion(v, failure);
        return v;
    };
    for (MsgAnswer answer : {MsgAnswer::Cancel, MsgAnswer::OK}) {
        messages.clear();
        messages.setNextAnswer(answer);
        Control fresh;
        fresh.config.DatabasePath = control.config.DatabasePath;
        fresh.session.Messages = &messages;
        EXPECT_EQ(StartUp(fresh), answer == MsgAnswer::OK ? StartUpResult::Ready : StartUpResult::NotConnected);
        ASSERT_EQ(messages.messages().size(), 1u);
        EXPECT_EQ(messages.last().buttons, MsgButtons::OKCancel);
        EXPECT_NE(messages.last().text.find("(schema version 1). Kyt will bring it up to version " +
                                            std::to_string(latest)),
                  std::string::npos)
            << messages.last().text;
        EXPECT_NE(messages.last().text.find("is kept in " + dir.file("old.v1-copy-")), std::string::npos);
        CloseDown(fresh);
        EXPECT_EQ(version(), answer == MsgAnswer::OK ? latest : 1);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2) << "the database and one copy";
}

// Branch codes are loaded trimmed with the error table; none is told, and forty-one are too many. A
// missing database is told with the engine's reason.
TEST_F(StartUpProcedure, ConnectsLoadsTheBranchesAndFillsTheErrorTable)
{
    const struct {
        bool exists;
        std::string branches;
        StartUpResult result;
        const char* title;  // of the one message shown
        std::string codes;  // how many loaded, the first and the last
    } cases[] = {
        {true, "CS,Computer Science\nME  ,Mechanical\n", StartUpResult::Ready, nullptr, "2: CS..ME"},
        {true, "", StartUpResult::Ready, "Error", "0"},
        {true, test::branchLines(40), StartUpResult::Ready, nullptr, "40: B01..B40"},
        {true, test::branchLines(41), StartUpResult::TooManyBranches, "Critical Error", "0"},
        {false, "", StartUpResult::NotConnected, "Error Reading database", "0"},
    };
    int made = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.branches.substr(0, 30));
        Control fresh;
        fresh.session.Messages = &messages;
        messages.clear();
        const std::string name = std::to_string(++made) + ".db";
        fresh.config.DatabasePath = c.exists ? test::makeDatabase(dir, c.branches, name) : dir.file(name);
        EXPECT_EQ(StartUp(fresh), c.result);
        ASSERT_EQ(messages.messages().size(), c.title ? 1u : 0u);
        EXPECT_EQ(c.title ? messages.last().title : "", c.title ? c.title : "");
        const bool connected = c.result != StartUpResult::NotConnected, loaded = c.result == StartUpResult::Ready;
        EXPECT_EQ(fresh.session.Connector->GetConnectStatus(), connected);
        if (!connected) {
            EXPECT_EQ(messages.last().icon, MsgIcon::Critical);
            EXPECT_FALSE(fresh.session.Connector->ErrDesc.empty());
            EXPECT_EQ(messages.last().text,
                      "Error opening the database.\nPlease check that you are trying to open the correct database \n\n" +
                          fresh.session.Connector->ErrDesc);
        }
        EXPECT_EQ(fresh.session.BranchCount, std::count(c.branches.begin(), c.branches.end(), '\n'));
        std::vector<std::string> codes;
        std::copy_if(fresh.session.BranchCodes.begin(), fresh.session.BranchCodes.end(), std::back_inserter(codes),
                     [](const std::string& code) { return !code.empty(); });
        std::sort(codes.begin(), codes.end());
        EXPECT_EQ(std::to_string(codes.size()) + (codes.empty() ? "" : ": " + codes.front() + ".." + codes.back()),
                  c.codes);
        EXPECT_EQ(fresh.session.DbErrorCount, loaded ? 6 : 0);
        CloseDown(fresh);
        EXPECT_FALSE(fresh.session.Connector);
        EXPECT_FALSE(fresh.session.WordApp);
    }
}

// Loaded in any order, closed in the fixed one; a failing close does not keep the others open, and a
// window that unloads another while closing (Form1 its status window Form2) is not closed twice.
TEST(WindowRegistry, ClosesInTheFixedOrderEachWindowOnce)
{
    WindowRegistry windows;
    std::vector<std::string> closed;
    for (const char* name : {"setinit", "Form4", "Report", "Form1", "FormatFile", "Form2", "Form3"})
        windows.add(name, {[&closed, name] { closed.push_back(name); }, nullptr, nullptr});
    windows.add("Form1", {[&] {
                              closed.push_back("Form1");
                              windows.remove("Form2");
                          },
                          nullptr, nullptr});
    windows.add("Form3", {[] { throw std::runtime_error("refuses"); }, nullptr, nullptr});
    EXPECT_EQ(windows.closeAll(), (std::vector<std::string>{"Form1", "Form3", "Form4", "FormatFile", "setinit", "Report"}));
    EXPECT_EQ(closed, (std::vector<std::string>{"Form1", "Form4", "FormatFile", "setinit", "Report"}));
}

TEST(WindowRegistry, RemovedWindowsAreSkippedAndAReplacedOneCannotRemoveItsSuccessor)
{
    WindowRegistry windows;
    int first = 0, second = 0, closes = 0, destroyed = 0;
    windows.add("Form2", {[&] { ++closes; }, nullptr, &first});
    windows.remove("Form2", &first);
    EXPECT_FALSE(windows.contains("Form2"));
    windows.add("Form4", {[] {}, [&] { ++destroyed; }, &first});
    windows.add("Form4", {[] {}, [&] { ++destroyed; }, &second});
    windows.remove("Form4", &first);
    EXPECT_EQ(windows.find("Form4"), &second);
    EXPECT_EQ(windows.closeAll(), std::vector<std::string>{"Form4"});
    EXPECT_EQ(closes, 0);
    windows.destroyAll();
    windows.destroyAll();
    EXPECT_EQ(destroyed, 1) << "owned windows are let go of once";
    EXPECT_FALSE(windows.contains("Form4"));
}

}  // namespace
}  // namespace kyt
