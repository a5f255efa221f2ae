// The results window's save and its options window, driven through their controls on batch 22 of the
// shared students: 1QP22CS001 Asha and 1QP22EC002 Ravi<tab>Tab, two branches.

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <filesystem>

#include "query/query_windows.h"
#include "query/ui/form6.h"
#include "query/ui/save_to_file.h"
#include "shell/ui/qt_message_service.h"
#include "support/real_dialogs.h"

namespace kyt {
namespace {

class SaveWindows : public test::QueryWindows {
protected:
    void SetUp() override
    {
        test::QueryWindows::SetUp();
        Form4::setOpener(state, "Command3", [this](Form4& f) { SaveResultsToFile(state, f); });
        Form4::setOpener(state, "Command4", [this](Form4& f) { options = Form6::open(state, f); });
        saveFileChooser() = [this](QWidget*, const QString& suggested) {
            suggestedName = suggested.toStdString();
            return QString::fromStdString(answer);
        };
        choose("Combo7", "22");
        choose("Combo5", "USN");
        choose("Combo6", "Ascendingly");
        retrieve();  // USN, Name, Percent1To6 and Email
    }
    void TearDown() override
    {
        delete options.data();
        test::QueryWindows::TearDown();
    }

    void chooseAgain(int untick = -1)  // the options window, a tick box clicked, OK
    {
        test::click(results(), "Command4");
        if (untick >= 0)
            options->Check1(untick)->click();
        test::click(options, "Command2");
    }
    std::string save(const std::string& name)  // what was written
    {
        answer = name.empty() ? std::string() : dir.file(name);
        messages.clear();
        test::click(results(), "Command3");
        return name.empty() ? std::string() : test::readFile(answer);
    }
    QCheckBox* pageBreakBox() { return inResults<QCheckBox>("Check1"); }
    template <class T = QCheckBox>
    T* option(const char* name) { return test::control<T>(options, name); }

