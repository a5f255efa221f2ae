#include "query/ui/form4.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QPointer>
#include <map>

#include "query/ui/result_model.h"
#include "shell/ui/window_keys.h"
#include "shell/ui/window_registration.h"
#include "ui_form4.h"

namespace kyt {

namespace {

std::map<QString, std::function<void(Form4&)>>& openers()
{
    static std::map<QString, std::function<void(Form4&)>> all;
    return all;
}

bool hasOpener(const QString& buttonName)
{
    auto it = openers().find(buttonName);
    return it != openers().end() && it->second;
}

// A copy runs, so an opener may replace itself.
void runOpener(const QString& buttonName, Form4& window)
{
    if (!hasOpener(buttonName))
        return;
    const std::function<void(Form4&)> opener = openers()[buttonName];
    opener(window);
}

constexpr int kEmailWidthTwips = 2800;

}  // namespace

Form4* Form4::get(Control& control)
{
    auto* window = qobject_cast<Form4*>(findWindow(control, "Form4"));
    if (!window) {
        window = new Form4(control);
        window->setObjectName("Form4");
        registerWindow(control, "Form4", window, true);
    } else if (!window->loaded_) {
        window->Form_Load();
    }
    return window;
}

void Form4::setOpener(const Control& control, const QString& buttonName, std::function<void(Form4&)> opener)
{
    openers()[buttonName] = std::move(opener);
    if (auto* window = qobject_cast<Form4*>(findWindow(control, "Form4")))
        window->enableOpeners();
}

Form4::Form4(Control& control, QWidget* parent)
    : QWidget(parent),
      ui(std::make_unique<Ui::Form4>()),
      control_(control),
      model_(new ResultModel(this)),
      sorted_(new QSortFilterProxyModel(this))
{
    ui->setupUi(this);
    // A click on a heading sorts the grid by that column; what is saved keeps the query's order.
    sorted_->setSourceModel(model_);
    sorted_->setSortRole(ResultModel::SortRole);
    ui->DataGrid1->setModel(sorted_);
    ui->DataGrid1->setSortingEnabled(true);
    ui->DataGrid1->horizontalHeader()->setSortIndicatorShown(true);
    ui->DataGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(ui->Command1, &QPushButton::clicked, this, &Form4::Command1_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &Form4::Command2_Click);
    connect(ui->Command3, &QPushButton::clicked, this, &Form4::Command3_Click);
    connect(ui->Command4, &QPushButton::clicked, this, &Form4::Command4_Click);
    connect(ui->StatsButton, &QPushButton::clicked, this, [this] { runOpener("StatsButton", *this); });
    // The MCA warning and the generator's progress appear in space kept for them.
    KeepPlaceWhenHidden({ui->Label4, ui->ProgressBar1, ui->Label5, ui->Label6});
    KeyHabits::install(this, {.firstFocus = ui->Text1, .defaultButton = ui->Command3, .cancelButton = ui->Command1});
    Form_Load();
}

Form4::~Form4() = default;

void Form4::Form_Load()
{
    setWindowTitle(QString::fromStdString(control_.session.AppTitle + " - Query Results"));
    for (QWidget* hidden : std::initializer_list<QWidget*>{ui->Label4, ui->ProgressBar1, ui->Label5, ui->Label6})
        hidden->setVisible(false);
    // Loading again after Close brings the controls back as designed; the fields keep their values.
    ui->Frame1->setEnabled(true);
    ui->Check1->setEnabled(true);
    ui->Check1->setChecked(false);
    ui->Text1->clear();
    ui->Label2->clear();
    ui->ProgressBar1->setValue(0);
    ui->Label6->clear();
    model_->setResult({});
    enableOpeners();
    loaded_ = true;
}

void Form4::enableOpeners()
{
    ui->Command2->setEnabled(hasOpener("Command2") && (!loaded_ || model_->result().recordCount() > 0));
    ui->Command3->setEnabled(hasOpener("Command3"));
    ui->Command4->setEnabled(hasOpener("Command4"));
    ui->StatsButton->setEnabled(hasOpener("StatsButton") && model_->result().recordCount() > 0);
}

void Form4::showQueryResult(query::ResultTable result, bool rankedByUsn, bool mcaWarning, Selection selection)
{
    selection_ = std::move(selection);
    // Branch page breaks make sense only in USN order. Both flags follow the result being shown, so a
    // result in USN order is never held to the flags of an earlier one ranked by percentage.
    ui->Check1->setEnabled(rankedByUsn);
    NoPageBreak = !rankedByUsn;
    HardNoPageBreak = !rankedByUsn;
    ui->Label4->setVisible(mcaWarning);

    show();
    raise();
    activateWindow();

    const long records = result.recordCount();
    const int fields = result.fieldCount();
    ui->Command2->setEnabled(hasOpener("Command2") && records > 0);
    ui->StatsButton->setEnabled(hasOpener("StatsButton") && records > 0);
    showResult(std::move(result));
    ui->Label2->setText(QString::number(records));
    gridCols = static_cast<int16_t>(fields);
    gridRows = static_cast<int16_t>(std::min<long>(records, INT16_MAX));
    ui->Frame1->setEnabled(records > 0);
    InitSelection();
}

void Form4::showResult(query::ResultTable result)
{
    ui->DataGrid1->sortByColumn(-1, Qt::AscendingOrder);  // the query's own order
    sorted_->sort(-1);
    model_->setResult(std::move(result));
    // Each column as wide as its widest value or heading, within reason; the e-mail column at least as
    // wide as it always was.
    const int widest = std::max(160, ui->DataGrid1->viewport()->width() / 2);
    ui->DataGrid1->resizeColumnsToContents();
    const auto& fields = model_->result().fields;
    for (size_t i = 0; i < fields.size(); ++i) {
        const int column = static_cast<int>(i);
        int width = std::min(ui->DataGrid1->columnWidth(column), widest);
        if (QString::fromStdString(fields[i]).compare("Email", Qt::CaseInsensitive) == 0)
            width = std::max(width, kEmailWidthTwips * logicalDpiX() / 1440);
        ui->DataGrid1->setColumnWidth(column, width);
    }
    ui->DataGrid1->viewport()->update();
}

const query::ResultTable& Form4::result() const
{
    return model_->result();
}

QString Form4::gridCaption() const
{
    return ui->DataGrid1Caption->text();
}

std::string Form4::columnCaption(int column) const
{
    const auto& fields = model_->result().fields;
    return column >= 0 && column < static_cast<int>(fields.size()) ? fields[static_cast<size_t>(column)] : std::string();
}

void Form4::InitSelection()
{
    if (gridRows < 1) {
        ui->Frame1->setEnabled(false);
        return;
    }
    NoTables = false;
    ColumnCount = gridCols;
    for (int i = 0; i < gridCols && i < kMaxColumns; ++i) {
        ColumnSelected[static_cast<size_t>(i)] = 1;
        ColumnSequence[static_cast<size_t>(i)] = static_cast<int16_t>(i);
        ColumnNameBySequence[static_cast<size_t>(i)] = columnCaption(i);
    }
    TotalSelections = gridCols;
    ui->DataGrid1->setCurrentIndex(sorted_->mapFromSource(model_->index(0, 0)));
    ui->Text1->setText(gridCaption());
    PageTitle = gridCaption().toStdString();
    ColsSet = false;
}

void Form4::ShowProgress(int16_t Percent)
{
    if (Percent > 0 && Percent < 4) {
        for (QWidget* w : std::initializer_list<QWidget*>{ui->ProgressBar1, ui->Label5, ui->Label6})
            w->setVisible(true);
    }
    if (Percent == 0) {
        for (QWidget* w : std::initializer_list<QWidget*>{ui->ProgressBar1, ui->Label5, ui->Label6})
            w->setVisible(false);
    }
    ui->Label6->setText(QString::number(Percent) + " %");
    ui->Label6->repaint();
    ui->ProgressBar1->setValue(Percent);
    ui->ProgressBar1->repaint();
}

void Form4::Command1_Click()
{
    close();
}

void Form4::Command2_Click()
{
    runOpener("Command2", *this);
}

void Form4::Command3_Click()
{
    runOpener("Command3", *this);
}

void Form4::Command4_Click()
{
    runOpener("Command4", *this);
}

void Form4::closeEvent(QCloseEvent* event)
{
    loaded_ = false;
    event->accept();
}

}  // namespace kyt
