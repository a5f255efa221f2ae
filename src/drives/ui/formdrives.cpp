#include "drives/ui/formdrives.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QSignalBlocker>
#include <set>

#include "db/data_connector.h"
#include "drives/statistics.h"
#include "drives/ui/formstats.h"
#include "query/criteria_text.h"
#include "query/save_results.h"
#include "query/ui/form3.h"
#include "query/ui/form4.h"
#include "shell/atomic_file.h"
#include "shell/output_guard.h"
#include "shell/ui/window_keys.h"
#include "shell/ui/window_registration.h"
#include "ui_formdrives.h"

namespace kyt {

namespace {

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

void fill(QTableWidget* table, const query::ResultTable& rows)
{
    table->clear();
    table->setColumnCount(static_cast<int>(rows.fields.size()));
    table->setRowCount(static_cast<int>(rows.rows.size()));
    QStringList headings;
    for (const std::string& field : rows.fields)
        headings << q(field);
    table->setHorizontalHeaderLabels(headings);
    for (size_t r = 0; r < rows.rows.size(); ++r)
        for (size_t c = 0; c < rows.rows[r].size(); ++c) {
            auto* item = new QTableWidgetItem(q(rows.rows[r][c]));
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            table->setItem(static_cast<int>(r), static_cast<int>(c), item);
        }
}

std::string upper(const std::string& text)
{
    return QString::fromStdString(text).toUpper().toStdString();
}

constexpr int kOutcomeColumn = 5;

}  // namespace

FormDrives* FormDrives::open(Control& control)
{
    auto* window = static_cast<FormDrives*>(showWindow(control, "FormDrives", [&control] { return new FormDrives(control); }));
    if (window)
        window->refresh();
    return window;
}

FormDrives::FormDrives(Control& control, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::FormDrives>()), control_(control)
{
    ui->setupUi(this);
    setWindowTitle(q(control_.session.AppTitle + " - Placement drives"));
    ui->DriveTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->DriveTable->setSelectionMode(QAbstractItemView::SingleSelection);
    ui->DriveTable->horizontalHeader()->setStretchLastSection(true);
    ui->ShortlistTable->horizontalHeader()->setStretchLastSection(true);
    connect(ui->DriveTable, &QTableWidget::itemSelectionChanged, this, &FormDrives::showShortlist);
    connect(ui->LoadButton, &QPushButton::clicked, this, &FormDrives::LoadButton_Click);
    connect(ui->RunButton, &QPushButton::clicked, this, &FormDrives::RunButton_Click);
    connect(ui->StatsButton, &QPushButton::clicked, this, &FormDrives::StatsButton_Click);
    connect(ui->DeleteButton, &QPushButton::clicked, this, &FormDrives::DeleteButton_Click);
    connect(ui->ExportButton, &QPushButton::clicked, this, &FormDrives::ExportButton_Click);
    connect(ui->BatchStatsButton, &QPushButton::clicked, this, &FormDrives::BatchStatsButton_Click);
    connect(ui->CloseButton, &QPushButton::clicked, this, &FormDrives::CloseButton_Click);
    KeyHabits::install(this, {.firstFocus = ui->DriveTable, .cancelButton = ui->CloseButton});
    refresh();
}

FormDrives::~FormDrives() = default;

db::Database* FormDrives::database()
{
    db::Database* database = control_.session.Connector ? control_.session.Connector->GetCurrentConnection() : nullptr;
    if (!database)
        control_.session.Messages->show("Kyt is not connected to its database.", "Error", MsgIcon::Critical, MsgButtons::OK);
    return database;
}

bool FormDrives::tellFailure(const std::string& what, const db::Failure& failure)
{
    control_.session.Messages->show(what + "\r\n\r\n" + failure.description, "Error", MsgIcon::Critical, MsgButtons::OK);
    return false;
}

void FormDrives::refresh()
{
    const int keep = selectedDrive();
    db::Database* db = database();
    db::Failure failure;
    if (db && !drives::ListDrives(*db, drives_, failure)) {
        tellFailure("The drives could not be read.", failure);
        drives_.clear();
    }
    query::ResultTable rows;
    rows.fields = {"Drive", "Company", "Date", "Shortlisted", "Offers", "Joined", "Criteria"};
    for (const drives::Drive& d : drives_)
        rows.rows.push_back({std::to_string(d.id), d.company, d.date, std::to_string(d.shortlisted),
                             std::to_string(d.offers), std::to_string(d.joined), query::CriteriaSummary(d.criteria)});
    {
        const QSignalBlocker quiet(ui->DriveTable);
        fill(ui->DriveTable, rows);
        FitColumnsToContent(ui->DriveTable);
    }
    selectDrive(keep ? keep : drives_.empty() ? 0 : drives_.front().id);
    showShortlist();
}

int FormDrives::selectedDrive() const
{
    const QList<QTableWidgetItem*> chosen = ui->DriveTable->selectedItems();
    if (chosen.isEmpty())
        return 0;
    const int row = chosen.front()->row();
    return row >= 0 && row < static_cast<int>(drives_.size()) ? drives_[static_cast<size_t>(row)].id : 0;
}

void FormDrives::selectDrive(int id)
{
    for (size_t row = 0; row < drives_.size(); ++row)
        if (drives_[row].id == id) {
            ui->DriveTable->selectRow(static_cast<int>(row));
            return;
        }
    ui->DriveTable->clearSelection();
}

void FormDrives::showShortlist()
{
    const int id = selectedDrive();
    shortlist_.clear();
    shown_ = {};
    db::Failure failure;
    db::Database* db = id ? database() : nullptr;
    if (db && !drives::LoadDrive(*db, id, shown_, &shortlist_, failure))
        tellFailure("The drive could not be read.", failure);
    fill(ui->ShortlistTable, drives::ShortlistTable(shortlist_));
    for (size_t row = 0; row < shortlist_.size(); ++row) {
        auto* outcome = new QComboBox;
        for (drives::Outcome o : drives::kOutcomes)
            outcome->addItem(drives::OutcomeName(o));
        outcome->setCurrentIndex(static_cast<int>(shortlist_[row].outcome));
        const std::string usn = shortlist_[row].usn;
        connect(outcome, &QComboBox::currentIndexChanged, this, [this, usn](int index) { outcomeChosen(usn, index); });
        ui->ShortlistTable->setCellWidget(static_cast<int>(row), kOutcomeColumn, outcome);
    }
    FitColumnsToContent(ui->ShortlistTable);
    ui->ShortlistLabel->setText(shown_.id ? q("Shortlist of " + shown_.title() + ": " + std::to_string(shortlist_.size()) +
                                              " students. Set each one's outcome as the drive goes on.")
                                          : QString("No drive chosen."));
    for (QWidget* button : {static_cast<QWidget*>(ui->LoadButton), static_cast<QWidget*>(ui->RunButton),
                            static_cast<QWidget*>(ui->StatsButton), static_cast<QWidget*>(ui->DeleteButton),
                            static_cast<QWidget*>(ui->ExportButton)})
        button->setEnabled(shown_.id != 0);
}

void FormDrives::outcomeChosen(const std::string& usn, int index)
{
    db::Database* db = database();
    db::Failure failure;
    if (!db || !drives::SetOutcome(*db, shown_.id, usn, drives::kOutcomes[index], failure)) {
        if (db)
            tellFailure("The outcome of " + usn + " was not recorded.", failure);
        showShortlist();
        return;
    }
    for (drives::ShortlistEntry& e : shortlist_)
        if (e.usn == usn)
            e.outcome = drives::kOutcomes[index];
    // The counts of offers and placements in the list follow.
    const QSignalBlocker quiet(ui->DriveTable);
    const int id = shown_.id;
    std::vector<drives::Drive> all;
    if (drives::ListDrives(*db, all, failure)) {
        drives_ = std::move(all);
        for (size_t row = 0; row < drives_.size(); ++row) {
            if (drives_[row].id != id)
                continue;
            ui->DriveTable->item(static_cast<int>(row), 4)->setText(QString::number(drives_[row].offers));
            ui->DriveTable->item(static_cast<int>(row), 5)->setText(QString::number(drives_[row].joined));
        }
    }
}

void FormDrives::LoadButton_Click()
{
    if (!shown_.id)
        return;
    const drives::Drive drive = shown_;
    Form3::open(control_)->loadCriteria(drive.criteria, drive.company, drive.date);
}

void FormDrives::RunButton_Click()
{
    if (!shown_.id)
        return;
    const drives::Drive drive = shown_;
    const query::RetrieveOutcome outcome = query::Retrieve(control_, drive.criteria, query::CurrentYear());
    if (outcome.status == query::RetrieveOutcome::Status::Refused) {
        const query::Refusal& refusal = *outcome.query.refusal;
        control_.session.Messages->show(refusal.text, refusal.title, refusal.icon, MsgButtons::OK);
        return;
    }
    if (outcome.status == query::RetrieveOutcome::Status::Failed) {
        tellFailure("The students could not be retrieved.", outcome.failure);
        return;
    }
    Form4::get(control_)->showQueryResult(outcome.result, outcome.query.rankedByUsn, outcome.query.mcaWarning,
                                          outcome.query.selection());

    const std::vector<drives::ShortlistEntry> eligible =
        drives::ShortlistOf(outcome.result, outcome.query.PercentColumn, query::BranchList(control_));
    std::set<std::string> listed;
    for (const drives::ShortlistEntry& e : shortlist_)
        listed.insert(upper(e.usn));
    size_t newcomers = 0;
    for (const drives::ShortlistEntry& e : eligible)
        newcomers += listed.count(upper(e.usn)) ? 0 : 1;
    if (newcomers == 0) {
        control_.session.Messages->show("The " + std::to_string(eligible.size()) + " students whom the criteria of " +
                                            drive.title() + " select now are all on its shortlist.",
                                        "Run again", MsgIcon::Information, MsgButtons::OK);
        return;
    }
    const std::string question = std::to_string(newcomers) + " of the " + std::to_string(eligible.size()) +
                                 " students whom the criteria of " + drive.title() +
                                 " select now are not on its shortlist (the results window shows them all).\r\n\r\n"
                                 "Add them to the shortlist? Nobody is taken off it.";
    if (control_.session.Messages->show(question, "Run again", MsgIcon::Question, MsgButtons::YesNo) != MsgAnswer::Yes)
        return;
    db::Database* db = database();
    std::vector<drives::ShortlistEntry> added;
    db::Failure failure;
    if (db && !drives::AddToShortlist(*db, drive.id, eligible, added, failure))
        tellFailure("The shortlist was not changed.", failure);
    refresh();
}

void FormDrives::StatsButton_Click()
{
    if (!shown_.id)
        return;
    drives::Statistics statistics =
        drives::ComputeStatistics(drives::FiguresOfShortlist(shortlist_), query::BranchList(control_));
    statistics.title = shown_.title();
    statistics.subtitle = "Shortlist of the drive: " + query::CriteriaSummary(shown_.criteria);
    statistics.outcomes = true;
    FormStats::open(control_, this)->showStatistics(std::move(statistics), shortlist_, true);
}

void FormDrives::DeleteButton_Click()
{
    if (!shown_.id)
        return;
    const std::string question = "Delete the drive " + shown_.title() + " and its shortlist of " +
                                 std::to_string(shortlist_.size()) + " students? The outcomes recorded for it are lost.";
    if (control_.session.Messages->show(question, "Delete drive", MsgIcon::Question, MsgButtons::YesNo, MsgAnswer::No) !=
        MsgAnswer::Yes)
        return;
    db::Database* db = database();
    db::Failure failure;
    if (db && !drives::DeleteDrive(*db, shown_.id, failure))
        tellFailure("The drive was not deleted.", failure);
    ui->DriveTable->clearSelection();
    refresh();
}

void FormDrives::ExportButton_Click()
{
    if (!shown_.id)
        return;
    QString suggested = q(shown_.company + " " + shown_.date + ".csv");
    for (QChar& c : suggested)
        if (QString("/\\:*?\"<>|").contains(c))
            c = ' ';
    const QString path =
        statisticsFileChooser()(this, "Save shortlist", suggested, "Spreadsheet, comma separated (*.csv)");
    if (path.isEmpty())
        return;
    if (const std::string refused = RefusedOutput(control_, QFileInfo(path).absoluteFilePath().toStdString());
        !refused.empty()) {
        control_.session.Messages->show("The shortlist was not saved.\r\n" + refused, "Possible Error",
                                        MsgIcon::Exclamation, MsgButtons::OK);
        return;
    }
    std::string error;
    if (!WriteFileAtomically(path.toStdString(), query::ResultsCsv(drives::ShortlistTable(shortlist_)), error))
        control_.session.Messages->show("The shortlist was not saved.\r\n" + error, "Possible Error",
                                        MsgIcon::Exclamation, MsgButtons::OK);
}

void FormDrives::BatchStatsButton_Click()
{
    FormStats::open(control_, this);
}

void FormDrives::CloseButton_Click()
{
    close();
}

}  // namespace kyt
