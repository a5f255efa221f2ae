#include "admin/ui/form5.h"

#include <QPushButton>

#include "admin/administration.h"
#include "admin/ui/form7.h"
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
    Form_Load();
}

Form5::~Form5() = default;

Form5* Form5::open(Control& control)
{
    return static_cast<Form5*>(showWindow(control, "Form5", [&control] { return new Form5(control); }));
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
    Form7::open(control_);
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
