#pragma once
// The splash window: does all start-up work while it is on screen, then gives way to the main menu
// after 1500 ms or at a click. A key press ends the program instead.

#include <QWidget>
#include <functional>
#include <memory>

#include "shell/control.h"

class QTimer;
namespace Ui {
class frmSplash;
}

namespace kyt {

class frmSplash : public QWidget {
    Q_OBJECT

public:
    struct Actions {
        std::function<void()> showMainMenu;
        std::function<void()> showSetupWindow;
    };

    frmSplash(Control& control, Actions actions, QWidget* parent = nullptr);
    ~frmSplash() override;

    // Shows the window, reads the configuration, opens the database and loads the branch list.
    void Form_Load();

    bool startupOK() const { return StartupOK; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Timer1_Timer();
    void Form_Click();
    void Form_KeyPress();

    std::unique_ptr<Ui::frmSplash> ui;
    QTimer* Timer1;
    Control& control;
    Actions actions;
    bool StartupOK = false;
};

}  // namespace kyt
