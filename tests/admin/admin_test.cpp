#include <gtest/gtest.h>

#include "admin/admin_fixture.h"
#include "db/database.h"
#include "support/db_faults.h"
#include "support/file_size_limit.h"

namespace kyt::test {
namespace {

using admin::Outcome;
using Admin = AdminTest;

// One operation of the administration window on its typed texts.
admin::Result apply(Control& control, char operation, const std::string& typed, const std::string& name)
{
    return operation == 's'   ? admin::DeleteStudent(control, typed)
           : operation == 'b' ? admin::DeleteBatch(control, typed)
           : operation == 'a' ? admin::DeleteAllRecords(control)
           : operation == '+' ? admin::AddBranch(control, typed, name)
                              : admin::DeleteBranch(control, typed);
}

// Each operation takes what the normal form of the typed text names, deletions only after a Yes; the
// first message is the refusal, the question or the outcome, and only a change says "successfully".
TEST_F(Admin, OperationsTakeWhatTheTypedTextNamesAfterTheirChecksAndQuestion)
{
    // 1QP98MCA99 is of batch 98 with roll number 99: deleting batch 99 keeps it.
    for (const char* usn :
         {"1QP01CS007", "1QP99CS001", "1QP99CS002", "1QP99EC001", "1QP98CS001", "1QP99MCA01", "1QP98MCA99"})
        student(usn);
    const std::string hostile = "Women's Studies & Design -- %_ \xC3\xA9",
                      one = "Are you sure you want to delete the records of \r\n\r\n\tStudent 1QP01CS007\r\n"
                            "\tUSN - 1QP01CS007 ? ",
                      batch = "The text box should have either the year only or year followed by the branch code",
                      all = "Are you sure you want to delete ALL the records of the \r\n";
    const auto Yes = MsgAnswer::Yes;
    const struct { char operation; std::string typed, name, said; MsgAnswer answer; long students;
                   admin::Box focus = admin::Box::None; } cases[] = {
        {'+', "", "x", "Branch Code should not be empty", Yes, 7, admin::Box::BranchCode},
        {'+', "CV", "", "Branch Name should not be empty", Yes, 7, admin::Box::BranchName},
        {'+', "mba", "Management", "Sorry, MBA data is not supported yet by Kyt v2.8", Yes, 7},
        {'+', " c", "C", "The Branch Code should be atleast 2 characters in length", Yes, 7},
        {'+', "cs", "Again", "The Branch code already exists.\r\nPlease delete the branch CS  and then try again", Yes, 7},
        {'+', "cv ", " " + hostile + " ", "The Branch: CV,  " + hostile + "  was successfully inserted into the database.",
         Yes, 7},
        {'-', "X%", "", " The Branch: X% does not exist in the database.", Yes, 7},
        {'-', "ec", "", "Are you sure you want to delete the branch EC (Electronics) ?\r\n\r\n1 student carries this "
                        "branch; their records stay in the database.", MsgAnswer::No, 7},
        {'-', "ec", "", "Are you sure you want to delete the branch EC (Electronics) ?\r\n\r\n1 student carries this "
                        "branch; their records stay in the database.", Yes, 7},
        {'s', "1QP01CS0'7", "", "The USN : 1QP01CS0'7 is invalid ", Yes, 7},
        {'s', "1QP01CS009", "", "The USN : 1QP01CS009 does not exist in the database", Yes, 7},
        {'s', " 1qp01cs7 ", "", one, MsgAnswer::No, 7},
        {'s', "1qp01cs7", "", one, Yes, 6},
        {'b', "%%", "", batch, Yes, 6},
        {'b', "99C", "", batch, Yes, 6},
        {'b', "99-CS", "", batch, Yes, 6},
        {'b', "96", "", "The Batch 96 does not exist in the database", Yes, 6},
        {'b', "99ec", "", all + "99EC batch (1 student) ?", Yes, 5},
        {'b', " 99 ", "", all + "99 batch (3 students) ?", Yes, 2},
        {'a', "", "", " WARNING : This will remove ALL resume records of the students in the database (2 students) "
                      "\r\n\r\n                    Are you sure you want to remove all the records? ", Yes, 0},
    };
    for (const auto& c : cases) {
        messages.clear();
        messages.setNextAnswer(c.answer);
        const admin::Result result = apply(setup.control, c.operation, c.typed, c.name);
        EXPECT_EQ(result.focus, c.focus) << c.typed;
        EXPECT_EQ(messages.messages().at(0).text, c.said);
        // Every question that deletes has No as the answer Enter gives.
        if (messages.messages().at(0).buttons == MsgButtons::YesNo) {
            EXPECT_EQ(messages.messages().at(0).defaultAnswer, MsgAnswer::No) << c.said;
        }
        EXPECT_EQ(result.outcome == Outcome::Done, messages.last().text.find("successfully") != std::string::npos);
        EXPECT_EQ(students(), c.students) << c.typed;
        EXPECT_EQ(setup.count("SELECT count(*) FROM Marks"), c.students) << c.typed;  // one marks row each
    }
    EXPECT_TRUE(setup.control.run.ErrorText.empty()) << "a refusal must not wait for the next extraction log";

    for (int i = 4; i <= 40; ++i)  // the most the query window can offer
        exec("INSERT INTO Branch VALUES ('B" + std::to_string(i) + "', 'Branch')");
    EXPECT_EQ(admin::AddBranch(setup.control, "ZZ", "One too many").outcome, Outcome::Refused);
    setup.control.session.Connector->CloseConnection();
    EXPECT_EQ(admin::AddBranch(setup.control, "ME", "Mechanical").outcome, Outcome::Failed);
    EXPECT_EQ(messages.last().text.rfind("The database could not be read", 0), 0u) << messages.last().text;
}

// A semester's update stores its marks whole (a half to the even neighbour) and its texts as typed, and
// recomputes the aggregates from its own up to the highest level stored (MCA semesters start a level later), and only
// those: the others keep their defaults 2, 2, 2, 0, 0.
TEST_F(Admin, AMarksUpdateRecomputesTheAggregatesItAffects)
{
    const std::string year = "Jan '05 -- %_", attempts = "1' OR '1'='1",
                      institution = "Coll\xC3\xA8ge d'Ing; DROP TABLE Marks";
    const struct { std::string usn; int first, last; std::string semester, obtained, stored, aggregates; } cases[] = {
        {"1QP01CS007", 3, 7, "2", "600.5", "600|75|FCD|", "56.25|55|2|0|0"},
        {"1QP01CS008", 3, 10, "6", "719.5", "720|90|FCD|", "2|2|56.67|55.71|55"},
        {"1QP01MCA07", 4, 9, "3", " 800 ", "800|100|FCD|", "62.5|60|58.33|0|0"},
    };
    for (const auto& c : cases) {
        std::vector<std::array<int, 3>> marks;
        for (int level = c.first; level <= c.last; ++level)
            marks.push_back({level, 400, 800});
        student(c.usn, marks);
        int16_t skip = 1;
        const admin::MarksEntry typed{c.obtained, "800", year, attempts, institution};
        EXPECT_EQ(admin::UpdateMarks(setup.control, c.usn, c.semester, typed, skip).outcome, Outcome::Done);
        const std::string where = " WHERE usn = '" + c.usn + "'";
        EXPECT_EQ(setup.joined("SELECT obtained, Percentage, class, PassingYear || Attempts || Institution FROM Marks" +
                               where + " AND obtained <> 400"),
                  c.stored + year + attempts + institution);
        EXPECT_EQ(setup.joined("SELECT one_to_4, one_to_5, one_to_6, one_to_7, one_to_8 FROM Personal" + where),
                  c.aggregates) << c.usn;
    }
}

// Marks checks point at their box, a row is replaced only after the question, and a failed statement or
// commit leaves every table as it was.
TEST_F(Admin, MarksRefusalsAndFailedWritesLeaveEveryTableAsItWas)
{
    student("1QP01CS007", {{3, 600, 1000}, {4, 700, 1000}, {5, 800, 1000}, {6, 650, 1000}});
    const struct { admin::MarksEntry typed; std::string said; admin::Box focus; } refusals[] = {
        {{"4O", "100", "2001", "1"}, "Marks obtained  is invalid or empty", admin::Box::Obtained},
        {{"10", "32767.5", "2001", "1"}, "Max Marks field is invalid or empty", admin::Box::Maximum},
        {{"0", "0.4", "2001", "1"}, "Max Marks field is invalid or empty", admin::Box::Maximum},
        {{"50", "40", "2001", "1"}, "Marks obtained is greater than MAX marks ! ", admin::Box::Maximum},
        {{"40", "50", "", "1"}, "Year of passing is empty", admin::Box::PassingYear},
        {{"40", "50", "2001", ""}, "Number of attempts is empty", admin::Box::Attempts},
    };
    const std::string everything = "SELECT * FROM Personal JOIN Marks USING (usn) ORDER BY education_level";
    const Table before = setup.rows(everything);
    int16_t skip = 0;
    for (const auto& c : refusals) {
        EXPECT_EQ(admin::UpdateMarks(setup.control, "1QP01CS007", "3", c.typed, skip).focus, c.focus) << c.said;
        EXPECT_EQ(messages.last().text, c.said);
    }
    // Semesters are whole numbers of the course's range, as typed; not a level that wraps round to one
    // (an MCA student's semester 7 is the window's).
    for (const char* semester : {"abc", "", "6'", "+6", "1e0", "0", "9", "65542", "99999999999"}) {
        int16_t asked = 1;
        admin::StoredMarks stored;
        EXPECT_EQ(admin::UpdateMarks(setup.control, "1QP01CS007", semester, {"1", "2", "2001", "1"}, asked).focus,
                  admin::Box::Semester) << semester;
        EXPECT_EQ(messages.last().text, "Semester must be a whole number from 1 to 8") << semester;
        EXPECT_EQ(admin::RetrieveMarks(setup.control, "1QP01CS007", semester, stored).outcome, Outcome::Refused);
    }
    const admin::MarksEntry typed{"1", "2", "2001", "1"};
    messages.clear();
    messages.setNextAnswer(MsgAnswer::Yes);  // verify first
    EXPECT_EQ(admin::UpdateMarks(setup.control, "1QP01CS007", "1", typed, skip).outcome, Outcome::Refused);
    ASSERT_EQ(messages.messages().size(), 2u);
    const RecordedMessage& question = messages.messages().at(0);
    EXPECT_EQ(question.text, "Record already exists.\r\nWould you like to verify its contents ( use Retrieve "
                             "Details) before you update it ?");
    EXPECT_EQ(question.defaultAnswer, MsgAnswer::Yes) << "Enter must not replace the stored row";
    EXPECT_EQ(messages.last().text.rfind("Nothing was saved.", 0), 0u) << messages.last().text;

    // Deletes fail on the first semester's marks row, updates of the aggregates always.
    exec("CREATE TRIGGER fail BEFORE DELETE ON Marks WHEN old.education_level = 3 "
         "BEGIN SELECT RAISE(ABORT, 'injected'); END");
    exec("CREATE TRIGGER failAverage BEFORE UPDATE ON Personal BEGIN SELECT RAISE(ABORT, 'injected'); END");
    // Each fails after its first statement: a student's Personal row was deleted, a marks row replaced.
    messages.clear();
    for (const admin::Result& result : {admin::DeleteStudent(setup.control, "1QP01CS007"),
                                        admin::UpdateMarks(setup.control, "1QP01CS007", "2", typed, skip)}) {
        EXPECT_EQ(result.outcome, Outcome::Failed);
        EXPECT_NE(result.reason.find("injected"), std::string::npos) << result.reason;
    }
    const std::string notDeleted = "The record was not deleted - Contact the database administrator";
    EXPECT_EQ(messages.messages().at(1).text, notDeleted);  // after the question
    EXPECT_EQ(messages.last().text, "Error Updating average in personal table");
    exec("DROP TRIGGER fail");
    exec("DROP TRIGGER failAverage");

    // A commit that cannot complete is a failure, never success: a reader elsewhere keeps it from taking the
    // file (rollback journal), or the log cannot grow, as on a full disk (write-ahead log, which lets readers be).
    db::Database& connection = *setup.control.session.Connector->GetCurrentConnection();
    connection.setBusyTimeout(50);
    {
        const bool wal = connection.storage().mode == db::JournalMode::WriteAheadLog;
        db::Failure failure;
        ASSERT_TRUE(!wal || connection.checkpoint(failure)) << failure.description;  // the log starts empty
        DatabaseLock reader(setup.databasePath, DatabaseLock::Kind::Read);
        FileSizeLimit fullDisk(wal ? 100 : RLIM_INFINITY);
        ASSERT_TRUE(reader.held() && (fullDisk.active() || !wal));
        EXPECT_EQ(admin::DeleteStudent(setup.control, "1QP01CS007").outcome, Outcome::Failed);
        EXPECT_EQ(messages.last().text, notDeleted);
        EXPECT_EQ(admin::UpdateMarks(setup.control, "1QP01CS007", "1", typed, skip).outcome, Outcome::Failed);
        EXPECT_EQ(messages.last().text, "Error updating record. ");
    }
    EXPECT_EQ(setup.rows(everything), before);
    messages.clear();
    EXPECT_EQ(admin::UpdateMarks(setup.control, "1QP01CS007", "1", typed, skip).outcome, Outcome::Done);
    EXPECT_EQ(messages.messages().size(), 1u) << "replaced without asking again";
}

}  // namespace
}  // namespace kyt::test
