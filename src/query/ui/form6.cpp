#include "query/ui/form6.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>

#include "query/save_options.h"
#include "query/ui/form4.h"
#include "shell/message_service.h"
#include "shell/ui/window_keys.h"
#include "shell/ui/window_registration.h"
#include "ui_form6.h"
#include "shell/user_manual.h"

namespace kyt {

namespace {

constexpr int kRows = query::kMaxSaveColumns;

QPointer<Form6>& openWindow()
{
    static QPointer<Form6> window;
    return window;
}

QCheckBox* resultsPageBreakBox(Form4& results)
{
    return results.findChild<QCheckBox*>("Check1");
}

}  // namespace

Form6* Form6::open(Control& control, Form4& results)
{
    if (Form6* old = openWindow())
        old->close();
    auto* window = new Form6(control, results);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setObjectName("Form6");
    openWindow() = window;
    // Among the windows the main menu closes at its end, and placed over the results it belongs to.
    registerWindow(control, "Form6", window, true);
    centreOver(control, window, &results);
    window->showChoice();
    return window;
}

Form6::Form6(Control& control, Form4& results, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::Form6>()), control_(control), results_(results)
{
    ui->setupUi(this);
    for (int i = 0; i < kRows; ++i) {
        connect(Check1(i), &QCheckBox::clicked, this, &Form6::Check1_Click);
        connect(Text1(i), &QLineEdit::textChanged, this, [this, i] { Text1_Change(i); });
        Text1(i)->installEventFilter(this);
    }
    connect(ui->Command1, &QPushButton::clicked, this, &Form6::Command1_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &Form6::Command2_Click);
    connect(ui->Command3, &QPushButton::clicked, this, &Form6::Command3_Click);
    KeyHabits::install(this, {.firstFocus = Check1(0), .defaultButton = ui->Command2, .cancelButton = ui->Command1});
    Form_Load();
}

Form6::~Form6() = default;

QCheckBox* Form6::Check1(int i) const
{
    return findChild<QCheckBox*>(QString("Check1_%1").arg(i));
}

QLineEdit* Form6::Text1(int i) const
{
    return findChild<QLineEdit*>(QString("Text1_%1").arg(i));
}

void Form6::Form_Load()
{
    setWindowTitle(QString::fromStdString(control_.session.AppTitle + " - Advanced Save options"));
    ui->Combo1->addItems({"Space", "Comma", "Tab", "SemiColon"});
    ui->Combo1->setCurrentIndex(0);
}

// The results window's choice shown in the boxes (its "Advanced Save to file options..." steps).
void Form6::showChoice()
{
    results_.inAdvancedSaveOptions = true;
    const int columns = std::clamp<int>(results_.gridCols, 0, kRows);
    for (int i = 0; i < columns; ++i) {
        const QString caption = QString::fromStdString(results_.columnCaption(i));
        if (!results_.ColsSet) {
            Check1(i)->setText(caption);
            Check1(i)->setChecked(true);
            Text1(i)->setText(QString::number(i));
            results_.ColumnSelected[i] = 1;
        } else if (results_.ColumnSelected[i] == -1) {
            Check1(i)->hide();
            Check1(i)->setEnabled(false);
            Text1(i)->hide();
            Text1(i)->setEnabled(false);
        } else {
            const bool ticked = results_.ColumnSelected[i] == 1;
            Check1(i)->setText(caption);
            Check1(i)->setChecked(ticked);
            Text1(i)->setText(ticked ? QString::number(results_.ColumnSequence[i]) : QString());
        }
    }
    if (results_.ColsSet) {
        ui->Check2->setChecked(results_.NoTables);
        ui->Check3->setChecked(results_.SkipPageTitle);
        ui->Combo1->setCurrentIndex(results_.DelimitIndex);
    }
    for (int j = columns; j < kRows; ++j) {
        Check1(j)->hide();
        Check1(j)->setEnabled(false);
        Text1(j)->hide();
        Text1(j)->setEnabled(false);
        results_.ColumnSelected[j] = -1;
    }
    results_.inAdvancedSaveOptions = false;
    show();
}

// Any click renumbers the ticked boxes in row order; custom numbers are typed afterwards.
void Form6::Check1_Click()
{
    if (results_.inAdvancedSaveOptions)
        return;
    std::vector<bool> ticked, enabled;
    for (int i = 0; i < kRows; ++i) {
        ticked.push_back(Check1(i)->isChecked());
        enabled.push_back(Check1(i)->isEnabled());
    }
    const auto texts = query::RenumberedSequences(ticked, enabled);
    for (int i = 0; i < kRows; ++i)
        if (texts[i])
            Text1(i)->setText(QString::fromStdString(*texts[i]));
}

void Form6::Text1_Change(int index)
{
    const QString text = Text1(index)->text();
    if (!text.isEmpty() && !query::IsNumericText(text.toStdString()))
        Text1(index)->clear();
}

// A key that is not a digit clears a box whose text is not a number; the key itself still counts.
bool Form6::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* box = qobject_cast<QLineEdit*>(watched);
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        if (box && !typed.isEmpty() && !typed.at(0).isDigit() && !query::IsNumericText(box->text().toStdString()))
            box->clear();
    }
    return QWidget::eventFilter(watched, event);
}

