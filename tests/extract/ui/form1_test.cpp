#include "extract/ui/form1.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <filesystem>

#include "extract/ui/form2.h"
#include "shell/ui/window_registration.h"
#include "support/extraction_fixture.h"
#include "support/window_test.h"
#include "word/application.h"

namespace kyt {
namespace {

namespace fs = std::filesystem;
using test::ExtractionSetup;
using test::ResumeForm;
using test::TempDir;

template <typename T>
T* control(QWidget* window, const char* name)
{
    T* found = window->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
}

class Form1Test : public ::testing::Test {
protected:
    Form1Test()
    {
        fs::create_directory(folder);
        setup.control.config.LastResumeFolder = folder.string();
        setup.control.session.WordApp.reset();  // a run starts its own
    }
    ~Form1Test() override
    {
        setup.control.session.Windows.closeAll();
        for (QWidget* widget : QApplication::topLevelWidgets())
            delete widget;
    }

    TempDir dir;
    ExtractionSetup setup{dir};
    fs::path folder = dir.path() / "resumes";
};

TEST_F(Form1Test, OpensAtTheLastFolderWithADisabledPreview)
{
    ResumeForm::be("1QP01CS001").save((folder / "b.docx").string());
    ResumeForm::be("1QP01CS002").save((folder / "a.DOC").string());
    test::writeFile((folder / "~$b.docx").string(), "owner file");
    Form1* window = Form1::open(setup.control);

    EXPECT_EQ(window->windowTitle().toStdString(), "Kyt v2.8 - Select résumé folder.");
    EXPECT_EQ(control<QLineEdit>(window, "Text1")->text().toStdString(), folder.string());
    auto* preview = control<QListWidget>(window, "File1");
    EXPECT_FALSE(preview->isEnabled());
    ASSERT_EQ(preview->count(), 2);
    EXPECT_EQ(preview->item(0)->text(), "a.DOC");
    EXPECT_EQ(preview->item(1)->text(), "b.docx");
    EXPECT_FALSE(control<QCheckBox>(window, "Check1")->isChecked());
    EXPECT_FALSE(control<QCheckBox>(window, "Check2")->isChecked());
    EXPECT_EQ(control<QPushButton>(window, "Command1")->text(), "Start");
    EXPECT_EQ(control<QPushButton>(window, "Command2")->text(), "Cancel");
    EXPECT_TRUE(setup.control.session.Windows.contains("Form1"));
    // A second open shows the same window.
    EXPECT_EQ(Form1::open(setup.control), window);
}

TEST_F(Form1Test, TheFolderListShowsTheFolderItOpensAtOnceItsNeighboursAreRead)
{
    // Forty neighbours sorted before it: read in the background after the window opens, they push the
    // chosen folder down and out of view unless the list brings it back.
    for (int k = 0; k < 40; ++k)
        fs::create_directory(dir.path() / ("aa" + std::to_string(10 + k)));
    Form1* window = Form1::open(setup.control);
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
    EXPECT_TRUE(test::waitUntil(shown));
    EXPECT_EQ(folders->currentIndex().data().toString().toStdString(), "resumes");
    EXPECT_EQ(control<QLineEdit>(window, "Text1")->text().toStdString(), folder.string());
}

TEST_F(Form1Test, StartRunsTheFolderAndTheStatusWindowLeadsOn)
{
    ResumeForm::be("1QP01CS001").save((folder / "a.docx").string());
    ResumeForm::be("2QP01CS002").save((folder / "b.docx").string());
    ResumeForm::be("1QP01CS003").save((folder / "c.docx").string());
    Form1* window = Form1::open(setup.control);
    control<QCheckBox>(window, "Check1")->setChecked(true);

    control<QPushButton>(window, "Command1")->click();

    EXPECT_FALSE(window->isVisible());
    Form2* status = window->statusWindow();
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->isVisible());
    EXPECT_TRUE(setup.control.session.Windows.contains("Form2"));
    EXPECT_EQ(status->windowTitle().toStdString(), "100 % Kyt v2.8 - Status");
    EXPECT_EQ(control<QLabel>(status, "Label2")->text(), "c.docx");
    EXPECT_EQ(control<QLabel>(status, "Label3")->text(), "100 %");
    EXPECT_EQ(control<QLabel>(status, "Label7")->text(), "1");
    EXPECT_EQ(control<QLabel>(status, "Label14")->text(), "100");
    EXPECT_EQ(control<QProgressBar>(status, "ProgressBarWhole")->value(), 100);
    EXPECT_TRUE(control<QLabel>(status, "Label9")->isVisible());
    EXPECT_EQ(control<QLabel>(status, "Label10")->text(), " Total Documents scanned : 3");
    EXPECT_EQ(control<QLabel>(status, "Label11")->text(), " No. of Successfully scanned documents :2");
    EXPECT_TRUE(control<QLabel>(status, "Label8")->isVisible());
    EXPECT_TRUE(control<QPushButton>(status, "Command2")->isEnabled());
    EXPECT_TRUE(fs::exists(folder / "Kyt_Resumes_WithErrors" / "b.docx"));
    EXPECT_EQ(setup.count("SELECT count(*) FROM Personal"), 2);

    QPointer<Form1> extraction(window);
    control<QPushButton>(status, "Command2")->click();
    ASSERT_EQ(setup.messages.messages().size(), 1u);
    EXPECT_NE(setup.messages.last().text.find("NOTE: Resumes with errors were copied"), std::string::npos);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(extraction.isNull());  // Finish closes the extraction window too
}

TEST_F(Form1Test, BackReturnsToAFreshExtractionWindow)
{
    ResumeForm::be("1QP01CS001").save((folder / "a.docx").string());
    Form1* window = Form1::open(setup.control);
    control<QPushButton>(window, "Command1")->click();
    Form2* status = window->statusWindow();
    ASSERT_NE(status, nullptr);

    control<QPushButton>(status, "Command1")->click();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(setup.messages.messages().size(), 1u);
    EXPECT_EQ(setup.messages.last().text.rfind(" The resumes were extracted to ", 0), 0u);
    auto* fresh = static_cast<Form1*>(findWindow(setup.control, "Form1"));
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, window);
    EXPECT_TRUE(fresh->isVisible());
    EXPECT_EQ(control<QLineEdit>(fresh, "Text1")->text().toStdString(), folder.string());
}

TEST_F(Form1Test, EmptyFolderSaysSoAndComesBack)
{
    Form1* window = Form1::open(setup.control);
    control<QPushButton>(window, "Command1")->click();
    ASSERT_EQ(setup.messages.messages().size(), 1u);
    EXPECT_EQ(setup.messages.last().text.rfind("Could not find any Word Document. ", 0), 0u);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(fs::exists(folder / "Kyt_errors.txt"));
}

TEST_F(Form1Test, CancelClosesTheWindowAndLetsTheReaderGo)
{
    Form1* window = Form1::open(setup.control);
    std::string error;
    setup.control.session.WordApp = word::Application::start(error);
    control<QPushButton>(window, "Command2")->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(setup.control.session.WordApp, nullptr);
}

}  // namespace
}  // namespace kyt
