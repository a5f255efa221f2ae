#include "admin/ui/form7.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "admin/administration.h"
#include "shell/ui/window_keys.h"
#include "shell/ui/window_registration.h"
#include "ui_form7.h"

namespace kyt {

Form7::Form7(Control& control, QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::Form7>()), control_(control)
{
    ui->setupUi(this);
    Form_Load();
    connect(ui->Combo1, &QComboBox::currentIndexChanged, this, &Form7::Combo1_Click);
    connect(ui->Text1, &QLineEdit::textChanged, this, &Form7::Text1_Change);
    connect(ui->Command1, &QPushButton::clicked, this, &Form7::Command1_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &Form7::Command2_Click);
    connect(ui->Command3, &QPushButton::clicked, this, &Form7::Command3_Click);
    TrimmedBox(ui->Text1);
    KeepPlaceWhenHidden({ui->Label8});
    KeyHabits::install(this, {.firstFocus = ui->Text1,
                              .defaultButton = ui->Command1,
                              .cancelButton = ui->Command2,
                              .boxButtons = {{ui->Text1, ui->Command3}}});
}

Form7::~Form7() = default;

Form7* Form7::open(Control& control, const QWidget* opener)
{
    return static_cast<Form7*>(showWindow(
        control, "Form7",
        [&control] {
            auto* window = new Form7(control);
            // Close unloads the window: the boxes and the answer to "Record already exists." go with it.
            window->setAttribute(Qt::WA_DeleteOnClose);
            return window;
        },
        opener));
}

void Form7::Form_Load()
{
    setWindowTitle(QString::fromStdString(control_.session.AppTitle + " - Update semester marks records"));
    for (int semester = 1; semester <= 8; ++semester)
        ui->Combo1->addItem(QString::number(semester));
    ui->Combo1->setCurrentIndex(5);
    ui->Label8->setVisible(false);
}

void Form7::Text1_Change()
{
    skipQuestion_ = 0;  // an answer given for one student's semester is not one for another's
    if (ui->Text1->text().size() < 10) {
        ui->Label2->setText("Name : ");
        ui->Text2->clear();
    }
}

void Form7::Combo1_Click()
{
    skipQuestion_ = 0;
    if (admin::CheckedUsn(control_, ui->Text1->text().toStdString()) != "ERR")
        Command3_Click();
}

void Form7::Command2_Click()
{
    close();
}

void Form7::Command3_Click()
{
    admin::StoredMarks stored;
    if (admin::RetrieveMarks(control_, ui->Text1->text().toStdString(), ui->Combo1->currentText().toStdString(),
                             stored)
            .outcome != admin::Outcome::Done)
        return;
    ui->Label2->setText("Name : " + QString::fromStdString(stored.name));
    ui->Label8->setVisible(!stored.rowFound);
    if (!stored.rowFound)
        ui->Label8->setText("No records retrived for semester " + ui->Combo1->currentText());
    const admin::MarksEntry& m = stored.marks;
    QLineEdit* boxes[] = {ui->Text2, ui->Text3, ui->Text4, ui->Text5, ui->Text6};
    const std::string* values[] = {&m.Obtained, &m.Max, &m.PassingYear, &m.Attempts, &m.Institution};
    for (int i = 0; i < 5; ++i)
        boxes[i]->setText(QString::fromStdString(*values[i]));
}

void Form7::Command1_Click()
{
    const admin::MarksEntry entry{ui->Text2->text().toStdString(), ui->Text3->text().toStdString(),
                                  ui->Text4->text().toStdString(), ui->Text5->text().toStdString(),
                                  ui->Text6->text().toStdString()};
    const admin::Result result = admin::UpdateMarks(control_, ui->Text1->text().toStdString(),
                                                    ui->Combo1->currentText().toStdString(), entry, skipQuestion_);
    QWidget* focus = nullptr;
    switch (result.focus) {
    case admin::Box::Semester: focus = ui->Combo1; break;
    case admin::Box::Obtained: focus = ui->Text2; break;
    case admin::Box::Maximum: focus = ui->Text3; break;
    case admin::Box::PassingYear: focus = ui->Text4; break;
    case admin::Box::Attempts: focus = ui->Text5; break;
    default: break;
    }
    if (focus)
        focus->setFocus();
}

}  // namespace kyt
