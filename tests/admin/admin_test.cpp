#include <gtest/gtest.h>

#include <set>

#include "admin/administration.h"
#include "admin/admin_fixture.h"
#include "extract/extract_resume.h"
#include "extract/usn.h"
#include "support/db_faults.h"

namespace kyt::test {
namespace {

using admin::Outcome;
using Admin = AdminTest;

TEST_F(Admin, DeleteStudentUsesTheNormalFormAndRefusesWhatIsNotAStoredUsn)
{
    student("1QP01CS007", {{3, 600, 1000}, {4, 700, 1000}});
    student("1QP01CS008");
    ASSERT_EQ(exec("INSERT INTO Marks VALUES ('1QP01EC001', 3, 'X', 1, 2, 50, 'Second', '2001', '1')"), -13);
    struct Case {
        std::string typed;
        MsgAnswer answer;
        Outcome outcome;
        std::string lastText;
    } cases[] = {
        {"1QP01CS0'7", MsgAnswer::Yes, Outcome::Refused, "The USN : 1QP01CS0'7 is invalid "},
        {"1QP01EC001", MsgAnswer::Yes, Outcome::Refused, "The USN : 1QP01EC001 does not exist in the database"},
        {" 1qp01cs7 ", MsgAnswer::No, Outcome::Refused,
         "Are you sure you want to delete the records of \r\n\r\n\tStudent 1QP01CS007\r\n\tUSN - 1QP01CS007 ? "},
        {" 1qp01cs7 ", MsgAnswer::Yes, Outcome::Done, "The record was deleted successfully"},
    };
    for (const Case& c : cases) {
        messages.clear();
        messages.setNextAnswer(c.answer);
        const Table before = tables();
        EXPECT_EQ(admin::DeleteStudent(setup.control, c.typed).outcome, c.outcome) << c.typed;
        EXPECT_EQ(messages.last().text, c.lastText);
        if (c.outcome != Outcome::Done) {
            EXPECT_EQ(tables(), before) << c.typed;
        }
    }
    EXPECT_EQ(messages.last().title, "Kyt - Success");
    EXPECT_EQ(students("1QP01CS007"), 0);
    EXPECT_EQ(marks("1QP01CS007"), 0);
    EXPECT_EQ(students(), 1);  // 1QP01CS008 stays, and so do the orphan marks of 1QP01EC001
    EXPECT_EQ(marks("1QP01EC001"), 1);
    EXPECT_TRUE(setup.control.ErrorText.empty()) << "the refusal must not wait for the next extraction log";
}

TEST_F(Admin, DeleteBatchTakesTheYearOrTheYearAndBranchOnly)
{
    for (const char* usn : {"1QP99CS001", "1QP99CS002", "1QP99EC001", "1QP98CS001", "1QP99MCA01"})
        student(usn);
    student("1QP97EC001", {});  // a batch without marks rows
    struct Case {
        std::string typed;
        Outcome outcome;
        long studentsLeft, marksLeft;
        std::string question;  // empty: refused before the question
    } cases[] = {
        {"%%", Outcome::Refused, 6, 5, ""}, {"9_", Outcome::Refused, 6, 5, ""}, {"2'", Outcome::Refused, 6, 5, ""},
        {"99C", Outcome::Refused, 6, 5, ""}, {"99-CS", Outcome::Refused, 6, 5, ""}, {"96", Outcome::Refused, 6, 5, ""},
        {"99ec", Outcome::Done, 5, 4, "99EC batch (1 student) ?"},
        {"97", Outcome::Done, 4, 4, "97 batch (1 student) ?"},
        {" 99 ", Outcome::Done, 1, 1, "99 batch (3 students) ?"},
    };
    for (const Case& c : cases) {
        messages.clear();
        EXPECT_EQ(admin::DeleteBatch(setup.control, c.typed).outcome, c.outcome) << c.typed;
        EXPECT_EQ(students(), c.studentsLeft) << c.typed;
        EXPECT_EQ(marks(), c.marksLeft) << c.typed;
        if (c.question.empty())
            continue;
        EXPECT_EQ(messages.messages().at(0).text, "Are you sure you want to delete ALL the records of the \r\n" + c.question);
        EXPECT_EQ(messages.last().text, "The records were deleted successfully");
    }
    messages.clear();
    admin::DeleteBatch(setup.control, "%%");
    EXPECT_EQ(messages.last().text,
              "The text box should have either the year only or year followed by the branch code");
    admin::DeleteBatch(setup.control, "96");
    EXPECT_EQ(messages.last().text, "The Batch 96 does not exist in the database");
}

TEST_F(Admin, RemoveAllCountsTheStudentsAndKeepsTheBranches)
{
    EXPECT_EQ(admin::DeleteAllRecords(setup.control).outcome, Outcome::Done);
    EXPECT_EQ(messages.messages().at(0).text,
              " WARNING : This will remove ALL resume records of the students in the database (0 students) \r\n\r\n"
              "                    Are you sure you want to remove all the records? ");
    EXPECT_EQ(messages.last().text, "All the records were deleted successfully");
    student("1QP01CS001");
    student("1QP01EC001");
    EXPECT_EQ(admin::DeleteAllRecords(setup.control).outcome, Outcome::Done);
    EXPECT_EQ(students() + marks(), 0);
    EXPECT_EQ(setup.count("SELECT count(*) FROM Branch"), 3);
}

TEST_F(Admin, AFailedDeleteOrCommitLeavesEveryTableAsItWas)
{
    student("1QP99CS001", {{3, 1, 2}, {4, 1, 2}});
    student("1QP99CS002");
    const Table before = tables();
    raw("CREATE TRIGGER fail BEFORE DELETE ON Marks BEGIN SELECT RAISE(ABORT, 'injected'); END");
    for (auto remove : {+[](Control& c) { return admin::DeleteStudent(c, "1QP99CS001"); },
                        +[](Control& c) { return admin::DeleteBatch(c, "99"); },
                        +[](Control& c) { return admin::DeleteAllRecords(c); }}) {
        messages.clear();
        const admin::Result result = remove(setup.control);
        EXPECT_EQ(result.outcome, Outcome::Failed);
        EXPECT_NE(result.reason.find("injected"), std::string::npos) << result.reason;
        EXPECT_EQ(messages.last().title, "Kyt - Error");
        EXPECT_EQ(tables(), before);
    }
    EXPECT_EQ(messages.last().text, "The records were not deleted - Contact the database administrator");
    raw("DROP TRIGGER fail");

    // A reader elsewhere keeps the commit from completing: failure told, never success.
    setup.control.Connector->GetCurrentConnection()->setBusyTimeout(50);
    DatabaseLock reader(setup.databasePath, DatabaseLock::Kind::Read);
    ASSERT_TRUE(reader.held());
    messages.clear();
    EXPECT_EQ(admin::DeleteStudent(setup.control, "1QP99CS001").outcome, Outcome::Failed);
    EXPECT_EQ(messages.last().text, "The record was not deleted - Contact the database administrator");
    reader.release();
    EXPECT_EQ(tables(), before);
}

TEST_F(Admin, BranchChangesReachTheBranchListAndTheNextExtraction)
{
    student("1QP99EC001");
    struct Case {
        std::string code, name;
        bool add;
        Outcome outcome;
        std::string lastText;
        admin::Box focus = admin::Box::None;
    } cases[] = {
        {"", "x", true, Outcome::Refused, "Branch Code should not be empty", admin::Box::BranchCode},
        {"CV", "", true, Outcome::Refused, "Branch Name should not be empty", admin::Box::BranchName},
        {"mba", "Management", true, Outcome::Refused, "Sorry, MBA data is not supported yet by Kyt v2.8"},
        {" c", "C", true, Outcome::Refused, "The Branch Code should be atleast 2 characters in length"},
        {"cs", "Again", true, Outcome::Refused,
         "The Branch code already exists.\r\nPlease delete the branch CS  and then try again"},
        {"w's", " Women's Studies & Design -- %_ \xC3\xA9 ", true, Outcome::Done,
         "The Branch: W'S,  Women's Studies & Design -- %_ \xC3\xA9  was successfully inserted into the database."},
        {"cv ", "Civil", true, Outcome::Done, "The Branch: CV,  Civil  was successfully inserted into the database."},
        {"X%", "", false, Outcome::Refused, " The Branch: X% does not exist in the database."},
        {"ec", "", false, Outcome::Done,
         "The Branch: EC,  Electronics  was successfully deleted.\r\n\r\n You may want delete the batches of this "
         "branch using the above options"},
    };
    for (const Case& c : cases) {
        messages.clear();
        const admin::Result result =
            c.add ? admin::AddBranch(setup.control, c.code, c.name) : admin::DeleteBranch(setup.control, c.code);
        EXPECT_EQ(result.outcome, c.outcome) << c.code;
        EXPECT_EQ(result.focus, c.focus) << c.code;
        EXPECT_EQ(messages.last().text, c.lastText);
    }
    EXPECT_EQ(setup.rows("SELECT Branch FROM Branch WHERE BranchCode = 'W''S'").at(0).at(0),
              "Women's Studies & Design -- %_ \xC3\xA9");
    EXPECT_EQ(students(), 1);  // the EC student stays
    const auto& codes = setup.control.BranchCodes;
    ASSERT_EQ(setup.control.BranchCount, 4);
    EXPECT_EQ(std::set<std::string>(codes.begin(), codes.begin() + 4), (std::set<std::string>{"CS", "CV", "MCA", "W'S"}));
    std::string added = "1qp99cv7", removed = "1QP99EC001";
    EXPECT_EQ(ValidateUSN(setup.control, added), "1QP99CV007");
    EXPECT_EQ(ValidateUSN(setup.control, removed), "ERR");

    // A database that cannot be read is told as such, and nothing else happens.
    setup.control.Connector->CloseConnection();
    messages.clear();
    EXPECT_EQ(admin::AddBranch(setup.control, "ME", "Mechanical").outcome, Outcome::Failed);
    EXPECT_EQ(messages.last().text.rfind("The database could not be read", 0), 0u) << messages.last().text;
}

TEST_F(Admin, FortyBranchesAreAsManyAsTheProgramCanOffer)
{
    for (int i = 4; i <= 40; ++i)
        ASSERT_EQ(exec("INSERT INTO Branch VALUES ('B" + std::to_string(i) + "', 'Branch')"), -13);
    EXPECT_EQ(admin::AddBranch(setup.control, "ZZ", "One too many").outcome, Outcome::Refused);
    EXPECT_EQ(setup.count("SELECT count(*) FROM Branch"), 40);
}

}  // namespace
}  // namespace kyt::test
