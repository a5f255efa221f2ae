#include "extract/ui/form1.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include "extract/batch_driver.h"
#include "extract/ui/form2.h"
#include "extract/ui/run_history_window.h"
#include "shell/ui/folder_list.h"
#include "word/application.h"
#include "shell/ui/window_keys.h"
#include "shell/ui/window_registration.h"
#include "ui_form1.h"

namespace kyt {

namespace {
QString Q(const std::string& text) { return QString::fromStdString(text); }
}  // namespace

Form1::Form1(Control& control, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::Form1>()), control_(control)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    folders_ = new FolderList(ui->Dir1);

    // Drives stand for the mounted volumes; the folder list shows the folders of the chosen one.
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && ui->Drive1->findData(volume.rootPath()) < 0)
            ui->Drive1->addItem(volume.rootPath(), volume.rootPath());
    }

    connect(ui->Drive1, &QComboBox::activated, this, &Form1::Drive1_Change);
    connect(folders_, &FolderList::currentChanged, this, &Form1::Dir1_Change);
    connect(ui->Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(ui->CommandHistory, &QPushButton::clicked, this, [this] { RunHistory::open(control_, this); });

    const QString last = Q(control_.config.LastResumeFolder);
    if (!last.isEmpty() && QFileInfo(last).isDir()) {
        const QString root = QStorageInfo(last).rootPath();
        ui->Drive1->setCurrentIndex(std::max(0, ui->Drive1->findData(root)));
        drive_ = ui->Drive1->currentData().toString();
        goToFolder(last);
    } else {
        drive_ = ui->Drive1->currentData().toString();
        goToFolder(drive_.isEmpty() ? QDir::rootPath() : drive_);
    }
    ui->File1->setEnabled(false);
    // The folder list first: an arrow key in the drive list would switch the drive.
    KeyHabits::install(this, {.firstFocus = ui->Dir1, .defaultButton = ui->Command1, .cancelButton = ui->Command2});
    setWindowTitle(Q(control_.session.AppTitle + " - Select résumé folder."));
}

Form1::~Form1() = default;

Form1* Form1::open(Control& control)
{
    auto* window = static_cast<Form1*>(findWindow(control, "Form1"));
    if (!window) {
        window = new Form1(control);
        registerWindow(control, "Form1", window, true);
        centreOnMainMenu(control, window);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

QString Form1::folder() const { return ui->Text1->text(); }

Form2* Form1::statusWindow() const { return status_.data(); }

void Form1::goToFolder(const QString& path)
{
    if (folders_->showFolder(path))
        Dir1_Change();
}

void Form1::fillPreview()
{
    ui->File1->setEnabled(true);
    ui->File1->clear();
    for (const std::string& name : ResumeFiles(folder().toStdString()))
        ui->File1->addItem(Q(name));
    ui->File1->setEnabled(false);
}

void Form1::Dir1_Change()
{
    const QString path = folders_->currentPath();
    if (path.isEmpty() || path == folder())
        return;
    ui->Text1->setText(path);
    fillPreview();
}

void Form1::Drive1_Change(int index)
{
    const QString root = ui->Drive1->itemData(index).toString();
    const QStorageInfo volume(root);
    if (!volume.isReady() || !QFileInfo(root).isReadable()) {
        if (control_.session.Messages)
            control_.session.Messages->show("Error Reading device", "The drive " + root.toStdString() + " is not ready",
                                    MsgIcon::Critical, MsgButtons::OK);
        ui->Drive1->setCurrentIndex(std::max(0, ui->Drive1->findData(drive_)));
        return;
    }
    drive_ = root;
    goToFolder(root);
}

void Form1::Command1_Click()
{
    RunOptions options;
    options.folder = folder().toStdString();
    options.copyErroredResumes = ui->Check1->isChecked();
    options.dontStop = ui->Check2->isChecked();
    options.replace = ui->Check3->isChecked();

    if (status_)
        status_->deleteLater();  // a status window of an earlier run that was never closed
    auto* status = new Form2(control_);
    status_ = status;
    status->setCopyErroredResumes(options.copyErroredResumes);
    QPointer<Form1> self(this);
    status->closeExtractionWindow = [self] {
        if (self)
            self->close();
    };
    Control* control = &control_;
    status->openExtractionWindow = [control] { open(*control); };
    registerWindow(control_, "Form2", status, true);
    centreOver(control_, status, this);

    hide();
    status->setRunning(true);
    const RunResult result = RunExtraction(control_, *status, options);
    status->setRunning(false);
    status->setRunOutcome(result.outcome);

    if (result.outcome == RunOutcome::NoDocuments || result.outcome == RunOutcome::CouldNotStart) {
        status_ = nullptr;
        status->closeExtractionWindow = nullptr;
        status->deleteLater();  // never shown: nothing to tell
        show();
    }
}

void Form1::Command2_Click() { close(); }

void Form1::closeEvent(QCloseEvent* event)
{
    control_.session.WordApp.reset();  // there may be no reader running
    // Closed means unloaded: it goes at the next turn of the event loop, and a later open makes a fresh one.
    control_.session.Windows.remove("Form1", this);
    event->accept();
}

}  // namespace kyt
