#include "shell/ui/setinit.h"

#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QRadioButton>

#include "db/database.h"
#include "shell/configuration.h"
#include "shell/email.h"
#include "shell/startup.h"
#include "shell/ui/file_views.h"
#include "shell/ui/window_keys.h"
#include "shell/ui/window_registration.h"
#include "ui_setinit.h"
#include "shell/user_manual.h"

namespace kyt {
namespace {

#ifdef Q_OS_WIN
constexpr const char* kExamplePath = "c:\\Sresumes\\all\\resumes.db";
#else
constexpr const char* kExamplePath = "/home/Sresumes/all/resumes.db";
#endif

}  // namespace

setinit::setinit(Control& control, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::setinit>()), control(control)
{
    ui->setupUi(this);
    connect(ui->Command1, &QPushButton::clicked, this, &setinit::Command1_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &setinit::Command2_Click);
    connect(ui->Command3, &QPushButton::clicked, this, &setinit::Command3_Click);
    connect(ui->Command4, &QPushButton::clicked, this, &setinit::Command4_Click);
    connect(ui->optServer, &QRadioButton::toggled, this, &setinit::optServer_Toggled);
    registerWindow(control, "setinit", this);
    KeyHabits::install(this, {.firstFocus = ui->Text1, .defaultButton = ui->Command1, .cancelButton = ui->Command2});
    Form_Load();
}

setinit::~setinit() = default;

void setinit::Form_Load()
{
    setWindowTitle(QString::fromStdString(control.session.AppTitle + " - Setup init file"));
}

void setinit::tell(const std::string& text, const std::string& title, MsgIcon icon)
{
    if (control.session.Messages)
        control.session.Messages->show(text, title, icon, MsgButtons::OK);
}

void setinit::optServer_Toggled(bool server)
{
    ui->Label3->setText(server ? "Address of the database on the server (postgresql://server/database)"
                               : "Name of Database with full path");
    ui->Command4->setEnabled(!server);
}

bool setinit::serverReachable(const std::string& address)
{
    if (db::engineOf(address) != db::Engine::PostgreSQL) {
        tell("Enter the address of the database on the server, like postgresql://server/kyt", "Error", MsgIcon::Critical);
        return false;
    }
    if (db::hasPassword(address)) {
        tell("Leave the password out of the address: Kyt asks for it when it starts, or reads it from the "
             "password file (.pgpass).",
             "Error", MsgIcon::Critical);
        return false;
    }
    // A mistyped address is found here rather than at the next start.
    AskPasswordsThrough(control.session.Messages);
    db::Failure failure;
    if (!db::Database::open(address, db::Road::Connector, failure)) {
        tell("Kyt cannot use the database on the server.\n" + failure.description, "Error", MsgIcon::Critical);
        return false;
    }
    return true;
}

void setinit::Command1_Click()
{
    // On a server, the address must lead to a Kyt database. A database file that does not exist yet may
    // be made here, as kyt-cli init-db makes one; it is made only once every other box has been accepted.
    const bool server = ui->optServer->isChecked();
    const QString typedPath = ui->Text3->text().trimmed();
    const std::string address = typedPath.toStdString();
    bool create = false;
    if (server) {
        if (!serverReachable(address)) {
            ui->Text3->setFocus();
            return;
        }
    } else if (!FileExists(typedPath.toStdString())) {
        const QFileInfo wanted(typedPath);
        if (!typedPath.isEmpty() && !wanted.exists() && wanted.absoluteDir().exists() && control.session.Messages)
            create = control.session.Messages->show("The database " + wanted.absoluteFilePath().toStdString() +
                                                        " does not exist.\n\nMake a new, empty Kyt database there?",
                                                    "", MsgIcon::Question, MsgButtons::YesNo) == MsgAnswer::Yes;
        if (!create) {
            tell("Database file not found.", "", MsgIcon::Critical);
            ui->Text3->setFocus();
            return;
        }
    }
    if (ui->Text1->text().size() < 3) {
        tell(" Invalid region and College code ", "Error", MsgIcon::Critical);
        ui->Text1->setFocus();
        return;
    }
    std::string email = ui->Text2->text().toStdString();
    if (ValidateEmail(email) == "ERR") {
        tell(" Invalid Email ID ", "Error", MsgIcon::Critical);
        ui->Text2->setFocus();
        return;
    }

    if (create) {
        db::Failure failure;
        if (!db::Database::create(QFileInfo(typedPath).absoluteFilePath().toStdString(), failure)) {
            tell("The database could not be made.\n" + failure.description, "Error", MsgIcon::Critical);
            ui->Text3->setFocus();
            return;
        }
    }

    SetupValues values;
    values.RegionCollegeCode = ui->Text1->text().toStdString();
    values.PlacementEmail = email;
    // Stored absolute: a relative path in Kyt.ini is read against the file's own folder, not against
    // the folder the program happened to start in.
    values.DatabasePath = server ? address : QFileInfo(typedPath).absoluteFilePath().toStdString();
    values.ProgramFolder = ProgramFolder();
    values.ProgramFile = ProgramFile();
    std::string path = control.config.ConfigPath.empty() ? DefaultConfigPath() : control.config.ConfigPath;
    std::string error;
    if (!WriteSetupFile(path, values, error)) {
        // Saying "created" over a file that was never written would send the officer into a restart loop.
        tell("Kyt.ini could not be written.\n" + error, "Error", MsgIcon::Critical);
        return;
    }
    tell("Init file created.\n Please Restart Kyt.", "Success", MsgIcon::Information);
    close();
}

void setinit::Command2_Click()
{
    close();
}

void setinit::Command3_Click()
{
    tell(std::string("Email ID is used in case a student's Email is invalid \n\n The .DB file. The entries may look like ") +
             kExamplePath + "\n\n" + UserManualLine(),
         "Help", MsgIcon::Information);
}

void setinit::Command4_Click()
{
    QString chosen = chooseDatabaseFile ? chooseDatabaseFile() : showFileDialog();
    if (chosen.isEmpty()) {
        tell("Please select a file", "", MsgIcon::None);
        return;
    }
    ui->Text3->setText(QDir::toNativeSeparators(chosen));
}

QString setinit::showFileDialog()
{
    QString start = QFileInfo(ui->Text3->text()).absolutePath();
    // An existing database, or the name of a new one (OK then offers to make it).
    return askSaveFileName(this, "Locate Kyt Database file", start, "SQLite Files Files (*.db)", nullptr,
                           QFileDialog::DontConfirmOverwrite);
}

}  // namespace kyt
