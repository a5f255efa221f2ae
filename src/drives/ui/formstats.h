#pragma once
// The statistics window: how a selection did by branch, in tables and charts. It shows the results
// window's students, a drive's shortlist, or a whole batch chosen here; each table is saved as CSV,
// each chart as PNG or PDF, and all of it as one PDF report.

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "drives/drive_store.h"
#include "drives/statistics.h"
#include "query/retrieve.h"
#include "shell/control.h"

namespace Ui {
class FormStats;
}

namespace kyt {

class ResultModel;

// Asks where to save (a save-file dialog unless replaced: tests answer without one); `filter` as
// QFileDialog takes it. An empty answer is a cancelled dialog.
using ChooseFile = std::function<QString(QWidget* parent, const QString& title, const QString& suggested,
                                         const QString& filter)>;
ChooseFile& statisticsFileChooser();

class FormStats : public QWidget {
    Q_OBJECT

public:
    // Shows the window, loading it (centred over `opener`, else the main menu) when it is not open.
    static FormStats* open(Control& control, const QWidget* opener = nullptr);

    // `currentYear` gives the calendar year for the batch items; empty means the clock's.
    explicit FormStats(Control& control, std::function<int()> currentYear = {}, QWidget* parent = nullptr);
    ~FormStats() override;

    // Shows `statistics`; a drive's shortlist goes into its report.
    void showStatistics(drives::Statistics statistics, std::vector<drives::ShortlistEntry> shortlist = {},
                        bool drive = false);
    // The students of a query result (the results window's), with the outcomes the drives recorded.
    void showResult(const query::ResultTable& result, const std::string& title);
    const drives::Statistics& statistics() const { return statistics_; }

    void ShowBatchButton_Click();
    void SaveTableButton_Click();
    void SaveChartButton_Click();
    void ReportButton_Click();
    void CloseButton_Click();

private:
    void tabChanged(int index);
    int year() const;

    std::unique_ptr<Ui::FormStats> ui;
    Control& control_;
    std::function<int()> currentYear_;
    std::vector<ResultModel*> tables_;
    drives::Statistics statistics_;
    std::vector<drives::ShortlistEntry> shortlist_;
    bool drive_ = false;
};

}  // namespace kyt
