// The extraction windows as the main menu opens and closes them.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <filesystem>

#include "extract/ui/form1.h"
#include "extract/ui/form2.h"
#include "shell/ui/firstform.h"
#include "support/extraction_fixture.h"
#include "word/application.h"

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
    Form1* extractionWindow() const
    {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* form = qobject_cast<Form1*>(widget); form && form->isVisible())
                return form;
        return nullptr;
    }

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