    QPointer<Form6> options;
    std::string answer, suggestedName;
};

// A refused choice keeps the options open with the focus on the box to correct; an accepted one reaches the
// saved file and is shown again; Cancel takes nothing.
TEST_F(SaveWindows, TheChoiceIsCheckedReachesTheSavedFileAndIsShownAgain)
{
    test::click(results(), "Command4");
    ASSERT_TRUE(options);
    EXPECT_TRUE(options->Check1(4)->isHidden()) << "four columns: rows 4 to 6 go";
    options->Text1(2)->setText("4");
    test::click(options, "Command2");
    EXPECT_EQ(messages.last().text.rfind("one or more of the sequence number is larger", 0), 0u);
    EXPECT_EQ(options->focusWidget(), options->Text1(2));
    EXPECT_TRUE(options && options->isVisible());
    EXPECT_FALSE(results()->ColsSet) << "a refused choice changes nothing";
    options->Text1(1)->setText("1a");
    EXPECT_EQ(options->Text1(1)->text(), "") << "a sequence box keeps only numbers";
    test::click(options, "Check1_2");
    test::click(options, "Check1_3");
    EXPECT_TRUE(options->Text1(1)->text() == "1" && options->Text1(3)->text().isEmpty()) << "a click renumbers";
    options->Text1(0)->setText("1");
    options->Text1(1)->setText("0");
    option("Check2")->setChecked(true);
    option<QComboBox>("Combo1")->setCurrentIndex(2);
    option("Check3")->setChecked(true);
    test::click(options, "Command2");
    EXPECT_EQ(save("list.txt"), "\r\n\r\nName\tUSN\t\r\nAsha\t1QP22CS001\t\r\n\f\r\nName\tUSN\t\r\nRavi\tTab\t1QP22EC002\t\r\n");
    EXPECT_EQ(messages.last().text, "Information Saved. ");
    EXPECT_TRUE(results()->gridCols == 4 && results()->result().fieldCount() == 4) << "the result shown comes back";

    test::click(results(), "Command4");
    EXPECT_TRUE(options->Text1(0)->text() == "1" && option("Check2")->isChecked() && option("Check3")->isChecked());
    option("Check2")->setChecked(false);
    test::click(options, "Command1");
    EXPECT_TRUE(!options || options->isHidden());
    EXPECT_TRUE(results()->NoTables) << "Cancel takes nothing";
}

// The title reaches the file and the name offered; breaks between branches need the USN column, and the box
// decides only while the officer may change it; a save not made is told with its reason.
TEST_F(SaveWindows, TitleAndPageBreaksReachTheFileOrWhyNot)
{
    const auto pages = [this](const std::string& name) {
        const std::string text = save(name);
        return std::count(text.begin(), text.end(), '\f') + 1;
    };
    inResults<QLineEdit>("Text1")->setText("Final: CS/EC");
    EXPECT_EQ(save("titled.txt").rfind("Final: CS/EC\r\n\r\nUSN Name Percent1To6 Email \r\n", 0), 0u);
    EXPECT_EQ(suggestedName, "Final  CS EC.docx");
    chooseAgain(0);  // no USN
    EXPECT_TRUE(results()->NoPageBreak && pageBreakBox()->isChecked() && !pageBreakBox()->isEnabled());
    chooseAgain(0);  // the USN again, ranked by USN: the box is the officer's again
    EXPECT_TRUE(!results()->NoPageBreak && !pageBreakBox()->isChecked() && pageBreakBox()->isEnabled());
    EXPECT_EQ(pages("unticked.txt"), 2);
    pageBreakBox()->setChecked(true);
    EXPECT_EQ(pages("ticked.txt"), 1);
    pageBreakBox()->setChecked(false);
    choose("Combo5", "aggregate");
    retrieve();
    chooseAgain();  // ranked by the aggregate, the USN gives no breaks back
    EXPECT_TRUE(results()->NoPageBreak && !pageBreakBox()->isEnabled());
    EXPECT_EQ(pages("ranked.txt"), 1);

    messages.clear();
    save("");  // a cancelled dialog ends the save quietly
    EXPECT_TRUE(messages.messages().empty());
    save("list.xlsx");
    EXPECT_EQ(messages.last().text.rfind("Information Not Saved. \r\nResults are saved as .docx", 0), 0u);
    answer = dir.file("students.docx");  // a link to the database
    std::filesystem::create_symlink(database, answer);
    test::click(results(), "Command3");
    EXPECT_EQ(messages.last().text, "Information Not Saved. \r\n" + answer + " is the student database or a file the "
                                    "database engine keeps beside it; it is never written over. Choose another file name.");
}

// "Generate all résumés" empties QueryCondition and another program's query rewrites FreePercent; the window
// still saves exactly the students it shows, once each.
TEST_F(SaveWindows, SavesTheStudentsItShowsWhateverCameAfter)
{
    state.query.QueryCondition.clear();
    db::Failure failure;
    auto other = db::Database::open(database, db::Road::Query, failure);  // another program's query
    ASSERT_TRUE(other && other->setSavedQuery("FreePercent", "SELECT USN as USN_FP, 50 AS Percent2To5 FROM Marks GROUP "
                                              "BY USN", failure)) << failure.description;
    const std::string saved = save("shown.txt");
    EXPECT_EQ(saved.substr(saved.find("\n1QP")), "\n1QP22CS001 Asha 70.00 asha@example.com \r\n\fStudent List\r\nUSN "
                                                   "Name Percent1To6 Email \r\n1QP22EC002 Ravi\tTab 81.00 asha@example.com \r\n");
}

TEST_F(SaveWindows, RealDialogsAnsweredThroughTheirButtons)
{
    saveFileChooser() = nullptr;  // the program's own dialog
    QtMessageService real;
    state.session.Messages = &real;
    test::RealDialogs dialogs;
    dialogs.chooseFile(QString::fromStdString(dir.file("from the dialog"))).click(QMessageBox::Ok).click(QMessageBox::Ok);
    test::click(results(), "Command3");
    test::click(results(), "Command4");
    test::click(options, "Command3");
    state.session.Messages = &messages;
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(1).title, "Success");
    EXPECT_TRUE(std::filesystem::exists(dir.file("from the dialog.docx"))) << "the ending of the type chosen";
    EXPECT_EQ(dialogs.seen().at(2).text.rfind("The Seq No. is used to set the order of how the columns are saved", 0), 0u);
    EXPECT_TRUE(options && options->isVisible()) << "Help leaves the options open";
}

}  // namespace
}  // namespace kyt
