// Re-submitted résumés replacing stored students, and the rejection report students act on.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "db/data_connector.h"
#include "extract/batch_driver.h"
#include "extract/extract_resume.h"
#include "shell/startup.h"
#include "support/extraction_fixture.h"

namespace kyt {
namespace {

namespace fs = std::filesystem;
using test::ExtractionSetup;
using test::ResumeForm;
using test::TempDir;
using Rows = std::vector<std::vector<std::string>>;

struct QuietView : ExtractionView {
    std::function<void(int percent)> onProgress;
    std::string counts;
    void startDocument(const std::string&) override {}
    void setResumeProgress(int percent) override
    {
        if (onProgress)
            onProgress(percent);
    }
    void setDocumentErrors(const std::string&) override {}
    void setTotalErrors(const std::string&) override {}
    void showScannedText(const std::string&) override {}
    void setWholeProgress(int) override {}
    std::string caption() const override { return {}; }
    void setCaption(const std::string&) override {}
    void showNote(const std::string&) override {}
    void showSuccessfulText(const std::string&) override {}
    void showScanningHeading() override {}
    void showComplete() override {}
    void showCounts(const std::string& text) override { counts = text; }
};

// A database with its folder of résumés; each office of a test names its own.
struct Office {
    explicit Office(const std::string& name = "kyt.db") : setup(dir, name) {}
    TempDir dir;
    ExtractionSetup setup;
    QuietView view;

    fs::path folder(const std::string& name)
    {
        const fs::path path = dir.path() / name;
        fs::create_directories(path);
        return path;
    }
    RunResult extract(const fs::path& folder, bool replace)
    {
        RunOptions options;
        options.folder = folder.string();
        options.dontStop = true;
        options.replace = replace;
        return RunExtraction(setup.control, view, options);
    }
    // Every row of one student (Personal, then Marks by level), or of every student.
    Rows student(const std::string& usn)
    {
        Rows rows = setup.rows("SELECT * FROM Personal WHERE USN='" + usn + "'");
        for (auto& row : setup.rows("SELECT * FROM Marks WHERE usn='" + usn + "' ORDER BY education_level"))
            rows.push_back(row);
        return rows;
    }
};

// The student as a later semester's résumé gives it: another name and address, marks up to semester 5.
ResumeForm Resubmitted(const std::string& usn)
{
    ResumeForm form = ResumeForm::be(usn, "shankar rao K");
    form.set(1, 7, 1, "7, 2nd Main, Jayanagar, Bangalore 560011");
    form.setMarks(1, "National High School", "530", "625", "84.8%", "Distinction", "1998", "1");
    form.setMarks(9, "", "", "");  // semester 6 not written yet
    return form;
}

// The rows a résumé gives in a database of its own.
Rows AsExtractedAlone(const ResumeForm& form, const std::string& usn)
{
    Office alone("alone.db");
    form.save((alone.folder("one") / "r.docx").string());
    EXPECT_EQ(alone.extract(alone.folder("one"), false).added, 1);
    return alone.student(usn);
}

TEST(Resubmission, AValidResumeReplacesTheStudentWholeAnInvalidOneLeavesItAsItWas)
{
    Office office;
    const fs::path first = office.folder("first"), again = office.folder("again");
    ResumeForm::be("1QP01CS007").save((first / "a.docx").string());
    ResumeForm::be("1QP01CS008", "lata").save((first / "b.docx").string());
    ASSERT_EQ(office.extract(first, false).added, 2);
    const Rows shankarBefore = office.student("1QP01CS007"), lataBefore = office.student("1QP01CS008");

    // The USN written another way is the same student.
    Resubmitted("1qp01cs7").save((again / "a.docx").string());
    ResumeForm refused = ResumeForm::be("1QP01CS008", "lata K");
    refused.setMarks(8, "", "900", "800");  // semester 5: more than the maximum, after the old rows went
    refused.save((again / "b.docx").string());
    ResumeForm::be("1QP01CS009").save((again / "c.docx").string());

    // Without the option the stored USNs are refused as duplicates, and the message is the usual one.
    const RunResult unchanged = office.extract(again, false);
    EXPECT_EQ(unchanged.rejected, 2);
    EXPECT_EQ(ExtractedToText(office.setup.control), " The resumes were extracted to " + office.setup.databasePath);
    EXPECT_EQ(office.student("1QP01CS007"), shankarBefore);
    office.setup.control.session.Connector->exec("DELETE FROM Marks WHERE usn='1QP01CS009'");
    office.setup.control.session.Connector->exec("DELETE FROM Personal WHERE USN='1QP01CS009'");

    const RunResult result = office.extract(again, true);
    EXPECT_EQ(result.added, 1);
    EXPECT_EQ(result.replaced, 1);
    EXPECT_EQ(result.rejected, 1);
    EXPECT_EQ(office.student("1QP01CS007"), AsExtractedAlone(Resubmitted("1qp01cs7"), "1QP01CS007"));
    EXPECT_EQ(office.student("1QP01CS008"), lataBefore);
    EXPECT_EQ(office.setup.students(), 3);
    EXPECT_EQ(office.view.counts, " New students: 1   Replaced: 1   Refused: 1");
    EXPECT_EQ(ExtractedToText(office.setup.control),
              " The resumes were extracted to " + office.setup.databasePath + "\n\n" + office.view.counts);
}

// Killed while the third of four re-submissions is written (its old rows deleted, its new ones not yet
// committed): the first two are new, the others as they were, none a mixture.
TEST(Resubmission, AKilledRunLeavesEveryStudentOldOrNew)
{
    Office office, reference("reference.db");
    const fs::path first = office.folder("first"), again = office.folder("again");
    const fs::path referenceFolder = reference.folder("again");
    std::vector<std::string> usns;
    for (int k = 1; k <= 4; ++k) {
        const std::string usn = "1QP01CS00" + std::to_string(k);
        usns.push_back(usn);
        ResumeForm::be(usn).save((first / (usn + ".docx")).string());
        Resubmitted(usn).save((again / (usn + ".docx")).string());
        Resubmitted(usn).save((referenceFolder / (usn + ".docx")).string());
    }
    ASSERT_EQ(office.extract(first, false).added, 4);
    ASSERT_EQ(reference.extract(referenceFolder, false).added, 4);
    std::vector<Rows> before;
    for (const auto& usn : usns)
        before.push_back(office.student(usn));

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A connection of the child's own: one is never carried across a fork.
        Control control;
        control.config = office.setup.control.config;
        control.session.AppTitle = "Kyt v2.8";
        test::ScriptedMessages messages;
        control.session.Messages = &messages;
        if (StartUp(control) != StartUpResult::Ready)
            _exit(3);
        QuietView view;
        int started = 0;
        view.onProgress = [&](int percent) {
            started += percent == 3 ? 1 : 0;
            if (started == 3 && percent == 82) {
                (void)!write(ready[1], "k", 1);
                for (;;)
                    pause();
            }
        };
        RunOptions options;
        options.folder = again.string();
        options.replace = true;
        RunExtraction(control, view, options);
        _exit(4);
    }
    char signal = 0;
    ASSERT_EQ(read(ready[0], &signal, 1), 1) << "the child ended before the third résumé";
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    close(ready[0]);
    close(ready[1]);

