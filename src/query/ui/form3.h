#pragma once
// The query criteria window: which students to select (batch, branches, aggregate over a semester range,
// class, words in projects and hobbies), how to rank them and which columns to add. Retrieve builds the
// query, runs it and shows the result in the results window.

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "query/query_builder.h"
#include "query/retrieve.h"
#include "shell/control.h"

class QComboBox;

namespace Ui {
class Form3;
}

namespace kyt {

class Form3 : public QWidget {
    Q_OBJECT

public:
    // The main menu's "Query  résumé database": shows the window, loading it when it is not open.
    static Form3* open(Control& control);

    // `currentYear` gives the calendar year (the batch items and the two-year item depend on it); empty
    // means the clock's.
    explicit Form3(Control& control, std::function<int()> currentYear = {}, QWidget* parent = nullptr);
    ~Form3() override;

    // A copy of the exclude list, kept when the exclusion controls are hidden and at each Retrieve.
    std::string BranchExcludeList;

    // How long Retrieve waits for another program's lock on the database.
    query::RunOptions runOptions;

    // Fills the branch boxes again from the branch list of Control when it changed (a branch added or
    // deleted), keeping each box's choice where its code still exists. Runs whenever the window is shown.
    void reloadBranches();

    // The criteria as the controls hold them.
    query::Criteria criteria() const;
    // Sets the controls to `criteria` (a drive loaded back), opening the eligibility group when a rule
    // is given; `company` and `date` (year-month-day) go to the drive boxes when given.
    void loadCriteria(const query::Criteria& criteria, const std::string& company = {}, const std::string& date = {});
    // Fills the saved-drives list again from the database.
    void reloadDrives();

    // Runs when a drive was saved here (the drives window reads its list again).
    static std::function<void()>& drivesChanged();

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Combo1_Click(int Index);
    void EligibilityButton_Click(bool open);
    void SaveDriveButton_Click();
    void LoadDriveButton_Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void fillBranchBoxes(const std::array<std::string, 3>& wanted);
    // Retrieve as Command2 runs it; the outcome when a result was shown, nothing (the officer told why)
    // otherwise.
    std::optional<query::RetrieveOutcome> retrieveAndShow();
    // The eligibility button says whether rules are in force while the group is closed.
    void updateEligibilityButton();
    int year() const;

    std::unique_ptr<Ui::Form3> ui;
    Control& control_;
    std::function<int()> currentYear_;
    std::array<QComboBox*, 3> Combo1;
};

}  // namespace kyt
