// The windows of drives and statistics driven through their controls: the query window's eligibility
// group and drive boxes, the drives window, the statistics window; one real message box each.

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QToolButton>

#include "db/data_connector.h"
#include "db/seed.h"
#include "drives/ui/formdrives.h"
#include "drives/ui/formstats.h"
#include "query/ui/form3.h"
#include "query/ui/form4.h"
#include "shell/startup.h"
#include "shell/ui/qt_message_service.h"
#include "shell/ui/window_registration.h"
#include "support/engine.h"
#include "support/real_dialogs.h"
#include "support/window_test.h"

namespace kyt {
namespace {

// Batch 22 of CS and EC (aggregates 55 to 90 %), connected as the running program is.
class DriveWindows : public test::WindowTest {
protected:
    void SetUp() override
    {
        configure();
        state.config.DatabasePath = database;
        db::Failure failure;
        auto db = db::Database::open(database, db::Road::Connector, failure);
        for (const auto& [usn, percent] : {std::pair{"1QP22CS001", 55}, {"1QP22CS002", 74}, {"1QP22EC001", 90}})
            store(*db, usn, percent);
        ASSERT_EQ(StartUp(state), StartUpResult::Ready);
        form3 = std::make_unique<Form3>(state, [] { return 2026; });
    }
    void TearDown() override
    {
        form3.reset();
        state.session.Windows.destroyAll();
        statisticsFileChooser() = nullptr;
    }
    static void store(db::Database& db, const std::string& usn, int percent)
    {
        db::Failure failure;
        ASSERT_TRUE(db.exec(test::personalInsert({.usn = usn}), failure)) << failure.description;
        for (int level = 3; level <= 8; ++level)
            ASSERT_TRUE(db.exec(test::marksInsert(usn, level, percent, 100), failure)) << failure.description;
    }
    template <class T = QWidget>
    T* in3(const char* name) { return test::control<T>(form3.get(), name); }
    // The query window set to batch 22, all branches, ranked by aggregate.
    void chooseBatch()
    {
        in3<QComboBox>("Combo7")->setCurrentText("22");
        in3<QComboBox>("Combo1_0")->setCurrentText("All Branches");
    }
    drives::Drive onlyDrive(std::vector<drives::ShortlistEntry>* shortlist = nullptr)
    {
        std::vector<drives::Drive> all;
        db::Failure failure;
        EXPECT_TRUE(drives::ListDrives(*state.session.Connector->GetCurrentConnection(), all, failure));
        EXPECT_EQ(all.size(), 1u);
        drives::Drive drive = all.empty() ? drives::Drive{} : all.front();
        if (shortlist)
            drives::LoadDrive(*state.session.Connector->GetCurrentConnection(), drive.id, drive, shortlist, failure);
        return drive;
    }

