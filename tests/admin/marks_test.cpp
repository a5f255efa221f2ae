#include <gtest/gtest.h>

#include "admin/admin_fixture.h"
#include "extract/extract_resume.h"

namespace kyt::test {
namespace {

using Marks = AdminTest;

admin::MarksEntry entry(const std::string& obtained, const std::string& maximum, const std::string& year = "2001",
                        const std::string& attempts = "1", const std::string& institution = "Corlan")
{
    return {obtained, maximum, year, attempts, institution};
}

// Semester s of a résumé built by ResumeForm is marks row s + 3 (BE) or s + 4 (MCA).
void extract(ExtractionSetup& setup, const TempDir& dir, const ResumeForm& form)
{
    const std::string path = dir.file("resume.docx");
    form.save(path);
    ASSERT_EQ(ExtractResume(setup.control, path), kResumeStored) << setup.control.ErrorText;
}

TEST_F(Marks, AggregatesAfterAnUpdateEqualThoseOfAFreshExtraction)
{
    struct Case {
        bool mca;
        int semester;
        int lastSemester;  // semesters after it are not on the résumé
        std::string obtained;
        std::vector<std::string> unchanged;  // aggregates the update must leave alone
    } cases[] = {
        {false, 2, 5, "455", {"one_to_6", "one_to_7", "one_to_8"}},  // highest level 7: one_to_4, one_to_5 only
        {false, 6, 8, "999", {"one_to_4", "one_to_5"}},               // one_to_6 to one_to_8
        {true, 3, 6, "123", {}},                                      // MCA level 6: from one_to_4 onward
    };
    for (const Case& c : cases) {
        TempDir here, there;
        ExtractionSetup updated(here), fresh(there);
        const std::string usn = c.mca ? "1QP01MCA07" : "1QP01CS007";
        ResumeForm form = c.mca ? ResumeForm::mca(usn) : ResumeForm::be(usn);
        const int rowOf = c.mca ? 4 : 3, maximum = c.mca ? 800 : 1000;
        for (int s = c.lastSemester + 1; s <= 8 && !c.mca; ++s)
            form.setMarks(s + rowOf, "", "", "", "", "", "", "");
        extract(updated, here, form);
        const std::string institution = c.mca ? "Dayananda Sagar College" : "R V College of Engineering";
        const auto aggregates = [&](ExtractionSetup& s) {
            return s.rows("SELECT one_to_4, one_to_5, one_to_6, one_to_7, one_to_8 FROM Personal");
        };
        const Table before = aggregates(updated);

        int16_t skip = 1;
        ASSERT_EQ(admin::UpdateMarks(updated.control, usn, std::to_string(c.semester),
                                     entry(c.obtained, std::to_string(maximum), "2001", "1", institution), skip)
                      .outcome,
                  admin::Outcome::Done);
        EXPECT_EQ(updated.messages.last().text, " Update successful ");
        EXPECT_EQ(skip, -1);

        form.setMarks(c.semester + rowOf, "", c.obtained, std::to_string(maximum), "", "", "2001", "1");
        extract(fresh, there, form);
        EXPECT_EQ(aggregates(updated), aggregates(fresh)) << usn << " semester " << c.semester;
        EXPECT_NE(aggregates(updated), before);
        const std::string marks = "SELECT * FROM Marks ORDER BY education_level";
        EXPECT_EQ(updated.rows(marks), fresh.rows(marks));
        for (const std::string& column : c.unchanged)
            EXPECT_EQ(updated.rows("SELECT " + column + " FROM Personal"), fresh.rows("SELECT " + column + " FROM Personal"));
    }
}

TEST_F(Marks, WholeMarksPercentAndClassAsStored)
{
    student("1QP01CS007", {{3, 600, 1000}});
    struct Case {
        std::string obtained, maximum, stored;
    } cases[] = {{"45.5", "100", "46|100|46.0|Second"}, {"44.5", "100", "44|100|44.0|Second"},
                 {"100", "100", "100|100|100.0|FCD"}, {" 2.5 ", "3", "2|3|66.67|First"}};
    for (const Case& c : cases) {
        int16_t skip = 1;
        EXPECT_EQ(admin::UpdateMarks(setup.control, "1qp01cs007", "4", entry(c.obtained, c.maximum), skip).outcome,
                  admin::Outcome::Done);
        const auto row = setup.rows("SELECT obtained || '|' || max || '|' || Percentage || '|' || class FROM Marks "
                                    "WHERE education_level = 6");
        EXPECT_EQ(row.at(0).at(0), c.stored) << c.obtained;
    }
}

TEST_F(Marks, RefusalsPointAtTheirBoxAndWriteNothing)
{
    student("1QP01CS007");
    struct Case {
        admin::MarksEntry typed;
        std::string text;
        admin::Box focus;
    } cases[] = {
        {entry("", "100"), "Marks obtained  is invalid or empty", admin::Box::Obtained},
        {entry("4O", "100"), "Marks obtained  is invalid or empty", admin::Box::Obtained},
        {entry("40000", "50000"), "Marks obtained  is invalid or empty", admin::Box::Obtained},
        {entry("10", "32767.5"), "Max Marks field is invalid or empty", admin::Box::Maximum},
        {entry("0", "0.4"), "Max Marks field is invalid or empty", admin::Box::Maximum},
        {entry("-1", "10"), "Marks obtained  is invalid or empty", admin::Box::Obtained},
        {entry("50", "40"), "Marks obtained is greater than MAX marks ! ", admin::Box::Maximum},
        {entry("40", "50", ""), "Year of passing is empty", admin::Box::PassingYear},
        {entry("40", "50", "2001", ""), "Number of attempts is empty", admin::Box::Attempts},
        {entry("40", "50"), "The USN : 1QP01CS008 does not exist in the database\r\n\r\nPlease extract 1QP01CS008 's "
                            "resume before trying to update it ", admin::Box::None},
    };
    const Table before = tables();
    for (const Case& c : cases) {
        int16_t skip = 0;
        const std::string usn = c.focus == admin::Box::None ? "1QP01CS008" : "1QP01CS007";
        const admin::Result result = admin::UpdateMarks(setup.control, usn, "3", c.typed, skip);
        EXPECT_EQ(result.outcome, admin::Outcome::Refused) << c.text;
        EXPECT_EQ(result.focus, c.focus) << c.text;
        EXPECT_EQ(messages.last().text, c.text);
    }
    EXPECT_EQ(messages.messages().at(0).title, "Kyt v2.8 Error");
    EXPECT_EQ(messages.messages().at(6).title, "Kyt Error");
    EXPECT_EQ(tables(), before);
}

TEST_F(Marks, ExistingRowIsReplacedOnlyAfterTheQuestionAndTypedTextIsStoredAsTyped)
{
    student("1QP01CS007", {{3, 600, 1000}, {4, 700, 1000}, {5, 800, 1000}, {6, 650, 1000}});
    const Table before = tables();
    int16_t skip = 0;
    const admin::MarksEntry typed = entry("1", "2", "Jan '05 -- %_", "1' OR '1'='1", "Coll\xC3\xA8ge d'Ing; DROP TABLE Marks --");
    for (MsgAnswer answer : {MsgAnswer::Yes, MsgAnswer::Cancel}) {
        skip = 0;
        messages.setNextAnswer(answer);
        EXPECT_EQ(admin::UpdateMarks(setup.control, "1QP01CS007", "1", typed, skip).outcome, admin::Outcome::Refused);
        EXPECT_EQ(messages.last().text, "Record already exists.\r\nWould you like to verify its contents ( use Retrieve "
                                        "Details) before you update it ?");
        EXPECT_EQ(skip, 1);
        EXPECT_EQ(tables(), before);
    }
    messages.clear();
    EXPECT_EQ(admin::UpdateMarks(setup.control, "1QP01CS007", "1", typed, skip).outcome, admin::Outcome::Done);
    EXPECT_EQ(messages.messages().size(), 1u) << "replaced without asking again";
    EXPECT_EQ(setup.rows("SELECT PassingYear, Attempts, Institution FROM Marks WHERE education_level = 3").at(0),
              (std::vector<std::string>{typed.PassingYear, typed.Attempts, typed.Institution}));

    admin::StoredMarks stored;
    EXPECT_EQ(admin::RetrieveMarks(setup.control, " 1qp01cs007", "1", stored).outcome, admin::Outcome::Done);
    EXPECT_EQ(stored.name, "Student 1QP01CS007");
    EXPECT_EQ(stored.marks.Institution, typed.Institution);
    EXPECT_EQ(admin::RetrieveMarks(setup.control, "1QP01CS007", "7", stored).outcome, admin::Outcome::Done);
    EXPECT_FALSE(stored.rowFound);
    EXPECT_EQ(stored.marks.Institution, "Corlan");
    EXPECT_EQ(admin::RetrieveMarks(setup.control, "1QP01CS0'7", "1", stored).outcome, admin::Outcome::Refused);
}

TEST_F(Marks, AFailureBetweenTheInsertAndTheAggregatesLeavesEveryTableAsItWas)
{
    student("1QP01CS007", {{3, 600, 1000}, {4, 700, 1000}, {5, 800, 1000}, {6, 650, 1000}});
    const Table before = tables();
    raw("CREATE TRIGGER fail BEFORE UPDATE ON Personal BEGIN SELECT RAISE(ABORT, 'injected'); END");
    for (const std::string semester : {"2", "5"}) {  // a row replaced, a row added
        int16_t skip = 1;
        const admin::Result result = admin::UpdateMarks(setup.control, "1QP01CS007", semester, entry("1", "2"), skip);
        EXPECT_EQ(result.outcome, admin::Outcome::Failed);
        EXPECT_EQ(messages.last().text, "Error Updating average in personal table");
        EXPECT_EQ(tables(), before);
    }
}

}  // namespace
}  // namespace kyt::test
