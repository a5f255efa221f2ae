// The criteria and results windows driven through their controls, as the officer uses them.

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTableView>

#include "../query_windows.h"
#include "shell/ui/qt_message_service.h"
#include "support/db_faults.h"
#include "support/real_dialogs.h"

namespace kyt {
namespace {

using test::control;
using test::QueryWindows;

TEST_F(QueryWindows, RefusalsShowTheirMessageAndMoveTheFocus)
{
    struct Case {
        std::function<void()> set;
        const char* focus;
        const char* text;
    };
    const std::vector<Case> cases = {
        {[&] { choose("cmbFromSem", "7"); }, "cmbFromSem",
         "The 'From' semester must be less than or equal to the 'TO' semester"},
        {[&] { the<QComboBox>("Combo7")->setEditText("2022"); }, "Combo7",
         "Please enter a valid 2 digit year in the batch field "},
        {[&] { choose("Combo1_2", "All Branches"), the<QLineEdit>("Text4")->setText("CS,ZZ"); }, "Text4",
         "Please enter the exclude branches codes properly/correctly\r\nDo not include spaces. The codes you enter must "
         "be in the database\r\nor listed in the boxes on the left"},
        {[&] { for (const char* box : {"Combo1_0", "Combo1_1", "Combo1_2"}) choose(box, "None Else"); }, "Combo1_1",
         "No branches were selected. Please select atleast one"},
        {[&] { the<QLineEdit>("Text1")->setText("6O"); }, "Text1", "Please enter a valid number in the percent field"},
    };
    for (const Case& k : cases) {
        makeForm();
        form->show();
        k.set();
        messages.clear();
        the("Command3")->setFocus();
        retrieve();
        ASSERT_EQ(messages.messages().size(), 1u) << k.focus;
        EXPECT_EQ(messages.last().text, k.text);
        EXPECT_EQ(form->focusWidget(), the(k.focus)) << k.focus;
        EXPECT_TRUE(!results() || results()->isHidden()) << k.focus;
    }
}

// One results window: loaded at the first Retrieve, showing each result with its own page-break rule and
// MCA warning, keeping the last one when the database fails, and hidden by Close.
TEST_F(QueryWindows, ResultsReachTheOneResultsWindow)
{
    int generateClicks = 0;
    Form4::setOpener(state, "Command2", [&](Form4&) { ++generateClicks; });
    choose("Combo7", "23");
    retrieve();
    ASSERT_NE(results(), nullptr);
    EXPECT_EQ(count(), "0");
    EXPECT_FALSE(inResults("Command2")->isEnabled() || inResults("Frame1")->isEnabled());

    Form4* first = results();
    choose("Combo7", "22");
    choose("Combo5", "USN");
    choose("Combo1_1", "MCA");
    the<QCheckBox>("Check4")->setChecked(true);
    retrieve();
    ASSERT_EQ(results(), first);
    EXPECT_EQ(count(), "2");
    EXPECT_EQ(inResults<QTableView>("DataGrid1")->model()->index(0, 2).data().toString(), "Female");
    EXPECT_TRUE(inResults("Frame1")->isEnabled() && inResults("Check1")->isEnabled() && !first->HardNoPageBreak);
    EXPECT_FALSE(inResults("Label4")->isHidden()) << "MCA mixed with another branch";
    test::click(first, "Command2");
    EXPECT_EQ(generateClicks, 1);
    Form4::setOpener(state, "Command2", {});

    choose("Combo5", "aggregate");
    choose("Combo1_1", "EC");
    retrieve();
    EXPECT_TRUE(!inResults("Check1")->isEnabled() && first->NoPageBreak && first->HardNoPageBreak);
    EXPECT_TRUE(inResults("Label4")->isHidden());
    choose("Combo5", "USN");
    choose("Combo1_2", "MCA");
    {
        test::DatabaseLock lock(database);
        retrieve();
        EXPECT_NE(messages.last().text.find("locked"), std::string::npos) << messages.last().text;
        EXPECT_EQ(count(), "2");
    }
    retrieve();
    EXPECT_EQ(count(), "3");
    EXPECT_FALSE(first->HardNoPageBreak) << "a result in USN order follows its own rule, not the last one's";
    test::click(first, "Command1");
    EXPECT_TRUE(first->isHidden());
    EXPECT_EQ(Form4::get(state), first);
}

TEST_F(QueryWindows, EnterMovesOnOrRetrievesAndWordBoxesTickTheirConstraint)
{
    form->show();
    test::keyClick(the("Combo7"), Qt::Key_Return);
    EXPECT_EQ(form->focusWidget(), the("Combo1_0"));
    test::keyClick(the("Text2"), Qt::Key_Return);
    EXPECT_EQ(form->focusWidget(), the("Text3"));
    EXPECT_EQ(results(), nullptr);
    test::keyClick(the("Text3"), Qt::Key_Enter);
    EXPECT_TRUE(results() && results()->isVisible());
    the<QLineEdit>("Text2")->setText("java");
    the<QLineEdit>("Text3")->setText("chess");
    EXPECT_TRUE(the<QCheckBox>("Check1")->isChecked() && the<QCheckBox>("Check2")->isChecked());
    the<QLineEdit>("Text2")->clear();
    EXPECT_FALSE(the<QCheckBox>("Check1")->isChecked());
}

// Opened once, with its help in a real message box; shown again it follows the branch list, keeping what a
// box showed where it is still a branch; closed, it is unloaded.
TEST_F(QueryWindows, OneCriteriaWindowWithItsHelpFollowingTheBranchesUntilClosed)
{
    form.reset();
    QPointer<QWidget> opened = Form3::open(state);
    ASSERT_TRUE(opened && opened->isVisible());
    control<QComboBox>(opened, "Combo1_1")->setCurrentText("MCA");
    EXPECT_EQ(Form3::open(state), opened.data());

    QtMessageService shown;
    state.session.Messages = &shown;
    test::RealDialogs dialogs;
    dialogs.click(QMessageBox::Ok);
    test::click(opened, "Command3");
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(0).text.rfind("Please see the user's manual under Query Resume Database", 0), 0u);

    setBranches({"EC", "MCA", "ME"});
    opened->hide();
    opened->show();
    EXPECT_EQ(control<QComboBox>(opened, "Combo1_2")->count(), 5) << "the codes, None Else and All Branches";
    EXPECT_EQ(control<QComboBox>(opened, "Combo1_0")->currentText(), "EC");  // CS went: the box's default again
    EXPECT_EQ(control<QComboBox>(opened, "Combo1_1")->currentText(), "MCA");
    test::click(opened, "Command1");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(opened.isNull());
}

}  // namespace
}  // namespace kyt
