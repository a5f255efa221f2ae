// The extraction and status windows as the main menu opens them and the officer drives them. What a run
// does and what Finish tells are the batch driver's tests; these check what the windows hand over and show.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeView>
#include <filesystem>

#include "db/data_connector.h"
#include "db/database.h"
#include "extract/ui/form1.h"
#include "extract/ui/form2.h"
#include "shell/ui/firstform.h"
#include "shell/ui/qt_message_service.h"
#include "shell/ui/window_registration.h"
#include "support/db_faults.h"
#include "support/extraction_fixture.h"
#include "support/real_dialogs.h"
#include "support/window_test.h"
#include "word/application.h"

namespace kyt {
namespace {

namespace fs = std::filesystem;
using test::click;
using test::control;
using test::ResumeForm;

class ExtractionWindows : public ::testing::Test {
protected:
    ExtractionWindows()
    {
        fs::create_directory(folder);
        setup.control.config.LastResumeFolder = folder.string();
        setup.control.config.ConfigPath = dir.file("Kyt.ini");
        setup.control.session.WordApp.reset();  // a run starts its own
        menu = std::make_unique<FirstForm>(setup.control);
        menu->setOpener("OKButton", [this] { Form1::open(setup.control); });
        menu->show();
    }
    ~ExtractionWindows() override
    {
        menu.reset();
        for (QWidget* widget : QApplication::topLevelWidgets())
            delete widget;
    }

    void add(const std::string& name, const std::string& usn) { ResumeForm::be(usn).save((folder / name).string()); }
    Form1* openExtractionWindow()
    {
        click(menu.get(), "OKButton");
        return static_cast<Form1*>(findWindow(setup.control, "Form1"));
    }
    std::string extractedTo() const { return " The resumes were extracted to " + setup.databasePath; }

    test::TempDir dir;
    test::ExtractionSetup setup{dir};
    fs::path folder = dir.path() / "resumes";
    std::unique_ptr<FirstForm> menu;
};

// The window opens once, at the last folder, and keeps it in view. Start runs the folder with the boxes'
// choices, the status window shows the run, Back opens a fresh extraction window at the same folder, and
// Finish closes both windows. After a run its surroundings stopped, the status window shows the cause and
// Finish adds nothing that would blame the résumés.
TEST_F(ExtractionWindows, OpensOnceAtTheLastFolderAndStartRunsItWithTheStatusWindowLeadingOn)
{
    // Forty neighbours sorted before it: read in the background after the window opens, they push the
    // chosen folder down and out of view unless the list brings it back.
    for (int k = 0; k < 40; ++k)
        fs::create_directory(dir.path() / ("aa" + std::to_string(10 + k)));
    add("a.docx", "1QP01CS001");
    add("b.docx", "2QP01CS002");
    test::writeFile((folder / "~$a.docx").string(), "owner file");
    Form1* window = openExtractionWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(openExtractionWindow(), window);
    auto* folders = control<QTreeView>(window, "Dir1");
    const auto shown = [&] {
        const QModelIndex current = folders->currentIndex();
        for (QModelIndex parent = current.parent(); parent.isValid(); parent = parent.parent()) {
            if (!folders->isExpanded(parent))
                return false;
        }
        // All read and sorted: the chosen folder comes last.
        return current.isValid() && current.model()->rowCount(current.parent()) == 41 && current.row() == 40 &&
               folders->viewport()->rect().contains(folders->visualRect(current));
    };
    EXPECT_TRUE(QTest::qWaitFor(shown, 10000));
    EXPECT_EQ(control<QLineEdit>(window, "Text1")->text().toStdString(), folder.string());
    EXPECT_EQ(control<QListWidget>(window, "File1")->count(), 2);
    control<QCheckBox>(window, "Check1")->setChecked(true);
    click(window, "Command1");

    EXPECT_FALSE(window->isVisible());
    Form2* status = window->statusWindow();
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(status->windowTitle().toStdString(), "100 % Kyt v2.8 - Status");
    EXPECT_EQ(control<QLabel>(status, "Label11")->text(), " No. of Successfully scanned documents :1");
    EXPECT_TRUE(control<QLabel>(status, "Label8")->isVisible());
    EXPECT_TRUE(fs::exists(folder / "Kyt_Resumes_WithErrors" / "b.docx"));
    EXPECT_EQ(setup.students(), 1);

    click(status, "Command1");
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(setup.messages.messages().size(), 1u);
    EXPECT_EQ(setup.messages.last().text, extractedTo());
    auto* fresh = static_cast<Form1*>(findWindow(setup.control, "Form1"));
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, window);
    EXPECT_TRUE(fresh->isVisible());
    EXPECT_EQ(control<QLineEdit>(fresh, "Text1")->text().toStdString(), folder.string());

    // Again with re-submissions replacing: the stored student is replaced, and the counts are shown and told.
    control<QCheckBox>(fresh, "Check1")->setChecked(true);
    control<QCheckBox>(fresh, "Check3")->setChecked(true);
    click(fresh, "Command1");
    QPointer<Form1> extraction(fresh);
    const std::string counts = " New students: 0   Replaced: 1   Refused: 1";
    EXPECT_EQ(control<QLabel>(fresh->statusWindow(), "Label16")->text().toStdString(), counts);
    click(fresh->statusWindow(), "Command2");
    ASSERT_EQ(setup.messages.messages().size(), 2u);
    EXPECT_EQ(setup.messages.last().text.rfind(extractedTo() + "\n\n" + counts + "\n\n NOTE: Resumes with errors were copied", 0), 0u);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(extraction.isNull());

