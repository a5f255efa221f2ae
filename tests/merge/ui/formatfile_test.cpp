#include "merge/ui/formatfile.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTreeView>
#include <filesystem>

#include "db/database.h"
#include "db/seed.h"
#include "shell/ui/qt_message_service.h"
#include "support/real_dialogs.h"
#include "support/window_test.h"
#include "support/zip_bytes.h"

namespace kyt {
namespace {

namespace fs = std::filesystem;
using test::click;
using test::control;

const std::string kFormat =
    R"(<w:p><w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText> Name </w:instrText></w:r>)"
    R"(<w:r><w:fldChar w:fldCharType="end"/></w:r></w:p>)";

class FormatFileTest : public test::WindowTest {
protected:
    void SetUp() override
    {
        state.config.DatabasePath = test::makeDatabase(dir);
        state.session.AppTitle = "Kyt v2.8";
        db::Failure failure;
        auto database = db::Database::open(state.config.DatabasePath, db::Road::Connector, failure);
        ASSERT_TRUE(database) << failure.description;
        for (const char* usn : {"1RV22CS001", "1RV22CS002"}) {
            test::Student student;
            student.usn = usn;
            ASSERT_TRUE(database->exec(test::personalInsert(student), failure)) << failure.description;
        }
        fs::create_directories(dir.file("formats"));
        test::writeFile(dir.file("formats/Wipro.docx"), test::docxWithBody(kFormat));
        test::writeFile(dir.file("formats/~$Wipro.docx"), "owner file");
        test::writeFile(dir.file("formats/notes.txt"), "not a format");
        state.config.LastFormatFolder = dir.file("formats");
        hooks.ShowProgress = [this](int16_t p) { progress.push_back(p); };
        hooks.AskOutputFile = [this](const std::string&, const std::string&) { return dir.file("out.docx"); };
    }

    FormatFile* openWindow()
    {
        FormatFile* window = FormatFile::open(state, hooks);
        guarded = window;
        return window;
    }

    void TearDown() override { delete guarded.data(); }

    void select(FormatFile* window, const QString& name)
    {
        auto* files = control<QListWidget>(window, "File1");
        const auto found = files->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        files->setCurrentItem(found.front());
    }

    GenerateHooks hooks;
    std::vector<int16_t> progress;
    QPointer<FormatFile> guarded;
};

TEST_F(FormatFileTest, OpensAtTheLastFormatFolderListingWordDocumentsOnly)
{
    FormatFile* window = openWindow();
    EXPECT_EQ(window->windowTitle(), "Kyt v2.8 -  Locate the target format file");
    EXPECT_EQ(window->folder().toStdString(), dir.file("formats"));
    auto* files = control<QListWidget>(window, "File1");
    ASSERT_EQ(files->count(), 1);
    EXPECT_EQ(files->item(0)->text(), "Wipro.docx");
    EXPECT_TRUE(state.session.Windows.contains("FormatFile"));
}

TEST_F(FormatFileTest, OkWithoutAFileAsksForOneAndStays)
{
    FormatFile* window = openWindow();
    click(window, "Command1");
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.last().text, "Please select a file");
    EXPECT_EQ(messages.last().title, "");
    EXPECT_EQ(messages.last().icon, MsgIcon::None);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(progress.empty());
}

TEST_F(FormatFileTest, HelpIsARealMessageBoxClosedWithItsButton)
{
    QtMessageService shown;
    state.session.Messages = &shown;
    FormatFile* window = openWindow();
    test::RealDialogs dialogs;
    dialogs.click(QMessageBox::Ok);
    click(window, "Command3");
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(0).text,
              "For generating resumes, a file must be prepared by the user, \r\nwhich contains the target company's "
              "resume format and the required fields filled using CTRL+F9 and the name of the field in the "
              "database.\r\nWithout this file, resumes cannot be generated.\r\n\r\nPlease refer to the Kyt user manual "
              "under 'Generating Resumes' section for further help.");
    EXPECT_TRUE(window->isVisible());
}

TEST_F(FormatFileTest, OkGeneratesTheResumesAnswersTheSuccessBoxAndUnloads)
{
    QtMessageService shown;
    state.session.Messages = &shown;
    state.config.LastFormatFolder.clear();
    FormatFile* window = openWindow();
    // The officer walks from the current folder to the formats folder.
    window->Drive1_Change(control<QComboBox>(window, "Drive1")->currentIndex());
    auto* tree = control<QTreeView>(window, "Dir1");
    tree->setCurrentIndex(static_cast<QFileSystemModel*>(tree->model())->index(QString::fromStdString(dir.file("formats"))));
    select(window, "Wipro.docx");

    test::RealDialogs dialogs;
    dialogs.click(QMessageBox::Ok);
    click(window, "Command1");
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(0).title, "Success.");
    EXPECT_EQ(dialogs.seen().at(0).icon, QMessageBox::Information);
    EXPECT_EQ(dialogs.seen().at(0).text, " The generated resumes were saved at " + dir.file("out.docx"));
    EXPECT_TRUE(fs::exists(dir.file("out.docx")));
    EXPECT_EQ(state.config.LastFormatFolder, dir.file("formats"));
    EXPECT_EQ(progress.back(), 100);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guarded.isNull()) << "the window is unloaded after the run";
}

TEST_F(FormatFileTest, OneFilePerStudentIntoTheChosenFolder)
{
    fs::create_directories(dir.file("each"));
    FormatFile* window = openWindow();
    select(window, "Wipro.docx");
    control<QCheckBox>(window, "Check1")->setChecked(true);
    control<QLineEdit>(window, "Text1")->setText(QString::fromStdString(dir.file("each")));
    click(window, "Command1");
    ASSERT_FALSE(messages.messages().empty());
    EXPECT_EQ(messages.last().title, "Success.");
    EXPECT_TRUE(fs::exists(dir.file("each/1RV22CS001_Asha Rao.docx")));
    EXPECT_TRUE(fs::exists(dir.file("each/1RV22CS002_Asha Rao.docx")));
    EXPECT_FALSE(fs::exists(dir.file("out.docx")));
}

}  // namespace
}  // namespace kyt

int main(int argc, char** argv)
{
    return kyt::test::runWindowTests(argc, argv);
}
