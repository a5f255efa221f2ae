#include "merge/generate_resumes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "db/database.h"
#include "db/seed.h"
#include "merged_docx.h"
#include "support/scripted_messages.h"
#include "support/temp_dir.h"
#include "support/zip_bytes.h"

namespace kyt {
namespace {

namespace fs = std::filesystem;

std::string line(const std::string& label, const std::string& code)
{
    return R"(<w:p><w:r><w:t xml:space="preserve">)" + label + R"(: </w:t></w:r><w:r><w:fldChar w:fldCharType="begin"/>)"
           R"(</w:r><w:r><w:instrText xml:space="preserve">)" + code + R"(</w:instrText></w:r><w:r><w:fldChar )"
           R"(w:fldCharType="separate"/></w:r><w:r><w:t>x</w:t></w:r><w:r><w:fldChar w:fldCharType="end"/></w:r></w:p>)";
}

// A company's format as officers make it: CTRL+F9 fields holding a column name, one DATE field between.
const std::string kFormat = line("Name", " Name ") + line("USN", " USN ") + line("Printed", " DATE \\@ \"yyyy\" ") +
                            line("Aggregate", " Percent1To6 ") + line("Sem 1-4", " one_to_4 ") + line("Sem 1-6", " one_to_6 ");

class GenerateResumesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        control.config.DatabasePath = test::makeDatabase(dir);
        control.session.Messages = &messages;
        control.session.AppTitle = "Kyt v2.8";
        db::Failure failure;
        auto database = db::Database::open(control.config.DatabasePath, db::Road::Connector, failure);
        ASSERT_TRUE(database) << failure.description;
        // Stored out of USN order; the third student has no semester marks, so no FreePercent row.
        for (const auto& [usn, name, obtained] : {std::tuple{"1RV22CS003", "Chitra", 70}, std::tuple{"1RV22CS001", "Asha", 90},
                                                  std::tuple{"1RV22EC002", "Bhavana", 0}}) {
            ASSERT_TRUE(database->exec(test::personalInsert({.usn = usn, .name = name}), failure)) << failure.description;
            for (int level = 3; obtained > 0 && level <= 8; ++level)
                ASSERT_TRUE(database->exec(test::marksInsert(usn, level, obtained, 100), failure));
        }
        // Asha's running aggregate of four semesters is on record; the others keep their starting values.
        ASSERT_TRUE(database->exec("UPDATE personal set one_to_4=90 where usn = '1RV22CS001'", failure));
        hooks.ShowProgress = [this](int16_t p) { progress.push_back(p); };
        hooks.HideMainMenu = [this] { events += "hide-menu "; };
        hooks.ShowMainMenu = [this] { events += "show-menu "; };
        hooks.ShowQueryResults = [this] { events += "show-results "; };
        hooks.AskOutputFile = [this](const std::string& title, const std::string&) {
            events += "dialog(" + title + ") ";
            return answer;
        };
        writeTarget(kFormat);
    }

    void writeTarget(const std::string& body)
    {
        targetBytes = test::docxWithBody(body);
        test::writeFile(dir.file("Infosys format.docx"), targetBytes);
    }

    GenerateResult run(const GenerateOptions& options = {})
    {
        messages.clear();
        progress.clear();
        events.clear();
        return GenerateResumes(control, dir.path().string(), "Infosys format.docx", hooks, options);
    }

    void expectOneMessage(const std::string& title, const std::string& text, MsgIcon icon)
    {
        ASSERT_EQ(messages.messages().size(), 1u);
        EXPECT_EQ(messages.last().title, title);
        EXPECT_EQ(messages.last().text, text);
        EXPECT_EQ(messages.last().icon, icon);
        EXPECT_EQ(test::readFile(dir.file("Infosys format.docx")), targetBytes) << "the target is never changed";
    }

    std::string mergeQuerySql()
    {
        db::Failure failure;
        auto database = db::Database::open(control.config.DatabasePath, db::Road::Query, failure);
        std::string sql;
        EXPECT_TRUE(database && database->savedQuery("MergeQuery", sql, failure)) << failure.description;
        return sql;
    }

    test::TempDir dir;
    test::ScriptedMessages messages;
    Control control;
    GenerateHooks hooks;
    std::vector<int16_t> progress;
    std::string events, answer, targetBytes;
};

