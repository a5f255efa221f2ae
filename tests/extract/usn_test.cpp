#include "extract/usn.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "db/data_connector.h"
#include "extract/validation.h"
#include "support/temp_dir.h"

namespace kyt {
namespace {

const std::string kCsMcaBranches = "CS,Computer Science\nEC,Electronics\nMCA,Master of Computer Applications\n";

// A Control connected to a fresh database whose Branch table holds `branches`, college code 1QP.
class BranchDatabase {
public:
    explicit BranchDatabase(const std::string& branches = kCsMcaBranches)
    {
        control.config.RegionCollegeCode = "1QP";
        path = test::makeDatabase(dir, branches);
        control.session.Connector = std::make_unique<db::DataConnector>();
        connected = control.session.Connector->ConnectToDataBase("Admin", "", path) == 2;
    }
    test::TempDir dir;
    std::string path;
    Control control;
    bool connected = false;
};

struct UsnCase {
    std::string typed;
    std::string result;     // the normal form, or ERR
    std::string errorText;  // exactly what lands in ErrorText
};

void PrintTo(const UsnCase& c, std::ostream* out)
{
    *out << testing::PrintToString(c.typed);
}

class ValidateUSNCases : public testing::TestWithParam<UsnCase> {};

TEST_P(ValidateUSNCases, GivesTheNormalFormOrTheExactRefusal)
{
    BranchDatabase db;
    ASSERT_TRUE(db.connected) << db.control.session.Connector->ErrDesc;
    std::string usn = GetParam().typed;
    EXPECT_EQ(ValidateUSN(db.control, usn), GetParam().result);
    EXPECT_EQ(db.control.run.ErrorText, GetParam().errorText);
    const int32_t refusals = GetParam().result == "ERR" ? 1 : 0;
    EXPECT_EQ(db.control.run.DocumentErrors, refusals);
    EXPECT_EQ(db.control.run.TotalErrors, refusals);
}

INSTANTIATE_TEST_SUITE_P(
    Usn, ValidateUSNCases,
    testing::Values(
        UsnCase{"1qp01cs7", "1QP01CS007", ""}, UsnCase{"iqp01cs7", "1QP01CS007", ""},
        UsnCase{"1QP01CS007", "1QP01CS007", ""}, UsnCase{"1QP01EC12", "1QP01EC012", ""},
        UsnCase{"1QP01MCA7", "1QP01MCA07", ""}, UsnCase{"1qp01mca07", "1QP01MCA07", ""},
        UsnCase{"1QP01CSAB", "1QP01CSAB", ""},  // a roll number that is not a number stays as typed
        UsnCase{"1QP01CS0007", "ERR", "\t\t\t\tError USN 1QP01CS0007 - Bad rollno.\r\n"},
        UsnCase{"1QP01MCA123", "ERR", "\t\t\t\tError USN 1QP01MCA123 - Bad rollno.\r\n"},
        UsnCase{"2QP01CS007", "ERR",
                "\t\t\t\tError USN 2QP01CS007 - Bad college code ( 2QP). Expe\r\n\t\t\t\tcting : 1QP\r\n"},
        UsnCase{"XQP01CS007", "ERR", "\t\t\t\tError USN XQP01CS007 - Bad region code ( X)\r\n"},
        UsnCase{"1QP01MBA07", "ERR",
                "\t\t\t\tKyt does not yet support MBA resumes.\r\n\t\t\t\tCurrent USN: 1QP01MBA07\r\n"},
        UsnCase{"1QP01XY007", "ERR",
                "\t\t\t\tError USN 1QP01XY007 - Branch code ( XY) not in data\r\n\t\t\t\tbase. 1QP01XY007\r\n"},
        // shorter than six characters: nothing between the brackets
        UsnCase{"1qp0", "ERR", "\t\t\t\tError USN 1QP0 - Branch code ( ) not in database. 1Q\r\n\t\t\t\tP0\r\n"},
        UsnCase{"", "ERR", "\t\t\t\tError USN  - Bad region code ( )\r\n"},
        // typed by hand into an administration window: refused before it reaches any SQL
        UsnCase{"1QP01CS'07", "ERR",
                "\t\t\t\tError USN 1QP01CS'07 - Bad character ( '). A USN hol\r\n\t\t\t\tds only letters and digits.\r\n"},
        UsnCase{"1QP01C'--", "ERR",
                "\t\t\t\tError USN 1QP01C'-- - Bad character ( '). A USN hold\r\n\t\t\t\ts only letters and digits.\r\n"},
        // a résumé cell has its apostrophe turned into a backquote already
        UsnCase{"1qp01cs`7", "ERR",
                "\t\t\t\tError USN 1QP01CS`7 - Bad character ( `). A USN hold\r\n\t\t\t\ts only letters and digits.\r\n"},
        UsnCase{"1QP01CS 007", "ERR",
                "\t\t\t\tError USN 1QP01CS 007 - Bad character (  ). A USN ho\r\n\t\t\t\tlds only letters and digits.\r\n"},
        UsnCase{"1QP01CS-07", "ERR",
                "\t\t\t\tError USN 1QP01CS-07 - Bad character ( -). A USN hol\r\n\t\t\t\tds only letters and digits.\r\n"},
        UsnCase{"1QP01CSÉ7", "ERR",
                "\t\t\t\tError USN 1QP01CSÉ7 - Bad character ( É). A USN hold\r\n\t\t\t\ts only letters and digits.\r\n"}));

TEST(Usn, ValidateUSNLeavesTheUpperCaseFormWithTheRegionFixInItsArgument)
{
    BranchDatabase db;
    ASSERT_TRUE(db.connected);
    std::string usn = "iqp01cs7";
    EXPECT_EQ(ValidateUSN(db.control, usn), "1QP01CS007");
    EXPECT_EQ(usn, "1QP01CS7");
}

TEST(Usn, ValidateUSNSetsTheBranchOfTheUsn)
{
    BranchDatabase db;
    ASSERT_TRUE(db.connected);
    std::string mca = "1QP01MCA7";
    ValidateUSN(db.control, mca);
    EXPECT_EQ(db.control.run.BranchCodeLen, 3);
    EXPECT_EQ(db.control.run.BranchName, "Master of Computer Applications");
    std::string cs = "1qp01cs7";
    ValidateUSN(db.control, cs);
    EXPECT_EQ(db.control.run.BranchCodeLen, 2);
    EXPECT_EQ(db.control.run.BranchName, "Computer Science");
}

TEST(Usn, ATwoCharacterCodeWinsOverAThreeCharacterCodeThatStartsWithIt)
{
    BranchDatabase db("MC,Mechanical\nMCA,Master of Computer Applications\n");
    ASSERT_TRUE(db.connected);
    std::string usn = "1QP01MCA7";
    EXPECT_EQ(ValidateUSN(db.control, usn), "1QP01MCA7");  // branch MC, roll number "A7" left as typed
    EXPECT_EQ(db.control.run.BranchCodeLen, 2);
    EXPECT_EQ(db.control.run.BranchName, "Mechanical");
}

TEST(Usn, MBAIsRefusedEvenWhenItIsABranch)
{
    BranchDatabase db(kCsMcaBranches + "MBA,Business Administration\n");
    ASSERT_TRUE(db.connected);
    std::string usn = "1qp01mba07";
    EXPECT_EQ(ValidateUSN(db.control, usn), "ERR");
    EXPECT_EQ(db.control.run.BranchCodeLen, kBranchMBA);
    EXPECT_EQ(db.control.run.ErrorText,
              "\t\t\t\tKyt does not yet support MBA resumes.\r\n\t\t\t\tCurrent USN: 1QP01MBA07\r\n");
}

TEST(Usn, ARefusalBeforeTheLookupKeepsThePreviousBranch)
{
    BranchDatabase db;
    ASSERT_TRUE(db.connected);
    std::string mca = "1QP01MCA7";
    ASSERT_EQ(ValidateUSN(db.control, mca), "1QP01MCA07");
    for (std::string refused : {"XQP01CS007", "2QP01CS007", "1QP01CS'07"}) {
        EXPECT_EQ(ValidateUSN(db.control, refused), "ERR");
        EXPECT_EQ(db.control.run.BranchCodeLen, 3) << refused;
        EXPECT_EQ(db.control.run.BranchName, "Master of Computer Applications") << refused;
    }
}

TEST(Usn, AnUnknownBranchSetsItsCodeButKeepsThePreviousName)
{
    BranchDatabase db;
    ASSERT_TRUE(db.connected);
    std::string cs = "1QP01CS007";
    ASSERT_EQ(ValidateUSN(db.control, cs), "1QP01CS007");
    std::string unknown = "1QP01XY007";
    EXPECT_EQ(ValidateUSN(db.control, unknown), "ERR");
    EXPECT_EQ(db.control.run.BranchCodeLen, kBranchUnknown);
    EXPECT_EQ(db.control.run.BranchName, "Computer Science");
}

TEST(Usn, ABadRollNumberStillSetsTheBranch)
{
    BranchDatabase db;
    ASSERT_TRUE(db.connected);
    std::string usn = "1QP01MCA123";
    EXPECT_EQ(ValidateUSN(db.control, usn), "ERR");
    EXPECT_EQ(db.control.run.BranchCodeLen, 3);
}

TEST(Usn, RefusalsAddUpInTheCounters)
{
    BranchDatabase db;
    ASSERT_TRUE(db.connected);
    db.control.run.TotalErrors = 9;
    for (std::string usn : {"XQP01CS007", "1QP01CS007", "1QP01XY007"})
        ValidateUSN(db.control, usn);
    EXPECT_EQ(db.control.run.DocumentErrors, 2);
    EXPECT_EQ(db.control.run.TotalErrors, 11);
}

TEST(Usn, TheCollegeCodeIsComparedExactly)
{
    BranchDatabase db;
    ASSERT_TRUE(db.connected);
    db.control.config.RegionCollegeCode = "1qp";  // as a hand-edited configuration might hold it
    std::string usn = "1qp01cs7";
    EXPECT_EQ(ValidateUSN(db.control, usn), "ERR");
    EXPECT_EQ(db.control.run.ErrorText,
              "\t\t\t\tError USN 1QP01CS7 - Bad college code ( 1QP). Expect\r\n\t\t\t\ting : 1qp\r\n");
}

TEST(Usn, LookupBranchFindsTwoThenThreeCharacterCodes)
{
    BranchDatabase db;
    ASSERT_TRUE(db.connected);
    std::string cs = "1qp01cs007";
    EXPECT_EQ(LookupBranch(db.control, cs), 2);
    EXPECT_EQ(cs, "1qp01cs007");  // not changed
    std::string mca = "1QP01mca07";
    EXPECT_EQ(LookupBranch(db.control, mca), 3);
    std::string mba = "1QP01Mba07";
    EXPECT_EQ(LookupBranch(db.control, mba), kBranchMBA);
    std::string none = "1QP01ZZZ07";
    EXPECT_EQ(LookupBranch(db.control, none), kBranchUnknown);
}

TEST(Usn, ABrokenBranchTableIsReportedWithTheDatabasesReason)
{
    BranchDatabase db;
    ASSERT_TRUE(db.connected);
    db::Failure failure;
    ASSERT_TRUE(db.control.session.Connector->GetCurrentConnection()->exec("DROP TABLE Branch", failure))
        << failure.description;
    std::string usn = "1QP01CS007";
    std::string reason;
    EXPECT_EQ(LookupBranch(db.control, usn, reason), kBranchLookupFailed);
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(ValidateUSN(db.control, usn), "ERR");
    EXPECT_NE(db.control.run.ErrorText.find("Error USN 1QP01CS007 - The Branch table could not be"), std::string::npos)
        << db.control.run.ErrorText;
    EXPECT_EQ(db.control.run.TotalErrors, 1);
}

TEST(UsnWithoutDatabase, NoConnectionIsReportedNotCrashed)
{
    Control control;
    control.config.RegionCollegeCode = "1QP";
    std::string usn = "1QP01CS007";
    EXPECT_EQ(ValidateUSN(control, usn), "ERR");
    EXPECT_EQ(control.run.BranchCodeLen, kBranchLookupFailed);
    EXPECT_EQ(control.run.ErrorText, "\t\t\t\tError USN 1QP01CS007 - The Branch table could not be\r\n"
                                 "\t\t\t\t read: there is no database connection\r\n");
    control.session.Connector = std::make_unique<db::DataConnector>();  // made, never connected
    control.run.ErrorText.clear();
    EXPECT_EQ(ValidateUSN(control, usn), "ERR");
    EXPECT_EQ(control.run.BranchCodeLen, kBranchLookupFailed);
}

TEST(UsnWithoutDatabase, ACodeWithAQuoteNeverReachesTheDatabase)
{
    // With no connection any query would fail; a refused code is not looked up at all.
    Control control;
    for (std::string usn : {"1QP01'CS07", "1QP01C'07", "1QP01X'", "1QP01'"}) {
        EXPECT_EQ(LookupBranch(control, usn), kBranchUnknown) << usn;
    }
    std::string mba = "1QP01MBA'7";  // MBA needs no database either
    EXPECT_EQ(LookupBranch(control, mba), kBranchMBA);
}

struct CourseCase {
    std::string usn;
    std::string course;
};

void PrintTo(const CourseCase& c, std::ostream* out)
{
    *out << testing::PrintToString(c.usn);
}

class CourseTypeCases : public testing::TestWithParam<CourseCase> {};

TEST_P(CourseTypeCases, ClassifiesByCharactersSixToEight)
{
    EXPECT_EQ(CourseType(GetParam().usn), GetParam().course);
}

INSTANTIATE_TEST_SUITE_P(Usn, CourseTypeCases,
                         testing::Values(CourseCase{"1QP01mca07", "MCA"}, CourseCase{"1QP01CS007", "BE"},
                                         CourseCase{"1QP01MBA07", "MBA"}, CourseCase{"1qp01mba", "MBA"},
                                         CourseCase{"1QP01MC", "BE"}, CourseCase{"", "BE"},
                                         CourseCase{"1QP01ÉMCA", "BE"}));

}  // namespace
}  // namespace kyt
