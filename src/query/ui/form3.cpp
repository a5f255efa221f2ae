#include "query/ui/form3.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>

#include "query/ui/form4.h"
#include "shell/ui/window_keys.h"
#include "shell/ui/window_registration.h"
#include "ui_form3.h"

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
    return c;
}

void Form3::Command2_Click()
{
    const query::RetrieveOutcome outcome = query::Retrieve(control_, criteria(), year(), runOptions);
    const query::BuiltQuery& built = outcome.query;
    if (!ui->Label3_0->isHidden() && (!built.refused() || built.refusal->step > 7))
        BranchExcludeList = ui->Text4->text().toStdString();
    // The results window is loaded as soon as the semester range is accepted, shown only with a result.
    Form4* results = built.PercentColumn.empty() ? nullptr : Form4::get(control_);

    if (outcome.status == query::RetrieveOutcome::Status::Refused) {
        const query::Refusal& refusal = *built.refusal;
        control_.session.Messages->show(refusal.text, refusal.title, refusal.icon, MsgButtons::OK);
        if (auto* focus = findChild<QWidget*>(q(refusal.focus)))
            focus->setFocus();
        return;
    }
    if (outcome.status == query::RetrieveOutcome::Status::Failed) {
        control_.session.Messages->show("The students could not be retrieved.\r\n\r\n" + outcome.failure.description,
                                "Error", MsgIcon::Critical, MsgButtons::OK);
        return;
    }
    if (!results->isVisible())
        centreOver(control_, results, this);
    results->showQueryResult(outcome.result, built.rankedByUsn, built.mcaWarning);
}

void Form3::Command1_Click()
{
    close();
}

void Form3::Command3_Click()
{
    control_.session.Messages->show(query::QueryHelpText(), control_.session.AppTitle, MsgIcon::Information, MsgButtons::OK);
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
