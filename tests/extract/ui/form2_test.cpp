#include "extract/ui/form2.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "extract/ui/form1.h"
#include "support/extraction_fixture.h"

namespace kyt {
namespace {

using test::ExtractionSetup;
using test::TempDir;

void closeAllWindows()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        delete widget;
}

class Form2Test : public ::testing::Test {
protected:
    Form2Test()
    {
        status = new Form2(setup.control);
        status->closeExtractionWindow = [this] { ++extractionWindowClosed; };
        status->openExtractionWindow = [this] { ++extractionWindowOpened; };
        status->show();
    }
    ~Form2Test() override { closeAllWindows(); }

    void finish() { status->findChild<QPushButton*>("Command2")->click(); }
    std::string extractedTo() const { return " The resumes were extracted to " + setup.databasePath; }

    TempDir dir;
    ExtractionSetup setup{dir};
    Form2* status = nullptr;
    int extractionWindowClosed = 0;
    int extractionWindowOpened = 0;
};

TEST_F(Form2Test, LoadsWithItsCaptionAndTheEndLabelsHidden)
{
    EXPECT_EQ(status->windowTitle().toStdString(), "Kyt v2.8 - Status");
    EXPECT_EQ(status->findChild<QPushButton*>("Command1")->text(), "<< Back");
    EXPECT_EQ(status->findChild<QPushButton*>("Command2")->text(), "Finish");
    for (const char* name : {"Label8", "Label9", "Label10", "Label11"})
        EXPECT_FALSE(status->findChild<QLabel*>(name)->isVisible()) << name;
    EXPECT_EQ(status->findChild<QLabel*>("Label9")->text(), "Scanning and Extraction Complete.");
}

TEST_F(Form2Test, ResumeProgressShowsNumberAndBar)
{
    status->setResumeProgress(43);
    EXPECT_EQ(status->findChild<QLabel*>("Label3")->text(), "43 %");
    EXPECT_EQ(status->findChild<QProgressBar*>("ProgressCurrent")->value(), 43);
}

TEST_F(Form2Test, FinishAfterEveryDocumentStoredTellsOnlyWhereTheyWent)
{
    setup.control.run.SuccessfulDocuments = 3;
    status->setCopyErroredResumes(true);
    finish();
    ASSERT_EQ(setup.messages.messages().size(), 1u);
    EXPECT_EQ(setup.messages.last().text, extractedTo());
    EXPECT_EQ(setup.messages.last().title, "Kyt Message");
    EXPECT_EQ(setup.messages.last().icon, MsgIcon::None);
    EXPECT_EQ(setup.messages.last().buttons, MsgButtons::OK);
    EXPECT_EQ(extractionWindowClosed, 1);
    EXPECT_EQ(extractionWindowOpened, 0);
    EXPECT_FALSE(status->isVisible());
}

TEST_F(Form2Test, FinishWithCopiedRejectionsAddsTheNote)
{
    setup.control.run.SuccessfulDocuments = 2;
    setup.control.run.TotalErrors = 1;
    status->setCopyErroredResumes(true);
    finish();
    ASSERT_EQ(setup.messages.messages().size(), 1u);
    EXPECT_EQ(setup.messages.last().text,
              extractedTo() + "\n\n NOTE: Resumes with errors were copied to a folder 'Kyt_Resumes_WithErrors' under "
                              "the folder selected for extraction ");
}

TEST_F(Form2Test, FinishWithoutCopyingDoesNotMentionTheSideFolder)
{
    setup.control.run.SuccessfulDocuments = 2;
    setup.control.run.TotalErrors = 1;
    finish();
    ASSERT_EQ(setup.messages.messages().size(), 1u);
    EXPECT_EQ(setup.messages.last().text, extractedTo());
}

TEST_F(Form2Test, FailedCopiesAreReportedWithTheirNumber)
{
    setup.control.run.SuccessfulDocuments = 1;
    setup.control.run.TotalErrors = 2;
    setup.control.run.CopyFailures = -2;
    status->setCopyErroredResumes(true);
    finish();
    ASSERT_EQ(setup.messages.messages().size(), 2u);
    const auto& failure = setup.messages.messages()[1];
    EXPECT_EQ(failure.title, "Possible Error");
    EXPECT_EQ(failure.icon, MsgIcon::Information);
    EXPECT_EQ(failure.text.rfind("Few resumes with errors were not copied(2) to 'Kyt_Resumes_WithErrors' folder\n", 0),
              0u)
        << failure.text;
}

TEST_F(Form2Test, FinishWhenNothingWasStoredSaysSo)
{
    setup.control.run.SuccessfulDocuments = 0;
    status->setCopyErroredResumes(true);
    finish();
    ASSERT_EQ(setup.messages.messages().size(), 1u);
    EXPECT_EQ(setup.messages.last().text.rfind(" All resumes contained critical errors \n\n NOTE:", 0), 0u);

    setup.messages.clear();
    status = new Form2(setup.control);
    status->show();
    finish();
    ASSERT_EQ(setup.messages.messages().size(), 1u);
    EXPECT_EQ(setup.messages.last().text, " All resumes contained critical errors ");
}

TEST_F(Form2Test, BackTellsWhereTheyWentAndOpensAFreshExtractionWindow)
{
    setup.control.run.SuccessfulDocuments = 1;
    status->findChild<QPushButton*>("Command1")->click();
    ASSERT_EQ(setup.messages.messages().size(), 1u);
    EXPECT_EQ(setup.messages.last().text, extractedTo());
    EXPECT_EQ(extractionWindowClosed, 1);
    EXPECT_EQ(extractionWindowOpened, 1);
}

TEST_F(Form2Test, CloseButtonBehavesLikeBackWithoutReopening)
{
    status->close();
    ASSERT_EQ(setup.messages.messages().size(), 1u);
    EXPECT_EQ(setup.messages.last().text, extractedTo());
    EXPECT_EQ(extractionWindowClosed, 1);
    EXPECT_EQ(extractionWindowOpened, 0);
}

TEST_F(Form2Test, CannotBeClosedWhileTheRunIsInProgress)
{
    status->setRunning(true);
    EXPECT_FALSE(status->findChild<QPushButton*>("Command2")->isEnabled());
    status->close();
    EXPECT_TRUE(status->isVisible());
    EXPECT_TRUE(setup.messages.messages().empty());
    status->setRunning(false);
}

TEST_F(Form2Test, NoWindowClosesUnderARun)
{
    // The main menu closed between two documents would close the database under the run.
    QWidget mainMenu;
    mainMenu.show();
    status->setRunning(true);
    mainMenu.close();
    EXPECT_TRUE(mainMenu.isVisible());
    status->setRunning(false);
    mainMenu.close();
    EXPECT_FALSE(mainMenu.isVisible());
}

}  // namespace
}  // namespace kyt
