#include "admin/ui/form5.h"

#include <QLineEdit>
#include <QPushButton>

#include "admin/administration.h"
#include "admin/ui/form7.h"
#include "shell/ui/window_keys.h"
#include "shell/ui/window_registration.h"
#include "ui_form5.h"

namespace kyt {

std::function<void()> Form5::branchesChanged;

Form5::Form5(Control& control, QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::Form5>()), control_(control)
{
    ui->setupUi(this);
    connect(ui->Command1, &QPushButton::clicked, this, &Form5::Command1_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &Form5::Command2_Click);
    connect(ui->Command3, &QPushButton::clicked, this, &Form5::Command3_Click);
    connect(ui->Command4, &QPushButton::clicked, this, &Form5::Command4_Click);
    connect(ui->Command5, &QPushButton::clicked, this, &Form5::Command5_Click);
    connect(ui->Command6, &QPushButton::clicked, this, &Form5::Command6_Click);
    connect(ui->Command7, &QPushButton::clicked, this, &Form5::Command7_Click);
    for (QLineEdit* box : {ui->Text1, ui->Text2, ui->Text3})
        TrimmedBox(box);
    // Enter does what the frame of the box being typed in is for; every deletion still asks first.
    KeyHabits::install(this, {.firstFocus = ui->Text1,
                              .cancelButton = ui->Command4,
                              .boxButtons = {{ui->Text1, ui->Command1},
                                             {ui->Text2, ui->Command2},
                                             {ui->Text3, ui->Command6},
                                             {ui->Text4, ui->Command6}}});
    Form_Load();
}

Form5::~Form5() = default;

Form5* Form5::open(Control& control)
{
    return static_cast<Form5*>(showWindow(control, "Form5", [&control] {
        auto* window = new Form5(control);
        // Close unloads the window: nothing typed survives it.
        window->setAttribute(Qt::WA_DeleteOnClose);
        return window;
    }));
}

void Form5::Form_Load()
{
    setWindowTitle(QString::fromStdString(control_.session.AppTitle + " - Administration"));
}

void Form5::Command1_Click()
{
    admin::DeleteStudent(control_, ui->Text1->text().toStdString());
}

void Form5::Command2_Click()
{
    admin::DeleteBatch(control_, ui->Text2->text().toStdString());
}

void Form5::Command3_Click()
{
    admin::DeleteAllRecords(control_);
}

void Form5::Command4_Click()
{
    close();
}

void Form5::Command5_Click()
{
    Form7::open(control_, this);
}

void Form5::Command6_Click()
{
    const admin::Result result = admin::AddBranch(control_, ui->Text3->text().toStdString(), ui->Text4->text().toStdString());
    if (result.focus == admin::Box::BranchCode)
        ui->Text3->setFocus();
    else if (result.focus == admin::Box::BranchName)
        ui->Text4->setFocus();
    if (result.outcome == admin::Outcome::Done && branchesChanged)
        branchesChanged();
}

void Form5::Command7_Click()
{
    const admin::Result result = admin::DeleteBranch(control_, ui->Text3->text().toStdString());
    if (result.focus == admin::Box::BranchCode)
        ui->Text3->setFocus();
    if (result.outcome == admin::Outcome::Done && branchesChanged)
        branchesChanged();
}

}  // namespace kyt
