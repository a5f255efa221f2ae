#include "query/ui/form3.h"

#include <QDate>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>

#include "db/data_connector.h"
#include "drives/drive_store.h"
#include "query/criteria_text.h"

#include "query/ui/form4.h"
#include "shell/ui/window_keys.h"
#include "shell/ui/window_registration.h"
#include "ui_form3.h"
#include "shell/user_manual.h"

namespace kyt {

namespace {

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

QStringList items(const std::vector<std::string>& texts)
{
    QStringList list;
    for (const std::string& text : texts)
        list << q(text);
    return list;
}

bool isEnter(QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

Form3* Form3::open(Control& control)
{
    return static_cast<Form3*>(showWindow(control, "Form3", [&control] {
        auto* window = new Form3(control);
        // Close unloads the window: the next opening starts from the defaults again.
        window->setAttribute(Qt::WA_DeleteOnClose);
        return window;
    }));
}

Form3::Form3(Control& control, std::function<int()> currentYear, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::Form3>()), control_(control), currentYear_(std::move(currentYear))
{
    ui->setupUi(this);
    Combo1 = {ui->Combo1_0, ui->Combo1_1, ui->Combo1_2};
    for (int i = 0; i < 3; ++i)
        connect(Combo1[static_cast<size_t>(i)], &QComboBox::currentIndexChanged, this, [this, i] { Combo1_Click(i); });
    connect(ui->Command2, &QPushButton::clicked, this, &Form3::Command2_Click);
    connect(ui->Command1, &QPushButton::clicked, this, &Form3::Command1_Click);
    connect(ui->Command3, &QPushButton::clicked, this, &Form3::Command3_Click);
    connect(ui->Text2, &QLineEdit::textChanged, this, [this](const QString& text) { ui->Check1->setChecked(!text.isEmpty()); });
    connect(ui->Text3, &QLineEdit::textChanged, this, [this](const QString& text) { ui->Check2->setChecked(!text.isEmpty()); });
    for (QObject* watched : std::initializer_list<QObject*>{ui->Combo7, ui->Combo7->lineEdit(), ui->Text1, ui->Text2, ui->Text3})
        watched->installEventFilter(this);
    connect(ui->EligibilityButton, &QToolButton::toggled, this, &Form3::EligibilityButton_Click);
    connect(ui->SaveDriveButton, &QPushButton::clicked, this, &Form3::SaveDriveButton_Click);
    connect(ui->LoadDriveButton, &QPushButton::clicked, this, &Form3::LoadDriveButton_Click);
    for (QLineEdit* box : {ui->TenthPercent, ui->TwelfthPercent})
        connect(box, &QLineEdit::textChanged, this, &Form3::updateEligibilityButton);
    for (QCheckBox* box : {ui->BacklogsCheck, ui->BornCheck})
        connect(box, &QCheckBox::toggled, this, &Form3::updateEligibilityButton);
    connect(ui->BacklogsCheck, &QCheckBox::toggled, ui->BacklogsMax, &QWidget::setEnabled);
    connect(ui->BornCheck, &QCheckBox::toggled, ui->BornFrom, &QWidget::setEnabled);
    // The exclusion controls come and go with "All Branches" in space kept for them.
    KeepPlaceWhenHidden({ui->Label3_0, ui->Text4, ui->Label3_1});
    KeyHabits::install(this, {.firstFocus = ui->Combo7, .defaultButton = ui->Command2, .cancelButton = ui->Command1});
    Form_Load();
}

Form3::~Form3() = default;

int Form3::year() const
{
    return currentYear_ ? currentYear_() : query::CurrentYear();
}

void Form3::Form_Load()
{
    setWindowTitle(q(control_.session.AppTitle + " - Query"));
    BranchExcludeList.clear();
    fillBranchBoxes({});

    const QStringList semesters{"1", "2", "3", "4", "5", "6", "7", "8"};
    ui->cmbFromSem->addItems(semesters);
    ui->cmbToSem->addItems(semesters);
    ui->cmbFromSem->setCurrentText("1");
    ui->cmbToSem->setCurrentText("6");
    ui->Combo4->addItems({"Atleast", "Atmost", "Exactly"});
    ui->Combo5->addItems({"aggregate", "USN"});
    ui->Combo6->addItems({"Ascendingly", "Decendingly"});
    ui->Combo6->setCurrentIndex(1);
    ui->Combo7->addItems(items(query::BatchItems(year())));
    ui->Combo7->setCurrentIndex(0);

    // The eligibility group starts closed and empty: the window's own criteria are the query.
    ui->BacklogsMax->setEnabled(false);
    ui->BornFrom->setEnabled(false);
    ui->BornFrom->setDate(QDate(year() - 22, 1, 1));
    ui->DriveDate->setDate(QDate::currentDate());
    reloadDrives();
    updateEligibilityButton();
}

void Form3::fillBranchBoxes(const std::array<std::string, 3>& wanted)
{
    const std::vector<std::string> codes = query::BranchList(control_);
    const QStringList boxItems = items(query::BranchBoxItems(codes));
    const std::array<int, 3> defaults = query::DefaultBranchIndexes(codes);
    for (size_t box = 0; box < 3; ++box) {
        const QSignalBlocker quiet(Combo1[box]);
        Combo1[box]->clear();
        Combo1[box]->addItems(boxItems);
        const int kept = wanted[box].empty() ? -1 : Combo1[box]->findText(q(wanted[box]));
        Combo1[box]->setCurrentIndex(kept >= 0 ? kept : defaults[box]);
    }
    // Each selection counts as a click: it decides whether the exclusion controls show.
    for (int box = 0; box < 3; ++box)
        Combo1_Click(box);
}

void Form3::reloadBranches()
{
    const QStringList wanted = items(query::BranchBoxItems(query::BranchList(control_)));
    QStringList shown;
    for (int i = 0; i < Combo1[0]->count(); ++i)
        shown << Combo1[0]->itemText(i);
    if (shown == wanted)
        return;
    std::array<std::string, 3> current;
    for (size_t box = 0; box < 3; ++box)
        current[box] = Combo1[box]->currentText().toStdString();
    fillBranchBoxes(current);
}

void Form3::showEvent(QShowEvent* event)
{
    reloadBranches();
    reloadDrives();
    QWidget::showEvent(event);
}

void Form3::Combo1_Click(int Index)
{
    const auto showsAll = [](QComboBox* box) { return box->currentText() == query::kAllBranches; };
    const bool visible = showsAll(Combo1[static_cast<size_t>(Index)]);
    if (!visible) {
        for (QComboBox* box : Combo1)
            if (showsAll(box))
                return;
        BranchExcludeList = ui->Text4->text().toStdString();
    }
    ui->Label3_0->setVisible(visible);
    ui->Text4->setVisible(visible);
    ui->Label3_1->setVisible(visible);
}

query::Criteria Form3::criteria() const
{
    query::Criteria c;
    c.batch = ui->Combo7->currentText().toStdString();
    const int selected = ui->Combo7->currentIndex();
    c.batchTyped = selected < 0 || ui->Combo7->itemText(selected) != ui->Combo7->currentText();
    for (size_t box = 0; box < 3; ++box)
        c.branches[box] = Combo1[box]->currentText().toStdString();
    c.excludeList = ui->Text4->text().toStdString();
    c.fromSemester = ui->cmbFromSem->currentText().toStdString();
    c.toSemester = ui->cmbToSem->currentText().toStdString();
    c.strictRange = ui->Check6->isChecked();
    c.comparison = static_cast<query::Comparison>(std::max(0, ui->Combo4->currentIndex()));
    c.percent = ui->Text1->text().toStdString();
    c.rankBy = ui->Combo5->currentText().toStdString();
    c.ascending = ui->Combo6->currentIndex() == 0;
    c.classOption = ui->FCDOption->isChecked()          ? query::ClassOption::FCD
                    : ui->FirstClassOption->isChecked() ? query::ClassOption::FirstClass
                                                        : query::ClassOption::None;
    c.cetRank = ui->Check3->isChecked();
    c.gender = ui->Check4->isChecked();
    c.age = ui->Check5->isChecked();
    c.projectWordsEnabled = ui->Check1->isChecked();
    c.projectWords = ui->Text2->text().toStdString();
    c.hobbyWordsEnabled = ui->Check2->isChecked();
    c.hobbyWords = ui->Text3->text().toStdString();
    c.eligibility.tenthPercent = ui->TenthPercent->text().toStdString();
    c.eligibility.twelfthPercent = ui->TwelfthPercent->text().toStdString();
    c.eligibility.maxBacklogs = ui->BacklogsCheck->isChecked() ? ui->BacklogsMax->value() : -1;
    c.eligibility.bornFrom = ui->BornCheck->isChecked() ? ui->BornFrom->date().toString(Qt::ISODate).toStdString() : "";
    return c;
}

void Form3::loadCriteria(const query::Criteria& c, const std::string& company, const std::string& date)
{
    const int batch = ui->Combo7->findText(q(c.batch));
    if (!c.batchTyped && batch < 0 && c.batch.find(" Or ") != std::string::npos)
        ui->Combo7->addItem(q(c.batch));  // the two-year item of the year the drive was saved in
    if (!c.batchTyped && ui->Combo7->findText(q(c.batch)) >= 0)
        ui->Combo7->setCurrentIndex(ui->Combo7->findText(q(c.batch)));
    else
        ui->Combo7->setEditText(q(c.batch));
    std::array<std::string, 3> wanted = c.branches;
    fillBranchBoxes(wanted);
    ui->Text4->setText(q(c.excludeList));
    for (int box = 0; box < 3; ++box)
        Combo1_Click(box);
    ui->cmbFromSem->setCurrentText(q(c.fromSemester));
    ui->cmbToSem->setCurrentText(q(c.toSemester));
    ui->Check6->setChecked(c.strictRange);
    ui->Combo4->setCurrentIndex(static_cast<int>(c.comparison));
    ui->Text1->setText(q(c.percent));
    ui->Combo5->setCurrentText(q(c.rankBy));
    ui->Combo6->setCurrentIndex(c.ascending ? 0 : 1);
    // Option buttons that exclude each other cannot be cleared one by one.
    for (QRadioButton* option : {ui->FirstClassOption, ui->FCDOption})
        option->setAutoExclusive(false);
    ui->FirstClassOption->setChecked(c.classOption == query::ClassOption::FirstClass);
    ui->FCDOption->setChecked(c.classOption == query::ClassOption::FCD);
    for (QRadioButton* option : {ui->FirstClassOption, ui->FCDOption})
        option->setAutoExclusive(true);
    ui->Check3->setChecked(c.cetRank);
    ui->Check4->setChecked(c.gender);
    ui->Check5->setChecked(c.age);
    ui->Text2->setText(q(c.projectWords));
    ui->Check1->setChecked(c.projectWordsEnabled);
    ui->Text3->setText(q(c.hobbyWords));
    ui->Check2->setChecked(c.hobbyWordsEnabled);
    const query::Eligibility& e = c.eligibility;
    ui->TenthPercent->setText(q(e.tenthPercent));
    ui->TwelfthPercent->setText(q(e.twelfthPercent));
    ui->BacklogsCheck->setChecked(e.maxBacklogs >= 0);
    ui->BacklogsMax->setValue(std::max(0, e.maxBacklogs));
    ui->BornCheck->setChecked(!e.bornFrom.empty());
    if (const std::string born = query::IsoDate(e.bornFrom); !born.empty())
        ui->BornFrom->setDate(QDate::fromString(q(born), Qt::ISODate));
    if (!company.empty())
        ui->DriveCompany->setText(q(company));
    if (!date.empty())
        ui->DriveDate->setDate(QDate::fromString(q(date), Qt::ISODate));
    if (e.any() || !company.empty())
        ui->EligibilityButton->setChecked(true);
    updateEligibilityButton();
}

std::function<void()>& Form3::drivesChanged()
{
    static std::function<void()> hook;
    return hook;
}

void Form3::reloadDrives()
{
    ui->DriveList->clear();
    db::Database* database =
        control_.session.Connector ? control_.session.Connector->GetCurrentConnection() : nullptr;
    std::vector<drives::Drive> all;
    db::Failure failure;
    if (database)
        drives::ListDrives(*database, all, failure);
    for (const drives::Drive& d : all)
        ui->DriveList->addItem(q(d.title()), d.id);
    ui->LoadDriveButton->setEnabled(ui->DriveList->count() > 0);
}

void Form3::EligibilityButton_Click(bool open)
{
    ui->EligibilityFrame->setVisible(open);
    ui->EligibilityButton->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
    updateEligibilityButton();
}

void Form3::updateEligibilityButton()
{
    const bool rules = criteria().eligibility.any();
    const bool closed = !ui->EligibilityButton->isChecked();
    ui->EligibilityButton->setText(closed && rules ? "Eligibility set by a company, and drives (rules in force)"
                                                   : "Eligibility set by a company, and drives");
}

void Form3::SaveDriveButton_Click()
{
    const std::string company = ui->DriveCompany->text().trimmed().toStdString();
    if (company.empty()) {
        control_.session.Messages->show("Please enter the company of the drive", "Error", MsgIcon::Exclamation,
                                        MsgButtons::OK);
        ui->DriveCompany->setFocus();
        return;
    }
    const std::optional<query::RetrieveOutcome> outcome = retrieveAndShow();
    if (!outcome)
        return;
    drives::Drive drive;
    drive.company = company;
    drive.date = ui->DriveDate->date().toString(Qt::ISODate).toStdString();
    drive.criteria = criteria();
    const std::vector<drives::ShortlistEntry> shortlist =
        drives::ShortlistOf(outcome->result, outcome->query.PercentColumn, query::BranchList(control_));
    db::Database* database =
        control_.session.Connector ? control_.session.Connector->GetCurrentConnection() : nullptr;
    db::Failure failure{db::kErrOther, "Kyt is not connected to its database."};
    if (!database || !drives::SaveDrive(*database, drive, shortlist, failure)) {
        control_.session.Messages->show("The drive was not saved.\r\n\r\n" + failure.description, "Error",
                                        MsgIcon::Critical, MsgButtons::OK);
        return;
    }
    reloadDrives();
    control_.session.Messages->show("The drive " + drive.title() + " is saved with " + std::to_string(shortlist.size()) +
                                        " students shortlisted.",
                                    "Drive saved", MsgIcon::Information, MsgButtons::OK);
    if (drivesChanged())
        drivesChanged()();
}

void Form3::LoadDriveButton_Click()
{
    const int id = ui->DriveList->currentData().toInt();
    db::Database* database =
        control_.session.Connector ? control_.session.Connector->GetCurrentConnection() : nullptr;
    drives::Drive drive;
    db::Failure failure{db::kErrOther, "Kyt is not connected to its database."};
    if (!database || !drives::LoadDrive(*database, id, drive, nullptr, failure)) {
        control_.session.Messages->show("The drive could not be read.\r\n\r\n" + failure.description, "Error",
                                        MsgIcon::Critical, MsgButtons::OK);
        return;
    }
    loadCriteria(drive.criteria, drive.company, drive.date);
}

void Form3::Command2_Click()
{
    retrieveAndShow();
}

std::optional<query::RetrieveOutcome> Form3::retrieveAndShow()
{
    query::RetrieveOutcome outcome = query::Retrieve(control_, criteria(), year(), runOptions);
    const query::BuiltQuery& built = outcome.query;
    if (!ui->Label3_0->isHidden() && (!built.refused() || built.refusal->step > 7))
        BranchExcludeList = ui->Text4->text().toStdString();
    // The results window is loaded as soon as the semester range is accepted, shown only with a result.
    Form4* results = built.PercentColumn.empty() ? nullptr : Form4::get(control_);

    if (outcome.status == query::RetrieveOutcome::Status::Refused) {
        const query::Refusal& refusal = *built.refusal;
        control_.session.Messages->show(refusal.text, refusal.title, refusal.icon, MsgButtons::OK);
        if (refusal.step == 13 && !ui->EligibilityButton->isChecked())
            ui->EligibilityButton->setChecked(true);  // the box to mend must be seen
        if (auto* focus = findChild<QWidget*>(q(refusal.focus)))
            focus->setFocus();
        return std::nullopt;
    }
    if (outcome.status == query::RetrieveOutcome::Status::Failed) {
        control_.session.Messages->show("The students could not be retrieved.\r\n\r\n" + outcome.failure.description,
                                "Error", MsgIcon::Critical, MsgButtons::OK);
        return std::nullopt;
    }
    if (!results->isVisible())
        centreOver(control_, results, this);
    results->showQueryResult(outcome.result, built.rankedByUsn, built.mcaWarning, built.selection());
    return outcome;
}

void Form3::Command1_Click()
{
    close();
}

void Form3::Command3_Click()
{
    control_.session.Messages->show(query::QueryHelpText() + "\r\n\r\n" + UserManualLine(), control_.session.AppTitle, MsgIcon::Information, MsgButtons::OK);
}

bool Form3::eventFilter(QObject* watched, QEvent* event)
{
    if (!isEnter(event))
        return QWidget::eventFilter(watched, event);
    if (watched == ui->Combo7 || watched == ui->Combo7->lineEdit())
        ui->Combo1_0->setFocus();
    else if (watched == ui->Text2)
        ui->Text3->setFocus();
    else
        ui->Command2->click();
    return true;
}

}  // namespace kyt
