#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "save_windows.h"
#include "shell/ui/qt_message_service.h"
#include "support/real_dialogs.h"

using namespace kyt;
using kyt::test::SaveWindows;
using Texts = std::vector<std::string>;

class Form6Test : public SaveWindows {
protected:
    void open()
    {
        options = Form6::open(state, *results);
        ASSERT_TRUE(options);
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
    const std::string twice = "One or more fields has the same sequence number. please correct it";
    const std::string tooLarge = "one or more of the sequence number is larger than the number of selected fields\r\n"
                                 "Max sequence number for this selection is 2";
    const struct {
        const char* what;
        std::vector<std::pair<bool, std::string>> rows;  // USN, Name, Percent1To6, Email
        int16_t result;
        std::string text, title, focus;
        std::array<std::string, 4> order;
    } cases[] = {
        {"any arrangement of 0 to n-1", {{true, "2"}, {true, "0"}, {true, "1"}, {false, "3"}}, 0, "", "", "",
         {"Name", "Percent1To6", "USN", ""}},
        {"halves go to the even neighbour", {{true, "0.5"}, {true, "1.5"}, {true, "2"}, {false, ""}}, -22, twice,
         "Kyt Error", "Text1_2", {}},
        {"a gap", {{true, "0"}, {true, "1"}, {true, "3"}, {false, ""}}, -21, tooLarge, "", "Text1_2", {}},
        {"a number given twice", {{true, "0"}, {true, "1"}, {true, "1"}, {false, "1"}}, -22, twice, "Kyt Error",
         "Text1_2", {}},
        {"a negative number", {{true, "-1"}, {true, "0"}, {true, "1"}, {false, ""}}, -21, tooLarge, "", "Text1_0", {}},
        {"nothing ticked", {{false, ""}, {false, ""}, {false, ""}, {false, ""}}, -21, "Please select atleast one field",
         "", "Check1_0", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        results->InitSelection();
        const auto before = results->ColumnNameBySequence;
        open();
        for (int i = 0; i < 4; ++i) {  // as a user leaves them, without a renumbering click
            options->Check1(i)->setChecked(c.rows[static_cast<size_t>(i)].first);
            options->Text1(i)->setText(QString::fromStdString(c.rows[static_cast<size_t>(i)].second));
        }
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
    for (int i = 4; i < 7; ++i)  // four columns: rows 4 to 6 are not there
        EXPECT_TRUE(options->Check1(i)->isHidden() && !options->Text1(i)->isEnabled());
    EXPECT_EQ(options->Check1(3)->text(), "Email");
    test::click(options, "Check1_2");  // Percent1To6 off
    EXPECT_EQ(sequences(4), (Texts{"0", "1", "", "2"}));
    options->Text1(0)->setText("2");
    options->Text1(3)->setText("0");
    test::control<QCheckBox>(options, "Check2")->setChecked(true);
    test::control<QComboBox>(options, "Combo1")->setCurrentIndex(2);
    test::control<QCheckBox>(options, "Check3")->setChecked(true);
    test::click(options, "Command2");
    EXPECT_EQ(results->Delimit, "Tab");
    EXPECT_TRUE(results->NoTables && results->SkipPageTitle);
    EXPECT_EQ(results->ColumnNameBySequence[0], "Email");
    EXPECT_EQ(results->ColumnNameBySequence[2], "USN");

    open();
    EXPECT_EQ(sequences(4), (Texts{"2", "1", "", "0"}));
    EXPECT_TRUE(test::control<QCheckBox>(options, "Check2")->isChecked());
    EXPECT_EQ(test::control<QComboBox>(options, "Combo1")->currentText(), "Tab");
    EXPECT_TRUE(test::control<QCheckBox>(options, "Check3")->isChecked());
    test::click(options, "Check1_2");
    test::control<QCheckBox>(options, "Check2")->setChecked(false);
    test::click(options, "Command1");
    EXPECT_FALSE(stillOpen());
    EXPECT_EQ(results->ColumnSelected[2], 0);
    EXPECT_TRUE(results->NoTables);
}

TEST_F(Form6Test, SequenceBoxesKeepOnlyNumbersAndHelpIsARealMessageBox)
{
    showResult();
    QtMessageService real;
    state.session.Messages = &real;
    open();
    QLineEdit* box = options->Text1(1);
    box->setFocus();
    box->clear();
    test::keyClick(box, Qt::Key_1, "1");
    test::keyClick(box, Qt::Key_A, "a");
    EXPECT_EQ(box->text(), "") << "1a is not a number";
    for (const auto& [key, text] : {std::pair{Qt::Key_3, "3"}, std::pair{Qt::Key_Period, "."}, std::pair{Qt::Key_5, "5"}})
        test::keyClick(box, key, text);
    EXPECT_EQ(box->text(), "3.5");
    box->setText("x7");
    EXPECT_EQ(box->text(), "");

    test::RealDialogs dialogs;
    dialogs.click(QMessageBox::Ok);
    test::click(options, "Command3");
    state.session.Messages = &messages;
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(0).text.rfind("The Seq No. is used to set the order of how the columns are saved", 0), 0u);
    EXPECT_EQ(dialogs.seen().at(0).icon, QMessageBox::Information);
    EXPECT_TRUE(stillOpen());
}
