// The extraction and status windows as the main menu opens them and the officer drives them.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
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
    Form1* extractionWindow() const { return static_cast<Form1*>(findWindow(setup.control, "Form1")); }
    Form1* openExtractionWindow()
    {
        click(menu.get(), "OKButton");
        return extractionWindow();
    }
    std::string extractedTo() const { return " The resumes were extracted to " + setup.databasePath; }
    long students() { return setup.count("SELECT count(*) FROM Personal"); }

    test::TempDir dir;
    test::ExtractionSetup setup{dir};
    fs::path folder = dir.path() / "resumes";
    std::unique_ptr<FirstForm> menu;
};

TEST_F(ExtractionWindows, TheFolderListShowsTheFolderItOpensAtOnceItsNeighboursAreRead)
{
    // Forty neighbours sorted before it: read in the background after the window opens, they push the
    // chosen folder down and out of view unless the list brings it back.
    for (int k = 0; k < 40; ++k)
        fs::create_directory(dir.path() / ("aa" + std::to_string(10 + k)));
    Form1* window = openExtractionWindow();
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
    EXPECT_EQ(folders->currentIndex().data().toString().toStdString(), "resumes");
    EXPECT_EQ(control<QLineEdit>(window, "Text1")->text().toStdString(), folder.string());
}

TEST_F(ExtractionWindows, OpensOnceAtTheLastFolderAndStartRunsItWithTheStatusWindowLeadingOn)
{
    add("a.docx", "1QP01CS001");
    add("b.docx", "2QP01CS002");
    add("c.docx", "1QP01CS003");
    test::writeFile((folder / "~$a.docx").string(), "owner file");
    Form1* window = openExtractionWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(openExtractionWindow(), window);
    EXPECT_EQ(control<QLineEdit>(window, "Text1")->text().toStdString(), folder.string());
    EXPECT_FALSE(control<QListWidget>(window, "File1")->isEnabled());
    EXPECT_EQ(control<QListWidget>(window, "File1")->count(), 3);
    control<QCheckBox>(window, "Check1")->setChecked(true);
    click(window, "Command1");

    EXPECT_FALSE(window->isVisible());
    Form2* status = window->statusWindow();
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(status->windowTitle().toStdString(), "100 % Kyt v2.8 - Status");
    EXPECT_EQ(control<QLabel>(status, "Label7")->text(), "1");
    EXPECT_EQ(control<QLabel>(status, "Label10")->text(), " Total Documents scanned : 3");
    EXPECT_EQ(control<QLabel>(status, "Label11")->text(), " No. of Successfully scanned documents :2");
    EXPECT_TRUE(control<QLabel>(status, "Label8")->isVisible());
    EXPECT_TRUE(fs::exists(folder / "Kyt_Resumes_WithErrors" / "b.docx"));
    EXPECT_EQ(students(), 2);

    QPointer<Form1> extraction(window);
    click(status, "Command2");
    ASSERT_EQ(setup.messages.messages().size(), 1u);
    EXPECT_NE(setup.messages.last().text.find("NOTE: Resumes with errors were copied"), std::string::npos);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(extraction.isNull());  // Finish closes the extraction window too
}

TEST_F(ExtractionWindows, BackReturnsToAFreshExtractionWindowAndCancelLetsTheReaderGo)
{
    add("a.docx", "1QP01CS001");
    Form1* window = openExtractionWindow();
    click(window, "Command1");
    ASSERT_NE(window->statusWindow(), nullptr);
    click(window->statusWindow(), "Command1");
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(setup.messages.messages().size(), 1u);
    EXPECT_EQ(setup.messages.last().text, extractedTo());
    Form1* fresh = extractionWindow();
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, window);
    EXPECT_TRUE(fresh->isVisible());
    EXPECT_EQ(control<QLineEdit>(fresh, "Text1")->text().toStdString(), folder.string());

    std::string error;
    setup.control.session.WordApp = word::Application::start(error);
    click(fresh, "Command2");
    EXPECT_FALSE(fresh->isVisible());
    EXPECT_EQ(setup.control.session.WordApp, nullptr);
}

