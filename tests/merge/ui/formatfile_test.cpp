#include "merge/ui/formatfile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
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

class FormatFileTest : public test::WindowTest {
protected:
    void SetUp() override
    {
        state.config.DatabasePath = test::makeDatabase(dir);
        db::Failure failure;
        auto database = db::Database::open(state.config.DatabasePath, db::Road::Connector, failure);
        ASSERT_TRUE(database) << failure.description;
        for (const char* usn : {"1RV22CS001", "1RV22CS002"})
            ASSERT_TRUE(database->exec(test::personalInsert({.usn = usn}), failure)) << failure.description;
        fs::create_directories(dir.file("formats"));
        fs::create_directories(dir.file("each"));
        test::writeFile(dir.file("formats/Wipro.docx"),
                        test::docxWithBody(R"(<w:p><w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText>)"
                                           R"( Name </w:instrText></w:r><w:r><w:fldChar w:fldCharType="end"/></w:r></w:p>)"));
        test::writeFile(dir.file("formats/~$Wipro.docx"), "owner file");
        test::writeFile(dir.file("formats/notes.txt"), "not a format");
        state.config.LastFormatFolder = dir.file("formats");
        hooks.ShowProgress = [this](int16_t p) { progress.push_back(p); };
        hooks.AskOutputFile = [this](const std::string&, const std::string&) { return dir.file("out.docx"); };
    }
    void TearDown() override { delete window.data(); }

    void open(std::optional<Selection> selection = std::nullopt) { window = FormatFile::open(state, hooks, selection); }
    void select(const QString& name)
    {
        const auto found = control<QListWidget>(window, "File1")->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        control<QListWidget>(window, "File1")->setCurrentItem(found.front());
    }

    GenerateHooks hooks;
    std::vector<int16_t> progress;
    QPointer<FormatFile> window;
};

// Opened from a results window, it merges that window's students.
TEST_F(FormatFileTest, OpensAtTheLastFolderListingWordDocumentsOnlyAndWritesOneFilePerStudent)
{
    open(Selection{" where (personal.usn = '1RV22CS001') AND (usn = Freepercent.usn_FP)  ORDER BY USN DESC",
                   "SELECT USN as USN_FP FROM Personal"});
    EXPECT_EQ(window->folder().toStdString(), dir.file("formats"));
    auto* files = control<QListWidget>(window, "File1");
    ASSERT_EQ(files->count(), 1);
    EXPECT_EQ(files->item(0)->text(), "Wipro.docx");
    click(window, "Command1");
    EXPECT_EQ(messages.last().text, "Please select a file");
    EXPECT_TRUE(progress.empty());

    select("Wipro.docx");
    control<QCheckBox>(window, "Check1")->setChecked(true);
    control<QLineEdit>(window, "Text1")->setText(QString::fromStdString(dir.file("each")));
    click(window, "Command1");
    EXPECT_EQ(messages.last().title, "Success.");
    EXPECT_TRUE(fs::exists(dir.file("each/1RV22CS001_Asha Rao.docx")));
    EXPECT_FALSE(fs::exists(dir.file("each/1RV22CS002_Asha Rao.docx")));
    EXPECT_FALSE(fs::exists(dir.file("out.docx")));
}

TEST_F(FormatFileTest, OkGeneratesTheResumesAnswersTheSuccessBoxAndUnloads)
{
    QtMessageService shown;
    state.session.Messages = &shown;
    state.config.LastFormatFolder.clear();
    open();
    // The officer walks from the current folder to the formats folder.
    window->Drive1_Change(control<QComboBox>(window, "Drive1")->currentIndex());
    auto* tree = control<QTreeView>(window, "Dir1");
    tree->setCurrentIndex(static_cast<QFileSystemModel*>(tree->model())->index(QString::fromStdString(dir.file("formats"))));
    select("Wipro.docx");

    test::RealDialogs dialogs;
    dialogs.click(QMessageBox::Ok);
    click(window, "Command1");
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(0).title, "Success.");
    EXPECT_TRUE(fs::exists(dir.file("out.docx")));
    EXPECT_EQ(state.config.LastFormatFolder, dir.file("formats"));
    EXPECT_EQ(progress.back(), 100);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull()) << "the window is unloaded after the run";
}

}  // namespace
}  // namespace kyt

int main(int argc, char** argv)
{
    return kyt::test::runWindowTests(argc, argv);
}
