// The criteria and results windows driven through their controls, as the officer uses them.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "../students.h"
#include "query/ui/form3.h"
#include "query/ui/form4.h"
#include "shell/ui/firstform.h"
#include "shell/ui/qt_message_service.h"
#include "shell/ui/window_registration.h"
#include "support/db_faults.h"
#include "support/real_dialogs.h"
#include "support/window_test.h"

namespace kyt {
namespace {

using test::control;

QStringList itemsOf(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; box && i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

class QueryWindows : public test::WindowTest {
protected:
    void SetUp() override
    {
        database = test::makeDatabase(dir, "CS,Computer Science\nEC,Electronics\nMCA,Master of Computer Applications\n");
        state.session.AppTitle = "Kyt v2.8";
        state.config.DatabasePath = database;
        setBranches({"CS", "EC", "MCA"});
        test::storeStudents(database);
        Form4::setOpener(state, "Command2", [this](Form4&) { ++generateClicks; });
        form = makeForm(2026);
    }
    void TearDown() override
    {
        form.reset();
        state.session.Windows.destroyAll();
        Form4::setOpener(state, "Command2", {});
    }

    std::unique_ptr<Form3> makeForm(int year)
    {
        auto made = std::make_unique<Form3>(state, [year] { return year; });
        made->runOptions.busyTimeoutMs = 50;
        return made;
    }
    void setBranches(const std::vector<std::string>& codes)
    {
        for (size_t i = 0; i < codes.size(); ++i)
            state.session.BranchCodes[i] = codes[i];
        state.session.BranchCount = static_cast<int16_t>(codes.size());
    }
    template <class T = QWidget>
    T* the(const char* name) { return control<T>(form.get(), name); }
    void choose(const char* comboName, const QString& item) { the<QComboBox>(comboName)->setCurrentText(item); }
    Form4* results() { return qobject_cast<Form4*>(findWindow(state, "Form4")); }
    template <class T = QWidget>
    T* inResults(const char* name) { return control<T>(results(), name); }
    void retrieve() { test::click(form.get(), "Command2"); }

    std::unique_ptr<Form3> form;
    int generateClicks = 0;
};

TEST_F(QueryWindows, RefusalsShowTheirMessageAndMoveTheFocus)
{
    struct Case {
        std::function<void()> set;
        const char* text;  // start of the message
        const char* focus;
    };
    const std::vector<Case> cases = {
        {[&] { choose("cmbFromSem", "7"); }, "The 'From' semester", "cmbFromSem"},
        {[&] { the<QComboBox>("Combo7")->setEditText("2022"); }, "Please enter a valid 2 digit year", "Combo7"},
        {[&] { choose("Combo1_2", "All Branches"); the<QLineEdit>("Text4")->setText("CS,ZZ"); },
         "Please enter the exclude branches codes", "Text4"},
        {[&] { for (const char* box : {"Combo1_0", "Combo1_1", "Combo1_2"}) choose(box, "None Else"); },
         "No branches were selected", "Combo1_1"},
        {[&] { the<QLineEdit>("Text1")->setText("6O"); }, "Please enter a valid number", "Text1"},
    };
    for (const Case& k : cases) {
        form = makeForm(2026);
        form->show();
        k.set();
        messages.clear();
        the("Command3")->setFocus();
        retrieve();
        ASSERT_EQ(messages.messages().size(), 1u) << k.focus;
        EXPECT_EQ(messages.last().text.rfind(k.text, 0), 0u) << messages.last().text;
        EXPECT_EQ(form->focusWidget(), the(k.focus)) << k.focus;
        EXPECT_TRUE(!results() || results()->isHidden()) << k.focus;
    }
}

TEST_F(QueryWindows, EnterMovesOnOrRetrievesAndWordBoxesTickTheirConstraint)
{
    form->show();
    test::keyClick(the("Combo7"), Qt::Key_Return);
    EXPECT_EQ(form->focusWidget(), the("Combo1_0"));
    test::keyClick(the("Text2"), Qt::Key_Return);
    EXPECT_EQ(form->focusWidget(), the("Text3"));
    EXPECT_EQ(results(), nullptr);
    test::keyClick(the("Text1"), Qt::Key_Enter);
    ASSERT_NE(results(), nullptr);
    EXPECT_TRUE(results()->isVisible());
    results()->close();
    test::keyClick(the("Text3"), Qt::Key_Return);
    EXPECT_TRUE(results()->isVisible());
    EXPECT_TRUE(messages.messages().empty());

    the<QLineEdit>("Text2")->setText("java");
    EXPECT_TRUE(the<QCheckBox>("Check1")->isChecked());
    the<QLineEdit>("Text2")->clear();
    EXPECT_FALSE(the<QCheckBox>("Check1")->isChecked());
    the<QLineEdit>("Text3")->setText("chess");
    EXPECT_TRUE(the<QCheckBox>("Check2")->isChecked());
}

TEST_F(QueryWindows, ExclusionsShowWhileAnyBoxShowsAllBranches)
{
    choose("Combo1_1", "All Branches");
    EXPECT_FALSE(the("Label3_0")->isHidden() || the("Text4")->isHidden() || the("Label3_1")->isHidden());
    the<QLineEdit>("Text4")->setText("MCA");
    choose("Combo1_2", "All Branches");
    choose("Combo1_1", "EC");  // box 2 still shows All Branches
    EXPECT_FALSE(the("Text4")->isHidden());
    choose("Combo1_2", "CS");
    EXPECT_TRUE(the("Label3_0")->isHidden() || the("Text4")->isHidden() || the("Label3_1")->isHidden());
    EXPECT_EQ(form->BranchExcludeList, "MCA");

    // Two branches only: the third box falls on "All Branches" at load, which shows the exclusions.
    setBranches({"CS", "EC"});
    auto other = makeForm(2031);
    EXPECT_EQ(control<QComboBox>(other.get(), "Combo7")->currentText(), "26");
    EXPECT_EQ(control<QComboBox>(other.get(), "Combo1_2")->currentText(), "All Branches");
    EXPECT_FALSE(control<QWidget>(other.get(), "Text4")->isHidden());
}

TEST_F(QueryWindows, ResultsReachTheOneResultsWindowWhichLoadsAgainAfterClose)
{
    choose("Combo7", "23");
    retrieve();
    ASSERT_NE(results(), nullptr);
    EXPECT_EQ(inResults<QLabel>("Label2")->text(), "0");
    EXPECT_FALSE(inResults("Command2")->isEnabled());
    EXPECT_FALSE(inResults("Frame1")->isEnabled());

    Form4* first = results();
    choose("Combo7", "22");
    the<QCheckBox>("Check4")->setChecked(true);
    retrieve();
    ASSERT_EQ(results(), first);
    EXPECT_EQ(inResults<QLabel>("Label2")->text(), "2");
    EXPECT_TRUE(inResults("Frame1")->isEnabled());
    EXPECT_EQ(first->gridCols, 5);
    EXPECT_EQ(first->ColumnNameBySequence[2], "Gender");
    auto* grid = inResults<QTableView>("DataGrid1");
    EXPECT_EQ(grid->model()->index(0, 0).data().toString(), "1QP22EC002");
    EXPECT_EQ(grid->model()->index(1, 3).data().toString(), "70.00");
    test::click(first, "Command2");
    EXPECT_EQ(generateClicks, 1);

    first->Delimit = "Tab";
    first->ShowProgress(3);
    EXPECT_FALSE(inResults("ProgressBar1")->isHidden());
    test::click(first, "Command1");
    EXPECT_TRUE(first->isHidden());
    EXPECT_EQ(Form4::get(state), first);
    EXPECT_TRUE(inResults("ProgressBar1")->isHidden());
    EXPECT_EQ(first->Delimit, "Tab");
}

TEST_F(QueryWindows, PageBreaksAndTheMCAWarningFollowTheResultShown)
{
    choose("Combo5", "USN");
    choose("Combo7", "22");
    choose("Combo1_1", "MCA");
    retrieve();
    EXPECT_TRUE(inResults("Check1")->isEnabled());
    EXPECT_FALSE(results()->NoPageBreak || results()->HardNoPageBreak);
    EXPECT_FALSE(inResults("Label4")->isHidden());

    choose("Combo5", "aggregate");
    choose("Combo1_1", "EC");
    retrieve();
    EXPECT_FALSE(inResults("Check1")->isEnabled());
    EXPECT_TRUE(results()->NoPageBreak && results()->HardNoPageBreak);
    EXPECT_TRUE(inResults("Label4")->isHidden());

    choose("Combo5", "USN");
    retrieve();
    EXPECT_TRUE(inResults("Check1")->isEnabled());
    EXPECT_FALSE(results()->HardNoPageBreak);
}

TEST_F(QueryWindows, ALockedDatabaseIsToldAndTheWindowStaysUsable)
{
    choose("Combo7", "22");
    retrieve();
    ASSERT_EQ(inResults<QLabel>("Label2")->text(), "2");
    {
        test::DatabaseLock lock(database);
        choose("Combo1_2", "MCA");
        retrieve();
        ASSERT_EQ(messages.messages().size(), 1u);
        EXPECT_NE(messages.last().text.find("locked"), std::string::npos) << messages.last().text;
        EXPECT_EQ(messages.last().icon, MsgIcon::Critical);
        EXPECT_EQ(inResults<QLabel>("Label2")->text(), "2");
    }
    retrieve();
    EXPECT_EQ(inResults<QLabel>("Label2")->text(), "3");
}

TEST_F(QueryWindows, BranchBoxesFollowTheBranchListWhenShownAgain)
{
    choose("Combo1_1", "MCA");
    setBranches({"CS", "EC", "MCA", "ME"});
    form->reloadBranches();
    EXPECT_EQ(itemsOf(the<QComboBox>("Combo1_2")), (QStringList{"CS", "EC", "MCA", "ME", "None Else", "All Branches"}));
    EXPECT_EQ(the<QComboBox>("Combo1_1")->currentText(), "MCA");
    setBranches({"EC", "ME"});
    form->show();
    EXPECT_EQ(the<QComboBox>("Combo1_0")->currentText(), "EC");  // CS went: the box's default again
    EXPECT_EQ(the<QComboBox>("Combo1_1")->currentText(), "ME");
    choose("Combo1_2", "All Branches");
    the<QLineEdit>("Text4")->setText("CS");
    retrieve();
    EXPECT_EQ(messages.last().title, "Kyt Error");  // CS is no longer a branch to exclude
}

TEST_F(QueryWindows, MainMenuOpensOneCriteriaWindowWithItsHelpAndCloseUnloadsIt)
{
    form.reset();
    FirstForm menu(state);
    menu.setOpener("CancelButton", [this] { Form3::open(state); });
    test::click(&menu, "CancelButton");
    QPointer<QWidget> opened = findWindow(state, "Form3");
    ASSERT_TRUE(opened && opened->isVisible());
    control<QComboBox>(opened, "Combo7")->setCurrentText("23");
    test::click(&menu, "CancelButton");
    EXPECT_EQ(findWindow(state, "Form3"), opened.data());

    QtMessageService shown;
    state.session.Messages = &shown;
    test::RealDialogs dialogs;
    dialogs.click(QMessageBox::Ok);
    test::click(opened, "Command3");
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(0).icon, QMessageBox::Information);
    EXPECT_EQ(dialogs.seen().at(0).text.rfind("Please see the user's manual under Query Resume Database", 0), 0u);

    test::click(opened, "Command1");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(opened.isNull());
    test::click(&menu, "CancelButton");
    EXPECT_EQ(control<QComboBox>(findWindow(state, "Form3"), "Combo7")->currentText(), "21");
}

}  // namespace
}  // namespace kyt
