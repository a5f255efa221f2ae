// The criteria and results windows driven through their controls, as the officer uses them.

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTableView>

#include "../query_windows.h"
#include "shell/ui/qt_message_service.h"
#include "support/real_dialogs.h"

namespace kyt {
namespace {

using test::control;
using test::QueryWindows;

// A refusal shows its message (its text is checked with the command line's) and moves the focus to the
// control to correct.
TEST_F(QueryWindows, RefusalsShowTheirMessageAndMoveTheFocus)
{
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[&] { choose("cmbFromSem", "7"); }, "cmbFromSem"},
        {[&] { the<QComboBox>("Combo7")->setEditText("2022"); }, "Combo7"},
        {[&] { choose("Combo1_2", "All Branches"), the<QLineEdit>("Text4")->setText("CS,ZZ"); }, "Text4"},
        {[&] { for (const char* box : {"Combo1_0", "Combo1_1", "Combo1_2"}) choose(box, "None Else"); }, "Combo1_1"},
        {[&] { the<QLineEdit>("Text1")->setText("6O"); }, "Text1"},
    };
    for (const auto& [set, focus] : cases) {
        makeForm();
        form->show();
        set();
        messages.clear();
        the("Command3")->setFocus();
        retrieve();
        ASSERT_EQ(messages.messages().size(), 1u) << focus;
        EXPECT_EQ(form->focusWidget(), the(focus)) << focus;
        EXPECT_TRUE(!results() || results()->isHidden()) << focus;
    }
}

// One results window: loaded at the first Retrieve, showing each result with its own page-break rule and
// MCA warning, and hidden by Close.
TEST_F(QueryWindows, ResultsReachTheOneResultsWindow)
{
    choose("Combo7", "23");
    retrieve();
    ASSERT_NE(results(), nullptr);
    EXPECT_EQ(inResults<QLabel>("Label2")->text(), "0");
    EXPECT_FALSE(inResults("Command2")->isEnabled() || inResults("Frame1")->isEnabled());

    Form4* first = results();
    choose("Combo7", "22");
    choose("Combo5", "USN");
    choose("Combo1_1", "MCA");
    retrieve();
    ASSERT_EQ(results(), first);
    EXPECT_EQ(inResults<QLabel>("Label2")->text(), "2");
    auto* grid = inResults<QTableView>("DataGrid1");
    EXPECT_EQ(grid->model()->index(0, 0).data().toString(), "1QP22MCA03");
    // A heading click sorts the grid (here against the query's descending USNs); the result saved keeps the query's order.
    const std::string firstInQuery = first->result().rows.at(0).at(0);
    QTest::mouseClick(grid->horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(grid->horizontalHeader()->sectionViewportPosition(0) + 5, 5));
    EXPECT_NE(grid->model()->index(0, 0).data().toString(), "1QP22MCA03");
    EXPECT_EQ(first->result().rows.at(0).at(0), firstInQuery);
    EXPECT_EQ(grid->model()->headerData(0, Qt::Horizontal).toString(), "USN");
    EXPECT_TRUE(inResults("Frame1")->isEnabled() && inResults("Check1")->isEnabled() && !first->HardNoPageBreak);
    EXPECT_FALSE(inResults("Label4")->isHidden()) << "MCA mixed with another branch";

    choose("Combo5", "aggregate");
    choose("Combo1_1", "EC");
    retrieve();
    EXPECT_TRUE(!inResults("Check1")->isEnabled() && first->NoPageBreak && first->HardNoPageBreak);
    EXPECT_TRUE(inResults("Label4")->isHidden());
    choose("Combo5", "USN");
    choose("Combo1_2", "MCA");
    retrieve();
    EXPECT_EQ(inResults<QLabel>("Label2")->text(), "3");
    EXPECT_FALSE(first->HardNoPageBreak) << "a result in USN order follows its own rule, not the last one's";
    test::click(first, "Command1");
    EXPECT_TRUE(first->isHidden());
    EXPECT_EQ(Form4::get(state), first);
}

// Opened once; Enter moves on or retrieves; typed words tick their constraint; the help is a real message
// box; Close unloads the window.
TEST_F(QueryWindows, OneCriteriaWindowDrivenFromTheKeyboardUntilClosed)
{
    form.reset();
    QPointer<QWidget> opened = Form3::open(state);
    ASSERT_TRUE(opened && opened->isVisible());
    EXPECT_EQ(Form3::open(state), opened.data());
    const auto in = [&](const char* name) { return control<QWidget>(opened, name); };
    test::keyClick(in("Text2"), Qt::Key_Return);
    EXPECT_EQ(opened->focusWidget(), in("Text3"));
    EXPECT_EQ(results(), nullptr);
    test::keyClick(in("Text3"), Qt::Key_Enter);
    EXPECT_TRUE(results() && results()->isVisible());
    control<QLineEdit>(opened, "Text3")->setText("chess");
    EXPECT_TRUE(control<QCheckBox>(opened, "Check2")->isChecked());

    QtMessageService shown;
    state.session.Messages = &shown;
    test::RealDialogs dialogs;
    dialogs.click(QMessageBox::Ok);
    test::click(opened, "Command3");
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(0).text.rfind("Please see the user's manual under Query Resume Database", 0), 0u);
    test::click(opened, "Command1");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(opened.isNull());
}

}  // namespace
}  // namespace kyt
