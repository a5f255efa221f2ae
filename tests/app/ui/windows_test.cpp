// What every window shares, checked window by window: the keyboard, placement over the window that
// opened it, space kept for controls that appear, and closing that unloads.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <functional>

#include "admin/ui/form5.h"
#include "admin/ui/form7.h"
#include "drives/ui/formdrives.h"
#include "drives/ui/formstats.h"
#include "extract/ui/form1.h"
#include "extract/ui/form2.h"
#include "extract/ui/run_history_window.h"
#include "db/data_connector.h"
#include "merge/ui/formatfile.h"
#include "query/ui/form3.h"
#include "query/ui/form4.h"
#include "query/ui/form6.h"
#include "shell/ui/firstform.h"
#include "shell/ui/qt_message_service.h"
#include "shell/ui/setinit.h"
#include "shell/ui/window_registration.h"
#include "support/extraction_fixture.h"
#include "support/real_dialogs.h"
#include "support/window_test.h"

namespace kyt::test {
namespace {

class Windows : public ::testing::Test {
protected:
    ~Windows() override { setup.control.session.Windows.destroyAll(); }

    TempDir dir;
    ExtractionSetup setup{dir};
    Control& state = setup.control;
};

// The buttons a key pressed: every push button of the window is unwired and watched.
std::string pressed(QWidget* window, QWidget* target, Qt::Key key)
{
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    const auto buttons = window->findChildren<QPushButton*>();
    for (QPushButton* button : buttons) {
        QObject::disconnect(button, &QAbstractButton::clicked, nullptr, nullptr);
        spies.push_back(std::make_unique<QSignalSpy>(button, &QAbstractButton::clicked));
    }
    QTest::keyClick(target, key);
    std::string names;
    for (qsizetype i = 0; i < buttons.size(); ++i)
        if (!spies[static_cast<size_t>(i)]->isEmpty())
            names += buttons[i]->objectName().toStdString() + " ";
    return names;
}

// Tab never jumps back up and to the left: each next stop is below the last one's top or right of its left edge.
void expectTabOrderTopToBottom(QWidget* window)
{
    const auto stop = [window](QWidget* w) {
        return w->window() == window && w != window && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(window) &&
               w->isEnabled() && !w->focusProxy();
    };
    QWidget* previous = window->nextInFocusChain();
    while (previous != window && !stop(previous))
        previous = previous->nextInFocusChain();
    for (QWidget* next = previous->nextInFocusChain(); next != window; next = next->nextInFocusChain()) {
        if (!stop(next))
            continue;
        const QPoint at = next->mapTo(window, QPoint(0, 0)), was = previous->mapTo(window, QPoint(0, 0));
        EXPECT_TRUE(at.y() >= was.y() - 4 || at.x() >= was.x() + previous->width() / 2)
            << window->objectName().toStdString() << ": " << previous->objectName().toStdString() << " then "
            << next->objectName().toStdString();
        previous = next;
    }
}

// Each window opens with the focus in its first box; Enter presses its default button (or the box's own),
// Escape its Close or Cancel; Tab goes down the window.
TEST_F(Windows, KeysOfEveryWindow)
{
    Form4* results = Form4::get(state);
    results->gridCols = 2;  // two rows of the options window in use
    Form4::setOpener(state, "Command3", [](Form4&) {});
    Form4::setOpener(state, "Command4", [](Form4&) {});
    const struct {
        const char* name;
        std::function<QWidget*()> make;
        const char* first;
        std::vector<std::pair<const char*, const char*>> enter;  // box, buttons pressed
        const char* escape;
    } cases[] = {
        {"setinit", [&] { return new setinit(state); }, "Text1", {{"Text2", "Command1 "}, {"Command3", "Command3 "}}, "Command2 "},
        {"Form1", [&] { return Form1::open(state); }, "Dir1", {{"Check1", "Command1 "}}, "Command2 "},
        {"Form2", [&] { return new Form2(state); }, "Command2", {{"Command2", "Command2 "}}, ""},
        {"Form3", [&] { return Form3::open(state); }, "Combo7", {{"cmbToSem", "Command2 "}, {"Text1", "Command2 "}}, "Command1 "},
        {"Form4", [&] { results->show(); return results; }, "Text1", {{"Text1", "Command3 "}}, "Command1 "},
        {"Form5", [&] { return Form5::open(state); }, "Text1",
         {{"Text1", "Command1 "}, {"Text2", "Command2 "}, {"Text4", "Command6 "}}, "Command4 "},
        {"Form6", [&] { return Form6::open(state, *results); }, "Check1_0", {{"Combo1", "Command2 "}}, "Command1 "},
        {"Form7", [&] { return Form7::open(state); }, "Text1", {{"Text1", "Command3 "}, {"Text5", "Command1 "}}, "Command2 "},
        {"FormatFile", [&] { return FormatFile::open(state, {}); }, "Dir1", {{"File1", "Command1 "}}, "Command2 "},
        {"RunHistory", [&] { return RunHistory::open(state); }, "GridRuns", {{"GridRuns", ""}}, "CommandClose "},
        {"FormDrives", [&] { return FormDrives::open(state); }, "DriveTable", {{"DriveTable", ""}}, "CloseButton "},
        {"FormStats", [&] { return FormStats::open(state); }, "BatchCombo", {{"ToSem", "ShowBatchButton "}}, "CloseButton "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget* window = c.make();
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        ASSERT_TRUE(window->focusWidget());
        EXPECT_EQ(window->focusWidget()->objectName(), c.first);
        expectTabOrderTopToBottom(window);
        for (const auto& [box, buttons] : c.enter) {
            auto* target = control<QWidget>(window, box);
            target->setFocus();
            EXPECT_EQ(pressed(window, target, Qt::Key_Return), buttons) << box;
        }
        EXPECT_EQ(pressed(window, window->focusWidget(), Qt::Key_Escape), c.escape);
        if (std::string(c.escape).empty()) {
            EXPECT_FALSE(window->isVisible()) << "Escape closes a window without a Close button";
        }
        window->close();
    }
}

// Windows open centred over their opener; a control that appears takes space kept for it; closing
// unloads (nothing typed survives), and the main menu's Exit closes every window, options included.
TEST_F(Windows, PlacementKeptSpaceUnloadAndExit)
{
    Form5* admin = Form5::open(state);
    admin->move(40, 60);
    control<QLineEdit>(admin, "Text1")->setText("1QP22CS001");
    click(admin, "Command5");
    auto* marks = qobject_cast<Form7*>(findWindow(state, "Form7"));
    ASSERT_TRUE(marks);
    // Within the few pixels a layout adds once shown.
    EXPECT_LE((marks->frameGeometry().center() - admin->frameGeometry().center()).manhattanLength(), 10);

    Form3* query = Form3::open(state);
    auto* check6 = control<QWidget>(query, "Check6");
    const QRect before = check6->geometry();
    control<QComboBox>(query, "Combo1_2")->setCurrentText("All Branches");
    EXPECT_TRUE(control<QWidget>(query, "Text4")->isVisible());
    EXPECT_EQ(check6->geometry(), before) << "the rows under the exclusion box stay put";

    admin->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(control<QLineEdit>(Form5::open(state), "Text1")->text().isEmpty());

    Form4* results = Form4::get(state);
    Form6* options = Form6::open(state, *results);
    state.config.ConfigPath = dir.file("Kyt.ini");
    FirstForm menu(state);
    menu.show();
    click(&menu, "Command1");
    EXPECT_FALSE(options->isVisible() || results->isVisible() || query->isVisible());
}

// Enter at a question whose Yes deletes answers No, in a real message box.
TEST_F(Windows, EnterAtADestructiveQuestionAnswersNo)
{
    ASSERT_EQ(state.session.Connector->exec("INSERT INTO Personal(USN, Name) VALUES ('1QP22CS001', 'Asha')"), -13);
    QtMessageService shown;
    state.session.Messages = &shown;
    RealDialogs dialogs;
    dialogs.pressEnter();
    click(Form5::open(state), "Command3");
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(0).answered, QMessageBox::No);
    EXPECT_EQ(setup.students(), 1);
}

}  // namespace
}  // namespace kyt::test