    std::unique_ptr<Form3> form3;
};

TEST_F(DriveWindows, TheEligibilityGroupIsClosedUntilOpenedAndADriveSavesAndLoadsBack)
{
    auto* button = in3<QToolButton>("EligibilityButton");
    EXPECT_FALSE(button->isChecked());
    EXPECT_TRUE(in3("EligibilityFrame")->isHidden());
    in3<QLineEdit>("TenthPercent")->setText("abc");
    EXPECT_EQ(button->text().toStdString(), "Eligibility set by a company, and drives (rules in force)");
    chooseBatch();
    test::click(form3.get(), "Command2");
    EXPECT_EQ(messages.last().text, "Please enter a valid number in the 10th percent field");
    EXPECT_TRUE(button->isChecked()) << "the box to mend is shown";

    in3<QLineEdit>("TenthPercent")->setText("");
    in3<QCheckBox>("BornCheck")->setChecked(true);
    in3<QDateEdit>("BornFrom")->setDate(QDate(2003, 6, 1));
    test::click(form3.get(), "SaveDriveButton");
    EXPECT_EQ(messages.last().text, "Please enter the company of the drive");
    in3<QLineEdit>("DriveCompany")->setText("  Acme ");
    in3<QDateEdit>("DriveDate")->setDate(QDate(2027, 2, 12));
    in3<QComboBox>("Combo6")->setCurrentIndex(0);  // ascendingly
    test::click(form3.get(), "SaveDriveButton");
    EXPECT_EQ(messages.last().text, "The drive Acme, 2027-02-12 is saved with 3 students shortlisted.");
    std::vector<drives::ShortlistEntry> shortlist;
    const drives::Drive drive = onlyDrive(&shortlist);
    ASSERT_EQ(shortlist.size(), 3u);
    EXPECT_EQ(shortlist.front().usn, "1QP22CS001");
    EXPECT_EQ(drive.criteria.eligibility.bornFrom, "2003-06-01");
    auto* results = qobject_cast<Form4*>(findWindow(state, "Form4"));
    ASSERT_TRUE(results && results->isVisible());
    EXPECT_EQ(results->result().recordCount(), 3);

    // Another query, then the drive loaded back: every control as it was saved.
    const query::Criteria saved = form3->criteria();
    in3<QComboBox>("Combo1_0")->setCurrentText("CS");
    in3<QCheckBox>("BornCheck")->setChecked(false);
    in3<QComboBox>("Combo6")->setCurrentIndex(1);
    button->setChecked(false);
    ASSERT_EQ(in3<QComboBox>("DriveList")->count(), 1);
    test::click(form3.get(), "LoadDriveButton");
    EXPECT_EQ(form3->criteria(), saved);
    EXPECT_TRUE(button->isChecked());
}

TEST_F(DriveWindows, TheDrivesWindowKeepsOutcomesAndRunsAgainOnlyWhenTheOfficerAgrees)
{
    chooseBatch();
    in3<QLineEdit>("Text1")->setText("70");
    in3<QLineEdit>("DriveCompany")->setText("Acme Engineering Works");
    test::click(form3.get(), "SaveDriveButton");
    FormDrives* window = FormDrives::open(state);
    ASSERT_TRUE(window);
    auto* shortlist = test::control<QTableWidget>(window, "ShortlistTable");
    ASSERT_EQ(shortlist->rowCount(), 2);  // EC001 90, CS002 74
    EXPECT_EQ(shortlist->item(0, 1)->text(), "1QP22EC001");
    // Columns fit their text: the company's name shows whole.
    const auto* drives = test::control<QTableWidget>(window, "DriveTable");
    EXPECT_GT(drives->columnWidth(1), drives->fontMetrics().horizontalAdvance(drives->item(0, 1)->text()));
    qobject_cast<QComboBox*>(shortlist->cellWidget(0, 5))->setCurrentText("joined");
    std::vector<drives::ShortlistEntry> stored;
    onlyDrive(&stored);
    EXPECT_EQ(stored.front().outcome, drives::Outcome::Joined);
    EXPECT_EQ(test::control<QTableWidget>(window, "DriveTable")->item(0, 5)->text(), "1");
    test::click(window, "StatsButton");
    auto* statistics = qobject_cast<FormStats*>(findWindow(state, "FormStats"));
    ASSERT_TRUE(statistics);
    EXPECT_EQ(statistics->statistics().total.joined, 1) << "the outcome just set counts";

    // A student extracted since: running again asks, and No changes nothing.
    db::Failure failure;
    store(*state.session.Connector->GetCurrentConnection(), "1QP22CS003", 88);
    messages.setNextAnswer(MsgAnswer::No);
    test::click(window, "RunButton");
    EXPECT_EQ(messages.last().buttons, MsgButtons::YesNo);
    EXPECT_EQ(messages.last().text.rfind("1 of the 3 students whom the criteria of Acme Engineering Works, ", 0), 0u) << messages.last().text;
    EXPECT_EQ(shortlist->rowCount(), 2);
    messages.setNextAnswer(MsgAnswer::Yes);
    test::click(window, "RunButton");
    ASSERT_EQ(shortlist->rowCount(), 3);
    EXPECT_EQ(shortlist->item(2, 1)->text(), "1QP22CS003");
    EXPECT_EQ(qobject_cast<QComboBox*>(shortlist->cellWidget(0, 5))->currentText(), "joined");

    // The shortlist is never saved over the configuration.
    const std::string configuration = test::readFile(state.config.ConfigPath);
    statisticsFileChooser() = [&](QWidget*, const QString&, const QString&, const QString&) {
        return QString::fromStdString(state.config.ConfigPath);
    };
    test::click(window, "ExportButton");
    EXPECT_EQ(messages.last().text.rfind("The shortlist was not saved.\r\n" + state.config.ConfigPath, 0), 0u)
        << messages.last().text;
    EXPECT_EQ(test::readFile(state.config.ConfigPath), configuration);

    // Deleting asks through a real message box; Enter answers No and keeps the drive, Yes removes it.
    QtMessageService shown;
    state.session.Messages = &shown;
    test::RealDialogs dialogs;
    dialogs.pressEnter().click(QMessageBox::Yes);
    test::click(window, "DeleteButton");
    EXPECT_EQ(test::control<QTableWidget>(window, "DriveTable")->rowCount(), 1);
    test::click(window, "DeleteButton");
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(0).text.rfind("Delete the drive Acme Engineering Works, ", 0), 0u);
    EXPECT_EQ(dialogs.seen().at(0).answered, QMessageBox::No);
    EXPECT_EQ(test::control<QTableWidget>(window, "DriveTable")->rowCount(), 0);
    EXPECT_FALSE(test::control<QPushButton>(window, "RunButton")->isEnabled());
}

TEST_F(DriveWindows, TheStatisticsWindowShowsABatchAndSavesTablesChartsAndTheReport)
{
    FormStats window(state, [] { return 2026; });
    EXPECT_FALSE(test::control<QPushButton>(&window, "ReportButton")->isEnabled());
    test::control<QComboBox>(&window, "BatchCombo")->setCurrentText("22");
    test::control<QComboBox>(&window, "ToSem")->setCurrentText("6");
    test::click(&window, "ShowBatchButton");
    EXPECT_EQ(window.statistics().total.students, 3);
    EXPECT_EQ(test::control<QLabel>(&window, "TitleLabel")->text(), "Batch 22");
    EXPECT_EQ(test::control<QTableView>(&window, "SummaryGrid")->model()->index(2, 2).data().toString(), "73.00");

    std::vector<QString> asked;
    statisticsFileChooser() = [&](QWidget*, const QString&, const QString& suggested, const QString&) {
        asked.push_back(suggested);
        return QString::fromStdString(dir.file(suggested.toStdString()));
    };
    test::click(&window, "SaveTableButton");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked.back(), "Batch 22 - By branch.csv");
    EXPECT_NE(test::readFile(dir.file("Batch 22 - By branch.csv")).find("\r\nAll,3,73.00,74.00,55.00,90.00,1,0,2,2,2,2,1\r\n"),
              std::string::npos);
    auto* tabs = test::control<QTabWidget>(&window, "StatsTabs");
    tabs->setCurrentIndex(4);  // the class mix
    EXPECT_FALSE(test::control<QPushButton>(&window, "SaveTableButton")->isEnabled());
    test::click(&window, "SaveChartButton");
    EXPECT_EQ(asked.back(), "Batch 22 - Class mix.png");
    EXPECT_EQ(test::readFile(dir.file("Batch 22 - Class mix.png")).substr(1, 3), "PNG");

    QtMessageService shown;
    state.session.Messages = &shown;
    test::RealDialogs dialogs;
    dialogs.click(QMessageBox::Ok);
    test::click(&window, "ReportButton");
    ASSERT_TRUE(dialogs.allAnswered());
    EXPECT_EQ(dialogs.seen().at(0).text, "The report was saved at " + dir.file("Batch 22 - report.pdf"));
    EXPECT_EQ(test::readFile(dir.file("Batch 22 - report.pdf")).substr(0, 5), "%PDF-");

    // Never over the database file: told, and the database still answers. (A server's database has none.)
    if (test::onServer())
        return;
    statisticsFileChooser() = [&](QWidget*, const QString&, const QString&, const QString&) {
        return QString::fromStdString(database);
    };
    dialogs.click(QMessageBox::Ok);
    test::click(&window, "ReportButton");
    ASSERT_TRUE(dialogs.allAnswered());
    ASSERT_EQ(dialogs.seen().back().text.rfind("The report was not saved.\r\n" + database + " is the student database", 0), 0u)
        << dialogs.seen().back().text;
    test::click(&window, "ShowBatchButton");
    EXPECT_EQ(window.statistics().total.students, 3);
}

}  // namespace
}  // namespace kyt
