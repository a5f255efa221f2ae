#pragma once
// The window program's spine: owns the program-wide state and the shell's windows, runs the splash
// window's start-up, opens the main menu or the setup window, and lets everything go at the end.

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "shell/control.h"

namespace kyt {

class frmSplash;
class FirstForm;
class setinit;

class Program : public QObject {
    Q_OBJECT

public:
    // `configPath` empty means Kyt.ini beside the executable.
    Program(MessageService& messages, const std::string& configPath);
    ~Program() override;

    Control& control() { return control_; }

    // What a main-menu button opens (see FirstForm::setOpener); takes effect when the main menu opens.
    void setOpener(const QString& buttonName, std::function<void()> opener);

    // Loads the splash window, which does the start-up work. Call it from the running event loop, so
    // that a start-up that ends at once also ends the loop.
    void start();

    frmSplash* splash() const { return splash_.get(); }
    FirstForm* mainMenu() const { return mainMenu_.get(); }
    setinit* setupWindow() const { return setup_.get(); }

private:
    void showMainMenu();
    void showSetupWindow();

    Control control_;
    std::map<QString, std::function<void()>> openers_;
    std::unique_ptr<frmSplash> splash_;
    std::unique_ptr<FirstForm> mainMenu_;
    std::unique_ptr<setinit> setup_;
};

}  // namespace kyt