void Form6::Command1_Click()
{
    close();
}

void Form6::Command2_Click()
{
    if (setColumnSelections(results_, *this, control_) < 0)
        return;
    results_.NoTables = ui->Check2->isChecked();
    results_.Delimit = ui->Combo1->currentText().toStdString();
    results_.DelimitIndex = static_cast<int16_t>(ui->Combo1->currentIndex());
    results_.SkipPageTitle = ui->Check3->isChecked();
    close();
}

void Form6::Command3_Click()
{
    control_.session.Messages->show(std::string("The Seq No. is used to set the order of how the columns are saved in the "
                                        "word document.") +
                                " The first column has a Seq No. of 0 and the second column a Seq No. of 1 and so on" +
                                "\r\n\r\n" + UserManualLine(),
                            "", MsgIcon::Information, MsgButtons::OK);
}

int16_t setColumnSelections(Form4& results, Form6& options, Control& control)
{
    const int columns = std::clamp<int>(results.gridCols, 0, kRows);
    std::vector<query::ColumnRow> rows;
    for (int i = 0; i < columns; ++i)
        rows.push_back({options.Check1(i)->text().toStdString(), options.Check1(i)->isChecked(),
                        options.Text1(i)->text().toStdString()});
    const query::ColumnChoice choice = query::SelectColumns(rows);
    if (choice.result < 0) {
        control.session.Messages->show(choice.text, choice.title, choice.icon, MsgButtons::OK);
        if (choice.focusOnTick)
            options.Check1(choice.focusRow)->setFocus();
        else
            options.Text1(choice.focusRow)->setFocus();
        return choice.result;
    }

    for (int i = 0; i < columns; ++i) {
        results.ColumnSelected[i] = choice.ColumnSelected[i];
        results.ColumnSequence[i] = choice.ColumnSequence[i];
    }
    results.ColumnNameBySequence = choice.ColumnNameBySequence;
    results.ColumnCount = choice.ColumnCount;
    results.TotalSelections = choice.TotalSelections;
    results.ColsSet = true;
    if (choice.usnTicked) {
        QCheckBox* pageBreaks = resultsPageBreakBox(results);
        if (!*choice.usnTicked) {
            // Without the USN column no branch can be told, so no page is broken between branches.
            results.NoPageBreak = true;
            if (pageBreaks) {
                pageBreaks->setChecked(true);
                pageBreaks->setEnabled(false);
            }
        } else if (!results.HardNoPageBreak) {
            results.NoPageBreak = false;
            if (pageBreaks) {
                pageBreaks->setChecked(false);
                pageBreaks->setEnabled(true);
            }
        }
    }
    return 0;
}

}  // namespace kyt
