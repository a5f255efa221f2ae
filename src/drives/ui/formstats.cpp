#include "drives/ui/formstats.h"

#include <QChart>
#include <QChartView>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "db/data_connector.h"
#include "drives/ui/charts.h"
#include "drives/ui/report.h"
#include "query/criteria_text.h"
#include "query/retrieve.h"
#include "query/save_results.h"
#include "query/ui/result_model.h"
#include "shell/atomic_file.h"
#include "shell/output_guard.h"
#include "shell/ui/file_views.h"
#include "shell/ui/window_keys.h"
#include "shell/ui/window_registration.h"
#include "ui_formstats.h"

namespace kyt {

namespace {

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

// Told and true when `path` may not be written: the database, the configuration, a folder, a pipe, or an
// ending other than `ending`, the form the file is written in.
bool refusedOutput(const Control& control, const QString& path, const QString& ending, const std::string& notSaved)
{
    std::string refused = RefusedOutput(control, QFileInfo(path).absoluteFilePath().toStdString());
    if (refused.empty() && !ending.split(' ').contains("." + QFileInfo(path).suffix().toLower()))
        refused = path.toStdString() + " does not end in " + ending.toStdString() + ", the form it is written in.";
    if (!refused.empty())
        control.session.Messages->show(notSaved + "\r\n" + refused, "Possible Error", MsgIcon::Exclamation,
                                       MsgButtons::OK);
    return !refused.empty();
}

QString askWithDialog(QWidget* parent, const QString& title, const QString& suggested, const QString& filter)
{
    static QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QString chosen = askSaveFileName(parent, title, QDir(folder).filePath(suggested), filter);
    if (!chosen.isEmpty())
        folder = QFileInfo(chosen).absolutePath();
    return chosen;
}

// A file name from a title: characters a file name cannot hold become blanks.
QString fileName(const std::string& title, const QString& what, const QString& ending)
{
    QString name = q(title);
    for (QChar& c : name)
        if (c < QChar(0x20) || QString("/\\:*?\"<>|").contains(c))
            c = ' ';
    name = name.simplified();
    return (name.isEmpty() ? what : name + " - " + what) + ending;
}

constexpr int kTablePages = 3;  // the first tabs hold tables, the others charts

}  // namespace

ChooseFile& statisticsFileChooser()
{
    static ChooseFile chooser = askWithDialog;
    return chooser;
}

FormStats* FormStats::open(Control& control, const QWidget* opener)
{
    return static_cast<FormStats*>(
        showWindow(control, "FormStats", [&control] { return new FormStats(control); }, opener));
}

FormStats::FormStats(Control& control, std::function<int()> currentYear, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::FormStats>()), control_(control), currentYear_(std::move(currentYear))
{
    ui->setupUi(this);
    setWindowTitle(q(control_.session.AppTitle + " - Statistics"));
    for (QTableView* grid : {ui->SummaryGrid, ui->DistributionGrid, ui->PlacementGrid}) {
        auto* model = new ResultModel(this);
        grid->setModel(model);
        grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
        tables_.push_back(model);
    }
    const std::pair<QWidget*, const char*> charts[] = {{ui->DistributionChartPage, "DistributionChart"},
                                                       {ui->ClassesChartPage, "ClassesChart"},
                                                       {ui->PlacementsChartPage, "PlacementsChart"}};
    for (const auto& [page, name] : charts) {
        auto* view = new QChartView(page);
        view->setObjectName(name);
        view->setRenderHint(QPainter::Antialiasing);
        page->layout()->addWidget(view);
    }
    const QStringList semesters{"1", "2", "3", "4", "5", "6", "7", "8"};
    ui->FromSem->addItems(semesters);
    ui->ToSem->addItems(semesters);
    ui->ToSem->setCurrentText("8");
    for (const std::string& item : query::BatchItems(year()))
        if (item.find(" Or ") == std::string::npos)
            ui->BatchCombo->addItem(q(item));
    connect(ui->ShowBatchButton, &QPushButton::clicked, this, &FormStats::ShowBatchButton_Click);
    connect(ui->SaveTableButton, &QPushButton::clicked, this, &FormStats::SaveTableButton_Click);
    connect(ui->SaveChartButton, &QPushButton::clicked, this, &FormStats::SaveChartButton_Click);
    connect(ui->ReportButton, &QPushButton::clicked, this, &FormStats::ReportButton_Click);
    connect(ui->CloseButton, &QPushButton::clicked, this, &FormStats::CloseButton_Click);
    connect(ui->StatsTabs, &QTabWidget::currentChanged, this, &FormStats::tabChanged);
    KeyHabits::install(this, {.firstFocus = ui->BatchCombo,
                              .defaultButton = ui->ShowBatchButton,
                              .cancelButton = ui->CloseButton});
    showStatistics({});
}

FormStats::~FormStats() = default;

int FormStats::year() const
{
    return currentYear_ ? currentYear_() : query::CurrentYear();
}

void FormStats::showStatistics(drives::Statistics statistics, std::vector<drives::ShortlistEntry> shortlist, bool drive)
{
    statistics_ = std::move(statistics);
    shortlist_ = std::move(shortlist);
    drive_ = drive;
    ui->TitleLabel->setText(statistics_.title.empty() ? QString("Statistics") : q(statistics_.title));
    ui->SubtitleLabel->setText(statistics_.empty() ? QString("No students to count: choose a batch, or open "
                                                             "statistics from the results or a drive.")
                                                   : q(statistics_.subtitle));
    tables_[0]->setResult(drives::SummaryTable(statistics_));
    tables_[1]->setResult(drives::DistributionTable(statistics_));
    tables_[2]->setResult(drives::PlacementTable(statistics_));
    for (QTableView* grid : {ui->SummaryGrid, ui->DistributionGrid, ui->PlacementGrid})
        FitColumnsToContent(grid);
    for (drives::ChartKind kind : drives::kCharts) {
        const char* name = kind == drives::ChartKind::Distribution ? "DistributionChart"
                           : kind == drives::ChartKind::Classes    ? "ClassesChart"
                                                           : "PlacementsChart";
        auto* view = findChild<QChartView*>(name);
        QChart* old = view->chart();
        view->setChart(drives::MakeChart(kind, statistics_));
        delete old;
    }
    tabChanged(ui->StatsTabs->currentIndex());
}

void FormStats::showResult(const query::ResultTable& result, const std::string& title)
{
    std::string percentColumn;
    for (const std::string& field : result.fields)
        if (percentColumn.empty() && field.rfind("Percent", 0) == 0)
            percentColumn = field;
    std::map<std::string, drives::Placement> placements;
    db::Failure failure;
    db::Database* database = control_.session.Connector ? control_.session.Connector->GetCurrentConnection() : nullptr;
    if (database && !drives::Placements(*database, placements, failure))
        control_.session.Messages->show("The outcomes of the drives could not be read; the statistics leave them out.\r\n\r\n" +
                                            failure.description,
                                        "Possible Error", MsgIcon::Exclamation, MsgButtons::OK);
    const std::vector<std::string> codes = query::BranchList(control_);
    drives::Statistics statistics =
        drives::ComputeStatistics(drives::FiguresOfResult(result, percentColumn, codes, placements), codes);
    statistics.title = title;
    statistics.subtitle = "The students of the results window, by their " + percentColumn + ".";
    showStatistics(std::move(statistics));
}

void FormStats::tabChanged(int index)
{
    const bool any = !statistics_.empty();
    ui->SaveTableButton->setEnabled(any && index < kTablePages);
    ui->SaveChartButton->setEnabled(any && index >= kTablePages);
    ui->ReportButton->setEnabled(any);
}

void FormStats::ShowBatchButton_Click()
{
    const std::vector<std::string> codes = query::BranchList(control_);
    query::Criteria criteria = query::DefaultCriteria(codes, year());
    criteria.batch = ui->BatchCombo->currentText().toStdString();
    criteria.branches = {query::kAllBranches, query::kNoneElse, query::kNoneElse};
    criteria.fromSemester = ui->FromSem->currentText().toStdString();
    criteria.toSemester = ui->ToSem->currentText().toStdString();
    const query::BuiltQuery built = query::BuildQuery(criteria, codes, year());
    if (built.refused()) {
        control_.session.Messages->show(built.refusal->text, built.refusal->title, built.refusal->icon, MsgButtons::OK);
        return;
    }
    // Taken aside: the results window's students and their saved query stay as they are.
    query::ResultTable result;
    db::Failure failure;
    std::map<std::string, drives::Placement> placements;
    db::Database* database = control_.session.Connector ? control_.session.Connector->GetCurrentConnection() : nullptr;
    if (!query::RunQueryAside(control_.config.DatabasePath, built, result, failure) || !database ||
        !drives::Placements(*database, placements, failure)) {
        control_.session.Messages->show("The statistics could not be taken.\r\n\r\n" + failure.description, "Error",
                                        MsgIcon::Critical, MsgButtons::OK);
        return;
    }
    drives::Statistics statistics =
        drives::ComputeStatistics(drives::FiguresOfResult(result, built.PercentColumn, codes, placements), codes);
    const bool all = criteria.batch == query::kAllBatches;
    statistics.title = all ? "All batches" : "Batch " + criteria.batch;
    statistics.subtitle = (all ? std::string("Every student") : "Every student of batch " + criteria.batch) +
                          ", aggregate of semesters " + criteria.fromSemester + " to " + criteria.toSemester + ".";
    showStatistics(std::move(statistics));
}

void FormStats::SaveTableButton_Click()
{
    const int index = ui->StatsTabs->currentIndex();
    if (index < 0 || index >= kTablePages)
        return;
    const QString page = ui->StatsTabs->tabText(index);
    const QString path = statisticsFileChooser()(this, "Save table", fileName(statistics_.title, page, ".csv"),
                                                 "Spreadsheet, comma separated (*.csv)");
    if (path.isEmpty() || refusedOutput(control_, path, ".csv", "The table was not saved."))
        return;
    std::string error;
    if (!WriteFileAtomically(path.toStdString(), query::ResultsCsv(tables_[static_cast<size_t>(index)]->result()), error))
        control_.session.Messages->show("The table was not saved.\r\n" + error, "Possible Error", MsgIcon::Exclamation,
                                        MsgButtons::OK);
}

void FormStats::SaveChartButton_Click()
{
    const int index = ui->StatsTabs->currentIndex() - kTablePages;
    if (index < 0 || index >= static_cast<int>(std::size(drives::kCharts)))
        return;
    const drives::ChartKind kind = drives::kCharts[index];
    QString path = statisticsFileChooser()(this, "Save chart", fileName(statistics_.title, ui->StatsTabs->tabText(index + kTablePages), ".png"),
                                           "Picture (*.png);;PDF (*.pdf)");
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += ".png";
    if (refusedOutput(control_, path, ".png .pdf", "The chart was not saved."))
        return;
    std::string error;
    if (!drives::SaveChart(kind, statistics_, path.toStdString(), error))
        control_.session.Messages->show("The chart was not saved.\r\n" + error, "Possible Error", MsgIcon::Exclamation,
                                        MsgButtons::OK);
}

void FormStats::ReportButton_Click()
{
    QString path = statisticsFileChooser()(this, "Save the report", fileName(statistics_.title, "report", ".pdf"),
                                           "PDF (*.pdf)");
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += ".pdf";
    if (refusedOutput(control_, path, ".pdf", "The report was not saved."))
        return;
    std::string error;
    if (!drives::WriteReport(statistics_, drive_ ? &shortlist_ : nullptr, path.toStdString(), error)) {
        control_.session.Messages->show("The report was not saved.\r\n" + error, "Possible Error", MsgIcon::Exclamation,
                                        MsgButtons::OK);
        return;
    }
    control_.session.Messages->show("The report was saved at " + path.toStdString(), "Success", MsgIcon::Information,
                                    MsgButtons::OK);
}

void FormStats::CloseButton_Click()
{
    close();
}

}  // namespace kyt
