#include "merge/ui/formatfile.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include "shell/ui/file_views.h"
#include "shell/ui/folder_list.h"
#include "shell/ui/window_keys.h"
#include "shell/ui/window_registration.h"
#include "ui_formatfile.h"
#include "shell/user_manual.h"

namespace kyt {

namespace {

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

// The save dialog of the generator; it does not ask before replacing a file.
std::string askOutputFile(QWidget* parent, const std::string& title)
{
    QString chosen = askSaveFileName(parent, Q(title), QString(), "Microsoft Word (*.docx)", nullptr,
                                     QFileDialog::DontConfirmOverwrite);
    if (!chosen.isEmpty() && QFileInfo(chosen).suffix().isEmpty())
        chosen += ".docx";
    return chosen.toStdString();
}

}  // namespace

FormatFile::FormatFile(Control& control, GenerateHooks hooks, std::optional<Selection> selection, QWidget* parent)
    : QWidget(parent),
      ui(std::make_unique<Ui::FormatFile>()),
      control_(control),
      hooks_(std::move(hooks)),
      selection_(std::move(selection))
{
    ui->setupUi(this);
    folders_ = new FolderList(ui->Dir1);
    setAttribute(Qt::WA_DeleteOnClose);
    if (!hooks_.AskOutputFile)
        hooks_.AskOutputFile = [this](const std::string& title, const std::string&) { return askOutputFile(this, title); };

    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && ui->Drive1->findData(volume.rootPath()) < 0)
            ui->Drive1->addItem(volume.rootPath(), volume.rootPath());
    }

    connect(ui->Drive1, &QComboBox::activated, this, &FormatFile::Drive1_Change);
    connect(folders_, &FolderList::currentChanged, this, &FormatFile::Dir1_Change);
    connect(ui->File1, &QListWidget::itemDoubleClicked, this, &FormatFile::File1_DblClick);
    connect(ui->Command1, &QPushButton::clicked, this, &FormatFile::Command1_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &FormatFile::Command2_Click);
    connect(ui->Command3, &QPushButton::clicked, this, &FormatFile::Command3_Click);
    connect(ui->Command4, &QPushButton::clicked, this, &FormatFile::Command4_Click);
    connect(ui->Check1, &QCheckBox::toggled, this, [this](bool on) {
        ui->Text1->setEnabled(on);
        ui->Command4->setEnabled(on);
        ui->Check2->setEnabled(on);
    });
    KeyHabits::install(this, {.firstFocus = ui->Dir1, .defaultButton = ui->Command1, .cancelButton = ui->Command2});
    Form_Load();
}

FormatFile::~FormatFile() = default;

FormatFile* FormatFile::open(Control& control, GenerateHooks hooks, std::optional<Selection> selection,
                             const QWidget* opener)
{
    auto* window = new FormatFile(control, std::move(hooks), std::move(selection));
    window->setObjectName("FormatFile");
    registerWindow(control, "FormatFile", window, true);
    centreOver(control, window, opener);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void FormatFile::Form_Load()
{
    setWindowTitle(Q(control_.session.AppTitle + " -  Locate the target format file"));
    const QString last = Q(control_.config.LastFormatFolder);
    // A remembered folder that no longer exists leaves the lists at the current folder.
    QString start = QDir::currentPath();
    if (!last.isEmpty() && QFileInfo(last).isDir())
        start = last;
    ui->Drive1->setCurrentIndex(std::max(0, ui->Drive1->findData(QStorageInfo(start).rootPath())));
    goToFolder(start);
}

QString FormatFile::folder() const
{
    return folders_->currentPath();
}

void FormatFile::goToFolder(const QString& path)
{
    // Expanded to and scrolled into view, and kept there while the folders around it are read.
    if (folders_->showFolder(path))
        Dir1_Change();
}

void FormatFile::Drive1_Change(int index)
{
    goToFolder(ui->Drive1->itemData(index).toString());
}

void FormatFile::Dir1_Change()
{
    ui->File1->clear();
    const QDir dir(folder());
    for (const QString& name : dir.entryList({"*.doc*"}, QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase)) {
        // Word leaves owner files (~$name.docx) beside open documents; they are not formats.
        if (!name.startsWith("~$"))
            ui->File1->addItem(name);
    }
}

void FormatFile::File1_DblClick(QListWidgetItem*)
{
    Command1_Click();
}

void FormatFile::tell(const std::string& text)
{
    if (control_.session.Messages)
        control_.session.Messages->show(text, "", MsgIcon::None, MsgButtons::OK);
}

void FormatFile::Command1_Click()
{
    QListWidgetItem* item = ui->File1->currentItem();
    if (!item || !item->isSelected()) {
        tell("Please select a file");
        return;
    }
    GenerateOptions options;
    options.selection = selection_;
    if (ui->Check1->isChecked()) {
        if (ui->Text1->text().isEmpty() || !QFileInfo(ui->Text1->text()).isDir()) {
            tell("Please choose an existing folder for the students' files");
            return;
        }
        options.perStudentFolder = ui->Text1->text().toStdString();
        options.pdf = ui->Check2->isChecked();
    }
    hide();
    control_.config.LastFormatFolder = folder().toStdString();
    result_ = GenerateResumes(control_, folder().toStdString(), item->text().toStdString(), hooks_, options);
    close();
}

void FormatFile::Command2_Click()
{
    close();
}

void FormatFile::Command3_Click()
{
    tell(std::string("For generating resumes, a file must be prepared by the user, ") + "\r\n" +
         "which contains the target company's resume format and the required fields filled using CTRL+F9 and the "
         "name of the field in the database." +
         "\r\n" + "Without this file, resumes cannot be generated." + "\r\n\r\n" +
         "Please refer to the Kyt user manual under 'Generating Resumes' section for further help." + "\r\n\r\n" +
         UserManualLine());
}

void FormatFile::Command4_Click()
{
    const QString chosen = askExistingDirectory(this, "Folder for the students' files", ui->Text1->text());
    if (!chosen.isEmpty())
        ui->Text1->setText(chosen);
}

}  // namespace kyt
