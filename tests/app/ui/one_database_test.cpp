// The window program with kyt-cli beside it on one database. The kernel drops every lock the database
// engine holds on a file when any other descriptor of that file closes in the same program: a window that
// opens the database's files lets kyt-cli take the database for unused and delete the log it writes into.

#include <QComboBox>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTreeView>
#include <filesystem>

#include "app/run_cli.h"
#include "db/data_connector.h"
#include "extract/ui/form1.h"
#include "merge/ui/formatfile.h"
#include "query/ui/form3.h"
#include "query/ui/form4.h"
#include "query/ui/save_to_file.h"
#include "shell/ui/setinit.h"
#include "shell/ui/window_registration.h"
#include "support/extraction_fixture.h"
#include "support/foreign_opens.h"
#include "support/real_dialogs.h"
#include "support/window_test.h"
#include "word/application.h"

namespace kyt {
namespace {

namespace fs = std::filesystem;
using test::click;

// The program connected to a database in the folder of the résumés' and the formats' folders.
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
        setup.control.session.WordApp.reset();  // a run starts its own
    }
    ~OneDatabase() override
    {
        for (QWidget* window : QApplication::topLevelWidgets())
            delete window;
    }

    // `window`, once its folder list has read the database's folder (and looked at every file in it).
    QWidget* read(QWidget* window)
    {
        QSignalSpy loaded(test::control<QTreeView>(window, "Dir1")->model(), SIGNAL(directoryLoaded(QString)));
        EXPECT_TRUE(QTest::qWaitFor([&] { return loaded.contains({folder}); }, 60000));
        return window;
    }
    // A file dialog's answer waits until the dialog shows the database's folder read.
    std::function<bool(QFileDialog*)> folderRead()
    {
        return [folder = folder](QFileDialog* dialog) {
            if (dialog->directory() != QDir(folder))
                dialog->setDirectory(folder);
            const auto* model = dialog->findChild<QFileSystemModel*>();
            const QModelIndex parent = model->index(folder);
            for (int row = 0; row < model->rowCount(parent); ++row)
                if (model->index(row, 0, parent).data().toString() == "resumes")
                    return true;
            return false;
        };
    }

    test::TempDir dir;
    test::ExtractionSetup setup{dir};
    QString folder = QString::fromStdString(dir.path().string());
};

TEST_F(OneDatabase, NoWindowOpensTheDatabaseFiles)
{
    test::ForeignOpens opens(setup.databasePath);
    QWidget* extraction = read(Form1::open(setup.control));
    EXPECT_EQ(opens.sinceLast(), "") << "the extraction window's folder list";
    click(extraction, "Command1");
    EXPECT_EQ(setup.students(), 2);
    EXPECT_EQ(opens.sinceLast(), "") << "an extraction run";

    read(FormatFile::open(setup.control, {}));
    EXPECT_EQ(opens.sinceLast(), "") << "the target format window's folder list";

    setinit setupWindow(setup.control);
    test::control<QLineEdit>(&setupWindow, "Text3")->setText(QString::fromStdString(setup.databasePath));
    test::RealDialogs dialogs;
    dialogs.chooseFileWhen(QString::fromStdString(setup.databasePath), folderRead());
    click(&setupWindow, "Command4");
    EXPECT_EQ(opens.sinceLast(), "") << "the setup window's file dialog";

    Form3 criteria(setup.control, [] { return 2004; });
    test::control<QComboBox>(&criteria, "Combo7")->setCurrentText("01");
    click(&criteria, "Command2");
    Form4::setOpener(setup.control, "Command3", [this](Form4& results) { SaveResultsToFile(setup.control, results); });
    dialogs.chooseFileWhen(QString::fromStdString(dir.file("list.docx")), folderRead());
    click(findWindow(setup.control, "Form4"), "Command3");
    EXPECT_TRUE(fs::exists(dir.file("list.docx"))) << setup.messages.last().text;
    EXPECT_EQ(opens.sinceLast(), "") << "the results window's save dialog";
}

// As reported: after a run in the window program kyt-cli opened and closed the database and deleted the
// log, and from then on no other program saw the window program's changes.
TEST_F(OneDatabase, KytCliBesideTheWindowsLeavesTheLogAndSeesEveryChange)
{
    click(read(Form1::open(setup.control)), "Command1");
    const auto sql = [db = " --db " + test::quoted(setup.databasePath) + " "](const std::string& statement) {
        std::string output;
        EXPECT_EQ(test::runCli("sql" + db + test::quoted(statement), &output), 0);
        return output;
    };
    EXPECT_EQ(sql("SELECT count(*) FROM Personal"), "count(*)\n2\n");
    EXPECT_TRUE(fs::exists(setup.databasePath + "-wal")) << "the log of a database in use was deleted";
    const std::string later = "UPDATE Personal SET Name = 'Later' WHERE USN = '1QP01CS001'";
    ASSERT_EQ(setup.control.session.Connector->exec(later), -13);
    EXPECT_EQ(sql("SELECT Name FROM Personal WHERE USN = '1QP01CS001'"), "Name\nLater\n");
    EXPECT_EQ(sql("PRAGMA integrity_check"), "integrity_check\nok\n");
}

}  // namespace
}  // namespace kyt
