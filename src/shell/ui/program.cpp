#include "shell/ui/program.h"

#include <QCoreApplication>
#include <QEvent>

#include "shell/configuration.h"
#include "shell/ui/firstform.h"
#include "shell/ui/frmsplash.h"
#include "shell/ui/setinit.h"
#include "shell/ui/window_registration.h"

namespace kyt {

Program::Program(MessageService& messages, const std::string& configPath)
{
    control_.session.Messages = &messages;
    control_.config.ConfigPath = configPath.empty() ? DefaultConfigPath() : configPath;
}

Program::~Program()
{
    // Windows hold the state by reference: they go first, the state last. Those closed at the end
    // (unloaded, waiting for the event loop that has stopped) go now too.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    control_.session.Windows.destroyAll();
    mainMenu_.reset();
    setup_.reset();
    splash_.reset();
}

void Program::setOpener(const QString& buttonName, std::function<void()> opener)
{
    openers_[buttonName] = opener;
    if (mainMenu_)
        mainMenu_->setOpener(buttonName, std::move(opener));
}

void Program::start()
{
    frmSplash::Actions actions;
    actions.showMainMenu = [this] { showMainMenu(); };
    actions.showSetupWindow = [this] { showSetupWindow(); };
    splash_ = std::make_unique<frmSplash>(control_, std::move(actions));
    splash_->Form_Load();
}

void Program::showMainMenu()
{
    if (!mainMenu_) {
        mainMenu_ = std::make_unique<FirstForm>(control_);
        for (const auto& [name, opener] : openers_)
            mainMenu_->setOpener(name, opener);
        centreOnMainMenu(control_, mainMenu_.get());  // on the screen: it is the main menu
    }
    mainMenu_->show();
    mainMenu_->raise();
    mainMenu_->activateWindow();
}

void Program::showSetupWindow()
{
    if (!setup_) {
        setup_ = std::make_unique<setinit>(control_);
        centreOnMainMenu(control_, setup_.get());
    }
    setup_->show();
    setup_->raise();
    setup_->activateWindow();
}

}  // namespace kyt
