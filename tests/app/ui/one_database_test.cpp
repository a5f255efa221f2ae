// The kernel drops every lock the database engine holds on a file when any other descriptor of it closes in the
// program: a window that opens the database's files lets kyt-cli delete the log the window program writes into.

#include <QFileSystemModel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTreeView>
#include <sys/inotify.h>
#include <unistd.h>

#include "app/run_cli.h"
#include "db/data_connector.h"
#include "extract/ui/form1.h"
#include "merge/ui/formatfile.h"
#include "shell/ui/setinit.h"
#include "support/extraction_fixture.h"
#include "support/real_dialogs.h"
#include "support/window_test.h"

namespace kyt::test {

// As reported: kyt-cli beside the window program deleted its log; no other program saw its changes.
TEST(OneDatabase, NoWindowOpensTheDatabaseFilesSoKytCliBesideThemLeavesTheLogAndSeesEveryChange)
{
    TempDir dir;  // the database, and a folder of résumés and formats beside it
    ExtractionSetup setup{dir};
    std::filesystem::create_directory(dir.path() / "documents");
    ResumeForm::be("1QP01CS001").save(dir.file("documents/a.docx"));
    setup.control.config.LastResumeFolder = setup.control.config.LastFormatFolder = dir.file("documents");
    const QString folder = QString::fromStdString(dir.path().string());
    const auto read = [&](QWidget* window) {  // once its folder list has read the database's folder
        QSignalSpy loaded(control<QTreeView>(window, "Dir1")->model(), SIGNAL(directoryLoaded(QString)));
        EXPECT_TRUE(QTest::qWaitFor([&] { return loaded.contains({folder}); }, 60000));
        return window;
    };
    // The kernel's count of opens of the database's files: the engine has them open already and opens none.
    const int inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    for (const char* suffix : {"", "-wal", "-shm"})
        inotify_add_watch(inotify, (setup.databasePath + suffix).c_str(), IN_OPEN);
    const auto databaseOpens = [inotify] {
        inotify_event events[64];  // of watched files: no names
        ssize_t got = 0, all = 0;
        while ((got = ::read(inotify, events, sizeof events)) > 0)
            all += got;
        return all / static_cast<ssize_t>(sizeof(inotify_event));
    };

    QWidget* extraction = read(Form1::open(setup.control));
    EXPECT_EQ(databaseOpens(), 0) << "the extraction window's folder list";
    read(FormatFile::open(setup.control, {}));
    EXPECT_EQ(databaseOpens(), 0) << "the target format window's folder list";
    const auto folderRead = [&](QFileDialog* dialog) {  // a dialog is answered once it shows the folder
        const auto* model = dialog->findChild<QFileSystemModel*>();
        return model->rowCount(model->index(folder)) > 0;
    };
    auto* setupWindow = new setinit(setup.control);
    control<QLineEdit>(setupWindow, "Text3")->setText(QString::fromStdString(setup.databasePath));
    RealDialogs dialogs;
    dialogs.chooseFileWhen(QString::fromStdString(setup.databasePath), folderRead);
    click(setupWindow, "Command4");
    EXPECT_EQ(databaseOpens(), 0) << "the setup window's file dialog";

    click(extraction, "Command1");
    const auto sql = [db = " --db " + test::quoted(setup.databasePath) + " "](const std::string& statement) {
        std::string output;
        EXPECT_EQ(runCli("sql" + db + test::quoted(statement), &output), 0);
        return output;
    };
    EXPECT_EQ(sql("SELECT count(*) FROM Personal"), "count(*)\n1\n");
    EXPECT_TRUE(std::filesystem::exists(setup.databasePath + "-wal")) << "the log of a database in use was deleted";
    EXPECT_EQ(setup.control.session.Connector->exec("UPDATE Personal SET Name = 'Later' WHERE USN = '1QP01CS001'"),
              -13);
    EXPECT_EQ(sql("SELECT Name FROM Personal WHERE USN = '1QP01CS001'"), "Name\nLater\n");
    EXPECT_EQ(sql("PRAGMA integrity_check"), "integrity_check\nok\n");
    for (QWidget* window : QApplication::topLevelWidgets())
        delete window;
}

}  // namespace kyt::test
