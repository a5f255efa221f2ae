#include <gtest/gtest.h>

#include "admin/admin_fixture.h"
#include "extract/extract_resume.h"

namespace kyt::test {
namespace {

using admin::Outcome;
using Marks = AdminTest;

admin::MarksEntry entry(const std::string& obtained, const std::string& maximum, const std::string& year = "2001",
                        const std::string& attempts = "1", const std::string& institution = "Corlan")
{
    return {obtained, maximum, year, attempts, institution};
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

TEST_F(Marks, AFailureBetweenTheInsertAndTheAggregatesLeavesEveryTableAsItWas)
{
    student("1QP01CS007", {{3, 600, 1000}, {4, 700, 1000}, {5, 800, 1000}, {6, 650, 1000}});
    const auto before = tables();
    exec("CREATE TRIGGER fail BEFORE UPDATE ON Personal BEGIN SELECT RAISE(ABORT, 'injected'); END");
    for (const std::string semester : {"2", "5"}) {  // a row replaced, a row added
        int16_t skip = 1;
        EXPECT_EQ(admin::UpdateMarks(setup.control, "1QP01CS007", semester, entry("1", "2"), skip).outcome,
                  Outcome::Failed);
        EXPECT_EQ(messages.last().text, "Error Updating average in personal table");
        EXPECT_EQ(tables(), before);
    }
}

}  // namespace
}  // namespace kyt::test
