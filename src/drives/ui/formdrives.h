#pragma once
// The drives window: the drives saved from the query window, each with its shortlist as it was taken
// and the outcome of each student, which the officer sets here. A drive is loaded back into the query
// window, run again (the newcomers added when the officer agrees), counted in the statistics window,
// saved as CSV, or deleted.

#include <QWidget>
#include <memory>
#include <vector>

#include "drives/drive_store.h"
#include "shell/control.h"

namespace Ui {
class FormDrives;
}

namespace kyt {

class FormDrives : public QWidget {
    Q_OBJECT

public:
    // Shows the window, loading it when it is not open; the list is read again each time.
    static FormDrives* open(Control& control);

    explicit FormDrives(Control& control, QWidget* parent = nullptr);
    ~FormDrives() override;

    // Reads the drives again, keeping the chosen one when it is still there.
    void refresh();
    // The drive chosen in DriveTable (0: none), and choosing one.
    int selectedDrive() const;
    void selectDrive(int id);

    void LoadButton_Click();
    void RunButton_Click();
    void StatsButton_Click();
    void DeleteButton_Click();
    void ExportButton_Click();
    void BatchStatsButton_Click();
    void CloseButton_Click();

private:
    void showShortlist();
    void outcomeChosen(const std::string& usn, int index);
    // The session's database, or null after telling the officer why there is none.
    db::Database* database();
    bool tellFailure(const std::string& what, const db::Failure& failure);

    std::unique_ptr<Ui::FormDrives> ui;
    Control& control_;
    std::vector<drives::Drive> drives_;
    drives::Drive shown_;
    std::vector<drives::ShortlistEntry> shortlist_;
};

}  // namespace kyt
