#pragma once
// The semester marks window: shows one stored semester of a student and replaces it with the values
// typed in, recomputing the student's aggregates.

#include <QWidget>
#include <cstdint>
#include <memory>

#include "shell/control.h"

namespace Ui {
class Form7;
}

namespace kyt {

class Form7 : public QWidget {
    Q_OBJECT

public:
    explicit Form7(Control& control, QWidget* parent = nullptr);
    ~Form7() override;

    // Shows the marks window beside the administration window, making it the first time.
    static Form7* open(Control& control, const QWidget* opener = nullptr);

    void Combo1_Click();
    void Text1_Change();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

private:
    void Form_Load();

    std::unique_ptr<Ui::Form7> ui;
    Control& control_;
    // 1: the next Update replaces an existing row without asking; -1 after an update (ask again).
    int16_t skipQuestion_ = 0;
};

}  // namespace kyt
