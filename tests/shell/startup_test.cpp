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

const std::string kDuplicateUSN =
    "A resume with the same USN already exists in the database. Maybe the student has entered someone else's USN.";
const std::string kInvalidCharacters =
    "One of the fields in the resume document contained invalid characters example: an apostrophe in the DOB or "
    "marks field has some other character other than '%' character OR contained letters when only digits were "
    "expected ( example DOB field ) ";
const std::string kBlankField = "One or more of the required fields is blank in the resume.";
const std::string kTooLong =
    "One or more of the fields in the resume has exceeded the capacity of the database field. Try reducing the "
    "number of characters in a field which has lots of characters.";
const std::string kInconsistent =
    "The data base is inconsistent. Easy way to solve is to delete all records from administration option of Kyt "
    "and rescan the records. ";
const std::string kOther =
    "Other database error. Please verify the resume once again. If it still does not resolve the problem, please "
    "contact the author at kyt-support@example.org";

struct ErrorCase {
    int32_t given;
    int32_t leftInVariable;
    const std::string* text;
};

class DbErrorTextCases : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(DbErrorTextCases, MapsNegativeAndPositiveNumbersAlike)
{
    Control control;
    FillDbErrorTable(control);
    int32_t number = GetParam().given;
    EXPECT_EQ(db::DbErrorText(control.session, number, kSupportContact), *GetParam().text);
    EXPECT_EQ(number, GetParam().leftInVariable);
}

INSTANTIATE_TEST_SUITE_P(
    DbErrorText, DbErrorTextCases,
    ::testing::Values(ErrorCase{105121349, 105121349, &kDuplicateUSN}, ErrorCase{-105121349, 105121349, &kDuplicateUSN},
                      ErrorCase{-539888598, 539888598, &kInvalidCharacters},
                      ErrorCase{541396598, 541396598, &kBlankField}, ErrorCase{-68551703, 68551703, &kTooLong},
                      ErrorCase{33, 33, &kInconsistent}, ErrorCase{-33, 33, &kInconsistent},
                      ErrorCase{1, 1, &kOther}, ErrorCase{-1, 1, &kOther},
                      ErrorCase{0, 0, &kOther}, ErrorCase{-19, 19, &kOther},
                      ErrorCase{std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max(), &kOther},
                      ErrorCase{std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::min(), &kOther}),
    [](const auto& info) {
        int32_t n = info.param.given;
        return (n < 0 ? "Minus" : "Plus") + std::to_string(n < 0 ? -static_cast<int64_t>(n) : n);
    });

TEST(DbErrorText, TheEnginesOwnNumbersMeetTheirTexts)
{
    Control control;
    FillDbErrorTable(control);
    const std::pair<int32_t, const std::string*> pairs[] = {
        {db::kErrDuplicateKey, &kDuplicateUSN}, {db::kErrConversion, &kInvalidCharacters},
        {db::kErrRequiredBlank, &kBlankField},  {db::kErrFieldTooLong, &kTooLong},
        {db::kErrInconsistent, &kInconsistent}, {db::kErrOther, &kOther}};
    for (auto [number, text] : pairs)
        EXPECT_EQ(db::DbErrorText(control.session, number, kSupportContact), *text) << number;
}

TEST(DbErrorText, BeforeTheTableIsFilledEverythingIsOther)
{
    Control control;
    int32_t number = db::kErrDuplicateKey;
    EXPECT_EQ(db::DbErrorText(control.session, number, kSupportContact), kOther);
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
        ASSERT_TRUE(database) << failure.description;
        ASSERT_TRUE(database->exec("INSERT INTO Branch (BranchCode, Branch) VALUES ('ME  ', 'Mechanical')",
                                   failure))
            << failure.description;
    }
    EXPECT_EQ(StartUp(control), StartUpResult::Ready);
    EXPECT_TRUE(messages.messages().empty());
    ASSERT_TRUE(control.session.Connector);
    EXPECT_TRUE(control.session.Connector->GetConnectStatus());
    ASSERT_EQ(control.session.BranchCount, 3);
    std::vector<std::string> codes(control.session.BranchCodes.begin(), control.session.BranchCodes.begin() + 3);
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes, (std::vector<std::string>{"CS", "EC", "ME"}));
    EXPECT_EQ(control.session.DbErrorCount, 6);
    EXPECT_EQ(control.session.DbErrorCodes[1], 105121349);
    EXPECT_EQ(control.session.DbErrorTexts[6], kOther);

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
    EXPECT_EQ(messages.last().text,
              "Error opening the database.\nPlease check that you are trying to open the correct database \n\n" +
                  control.session.Connector->ErrDesc);
    EXPECT_FALSE(control.session.Connector->ErrDesc.empty());
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

TEST_F(StartUpProcedure, AnEmptyBranchTableIsReportedAndStartUpGoesOn)
{
    control.config.DatabasePath = test::makeDatabase(dir, "");
    EXPECT_EQ(StartUp(control), StartUpResult::Ready);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.last().title, "Error");
    EXPECT_EQ(control.session.BranchCount, 0);
    EXPECT_EQ(control.session.DbErrorCount, 6);
}

struct BranchLimitCase {
    int branches;
    StartUpResult result;
    size_t messages;
};

class BranchLimit : public StartUpProcedure, public ::testing::WithParamInterface<BranchLimitCase> {};

TEST_P(BranchLimit, FortyLoadFortyOneDoNot)
{
    control.config.DatabasePath = test::makeDatabase(dir, test::branchLines(GetParam().branches));
    EXPECT_EQ(StartUp(control), GetParam().result);
    EXPECT_EQ(messages.messages().size(), GetParam().messages);
    EXPECT_EQ(control.session.BranchCount, GetParam().branches);
    bool loaded = GetParam().result == StartUpResult::Ready;
    EXPECT_EQ(!control.session.BranchCodes[0].empty(), loaded);
    EXPECT_EQ(control.session.DbErrorCount, loaded ? 6 : 0);
    if (!loaded) {
        EXPECT_EQ(messages.last().title, "Critical Error");
    }
}

INSTANTIATE_TEST_SUITE_P(StartUp, BranchLimit,
                         ::testing::Values(BranchLimitCase{1, StartUpResult::Ready, 0},
                                           BranchLimitCase{40, StartUpResult::Ready, 0},
                                           BranchLimitCase{41, StartUpResult::TooManyBranches, 1},
                                           BranchLimitCase{60, StartUpResult::TooManyBranches, 1}),
                         [](const auto& info) { return "Branches" + std::to_string(info.param.branches); });

}  // namespace
}  // namespace kyt