    test::DatabaseLock lock(setup.databasePath);
    setup.control.session.Connector->GetCurrentConnection()->setBusyTimeout(0);
    Form1* locked = openExtractionWindow();
    click(locked, "Command1");
    const std::string note = control<QLabel>(locked->statusWindow(), "Label8")->text().toStdString();
    EXPECT_EQ(note.rfind("Kyt stopped the extraction because the database could not be written", 0), 0u) << note;
    const size_t told = setup.messages.messages().size();
    click(locked->statusWindow(), "Command2");
    EXPECT_EQ(setup.messages.messages().size(), told) << setup.messages.last().text;
}

TEST_F(ExtractionWindows, NoWindowClosesUnderARun)
{
    // The main menu closed between two documents would close the database under the run.
    auto* status = new Form2(setup.control);
    status->show();
    status->setRunning(true);
    EXPECT_FALSE(control<QPushButton>(status, "Command2")->isEnabled());
    status->close();
    menu->close();
    EXPECT_TRUE(status->isVisible());
    EXPECT_TRUE(menu->isVisible());
    EXPECT_TRUE(setup.messages.messages().empty());
    EXPECT_NE(setup.control.session.Connector, nullptr);
    status->setRunning(false);
    menu->close();
    EXPECT_FALSE(menu->isVisible());
}

// The officer's path with the window program's own message boxes, answered through their buttons.
class RealDialogRun : public ExtractionWindows {
protected:
    RealDialogRun() { setup.control.session.Messages = &shown; }

    QtMessageService shown;
    test::RealDialogs dialogs;
};

TEST_F(RealDialogRun, TenProblemsAnsweredNoStopTheRunAndExitTellsWhereTheStudentsWent)
{
    for (int k = 10; k < 22; ++k)
        add("bad" + std::to_string(k) + ".docx", "2QP01CS0" + std::to_string(k));
    dialogs.click(QMessageBox::No);
    Form1* window = openExtractionWindow();
    click(window, "Command1");
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(0).title, "Please Intervene");
    EXPECT_EQ(dialogs.seen().at(0).buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(test::readFile((folder / "Kyt_errors.txt").string()).ends_with("bad19.docx-\r\n\r\n"));

    // Exit through the main menu: the status window's close runs (it tells where the students went)
    // before the database closes.
    dialogs.click(QMessageBox::Ok);
    click(menu.get(), "Command1");
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(1).text, extractedTo());
    EXPECT_EQ(setup.control.session.Connector, nullptr);
}

TEST_F(RealDialogRun, AFolderWithoutResumesIsToldAndTheWindowsStayUsable)
{
    dialogs.click(QMessageBox::Ok);
    Form1* window = openExtractionWindow();
    click(window, "Command1");
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(0).text.rfind("Could not find any Word Document. ", 0), 0u);
    EXPECT_TRUE(window->isVisible());

    // Usable afterwards: a résumé put into the folder is stored by the next Start, Cancel lets the document
    // reader go, and the main menu closes.
    add("a.docx", "1QP01CS001");
    click(window, "Command1");
    EXPECT_EQ(setup.students(), 1);
    std::string error;
    setup.control.session.WordApp = word::Application::start(error);
    click(window, "Command2");
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(setup.control.session.WordApp, nullptr);
    dialogs.click(QMessageBox::Ok);
    menu->close();
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_FALSE(menu->isVisible());
}

// The history window lists the runs, newest first; its button takes the selected one back after the
// question, answered Yes through the real message box, and the list shows it taken back.
TEST_F(RealDialogRun, TheHistoryWindowTakesTheSelectedRunBack)
{
    add("a.docx", "1QP01CS001");
    add("b.docx", "1QP01CS002");
    Form1* window = openExtractionWindow();
    click(window, "Command1");
    ASSERT_EQ(setup.students(), 2);
    dialogs.click(QMessageBox::Ok);
    click(window->statusWindow(), "Command1");
    window = static_cast<Form1*>(findWindow(setup.control, "Form1"));
    click(window, "CommandHistory");
    auto* history = findWindow(setup.control, "RunHistory");
    ASSERT_NE(history, nullptr);
    auto* grid = control<QTableWidget>(history, "GridRuns");
    ASSERT_EQ(grid->rowCount(), 1);
    EXPECT_EQ(grid->item(0, 4)->text(), "2");
    EXPECT_FALSE(control<QPushButton>(history, "CommandRevert")->isEnabled());
    grid->selectRow(0);
    dialogs.click(QMessageBox::Yes).click(QMessageBox::Ok);
    click(history, "CommandRevert");
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_NE(dialogs.seen().at(1).text.find("2 students it added will be deleted"), std::string::npos);
    EXPECT_EQ(setup.students(), 0);
    EXPECT_EQ(grid->item(0, 7)->text().left(10), "taken back");
}

}  // namespace
}  // namespace kyt