// From the main menu: the dialog's file, or without a dialog the default name in the documents folder.
TEST_F(GenerateResumesTest, FromTheMainMenuEveryStudentComesOutOnceInUsnOrder)
{
    // The documents folder is looked for under HOME; the test's folder stands in for it, even when an
    // assertion ends the test early.
    struct Home {
        std::string saved = std::getenv("HOME") ? std::getenv("HOME") : "/";
        ~Home() { setenv("HOME", saved.c_str(), 1), unsetenv("XDG_CONFIG_HOME"); }
    } home;
    setenv("HOME", dir.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
    fs::create_directories(dir.file("Documents"));
    for (const std::string& chosen : {dir.file("all.docx"), std::string()}) {
        answer = chosen;
        if (chosen.empty())
            hooks.AskOutputFile = nullptr;  // no dialog at all (kyt-cli without --out)
        const GenerateResult result = run();
        ASSERT_EQ(result.outcome, GenerateOutcome::Written) << result.description;
        EXPECT_EQ(result.output, chosen.empty() ? dir.file("Documents/Selected_Resumes_By_Kyt___.docx") : chosen);
        EXPECT_EQ(progress, (std::vector<int16_t>{3, 8, 24, 29, 35, 38, 70, 75, 80, 87, 100}));
        EXPECT_EQ(events, chosen.empty() ? "hide-menu show-menu show-results "
                                         : "hide-menu dialog(Please give a filename) show-menu show-results ");
        expectOneMessage("Success.", " The generated resumes were saved at " + result.output, MsgIcon::Information);
        const std::string text = test::MergedDocx(result.output).bodyText();
        const size_t asha = text.find("Name: Asha\nUSN: 1RV22CS001\n");
        const size_t chitra = text.find("Name: Chitra\nUSN: 1RV22CS003\n");
        const size_t bhavana = text.find("Name: Bhavana\nUSN: 1RV22EC002\nPrinted: ");
        EXPECT_TRUE(asha < chitra && chitra < bhavana && bhavana != std::string::npos) << text;
        EXPECT_NE(text.find("Aggregate: 90.00\nSem 1-4: 90\nSem 1-6: \n"), std::string::npos) << text;
        EXPECT_NE(text.find("Bhavana\nUSN: 1RV22EC002\nPrinted: "), std::string::npos) << text;
        EXPECT_EQ(text.find(": 2\n"), std::string::npos) << "a starting value is no aggregate\n" << text;
        EXPECT_NE(text.find(" DATE "), std::string::npos) << "the DATE field stays a field";
    }
    for (const auto& entry : fs::directory_iterator(dir.path()))  // written under a name of its own, then renamed
        EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
    EXPECT_EQ(mergeQuerySql(), MergeSql(""));
}

// The selection a results window keeps is merged as it was made, though "Generate all résumés" has emptied
// QueryCondition and another query has rewritten FreePercent since.
TEST_F(GenerateResumesTest, ASelectionGivesOneFilePerStudentNamedFromUsnAndName)
{
    EXPECT_EQ(MergeSql(" where personal.usn = 'a' AND Personal.Name = 'b' and personal.personal.x ORDER BY USN"),
              "SELECT * FROM ser, FreePercent  where ser.usn = 'a' AND Personal.Name = 'b' and ser.ser.x ORDER BY USN");
    const Selection shown{
        " where (Percent1To6 >= 60 )  AND ( usn like '*22CS*') AND not exists ( select class  from  Marks where "
        "marks.usn = personal.usn AND  marks.education_level >= 3  AND  (marks.class = 'Second') )  AND (usn = "
        "Freepercent.usn_FP)  ORDER BY Percent1To6 DESC",
        "SELECT USN as USN_FP, Count(*) as SemsCount, format(sum(obtained)/sum(max) * 100,'0.00') AS Percent1To6 From "
        "marks Where education_Level >=2 + 1+ 0 And education_Level <= 2 + 6+ 0 GROUP BY USN"};
    db::Failure failure;
    auto other = db::Database::open(control.config.DatabasePath, db::Road::Query, failure);  // another program's query
    ASSERT_TRUE(other && other->setSavedQuery("FreePercent", "SELECT USN as USN_FP, 1 AS Percent2To5 FROM Marks GROUP BY "
                                              "USN", failure)) << failure.description;
    fs::create_directories(dir.file("each"));
    const GenerateResult result =
        run({.selection = shown, .outputFile = dir.file("all.docx"), .perStudentFolder = dir.file("each")});
    ASSERT_EQ(result.outcome, GenerateOutcome::Written) << result.description;
    EXPECT_EQ(events, "hide-menu show-menu show-results ");
    EXPECT_EQ(messages.last().text, " The generated resumes were saved at " + dir.file("all.docx") + " and in " + dir.file("each"));
    EXPECT_EQ(result.files.size(), 3u);
    const std::string both = test::MergedDocx(dir.file("all.docx")).bodyText();
    EXPECT_LT(both.find("1RV22CS001"), both.find("1RV22CS003"));
    EXPECT_NE(mergeQuerySql().find("marks.usn = ser.usn"), std::string::npos);
    for (const std::string file : {"1RV22CS001_Asha.docx", "1RV22CS003_Chitra.docx"})
        EXPECT_NE(test::MergedDocx(dir.file("each/" + file)).bodyText().find(file.substr(0, 10)), std::string::npos) << file;
    EXPECT_FALSE(fs::exists(dir.file("each/1RV22EC002_Bhavana.docx")));
    EXPECT_EQ(StudentFileName("1RV22CS001", "A/B: \"C\"?. "), "1RV22CS001_A_B_ _C__");
    // Bidirectional and other format controls go: after U+202E a name shows its ending turned around.
    EXPECT_EQ(StudentFileName("1RV22CS001", "Asha\u202Excod\u200B\u2066\u00AD\x7F"), "1RV22CS001_Ashaxcod_");
}

// A query of 510 characters is merged, counted in characters ("é" takes two bytes); one more is refused
// before the target is read.
TEST_F(GenerateResumesTest, FailuresRefusalsAndFieldErrorsAreToldAndWriteNothing)
{
    const std::string head = "SELECT * FROM ser, FreePercent ",
                      condition = " where (usn = Freepercent.usn_FP) AND Name <> 'Ren\xC3\xA9" "e' ORDER BY USN";
    control.query.QueryCondition = condition + std::string(510 + 1 - head.size() - condition.size(), ' ');
    ASSERT_EQ(MergeSql(control.query.QueryCondition).size(), 511u);
    EXPECT_EQ(run({.outputFile = dir.file("510.docx")}).outcome, GenerateOutcome::Written);
    const std::string failed = " Errors have occured: \r\n", hint = "\r\n\r\n1. Maybe the target document has an invalid "
                               "field \r\n2. In a few cases, closing Kyt and reopening it may solve the problem. ";
    const std::string asked = "hide-menu dialog(Please give a filename) show-menu ";
    const struct {
        std::string body, condition, output, title, text;
        std::vector<int16_t> steps;
        std::string events;
    } cases[] = {
        {"<w:p><w:r><w:t>Dear sir</w:t></w:r></w:p>", "", "never.docx", "Kyt v2.8 - Error",
         failed + "The target document has no fields." + hint, {3, 8, 24, 0}, asked},
        {line("Salary", " MERGEFIELD Salary ") + kFormat, "", "never.docx", " Kyt v2.8 - Error ",
         " There are errors in the fields of the target document: Infosys format.docx Please correct them.\r\n"
         "Fields that are not columns of the selected students: Salary",
         {3, 8, 24, 29, 35, 38, 70, 100}, asked + "show-results "},
        {kFormat, control.query.QueryCondition + " ", "never.docx", "Kyt v2.8 - Error.",
         "The query string has become > 510 characters. \r\nTry and enter only a part of a word in the two constraints "
         "field.\r\n For example, Instead of typing 'oracle' on project field you can type 'ora'.",
         {3, 100}, "hide-menu show-menu show-results "},
        {kFormat, " where (usn = Freepercent.usn_FP) AND Name = 'Nobody' ORDER BY USN", "never.docx", "Kyt v2.8 - Error",
         failed + "No student matches the selection; there is nothing to merge." + hint,
         {3, 8, 24, 29, 35, 38, 70, 0}, asked},
        {kFormat, "", "Infosys format.docx", "Kyt v2.8 - Error",
         failed + dir.file("Infosys format.docx") + " is the target format document; it is never written over. Choose "
                  "another file name." + hint,
         {3, 8, 0}, asked},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        writeTarget(c.body);
        control.query.QueryCondition = c.condition;
        answer = dir.file(c.output);
        EXPECT_NE(run().outcome, GenerateOutcome::Written);
        EXPECT_FALSE(fs::exists(dir.file("never.docx")));
        EXPECT_EQ(progress, c.steps);
        EXPECT_EQ(events, c.events);
        expectOneMessage(c.title, c.text, MsgIcon::Critical);
    }
    messages.clear();  // a cancelled save dialog ends the generation quietly
    answer.clear();
    EXPECT_EQ(run().outcome, GenerateOutcome::Cancelled);
    EXPECT_TRUE(messages.messages().empty());
    EXPECT_EQ(events, asked + "show-results ");
    EXPECT_EQ(progress, (std::vector<int16_t>{3, 8, 0}));
    answer = dir.file("no-such-folder/never.docx");  // a write that fails names the file
    EXPECT_EQ(run().outcome, GenerateOutcome::Failed);
    EXPECT_NE(messages.last().text.find(answer), std::string::npos) << messages.last().text;
}

}  // namespace
}  // namespace kyt
