#include "extract/ui/run_history_window.h"

#include "db/data_connector.h"
#include "extract/run_history.h"
#include "shell/ui/window_keys.h"
#include "shell/ui/window_registration.h"
#include "ui_run_history_window.h"

namespace kyt {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

std::string StateOf(const RunSummary& run)
{
    if (!run.revertedAt.empty())
        return "taken back " + run.revertedAt + " by " + run.revertedBy;
    return run.finishedAt.empty() ? "did not finish" : run.outcome;
}

}  // namespace

RunHistory::RunHistory(Control& control, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::RunHistory>()), control_(control)
{
    ui->setupUi(this);
    setWindowTitle(Q(control_.session.AppTitle + " - History of extraction runs"));
    connect(ui->CommandRevert, &QPushButton::clicked, this, &RunHistory::CommandRevert_Click);
    connect(ui->CommandClose, &QPushButton::clicked, this, &QWidget::close);
    connect(ui->GridRuns, &QTableWidget::itemSelectionChanged, this,
            [this] { ui->CommandRevert->setEnabled(selectedRun() != 0); });
    // No default button: taking back a run is asked for by name, never by Enter.
    KeyHabits::install(this, {.firstFocus = ui->GridRuns, .cancelButton = ui->CommandClose});
}

RunHistory::~RunHistory() = default;

RunHistory* RunHistory::open(Control& control, const QWidget* opener)
{
    auto* window = static_cast<RunHistory*>(
        showWindow(control, "RunHistory", [&control] { return new RunHistory(control); }, opener));
    window->Refresh();
    return window;
}

void RunHistory::Refresh()
{
    ui->GridRuns->setRowCount(0);
    db::Database* database = control_.session.Connector ? control_.session.Connector->GetCurrentConnection() : nullptr;
    std::vector<RunSummary> runs;
    db::Failure failure;
    if (!database || !ListRuns(*database, runs, failure)) {
        if (control_.session.Messages)
            control_.session.Messages->show("The history of extraction runs could not be read.\n\n" +
                                                failure.description,
                                            control_.session.AppTitle, MsgIcon::Critical, MsgButtons::OK);
        return;
    }
    // The newest first: the run an officer takes back is nearly always the last one.
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        const int row = ui->GridRuns->rowCount();
        ui->GridRuns->insertRow(row);
        const std::string cells[] = {std::to_string(run->id),       run->startedAt,
                                     run->user,                     std::to_string(run->scanned),
                                     std::to_string(run->added),    std::to_string(run->replaced),
                                     std::to_string(run->refused),  StateOf(*run),
                                     run->folder};
        for (int column = 0; column < 9; ++column)
            ui->GridRuns->setItem(row, column, new QTableWidgetItem(Q(cells[column])));
        ui->GridRuns->item(row, 0)->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(run->id));
    }
    ui->GridRuns->resizeColumnsToContents();
    ui->CommandRevert->setEnabled(false);
}

int64_t RunHistory::selectedRun() const
{
    const QList<QTableWidgetItem*> selected = ui->GridRuns->selectedItems();
    if (selected.isEmpty())
        return 0;
    return ui->GridRuns->item(selected.first()->row(), 0)->data(Qt::UserRole).toLongLong();
}

void RunHistory::CommandRevert_Click()
{
    const int64_t run = selectedRun();
    if (run == 0)
        return;
    const RevertResult result = RevertRun(control_, run);
    if (control_.session.Messages && result.outcome != RevertOutcome::Declined) {
        const bool done = result.outcome == RevertOutcome::Reverted;
        const std::string text =
            done ? "Run " + std::to_string(run) + " was taken back: " + std::to_string(result.removed) +
                       " students deleted, " + std::to_string(result.restored) + " given their previous résumé back."
                 : result.description;
        control_.session.Messages->show(text, control_.session.AppTitle,
                                        done                                        ? MsgIcon::Information
                                        : result.outcome == RevertOutcome::Refused ? MsgIcon::Exclamation
                                                                                    : MsgIcon::Critical,
                                        MsgButtons::OK);
    }
    Refresh();
}

}  // namespace kyt
