// The window program with kyt-cli beside it on one database. The kernel drops every lock the database
// engine holds on a file when any other descriptor of that file closes in the same program; so the windows
// must never open the database's files themselves, or kyt-cli takes the database for unused and deletes
// its log under the window program.

#include <QComboBox>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTreeView>
#include <filesystem>

#include "app/run_cli.h"
#include "extract/ui/form1.h"
#include "merge/ui/formatfile.h"
#include "query/ui/form3.h"
#include "query/ui/form4.h"
#include "query/ui/save_to_file.h"
#include "shell/ui/setinit.h"
#include "shell/ui/window_registration.h"
#include "db/data_connector.h"
#include "support/extraction_fixture.h"
#include "support/foreign_opens.h"
#include "support/real_dialogs.h"
#include "support/window_test.h"
#include "word/application.h"

namespace kyt {
namespace {

namespace fs = std::filesystem;
using test::click;

// Whether `model` shows `name` in `folder`, which it does once it has read the folder and looked at every
// file in it.
bool shows(const QFileSystemModel* model, const QString& folder, const QString& name)
{
    const QModelIndex parent = model->index(folder);
    for (int row = 0; row < model->rowCount(parent); ++row)
        if (model->index(row, 0, parent).data().toString() == name)
            return true;
    return false;
}

// The database in the folder that holds the résumés' folder, the folder of target formats and the saved
// results; the officer's program connected to it.
class OneDatabase : public ::testing::Test {
protected:
    OneDatabase()
    {
        fs::create_directory(dir.path() / "resumes");
        fs::create_directory(dir.path() / "formats");
        for (const char* usn : {"1QP01CS001", "1QP01CS002"})
            test::ResumeForm::be(usn).save(dir.file("resumes/" + std::string(usn) + ".docx"));
        setup.control.config.LastResumeFolder = dir.file("resumes");
        setup.control.config.LastFormatFolder = dir.file("formats");
        setup.control.config.ConfigPath = dir.file("Kyt.ini");
        setup.control.session.WordApp.reset();  // a run starts its own
    }
    ~OneDatabase() override
    {
        for (QWidget* window : QApplication::topLevelWidgets())
            delete window;
    }

    // Opens the extraction window and waits until its folder list has read the database's folder.
    Form1* openExtractionWindow()
    {
        Form1* window = Form1::open(setup.control);
        waitUntilRead(window);
        return window;
    }
    void waitUntilRead(QWidget* window)
    {
        QSignalSpy loaded(test::control<QTreeView>(window, "Dir1")->model(), SIGNAL(directoryLoaded(QString)));
        EXPECT_TRUE(QTest::qWaitFor([&] { return loaded.contains({QString::fromStdString(dir.path().string())}); },
                                    60000));
    }
    // A file dialog's answer, given once the dialog shows the database's folder read.
    std::function<bool(QFileDialog*)> databaseFolderRead()
    {
        const QString folder = QString::fromStdString(dir.path().string());
        return [folder](QFileDialog* dialog) {
            if (dialog->directory() != QDir(folder))
                dialog->setDirectory(folder);
            return shows(dialog->findChild<QFileSystemModel*>(), folder, "resumes");
        };
    }

    test::TempDir dir;
    test::ExtractionSetup setup{dir};
};

TEST_F(OneDatabase, NoWindowOpensTheDatabaseFiles)
{
    test::ForeignOpens opens(setup.databasePath);
    Form1* extraction = openExtractionWindow();
    EXPECT_EQ(opens.sinceLast(), "") << "the extraction window's folder list";
    click(extraction, "Command1");
    EXPECT_EQ(setup.students(), 2);
    EXPECT_EQ(opens.sinceLast(), "") << "an extraction run";

    waitUntilRead(FormatFile::open(setup.control, {}));
    EXPECT_EQ(opens.sinceLast(), "") << "the target format window's folder list";

    setinit setupWindow(setup.control);
    setupWindow.show();
    test::control<QLineEdit>(&setupWindow, "Text3")->setText(QString::fromStdString(setup.databasePath));
    test::RealDialogs dialogs;
    dialogs.chooseFileWhen(QString::fromStdString(setup.databasePath), databaseFolderRead());
    click(&setupWindow, "Command4");
    EXPECT_EQ(opens.sinceLast(), "") << "the setup window's file dialog";

    Form3 criteria(setup.control, [] { return 2004; });
    test::control<QComboBox>(&criteria, "Combo7")->setCurrentText("01");
    click(&criteria, "Command2");
    Form4::setOpener(setup.control, "Command3", [this](Form4& results) { SaveResultsToFile(setup.control, results); });
    dialogs.chooseFileWhen(QString::fromStdString(dir.file("list.docx")), databaseFolderRead());
    click(findWindow(setup.control, "Form4"), "Command3");
    EXPECT_TRUE(fs::exists(dir.file("list.docx"))) << setup.messages.last().text;
    EXPECT_EQ(opens.sinceLast(), "") << "the results window's save dialog";
}

// The report: after a run in the window program, kyt-cli opened and closed the database, deleted the log
// the window program was writing into, and from then on no other program saw its changes.
TEST_F(OneDatabase, KytCliBesideTheWindowsLeavesTheLogAndSeesEveryChange)
{
    click(openExtractionWindow(), "Command1");
    const std::string database = " --db " + test::quoted(setup.databasePath) + " ";
    std::string output;
    EXPECT_EQ(test::runCli("sql" + database + "'SELECT count(*) FROM Personal'", &output), 0);
    EXPECT_EQ(output, "count(*)\n2\n");
    EXPECT_TRUE(fs::exists(setup.databasePath + "-wal")) << "the log of a database in use was deleted";

    ASSERT_EQ(setup.control.session.Connector->exec("UPDATE Personal SET Name = 'Later' WHERE USN = '1QP01CS001'"),
              -13);
    EXPECT_EQ(test::runCli("sql" + database + "\"SELECT Name FROM Personal WHERE USN = '1QP01CS001'\"", &output), 0);
    EXPECT_EQ(output, "Name\nLater\n");
    EXPECT_EQ(test::runCli("sql" + database + "'PRAGMA integrity_check'", &output), 0);
    EXPECT_EQ(output, "integrity_check\nok\n");
}

}  // namespace
}  // namespace kyt