    for (size_t k = 0; k < usns.size(); ++k) {
        SCOPED_TRACE(usns[k]);
        EXPECT_EQ(office.student(usns[k]), k < 2 ? reference.student(usns[k]) : before[k]);
    }
}

// A minimal RFC 4180 reader: one record per line (the report never breaks a field over lines).
std::vector<std::string> CsvRecord(const std::string& line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"')
            fields.back() += line[++i];
        else if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            fields.emplace_back();
        else
            fields.back() += c;
    }
    EXPECT_FALSE(quoted) << line;
    return fields;
}

TEST(ErrorReport, OneLinePerFaultReadsBackFieldByField)
{
    Office office;
    const fs::path folder = office.folder("resumes");
    ResumeForm::be("2QP01CS001").save((folder / "a.docx").string());
    ResumeForm dob = ResumeForm::be("1QP01CS002", "d'souza, \"jo\"");
    dob.set(1, 3, 1, "32");
    dob.save((folder / "b.docx").string());
    ResumeForm maximum = ResumeForm::be("1QP01CS003");
    maximum.setMarks(5, "", "600", "");
    maximum.save((folder / "c,d.docx").string());
    test::writeFile((folder / "d.docx").string(), "not a document");
    ResumeForm::be("=1+1").save((folder / "e.docx").string());
    ResumeForm::be("1QP01CS006").save((folder / "f.docx").string());
    test::writeFile((folder / kErrorReportName).string(), "an older run's report");

    const RunResult result = office.extract(folder, false);
    ASSERT_EQ(result.rejected, 5);
    const std::string csv = test::readFile((folder / kErrorReportName).string());
    ASSERT_TRUE(csv.starts_with("\xEF\xBB\xBF")) << csv;
    ASSERT_TRUE(csv.ends_with("\r\n"));

    const Rows expected = {
        {"File", "USN", "Name", "Table", "Row", "Cell", "Field", "Reason"},
        {"a.docx", "2QP01CS001", "shankar RAO", "1", "2", "1", "USN",
         "Error USN 2QP01CS001 - Bad college code ( 2QP). Expecting : 1QP"},
        {"b.docx", "1QP01CS002", "d'souza, \"jo\"", "1", "3", "1", "Date of birth", "DOB: 32-11-1982 is invalid"},
        {"c,d.docx", "1QP01CS003", "shankar RAO", "2", "6", "4", "Maximum marks",
         "In Academic Performance table:  Max marks not entered. See row 5"},
        {"d.docx", "", "", "", "", "", "Document",
         "This file does not seem to be a valid format resume as specified in Appendix A of your User manual."},
        {"e.docx", "'=1+1", "shankar RAO", "1", "2", "1", "USN", "Error USN =1+1 - Bad region code ( =)"},
    };
    Rows read;
    size_t at = 3;
    while (at < csv.size()) {
        const size_t end = csv.find("\r\n", at);
        read.push_back(CsvRecord(csv.substr(at, end - at)));
        at = end + 2;
    }
    ASSERT_EQ(read.size(), expected.size()) << csv;
    for (size_t k = 0; k < expected.size(); ++k) {
        if (expected[k][0] == "d.docx")  // the reader's own reason follows the sentence
            read[k][7] = read[k][7].substr(0, expected[k][7].size());
        EXPECT_EQ(read[k], expected[k]);
    }

    // A run that refuses nothing leaves no report behind.
    for (const char* name : {"a.docx", "b.docx", "c,d.docx", "d.docx", "e.docx"})
        fs::remove(folder / name);
    office.setup.control.session.Connector->exec("DELETE FROM Marks");
    office.setup.control.session.Connector->exec("DELETE FROM Personal");
    EXPECT_EQ(office.extract(folder, false).rejected, 0);
    EXPECT_FALSE(fs::exists(folder / kErrorReportName));
}

}  // namespace
}  // namespace kyt
