#include <QApplication>
#include <QMessageBox>

#include "save_windows.h"
#include "shell/ui/qt_message_service.h"
#include <QPushButton>

#include "support/real_dialogs.h"

using namespace kyt;
using kyt::test::SaveWindows;

namespace {

using Texts = std::vector<std::string>;

}  // namespace

class Form6Test : public SaveWindows {
protected:
    void open()
    {
        options = Form6::open(state, *results);
        ASSERT_TRUE(options);
    }
    // Sets row i's tick and sequence text as a user leaves them (no renumbering click).
    void set(int i, bool ticked, const std::string& text)
    {
        options->Check1(i)->setChecked(ticked);
        options->Text1(i)->setText(QString::fromStdString(text));
    }
    Texts sequences(int rows)
    {
        Texts texts;
        for (int i = 0; i < rows; ++i)
            texts.push_back(options->Text1(i)->text().toStdString());
        return texts;
    }
    bool stillOpen() { return options && options->isVisible(); }
};

TEST_F(Form6Test, SequenceNumbersAreCheckedBeforeAnythingIsTakenOver)
{
    showResult();
    struct Case {
        const char* what;
        std::vector<std::pair<bool, std::string>> rows;  // USN, Name, Percent1To6, Email
        int16_t result;
        std::string text;
        std::string title;
        std::string focus;
        std::array<std::string, 4> order;
    } cases[] = {
        {"any arrangement of 0 to n-1", {{true, "2"}, {true, "0"}, {true, "1"}, {false, "3"}}, 0, "", "", "",
         {"Name", "Percent1To6", "USN", ""}},
        {"halves go to the even neighbour", {{true, "0.5"}, {true, "1.5"}, {true, "2"}, {false, ""}}, -22,
         "One or more fields has the same sequence number. please correct it", "Kyt Error", "Text1_2"},
        {"a gap", {{true, "0"}, {true, "1"}, {true, "3"}, {false, ""}}, -21,
         "one or more of the sequence number is larger than the number of selected fields\r\n"
         "Max sequence number for this selection is 2",
         "", "Text1_2"},
        {"a number given twice", {{true, "0"}, {true, "1"}, {true, "1"}, {false, "1"}}, -22,
         "One or more fields has the same sequence number. please correct it", "Kyt Error", "Text1_2"},
        {"a negative number", {{true, "-1"}, {true, "0"}, {true, "1"}, {false, ""}}, -21,
         "one or more of the sequence number is larger than the number of selected fields\r\n"
         "Max sequence number for this selection is 2",
         "", "Text1_0"},
        {"nothing ticked", {{false, ""}, {false, ""}, {false, ""}, {false, ""}}, -21,
         "Please select atleast one field", "", "Check1_0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        results->InitSelection();
        const auto before = results->ColumnNameBySequence;
        open();
        for (int i = 0; i < 4; ++i)
            set(i, c.rows[static_cast<size_t>(i)].first, c.rows[static_cast<size_t>(i)].second);
        messages.clear();
        EXPECT_EQ(setColumnSelections(*results, *options, state), c.result);
        if (c.result == 0) {
            EXPECT_TRUE(messages.messages().empty());
            EXPECT_TRUE(results->ColsSet);
            EXPECT_EQ(results->TotalSelections, 3);
            for (int k = 0; k < 4; ++k)
                EXPECT_EQ(results->ColumnNameBySequence[k], c.order[static_cast<size_t>(k)]);
        } else {
            ASSERT_EQ(messages.messages().size(), 1u);
            EXPECT_EQ(messages.last().text, c.text);
            EXPECT_EQ(messages.last().title, c.title);
            EXPECT_EQ(messages.last().icon, MsgIcon::Critical);
            EXPECT_EQ(options->focusWidget() ? options->focusWidget()->objectName().toStdString() : "", c.focus);
            EXPECT_FALSE(results->ColsSet) << "a refused choice changes nothing";
            EXPECT_EQ(results->ColumnNameBySequence, before);
            test::click(options, "Command2");
            EXPECT_TRUE(stillOpen()) << "the window stays open for the correction";
        }
        delete options.data();
    }
}

TEST_F(Form6Test, UsnLeftOutMeansNoPageBreaksWhateverTheRanking)
{
    showResult(true);
    ASSERT_TRUE(pageBreakBox()->isEnabled());
    ASSERT_FALSE(results->NoPageBreak);
    open();
    test::click(options, "Check1_0");
    EXPECT_EQ(sequences(4), (Texts{"", "0", "1", "2"})) << "a click renumbers the ticked boxes";
    test::click(options, "Command2");
    EXPECT_FALSE(stillOpen());
    EXPECT_TRUE(results->NoPageBreak);
    EXPECT_TRUE(pageBreakBox()->isChecked());
    EXPECT_FALSE(pageBreakBox()->isEnabled());

    // Ticked again, the box is the user's again (a result ranked by USN).
    open();
    test::click(options, "Check1_0");
    test::click(options, "Command2");
    EXPECT_FALSE(results->NoPageBreak);
    EXPECT_TRUE(pageBreakBox()->isEnabled());
    EXPECT_FALSE(pageBreakBox()->isChecked());
}

TEST_F(Form6Test, ChoiceIsShownAgainAtTheNextOpeningAndCancelTakesNothing)
{
    showResult();
    open();
    // Four columns: rows 4 to 6 are not there.
    for (int i = 4; i < 7; ++i) {
        EXPECT_TRUE(options->Check1(i)->isHidden());
        EXPECT_FALSE(options->Text1(i)->isEnabled());
        EXPECT_EQ(results->ColumnSelected[i], -1);
    }
    EXPECT_EQ(options->Check1(3)->text(), "Email");
    EXPECT_EQ(sequences(4), (Texts{"0", "1", "2", "3"}));

    test::click(options, "Check1_2");  // Percent1To6 off
    EXPECT_EQ(sequences(4), (Texts{"0", "1", "", "2"}));
    options->Text1(0)->setText("2");
    options->Text1(3)->setText("0");
    test::control<QCheckBox>(options, "Check2")->setChecked(true);
    test::control<QComboBox>(options, "Combo1")->setCurrentIndex(2);
    test::control<QCheckBox>(options, "Check3")->setChecked(true);
    test::click(options, "Command2");
    EXPECT_EQ(results->Delimit, "Tab");
    EXPECT_EQ(results->DelimitIndex, 2);
    EXPECT_TRUE(results->NoTables);
    EXPECT_TRUE(results->SkipPageTitle);
    EXPECT_EQ(results->ColumnNameBySequence[0], "Email");
    EXPECT_EQ(results->ColumnNameBySequence[2], "USN");

    open();
    EXPECT_EQ(sequences(4), (Texts{"2", "1", "", "0"}));
    EXPECT_FALSE(options->Check1(2)->isChecked());
    EXPECT_TRUE(test::control<QCheckBox>(options, "Check2")->isChecked());
    EXPECT_EQ(test::control<QComboBox>(options, "Combo1")->currentText(), "Tab");
    EXPECT_TRUE(test::control<QCheckBox>(options, "Check3")->isChecked());

    test::click(options, "Check1_2");
    test::control<QCheckBox>(options, "Check2")->setChecked(false);
    test::click(options, "Command1");
    EXPECT_FALSE(stillOpen());
    EXPECT_EQ(results->ColumnSelected[2], 0);
    EXPECT_TRUE(results->NoTables);
    EXPECT_EQ(results->ColumnNameBySequence[0], "Email");
}

TEST_F(Form6Test, SequenceBoxesKeepOnlyNumbers)
{
    showResult();
    open();
    QLineEdit* box = options->Text1(1);
    box->setFocus();
    box->clear();
    const std::pair<Qt::Key, const char*> keys[] = {{Qt::Key_1, "1"}, {Qt::Key_A, "a"}};
    for (const auto& [key, text] : keys)
        test::keyClick(box, key, text);
    EXPECT_EQ(box->text(), "") << "1a is not a number";
    for (const auto& [key, text] : std::vector<std::pair<Qt::Key, const char*>>{
             {Qt::Key_3, "3"}, {Qt::Key_Period, "."}, {Qt::Key_5, "5"}})
        test::keyClick(box, key, text);
    EXPECT_EQ(box->text(), "3.5");
    box->setText("x7");
    EXPECT_EQ(box->text(), "");
}

TEST_F(Form6Test, HelpAnsweredThroughARealMessageBox)
{
    showResult();
    QtMessageService real;
    state.session.Messages = &real;
    open();
    test::RealDialogs dialogs;
    dialogs.click(QMessageBox::Ok);
    test::click(options, "Command3");
    state.session.Messages = &messages;
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(0).text,
              "The Seq No. is used to set the order of how the columns are saved in the word document. The first "
              "column has a Seq No. of 0 and the second column a Seq No. of 1 and so on");
    EXPECT_EQ(dialogs.seen().at(0).icon, QMessageBox::Information);
    EXPECT_TRUE(stillOpen());
}
