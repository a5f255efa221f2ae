// The extraction windows as the main menu opens and closes them.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <filesystem>

#include "extract/ui/form1.h"
#include "extract/ui/form2.h"
#include "shell/ui/firstform.h"
#include "shell/ui/qt_message_service.h"
#include "shell/ui/window_registration.h"
#include "support/extraction_fixture.h"
#include "word/application.h"
#include "support/real_dialogs.h"
#include "support/test_config.h"

namespace kyt {
namespace {

namespace fs = std::filesystem;
using test::ExtractionSetup;
using test::ResumeForm;
using test::TempDir;

class MainMenuExtraction : public ::testing::Test {
protected:
    MainMenuExtraction()
    {
        fs::create_directory(folder);
        setup.control.config.LastResumeFolder = folder.string();
        setup.control.config.ConfigPath = dir.file("Kyt.ini");
        setup.control.session.WordApp.reset();
        menu = std::make_unique<FirstForm>(setup.control);
        menu->setOpener("OKButton", [this] { Form1::open(setup.control); });
        menu->show();
    }
    ~MainMenuExtraction() override
    {
        menu.reset();
        for (QWidget* widget : QApplication::topLevelWidgets())
            delete widget;
    }
    Form1* extractionWindow() const { return static_cast<Form1*>(findWindow(setup.control, "Form1")); }

    TempDir dir;
    ExtractionSetup setup{dir};
    fs::path folder = dir.path() / "resumes";
    std::unique_ptr<FirstForm> menu;
};

TEST_F(MainMenuExtraction, ExtractButtonOpensTheExtractionWindowOnce)
{
    menu->findChild<QPushButton*>("OKButton")->click();
    Form1* first = extractionWindow();
    ASSERT_NE(first, nullptr);
    menu->findChild<QPushButton*>("OKButton")->click();
    EXPECT_EQ(extractionWindow(), first);
}

TEST_F(MainMenuExtraction, ClosingTheMenuRunsTheStatusWindowsCloseBeforeTheDatabaseGoes)
{
    ResumeForm::be("1QP01CS001").save((folder / "a.docx").string());
    menu->findChild<QPushButton*>("OKButton")->click();
    Form1* window = extractionWindow();
    ASSERT_NE(window, nullptr);
    window->findChild<QPushButton*>("Command1")->click();
    ASSERT_NE(window->statusWindow(), nullptr);

    menu->close();
    ASSERT_EQ(setup.messages.messages().size(), 1u);
    EXPECT_EQ(setup.messages.last().text, " The resumes were extracted to " + setup.databasePath);
    EXPECT_EQ(setup.control.session.Connector, nullptr);
    // The run's folder and statistics reach the configuration file.
    const std::string config = test::readFile(setup.control.config.ConfigPath);
    EXPECT_NE(config.find(folder.string() + "\r\n"), std::string::npos) << config;
}

}  // namespace
}  // namespace kyt

namespace kyt {
namespace {

// The whole officer's path with the window program's own message boxes, answered through their buttons.
class RealDialogRun : public MainMenuExtraction {
protected:
    RealDialogRun() { setup.control.session.Messages = &shown; }

    void addRejected(int count)
    {
        for (int k = 0; k < count; ++k)
            ResumeForm::be("2QP01CS0" + std::to_string(10 + k)).save((folder / ("bad" + std::to_string(10 + k) + ".docx")).string());
    }
    Form1* start()
    {
        menu->findChild<QPushButton*>("OKButton")->click();
        Form1* window = extractionWindow();
        if (window)
            window->findChild<QPushButton*>("Command1")->click();
        return window;
    }
    std::string errorLog() const { return test::readFile((folder / "Kyt_errors.txt").string()); }

    QtMessageService shown;
    test::RealDialogs dialogs;
};

TEST_F(RealDialogRun, TenProblemsAnsweredNoStopTheRunAndTheConfigurationIsStillRewritten)
{
    addRejected(12);
    dialogs.click(QMessageBox::No);
    Form1* window = start();
    ASSERT_NE(window, nullptr);

    ASSERT_TRUE(dialogs.allAnswered());
    ASSERT_EQ(dialogs.seen().size(), 1u);
    EXPECT_EQ(dialogs.seen()[0].title, "Please Intervene");
    EXPECT_EQ(dialogs.seen()[0].buttons, QMessageBox::Yes | QMessageBox::No);
    Form2* status = window->statusWindow();
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->findChild<QPushButton*>("Command2")->isEnabled()) << "the run is over";
    const std::string log = errorLog();
    const std::string ending = "bad19.docx-\r\n\r\n";
    ASSERT_GE(log.size(), ending.size());
    EXPECT_EQ(log.substr(log.size() - ending.size()), ending);

    // Exit through the main menu: the status window tells where the students went, the database closes,
    // the run's folder and statistics reach Kyt.ini.
    dialogs.click(QMessageBox::Ok);
    menu->findChild<QPushButton*>("Command1")->click();
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen()[1].text, " The resumes were extracted to " + setup.databasePath);
    EXPECT_EQ(setup.control.session.Connector, nullptr);
    const std::vector<std::string> lines = test::crlfLines(test::readFile(setup.control.config.ConfigPath));
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[3], folder.string());
    EXPECT_EQ(lines[6], "10");
}

TEST_F(RealDialogRun, TenProblemsAnsweredYesRunToTheEnd)
{
    addRejected(12);
    dialogs.click(QMessageBox::Yes);
    Form1* window = start();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(0).title, "Please Intervene");
    Form2* status = window->statusWindow();
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->findChild<QLabel*>("Label10")->text(), " Total Documents scanned : 12");
    EXPECT_EQ(setup.control.run.TotalErrors, 12);

    dialogs.click(QMessageBox::Ok);
    status->findChild<QPushButton*>("Command2")->click();
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(1).text, " All resumes contained critical errors ");
}

TEST_F(RealDialogRun, AFolderWithoutResumesIsToldAndTheWindowsStayUsable)
{
    dialogs.click(QMessageBox::Ok);
    Form1* window = start();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(0).text.rfind("Could not find any Word Document. ", 0), 0u);
    EXPECT_EQ(dialogs.seen().at(0).icon, QMessageBox::Critical);
    EXPECT_TRUE(window->isVisible());

    // Usable afterwards: a résumé put into the folder is stored by the next Start, and the main menu closes.
    ResumeForm::be("1QP01CS001").save((folder / "a.docx").string());
    window->findChild<QPushButton*>("Command1")->click();
    EXPECT_EQ(setup.count("SELECT count(*) FROM Personal"), 1);
    dialogs.click(QMessageBox::Ok);
    menu->close();
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_FALSE(menu->isVisible());
    EXPECT_EQ(setup.control.session.Connector, nullptr);
}

}  // namespace
}  // namespace kyt
