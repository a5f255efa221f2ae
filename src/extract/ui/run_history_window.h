#pragma once
// The history of extraction runs: when, which folder, by whom, what each run stored and refused. The
// officer selects a run and takes it back (after the question naming its counts).

#include <QWidget>
#include <cstdint>
#include <memory>

#include "shell/control.h"

namespace Ui {
class RunHistory;
}

namespace kyt {

class RunHistory : public QWidget {
    Q_OBJECT

public:
    explicit RunHistory(Control& control, QWidget* parent = nullptr);
    ~RunHistory() override;

    // Shows the window (one per program) over `opener`, its list read afresh.
    static RunHistory* open(Control& control, const QWidget* opener = nullptr);

    void Refresh();
    void CommandRevert_Click();

private:
    int64_t selectedRun() const;

    std::unique_ptr<Ui::RunHistory> ui;
    Control& control_;
};

}  // namespace kyt
