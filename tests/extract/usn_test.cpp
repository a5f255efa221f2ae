#include "extract/usn.h"

#include <gtest/gtest.h>

#include <string>

#include "db/data_connector.h"
#include "support/extraction_fixture.h"

namespace kyt {
namespace {

// College 1QP, branches CS, EC and MCA.
class Usn : public ::testing::Test {
protected:
    test::TempDir dir;
    test::ExtractionSetup db{dir};
};

TEST_F(Usn, ValidateUSNGivesTheNormalFormOrTheExactRefusal)
{
    const struct {
        std::string typed, result;
        std::string errorText;  // exactly what lands in ErrorText
    } cases[] = {
        {"1qp01cs7", "1QP01CS007", ""},
        {"iqp01cs7", "1QP01CS007", ""},
        {"1QP01MCA7", "1QP01MCA07", ""},
        {"1QP01CSAB", "1QP01CSAB", ""},  // a roll number that is not a number stays as typed
        {"1QP01CS0007", "ERR", "\t\t\t\tError USN 1QP01CS0007 - Bad rollno.\r\n"},
        {"1QP01MCA123", "ERR", "\t\t\t\tError USN 1QP01MCA123 - Bad rollno.\r\n"},
        // without a roll number the USN names no student
        {"1QP22CS", "ERR", "\t\t\t\tError USN 1QP22CS - Bad rollno.\r\n"},
        {"2QP01CS007", "ERR", "\t\t\t\tError USN 2QP01CS007 - Bad college code ( 2QP). Expe\r\n\t\t\t\tcting : 1QP\r\n"},
        {"XQP01CS007", "ERR", "\t\t\t\tError USN XQP01CS007 - Bad region code ( X)\r\n"},
        {"1QP01MBA07", "ERR", "\t\t\t\tKyt does not yet support MBA resumes.\r\n\t\t\t\tCurrent USN: 1QP01MBA07\r\n"},
        {"1QP01XY007", "ERR",
         "\t\t\t\tError USN 1QP01XY007 - Branch code ( XY) not in data\r\n\t\t\t\tbase. 1QP01XY007\r\n"},
        // shorter than six characters: nothing between the brackets
        {"1qp0", "ERR", "\t\t\t\tError USN 1QP0 - Branch code ( ) not in database. 1Q\r\n\t\t\t\tP0\r\n"},
        {"", "ERR", "\t\t\t\tError USN  - Bad region code ( )\r\n"},
        // typed by hand into an administration window: refused before it reaches any SQL
        {"1QP01CS'07", "ERR",
         "\t\t\t\tError USN 1QP01CS'07 - Bad character ( '). A USN hol\r\n\t\t\t\tds only letters and digits.\r\n"},
        {"1QP01CSÉ7", "ERR",
         "\t\t\t\tError USN 1QP01CSÉ7 - Bad character ( É). A USN hold\r\n\t\t\t\ts only letters and digits.\r\n"},
    };
    for (const auto& c : cases) {
        db.control.run = {};
        std::string usn = c.typed;
        EXPECT_EQ(ValidateUSN(db.control, usn), c.result) << c.typed;
        EXPECT_EQ(db.control.run.ErrorText, c.errorText) << c.typed;
        const int32_t refusals = c.result == "ERR" ? 1 : 0;
        EXPECT_EQ(db.control.run.DocumentErrors, refusals) << c.typed;
        EXPECT_EQ(db.control.run.TotalErrors, refusals) << c.typed;
    }
    // The configured college code is compared exactly, as a hand-edited configuration might hold it.
    db.control.run = {};
    db.control.config.RegionCollegeCode = "1qp";
    std::string usn = "1qp01cs7";
    EXPECT_EQ(ValidateUSN(db.control, usn), "ERR");
    EXPECT_EQ(db.control.run.ErrorText,
              "\t\t\t\tError USN 1QP01CS7 - Bad college code ( 1QP). Expect\r\n\t\t\t\ting : 1qp\r\n");

    // The branch found is kept in the run's fields; a two-character code wins over a three-character one that
    // starts with it.
    db.control.config.RegionCollegeCode = "1QP";
    ASSERT_EQ(db.control.session.Connector->exec("INSERT INTO Branch VALUES ('MC', 'Mechanical')"),
              db::DataConnector::kSuccess);
    usn = "1QP01MCA7";
    EXPECT_EQ(ValidateUSN(db.control, usn), "1QP01MCA7");  // roll number "A7" left as typed
    EXPECT_EQ(db.control.run.BranchCodeLen, 2);
    EXPECT_EQ(db.control.run.BranchName, "Mechanical");
}

TEST_F(Usn, ABranchTableThatCannotBeReadIsReportedWithTheReason)
{
    db::Failure failure;
    ASSERT_TRUE(db.control.session.Connector->GetCurrentConnection()->exec("DROP TABLE Branch", failure));
    std::string usn = "1QP01CS007";
    EXPECT_EQ(ValidateUSN(db.control, usn), "ERR");
    EXPECT_NE(db.control.run.ErrorText.find("Error USN 1QP01CS007 - The Branch table could not be"), std::string::npos)
        << db.control.run.ErrorText;
    // A missing table is the database's content, not a failing environment.
    EXPECT_EQ(db.control.session.Connector->EnvironmentFailure(), "");

    Control control;  // no connection at all
    control.config.RegionCollegeCode = "1QP";
    EXPECT_EQ(ValidateUSN(control, usn), "ERR");
    EXPECT_EQ(control.run.BranchCodeLen, kBranchLookupFailed);
    EXPECT_EQ(control.run.ErrorText, "\t\t\t\tError USN 1QP01CS007 - The Branch table could not be\r\n"
                                     "\t\t\t\t read: there is no database connection\r\n");
    // With no connection any query would fail: a code with a quote is not looked up at all.
    for (std::string odd : {"1QP01'CS07", "1QP01C'07", "1QP01X'"})
        EXPECT_EQ(LookupBranch(control, odd), kBranchUnknown) << odd;
    std::string mba = "1QP01MBA'7";  // MBA needs no database either
    EXPECT_EQ(LookupBranch(control, mba), kBranchMBA);
}

}  // namespace
}  // namespace kyt
