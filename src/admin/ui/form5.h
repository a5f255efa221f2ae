#pragma once
// The administration window: delete a student, a batch or every record, add and delete branches, and
// open the marks window.

#include <QWidget>
#include <functional>
#include <memory>

#include "shell/control.h"

namespace Ui {
class Form5;
}

namespace kyt {

class Form5 : public QWidget {
    Q_OBJECT

public:
    explicit Form5(Control& control, QWidget* parent = nullptr);
    ~Form5() override;

    // Shows the administration window, making it the first time (the main menu's "Administration").
    static Form5* open(Control& control);

    // Runs after a branch was added or deleted, once Control's branch list holds the change: the window
    // program plugs in what makes the loaded query window offer the branches as they now are.
    static std::function<void()> branchesChanged;

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();

private:
    void Form_Load();

    std::unique_ptr<Ui::Form5> ui;
    Control& control_;
};

}  // namespace kyt
