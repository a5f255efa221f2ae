#include "shell/ui/firstform.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QPushButton>
#include <QUrl>
#include <QtGlobal>
#include <filesystem>

#include "shell/configuration.h"
#include "shell/startup.h"
#include "shell/ui/window_keys.h"
#include "shell/user_manual.h"
#include "shell/ui/window_registration.h"
#include "ui_firstform.h"

namespace kyt {

FirstForm::FirstForm(Control& control, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::FirstForm>()), control(control)
{
    ui->setupUi(this);
    for (QPushButton* button : {ui->OKButton, ui->CancelButton, ui->Command2, ui->Command3, ui->DrivesButton})
        button->setEnabled(false);
    connect(ui->OKButton, &QPushButton::clicked, this, &FirstForm::OKButton_Click);
    connect(ui->CancelButton, &QPushButton::clicked, this, &FirstForm::CancelButton_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &FirstForm::Command2_Click);
    connect(ui->Command3, &QPushButton::clicked, this, &FirstForm::Command3_Click);
    connect(ui->Command1, &QPushButton::clicked, this, &FirstForm::Command1_Click);
    connect(ui->DrivesButton, &QPushButton::clicked, this, [this] { open("DrivesButton"); });
    connect(ui->ManualButton, &QPushButton::clicked, this, &FirstForm::ManualButton_Click);
    registerMainMenu(control, this);
    // Escape does not end the program: Exit Kyt is a button of its own.
    KeyHabits::install(this, {.firstFocus = ui->OKButton});
    Form_Load();
}

FirstForm::~FirstForm() = default;

void FirstForm::Form_Load()
{
    setWindowTitle(QString::fromStdString(control.session.AppTitle + " - Select Option."));
}

void FirstForm::setOpener(const QString& buttonName, std::function<void()> opener)
{
    auto* button = findChild<QPushButton*>(buttonName);
    if (!button || button == ui->Command1)
        return;
    button->setEnabled(static_cast<bool>(opener));
    openers[buttonName] = std::move(opener);
}

void FirstForm::open(const QString& buttonName)
{
    // A coordinator's Kyt offers only what a coordinator may do.
    const char* what = buttonName == "OKButton" ? "Extracting résumés" : buttonName == "Command3" ? "Administration" : nullptr;
    if (what && control.session.Messages) {
        if (const std::string refusal = CoordinatorRefusal(control, what); !refusal.empty()) {
            control.session.Messages->show(refusal, "", MsgIcon::Information, MsgButtons::OK);
            return;
        }
    }
    auto it = openers.find(buttonName);
    if (it != openers.end() && it->second)
        it->second();
}

void FirstForm::OKButton_Click()
{
    open("OKButton");
}

void FirstForm::CancelButton_Click()
{
    open("CancelButton");
}

void FirstForm::Command2_Click()
{
    // Generation after a query must cover every student, not the last selection.
    control.query.QueryCondition.clear();
    open("Command2");
}

void FirstForm::Command3_Click()
{
    open("Command3");
}

void FirstForm::ManualButton_Click()
{
    const std::string path = UserManualPath();
    // The desktop's PDF viewer shows it; where there is none (or no manual), the officer is told where it is.
    if (std::filesystem::exists(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path))))
        return;
    const char* viewer = path.ends_with(".pdf") ? "a PDF viewer" : "a text editor";
    control.session.Messages->show(std::string("The user's manual could not be opened here. Open it with ") + viewer +
                                       ": " + path,
                                   control.session.AppTitle, MsgIcon::Information, MsgButtons::OK);
}

void FirstForm::Command1_Click()
{
    close();
    control.session.Windows.closeAll();
}

void FirstForm::closeEvent(QCloseEvent* event)
{
    if (!unloaded) {
        unloaded = true;
        Form_Unload();
    }
    event->accept();
}

void FirstForm::Form_Unload()
{
    control.session.Windows.closeAll();
    CloseDown(control);
    std::string error;
    // Nothing is left for the officer to do about it at this point, and the previous file is intact.
    if (!WriteConfiguration(control, error))
        qWarning("Kyt.ini was not rewritten: %s", error.c_str());
}

}  // namespace kyt
