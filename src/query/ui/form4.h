#pragma once
// The query results window: the selected students in a grid with their number, and the state that
// saving and résumé generation share. One window object lives for the rest of the run once made; Close
// unloads its controls (the next use loads them again) while its public fields keep their values.

#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "query/retrieve.h"
#include "shell/control.h"

namespace Ui {
class Form4;
}

namespace kyt {

class ResultModel;
}
class QSortFilterProxyModel;
namespace kyt {

class Form4 : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMaxColumns = 7;

    // The program's results window: made and registered as "Form4" at its first use, loaded again when
    // it was closed since. Every user (the criteria window, saving, résumé generation) goes through here.
    static Form4* get(Control& control);

    // What a button opens: "Command2" (Generate Resumes for above students), "Command3" (Save results to
    // file), "Command4" (Advanced Save to file options...), "StatsButton" (Statistics...). Set once for the program, before or after
    // the window exists; a button without an opener is disabled.
    static void setOpener(const Control& control, const QString& buttonName, std::function<void(Form4&)> opener);

    explicit Form4(Control& control, QWidget* parent = nullptr);
    ~Form4() override;

    // Shared with saving and the advanced save options.
    int16_t gridRows = 0;
    int16_t gridCols = 0;
    int16_t TotalSelections = 0;
    int16_t ColumnCount = 0;
    bool inAdvancedSaveOptions = false;
    bool NoTables = false;
    bool NoPageBreak = false;
    bool HardNoPageBreak = false;
    std::string Delimit;
    int16_t DelimitIndex = 0;
    bool SkipPageTitle = false;
    bool ColsSet = false;
    // Per grid column: 1 chosen for saving, 0 not, -1 no such column; its place in the saved output (999:
    // not chosen); the caption saved at each place; the title written above the output.
    std::array<int16_t, kMaxColumns> ColumnSelected{};
    std::array<int16_t, kMaxColumns> ColumnSequence{};
    std::array<std::string, kMaxColumns> ColumnNameBySequence;
    std::string PageTitle;

    // Resets the column choice for a new result: every column saved, in grid order, under the grid's
    // caption as page title.
    void InitSelection();

    // Résumé generation's progress on Label5, Label6 and ProgressBar1: 1 to 3 bring them up, 0 takes
    // them down.
    void ShowProgress(int16_t Percent);

    // What the criteria window does when it shows a result: the page-break flags for its ranking, the
    // MCA warning when the result mixes MCA with other branches, the window shown, Generate enabled when
    // there are records, the grid, the count and the column choice. `selection` is the query the result
    // came from: saving and generating from this window take exactly its students.
    void showQueryResult(query::ResultTable result, bool rankedByUsn, bool mcaWarning, Selection selection);
    const Selection& selection() const { return selection_; }

    // The grid alone: binds `result` to DataGrid1 with a readable Email column.
    void showResult(query::ResultTable result);
    const query::ResultTable& result() const;
    // The grid's caption, "Student List", and the caption of grid column i.
    QString gridCaption() const;
    std::string columnCaption(int column) const;

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void enableOpeners();

    std::unique_ptr<Ui::Form4> ui;
    Control& control_;
    ResultModel* model_;
    QSortFilterProxyModel* sorted_;  // the grid's order: the query's until a heading is clicked
    Selection selection_;
    bool loaded_ = false;
};

}  // namespace kyt