TEST_F(ExtractionWindows, WhatFinishBackAndCloseTell)
{
    enum Action { Finish, Back, Close };
    struct Told {
        std::string text;  // ending in "..." : the start of the text
        std::string title;
        MsgIcon icon;
    };
    const std::string note = "\n\n NOTE: Resumes with errors were copied to a folder 'Kyt_Resumes_WithErrors' under the "
                             "folder selected for extraction ";
    const Told extracted{extractedTo(), "Kyt Message", MsgIcon::None};
    const struct {
        const char* what;
        int stored, errors, copyFailures;
        bool copy;
        Action action;
        std::vector<Told> told;
        bool reopened;
    } cases[] = {
        {"all stored", 3, 0, 0, true, Finish, {extracted}, false},
        {"rejections copied", 2, 1, 0, true, Finish, {{extractedTo() + note, "Kyt Message", MsgIcon::None}}, false},
        {"rejections not copied", 2, 1, 0, false, Finish, {extracted}, false},
        {"copies failed", 1, 2, -2, true, Finish,
         {{extractedTo() + note, "Kyt Message", MsgIcon::None},
          {"Few resumes with errors were not copied(2) to 'Kyt_Resumes_WithErrors' folder\n...", "Possible Error",
           MsgIcon::Information}},
         false},
        {"none stored, copied", 0, 3, 0, true, Finish,
         {{" All resumes contained critical errors " + note, "Kyt Message", MsgIcon::None}}, false},
        {"none stored", 0, 3, 0, false, Finish, {{" All resumes contained critical errors ", "Kyt Message", MsgIcon::None}},
         false},
        {"back", 1, 0, 0, true, Back, {extracted}, true},
        {"window closed", 1, 0, 0, true, Close, {extracted}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        setup.messages.clear();
        setup.control.run.SuccessfulDocuments = c.stored;
        setup.control.run.TotalErrors = c.errors;
        setup.control.run.CopyFailures = c.copyFailures;
        int closed = 0, opened = 0;
        QPointer<Form2> status = new Form2(setup.control);
        status->setCopyErroredResumes(c.copy);
        status->closeExtractionWindow = [&closed] { ++closed; };
        status->openExtractionWindow = [&opened] { ++opened; };
        status->show();
        if (c.action == Close)
            status->close();
        else
            click(status, c.action == Finish ? "Command2" : "Command1");
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(status.isNull());
        const auto& shown = setup.messages.messages();
        ASSERT_EQ(shown.size(), c.told.size());
        for (size_t k = 0; k < shown.size(); ++k) {
            const std::string& text = c.told[k].text;
            if (text.size() > 3 && text.compare(text.size() - 3, 3, "...") == 0)
                EXPECT_EQ(shown[k].text.rfind(text.substr(0, text.size() - 3), 0), 0u) << shown[k].text;
            else
                EXPECT_EQ(shown[k].text, text);
            EXPECT_EQ(shown[k].title, c.told[k].title);
            EXPECT_EQ(shown[k].icon, c.told[k].icon);
            EXPECT_EQ(shown[k].buttons, MsgButtons::OK);
        }
        EXPECT_EQ(closed, 1);
        EXPECT_EQ(opened, c.reopened ? 1 : 0);
    }
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

TEST_F(ExtractionWindows, ALockedDatabaseStopsTheRunAndTheStatusWindowSaysWhy)
{
    for (int k = 1; k <= 3; ++k)
        add("r" + std::to_string(k) + ".docx", "1QP01CS00" + std::to_string(k));
    const std::string cause = "Kyt stopped the extraction because the database could not be written";
    Form1* window = openExtractionWindow();
    control<QCheckBox>(window, "Check1")->setChecked(true);
    {
        test::DatabaseLock lock(setup.databasePath);
        ASSERT_TRUE(lock.held());
        setup.control.session.Connector->GetCurrentConnection()->setBusyTimeout(0);
        click(window, "Command1");
    }
    setup.control.session.Connector->GetCurrentConnection()->setBusyTimeout(5000);
    Form2* status = window->statusWindow();
    ASSERT_NE(status, nullptr);
    const QString shownNote = control<QLabel>(status, "Label8")->text();
    EXPECT_TRUE(shownNote.startsWith(QString::fromStdString(cause)) && shownNote.contains("locked"))
        << shownNote.toStdString();
    // The cause comes first; a note on the database file may follow it.
    const std::vector<test::RecordedMessage> told = setup.messages.messages();
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told[0].text, shownNote.toStdString());
    EXPECT_EQ(told[0].title, "Error.");
    EXPECT_EQ(told[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(control<QPushButton>(status, "Command2")->isEnabled());
    // The documents are left as they were: nothing logged, copied aside or stored.
    EXPECT_FALSE(fs::exists(folder / "Kyt_errors.txt"));
    EXPECT_TRUE(!fs::exists(folder / "Kyt_Resumes_WithErrors") || fs::is_empty(folder / "Kyt_Resumes_WithErrors"));
    EXPECT_EQ(students(), 0);

    // Finish adds nothing that would blame the résumés; the next run takes them all.
    click(status, "Command2");
    EXPECT_EQ(setup.messages.messages().size(), told.size()) << setup.messages.last().text;
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    click(openExtractionWindow(), "Command1");
    EXPECT_EQ(students(), 3);
}

// The officer's path with the window program's own message boxes, answered through their buttons.
class RealDialogRun : public ExtractionWindows {
protected:
    RealDialogRun() { setup.control.session.Messages = &shown; }

    QtMessageService shown;
    test::RealDialogs dialogs;
};

TEST_F(RealDialogRun, TenProblemsAnsweredNoStopTheRunAndTheConfigurationIsStillRewritten)
{
    for (int k = 10; k < 22; ++k)
        add("bad" + std::to_string(k) + ".docx", "2QP01CS0" + std::to_string(k));
    dialogs.click(QMessageBox::No);
    Form1* window = openExtractionWindow();
    click(window, "Command1");
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(0).title, "Please Intervene");
    EXPECT_EQ(dialogs.seen().at(0).buttons, QMessageBox::Yes | QMessageBox::No);
    Form2* status = window->statusWindow();
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(control<QPushButton>(status, "Command2")->isEnabled()) << "the run is over";
    const std::string log = test::readFile((folder / "Kyt_errors.txt").string());
    const std::string ending = "bad19.docx-\r\n\r\n";
    ASSERT_GE(log.size(), ending.size());
    EXPECT_EQ(log.substr(log.size() - ending.size()), ending);

    // Exit through the main menu: the status window's close runs (it tells where the students went)
    // before the database closes; the run's folder and statistics reach Kyt.ini.
    dialogs.click(QMessageBox::Ok);
    click(menu.get(), "Command1");
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(1).text, extractedTo());
    EXPECT_EQ(setup.control.session.Connector, nullptr);
    const std::vector<std::string> lines = test::crlfLines(test::readFile(setup.control.config.ConfigPath));
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[3], folder.string());
    EXPECT_EQ(lines[6], "10");
}

TEST_F(RealDialogRun, AFolderWithoutResumesIsToldAndTheWindowsStayUsable)
{
    dialogs.click(QMessageBox::Ok);
    Form1* window = openExtractionWindow();
    click(window, "Command1");
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(0).text.rfind("Could not find any Word Document. ", 0), 0u);
    EXPECT_EQ(dialogs.seen().at(0).icon, QMessageBox::Critical);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(fs::exists(folder / "Kyt_errors.txt"));

    // Usable afterwards: a résumé put into the folder is stored by the next Start, and the main menu closes.
    add("a.docx", "1QP01CS001");
    click(window, "Command1");
    EXPECT_EQ(students(), 1);
    dialogs.click(QMessageBox::Ok);
    menu->close();
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_FALSE(menu->isVisible());
    EXPECT_EQ(setup.control.session.Connector, nullptr);
}

}  // namespace
}  // namespace kyt
