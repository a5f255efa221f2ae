#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "admin/admin_fixture.h"
#include "db/data_connector.h"
#include "extract/extract_resume.h"
#include "extract/usn.h"
#include "db/database.h"
#include "support/db_faults.h"
#include "support/file_size_limit.h"

namespace kyt::test {
namespace {

using admin::Outcome;
using Admin = AdminTest;
using Marks = AdminTest;

admin::MarksEntry entry(const std::string& obtained, const std::string& maximum, const std::string& year = "2001",
                        const std::string& attempts = "1", const std::string& institution = "Corlan")
{
    return {obtained, maximum, year, attempts, institution};
}

// Marks for a semester of 1QP99CS001 whose question, if any, was already answered.
admin::Result updateMarks(Control& control, const std::string& semester)
{
    int16_t skip = 1;
    return admin::UpdateMarks(control, "1QP99CS001", semester, entry("1", "2"), skip);
}

TEST_F(Admin, DeleteStudentUsesTheNormalFormAndRefusesWhatIsNotAStoredUsn)
{
    student("1QP01CS007", {{3, 600, 1000}, {4, 700, 1000}});
    student("1QP01CS008");
    exec("INSERT INTO Marks VALUES ('1QP01EC001', 3, 'X', 1, 2, 50, 'Second', '2001', '1')");  // no Personal row
    const struct { std::string typed; MsgAnswer answer; std::string said; } cases[] = {
        {"1QP01CS0'7", MsgAnswer::Yes, "The USN : 1QP01CS0'7 is invalid "},
        {"1QP01EC001", MsgAnswer::Yes, "The USN : 1QP01EC001 does not exist in the database"},
        {" 1qp01cs7 ", MsgAnswer::No,
         "Are you sure you want to delete the records of \r\n\r\n\tStudent 1QP01CS007\r\n\tUSN - 1QP01CS007 ? "},
    };
    const auto before = tables();
    for (const auto& c : cases) {
        messages.setNextAnswer(c.answer);
        EXPECT_EQ(admin::DeleteStudent(setup.control, c.typed).outcome, Outcome::Refused) << c.typed;
        EXPECT_EQ(messages.last().text, c.said);
    }
    EXPECT_EQ(tables(), before);
    EXPECT_EQ(admin::DeleteStudent(setup.control, "1qp01cs7").outcome, Outcome::Done);
    EXPECT_EQ(messages.last().text, "The record was deleted successfully");
    EXPECT_EQ(setup.rows("SELECT USN FROM Personal UNION ALL SELECT usn FROM Marks"),
              (Table{{"1QP01CS008"}, {"1QP01CS008"}, {"1QP01EC001"}}));
    EXPECT_TRUE(setup.control.run.ErrorText.empty()) << "a refusal must not wait for the next extraction log";
}

TEST_F(Admin, DeleteBatchTakesTheYearOrTheYearAndBranchOnly)
{
    for (const char* usn : {"1QP99CS001", "1QP99CS002", "1QP99EC001", "1QP98CS001", "1QP99MCA01"})
        student(usn);
    student("1QP97EC001", {});  // a batch without marks rows
    // An empty question: refused before it.
    const struct { std::string typed; long students, marks; std::string question; } cases[] = {
        {"%%", 6, 5, ""}, {"9_", 6, 5, ""}, {"2'", 6, 5, ""}, {"99C", 6, 5, ""}, {"99-CS", 6, 5, ""},
        {"99ec", 5, 4, "99EC batch (1 student) ?"},
        {"97", 4, 4, "97 batch (1 student) ?"},
        {" 99 ", 1, 1, "99 batch (3 students) ?"},
    };
    for (const auto& c : cases) {
        messages.clear();
        EXPECT_EQ(admin::DeleteBatch(setup.control, c.typed).outcome,
                  c.question.empty() ? Outcome::Refused : Outcome::Done);
        EXPECT_EQ(students(), c.students) << c.typed;
        EXPECT_EQ(marks(), c.marks) << c.typed;
        EXPECT_EQ(messages.messages().at(0).text,
                  c.question.empty() ? "The text box should have either the year only or year followed by the branch code"
                                     : "Are you sure you want to delete ALL the records of the \r\n" + c.question);
    }
    admin::DeleteBatch(setup.control, "96");
    EXPECT_EQ(messages.last().text, "The Batch 96 does not exist in the database");
}

TEST_F(Admin, AFailedDeleteMarksUpdateOrCommitLeavesEveryTableAsItWasAndRemoveAllKeepsTheBranches)
{
    student("1QP99CS001", {{3, 1, 2}, {4, 1, 2}, {5, 1, 2}, {6, 1, 2}});
    const auto before = tables();
    // Deletes fail on the first semester's row, updates of the aggregates always.
    exec("CREATE TRIGGER fail BEFORE DELETE ON Marks WHEN old.education_level = 3 "
         "BEGIN SELECT RAISE(ABORT, 'injected'); END");
    exec("CREATE TRIGGER failAverage BEFORE UPDATE ON Personal BEGIN SELECT RAISE(ABORT, 'injected'); END");
    const std::string recordNotDeleted = "The record was not deleted - Contact the database administrator";
    const std::string notDeleted = "The records were not deleted - Contact the database administrator";
    const std::string noAverage = "Error Updating average in personal table";
    const struct { admin::Result (*change)(Control&); std::string title, said; } failing[] = {
        {[](Control& c) { return admin::DeleteStudent(c, "1QP99CS001"); }, "Kyt - Error", recordNotDeleted},
        {[](Control& c) { return admin::DeleteBatch(c, "99"); }, "Kyt - Error", notDeleted},
        {[](Control& c) { return admin::DeleteAllRecords(c); }, "Kyt - Error", notDeleted},
        // Marks failing between their row and the aggregates: a row replaced, a row added.
        {[](Control& c) { return updateMarks(c, "2"); }, "Error", noAverage},
        {[](Control& c) { return updateMarks(c, "5"); }, "Error", noAverage},
    };
    for (const auto& f : failing) {
        const admin::Result result = f.change(setup.control);
        EXPECT_EQ(result.outcome, Outcome::Failed);
        EXPECT_NE(result.reason.find("injected"), std::string::npos) << result.reason;
        EXPECT_EQ(messages.last().title, f.title);
        EXPECT_EQ(messages.last().text, f.said);
        EXPECT_EQ(tables(), before);
    }
    exec("DROP TRIGGER fail");
    exec("DROP TRIGGER failAverage");

    // A commit that cannot complete is told as a failure, never success. With the rollback journal a
    // reader elsewhere keeps the commit from taking the file; the write-ahead log lets readers be, so
    // there the log is kept from growing, as on a full disk.
    db::Database& connection = *setup.control.session.Connector->GetCurrentConnection();
    connection.setBusyTimeout(50);
    {
        std::unique_ptr<DatabaseLock> reader;
        std::unique_ptr<FileSizeLimit> fullDisk;
        if (connection.storage().mode == db::JournalMode::WriteAheadLog) {
            db::Failure failure;
            ASSERT_TRUE(connection.checkpoint(failure)) << failure.description;  // the log starts empty
            fullDisk = std::make_unique<FileSizeLimit>(100);
            ASSERT_TRUE(fullDisk->active());
        } else {
            reader = std::make_unique<DatabaseLock>(setup.databasePath, DatabaseLock::Kind::Read);
            ASSERT_TRUE(reader->held());
        }
        EXPECT_EQ(admin::DeleteStudent(setup.control, "1QP99CS001").outcome, Outcome::Failed);
    }
    EXPECT_EQ(messages.last().text, recordNotDeleted);
    EXPECT_EQ(tables(), before);

    EXPECT_EQ(admin::DeleteAllRecords(setup.control).outcome, Outcome::Done);
    EXPECT_EQ(messages.messages().at(messages.messages().size() - 2).text,
              " WARNING : This will remove ALL resume records of the students in the database (1 student) \r\n\r\n"
              "                    Are you sure you want to remove all the records? ");
    EXPECT_EQ(students() + marks(), 0);
    EXPECT_EQ(admin::DeleteAllRecords(setup.control).outcome, Outcome::Done);  // an empty database too
    EXPECT_EQ(messages.last().text, "All the records were deleted successfully");
    EXPECT_EQ(setup.count("SELECT count(*) FROM Branch"), 3);
}

TEST_F(Admin, BranchChangesReachTheBranchListAndTheNextExtraction)
{
    student("1QP99EC001");
    const std::string hostile = "Women's Studies & Design -- %_ \xC3\xA9";
    // No name: delete.
    const struct { std::string code, name, said; admin::Box focus = admin::Box::None; } cases[] = {
        {"", "x", "Branch Code should not be empty", admin::Box::BranchCode},
        {"CV", " ", "Branch Name should not be empty", admin::Box::BranchName},
        {"mba", "Management", "Sorry, MBA data is not supported yet by Kyt v2.8"},
        {" c", "C", "The Branch Code should be atleast 2 characters in length"},
        {"cs", "Again", "The Branch code already exists.\r\nPlease delete the branch CS  and then try again"},
        {"w's", " " + hostile + " ", "The Branch: W'S,  " + hostile + "  was successfully inserted into the database."},
        {"cv ", "Civil", "The Branch: CV,  Civil  was successfully inserted into the database."},
        {"X%", "", " The Branch: X% does not exist in the database."},
        {"ec", "", "The Branch: EC,  Electronics  was successfully deleted.\r\n\r\n You may want delete the batches "
                   "of this branch using the above options"},
    };
    for (const auto& c : cases) {
        const admin::Result result = c.name.empty() ? admin::DeleteBranch(setup.control, c.code)
                                                    : admin::AddBranch(setup.control, c.code, c.name == " " ? "" : c.name);
        EXPECT_EQ(result.focus, c.focus) << c.code;
        EXPECT_EQ(messages.last().text, c.said);
    }
    EXPECT_EQ(setup.rows("SELECT Branch FROM Branch WHERE BranchCode = 'W''S'"), Table{{hostile}});
    EXPECT_EQ(students(), 1);  // the EC student stays
    const auto& codes = setup.control.session.BranchCodes;
    ASSERT_EQ(setup.control.session.BranchCount, 4);
    EXPECT_EQ(std::set<std::string>(codes.begin(), codes.begin() + 4), (std::set<std::string>{"CS", "CV", "MCA", "W'S"}));
    std::string added = "1qp99cv7", removed = "1QP99EC001";
    EXPECT_EQ(ValidateUSN(setup.control, added), "1QP99CV007");
    EXPECT_EQ(ValidateUSN(setup.control, removed), "ERR");

    for (int i = 5; i <= 40; ++i)  // the most the query window can offer
        exec("INSERT INTO Branch VALUES ('B" + std::to_string(i) + "', 'Branch')");
    EXPECT_EQ(admin::AddBranch(setup.control, "ZZ", "One too many").outcome, Outcome::Refused);
    EXPECT_EQ(setup.count("SELECT count(*) FROM Branch"), 40);

    setup.control.session.Connector->CloseConnection();
    EXPECT_EQ(admin::AddBranch(setup.control, "ME", "Mechanical").outcome, Outcome::Failed);
    EXPECT_EQ(messages.last().text.rfind("The database could not be read", 0), 0u) << messages.last().text;
}

TEST_F(Marks, AggregatesAfterAnUpdateEqualThoseOfAFreshExtraction)
{
    // Semesters after the last are not on the résumé.
    const struct { bool mca; int semester, lastSemester; std::string obtained; } cases[] = {
        {false, 2, 5, "455"},  // highest level 7: one_to_4 and one_to_5 change, one_to_6 to 8 stay 2, 0, 0
        {false, 6, 8, "999"},  // one_to_6 to one_to_8
        {true, 3, 6, "123"},   // MCA level 6: one_to_4 onward
    };
    for (const auto& c : cases) {
        TempDir here, there;
        ExtractionSetup updated(here), fresh(there);
        const std::string usn = c.mca ? "1QP01MCA07" : "1QP01CS007", maximum = c.mca ? "800" : "1000";
        const std::string institution = c.mca ? "Dayananda Sagar College" : "R V College of Engineering";
        ResumeForm form = c.mca ? ResumeForm::mca(usn) : ResumeForm::be(usn);
        const int row = c.mca ? 4 : 3;  // semester s is marks row s + 3 (BE) or s + 4 (MCA)
        for (int s = c.lastSemester + 1; s <= 8 && !c.mca; ++s)
            form.setMarks(s + row, "", "", "", "", "", "", "");
        const auto extract = [&](ExtractionSetup& into, const TempDir& dir) {
            form.save(dir.file("resume.docx"));
            ASSERT_EQ(ExtractResume(into.control, dir.file("resume.docx")), kResumeStored) << into.control.run.ErrorText;
        };
        const std::string aggregates = "SELECT one_to_4, one_to_5, one_to_6, one_to_7, one_to_8 FROM Personal";
        extract(updated, here);
        const Table before = updated.rows(aggregates);

        int16_t skip = 1;
        EXPECT_EQ(admin::UpdateMarks(updated.control, usn, std::to_string(c.semester),
                                     entry(c.obtained, maximum, "2001", "1", institution), skip)
                      .outcome,
                  Outcome::Done);
        EXPECT_EQ(skip, -1);
        form.setMarks(c.semester + row, "", c.obtained, maximum, "", "", "2001", "1");
        extract(fresh, there);
        EXPECT_EQ(updated.rows(aggregates), fresh.rows(aggregates)) << usn << " semester " << c.semester;
        EXPECT_NE(updated.rows(aggregates), before);
        const std::string marks = "SELECT * FROM Marks ORDER BY education_level";
        EXPECT_EQ(updated.rows(marks), fresh.rows(marks));
    }
}

TEST_F(Marks, ChecksPointAtTheirBoxAndMarksAreStoredWhole)
{
    student("1QP01CS007");
    const struct { admin::MarksEntry typed; std::string said; admin::Box focus; } refusals[] = {
        {entry("", "100"), "Marks obtained  is invalid or empty", admin::Box::Obtained},
        {entry("4O", "100"), "Marks obtained  is invalid or empty", admin::Box::Obtained},
        {entry("40000", "50000"), "Marks obtained  is invalid or empty", admin::Box::Obtained},
        {entry("-1", "10"), "Marks obtained  is invalid or empty", admin::Box::Obtained},
        {entry("10", "32767.5"), "Max Marks field is invalid or empty", admin::Box::Maximum},
        {entry("0", "0.4"), "Max Marks field is invalid or empty", admin::Box::Maximum},
        {entry("50", "40"), "Marks obtained is greater than MAX marks ! ", admin::Box::Maximum},
        {entry("40", "50", ""), "Year of passing is empty", admin::Box::PassingYear},
        {entry("40", "50", "2001", ""), "Number of attempts is empty", admin::Box::Attempts},
    };
    const auto before = tables();
    for (const auto& c : refusals) {
        int16_t skip = 0;
        const admin::Result result = admin::UpdateMarks(setup.control, "1QP01CS007", "3", c.typed, skip);
        EXPECT_EQ(result.focus, c.focus) << c.said;
        EXPECT_EQ(messages.last().text, c.said);
    }
    EXPECT_EQ(messages.messages().at(0).title, "Kyt v2.8 Error");
    EXPECT_EQ(messages.messages().at(6).title, "Kyt Error");
    int16_t skip = 0;
    EXPECT_EQ(admin::UpdateMarks(setup.control, "1QP01CS008", "3", entry("1", "2"), skip).outcome, Outcome::Refused);
    EXPECT_EQ(messages.last().text, "The USN : 1QP01CS008 does not exist in the database\r\n\r\nPlease extract "
                                    "1QP01CS008 's resume before trying to update it ");
    EXPECT_EQ(tables(), before);

    const std::pair<std::string, std::string> stored[] = {
        {"45.5", "46|46.0|Second"}, {"44.5", "44|44.0|Second"}, {"100", "100|100.0|FCD"}, {" 66.5 ", "66|66.0|First"}};
    for (const auto& [obtained, row] : stored) {
        skip = 1;
        admin::UpdateMarks(setup.control, "1qp01cs007", "4", entry(obtained, "100"), skip);
        EXPECT_EQ(setup.rows("SELECT obtained || '|' || Percentage || '|' || class FROM Marks WHERE education_level = 6"),
                  Table{{row}});
    }
}

TEST_F(Marks, AnExistingRowIsReplacedOnlyAfterTheQuestionAndTypedTextIsStoredAsTyped)
{
    student("1QP01CS007", {{3, 600, 1000}, {4, 700, 1000}, {5, 800, 1000}, {6, 650, 1000}});
    const auto before = tables();
    const admin::MarksEntry typed =
        entry("1", "2", "Jan '05 -- %_", "1' OR '1'='1", "Coll\xC3\xA8ge d'Ing; DROP TABLE Marks --");
    for (MsgAnswer answer : {MsgAnswer::Yes, MsgAnswer::Cancel}) {
        int16_t skip = 0;
        messages.setNextAnswer(answer);
        EXPECT_EQ(admin::UpdateMarks(setup.control, "1QP01CS007", "1", typed, skip).outcome, Outcome::Refused);
        EXPECT_EQ(messages.last().text, "Record already exists.\r\nWould you like to verify its contents ( use Retrieve "
                                        "Details) before you update it ?");
        EXPECT_EQ(skip, 1);
        EXPECT_EQ(tables(), before);
    }
    messages.clear();
    int16_t skip = 1;
    EXPECT_EQ(admin::UpdateMarks(setup.control, "1QP01CS007", "1", typed, skip).outcome, Outcome::Done);
    EXPECT_EQ(messages.messages().size(), 1u) << "replaced without asking again";
    EXPECT_EQ(setup.rows("SELECT PassingYear, Attempts, Institution FROM Marks WHERE education_level = 3"),
              (Table{{typed.PassingYear, typed.Attempts, typed.Institution}}));
    admin::StoredMarks shown;
    EXPECT_EQ(admin::RetrieveMarks(setup.control, "1QP01CS0'7", "1", shown).outcome, Outcome::Refused);
}

}  // namespace
}  // namespace kyt::test
