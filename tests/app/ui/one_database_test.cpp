// The kernel drops every lock the database engine holds on a file when any other descriptor of it closes in the
// program: a window that opens the database's files lets kyt-cli delete the log the window program writes into.

#include <QCheckBox>
#include <QComboBox>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTreeView>
#include <sys/inotify.h>
#include <unistd.h>

#include "app/run_cli.h"
#include "db/data_connector.h"
#include "drives/ui/formstats.h"
#include "extract/ui/form1.h"
#include "merge/ui/formatfile.h"
#include "query/ui/form3.h"
#include "query/ui/form4.h"
#include "query/ui/save_to_file.h"
#include "shell/ui/setinit.h"
#include "shell/ui/work_runner.h"
#include "support/extraction_fixture.h"
#include "support/real_dialogs.h"
#include "support/window_test.h"

namespace kyt::test {
namespace {

// As reported: kyt-cli beside the window program deleted its log; no other program saw its changes.
TEST(OneDatabase, NoWindowOpensTheDatabaseFilesSoKytCliBesideThemLeavesTheLogAndSeesEveryChange)
{
    TempDir dir;  // the database, and a folder of résumés and formats beside it
    ExtractionSetup setup{dir};
    std::filesystem::create_directory(dir.path() / "documents");
    ResumeForm::be("1QP22CS001").save(dir.file("documents/a.docx"));
    setup.control.config.LastResumeFolder = setup.control.config.LastFormatFolder = dir.file("documents");
    // Long work off the window thread, as the window program runs it: the folder lists go on reading the
    // folder while the work changes the database's files.
    QtWorkRunner work;
    setup.control.session.Work = &work;
    const QString folder = QString::fromStdString(dir.path().string());
    // The kernel's count of opens of the database's files: the engine holds them open already and opens none
    // while the windows are used, but for the query of the results window's save.
    const int inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        inotify_add_watch(inotify, (setup.databasePath + suffix).c_str(), IN_OPEN);
    const auto foreignOpens = [&] {
        inotify_event events[64];  // of watched files: no names
        ssize_t got = 0, all = 0;
        while ((got = ::read(inotify, events, sizeof events)) > 0)
            all += got;
        return all / static_cast<ssize_t>(sizeof(inotify_event));
    };
    const auto read = [&](QWidget* window, const char* tree) {  // once its folder list has read the database's folder
        QSignalSpy loaded(control<QTreeView>(window, tree)->model(), SIGNAL(directoryLoaded(QString)));
        EXPECT_TRUE(QTest::qWaitFor([&] { return loaded.contains({folder}); }, 60000));
        return window;
    };
    // A file dialog is answered once it shows the database's folder, as the officer who goes there.
    RealDialogs dialogs;
    // A dialog that starts in another folder cannot have opened the database's files before it goes there: the
    // opens until then are the engine's.
    const auto inFolder = [&](QFileDialog* dialog) {
        if (dialog->directory().absolutePath() != folder) {
            foreignOpens();
            dialog->setDirectory(folder);
            return false;
        }
        const auto* model = dialog->findChild<QFileSystemModel*>();
        return model->rowCount(model->index(folder)) > 0;
    };
    const auto answer = [&](const std::string& path) {
        dialogs.chooseFileWhen(QString::fromStdString(path), inFolder);
    };
    Form4::setOpener(setup.control, "Command3", [&](Form4& results) { SaveResultsToFile(setup.control, results); });
    Form4::setOpener(setup.control, "StatsButton", [&](Form4& results) {
        FormStats::open(setup.control)->showResult(results.result(), "Student List");
    });
    auto* query = new Form3(setup.control, [] { return 2026; });
    QPointer<QWidget> extraction, format;

    const std::vector<std::pair<const char*, std::function<void()>>> actions{
        {"the extraction window's folder list", [&] { extraction = read(Form1::open(setup.control), "Dir1"); }},
        {"an extraction run", [&] { click(extraction, "Command1"); }},
        {"the target format window's folder list", [&] { format = read(FormatFile::open(setup.control, {}), "Dir1"); }},
        {"its folder dialog for the students' files", [&] {
             control<QLineEdit>(format, "Text1")->setText(folder);
             control<QCheckBox>(format, "Check1")->setChecked(true);
             answer(dir.path().string());
             click(format, "Command4");
             control<QCheckBox>(format, "Check1")->setChecked(false);
         }},
        {"its file name dialog for the résumés", [&] {  // a form without fields: refused once the name is given
             control<QListWidget>(format, "File1")->setCurrentRow(0);
             answer(dir.file("documents/out.docx"));
             click(format, "Command1");
             EXPECT_NE(setup.messages.last().text.find("has no fields"), std::string::npos);
         }},
        {"the setup window's file dialog", [&] {
             auto* window = new setinit(setup.control);
             control<QLineEdit>(window, "Text3")->setText(QString::fromStdString(setup.databasePath));
             answer(setup.databasePath);
             click(window, "Command4");
         }},
        {"the results window's save dialog", [&] {
             control<QComboBox>(query, "Combo7")->setCurrentText("22");
             click(query, "Command2");
             answer(dir.file("documents/list.docx"));
             click(Form4::get(setup.control), "Command3");
         }},
        {"the statistics window's save dialog", [&] {
             click(Form4::get(setup.control), "StatsButton");
             answer(dir.file("documents/table.csv"));
             click(FormStats::open(setup.control), "SaveTableButton");
         }},
    };
    for (const auto& [action, act] : actions) {
        act();
        EXPECT_EQ(foreignOpens(), 0) << action;
    }
    EXPECT_TRUE(dialogs.allAnswered());
    EXPECT_TRUE(std::filesystem::exists(dir.file("documents/list.docx")) &&
                std::filesystem::exists(dir.file("documents/table.csv")));

    const auto sql = [db = " --db " + test::quoted(setup.databasePath) + " "](const std::string& statement) {
        std::string output;
        EXPECT_EQ(runCli("sql" + db + test::quoted(statement), &output), 0);
        return output;
    };
    EXPECT_EQ(sql("SELECT count(*) FROM Personal"), "count(*)\n1\n");
    EXPECT_TRUE(std::filesystem::exists(setup.databasePath + "-wal")) << "the log of a database in use was deleted";
    EXPECT_EQ(setup.control.session.Connector->exec("UPDATE Personal SET Name = 'Later' WHERE USN = '1QP22CS001'"),
              -13);
    EXPECT_EQ(sql("SELECT Name FROM Personal WHERE USN = '1QP22CS001'"), "Name\nLater\n");
    EXPECT_EQ(sql("PRAGMA integrity_check"), "integrity_check\nok\n");
    setup.control.session.Windows.destroyAll();
    std::vector<QPointer<QWidget>> windows;  // a window may take others with it
    for (QWidget* window : QApplication::topLevelWidgets())
        windows.emplace_back(window);
    for (const QPointer<QWidget>& window : windows)
        delete window.data();
    close(inotify);
}

}  // namespace
}  // namespace kyt::test
