#include "shell/ui/window_registration.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

namespace kyt {

void registerWindow(Control& control, const QString& name, QWidget* window, bool owned)
{
    std::string key = name.toStdString();
    QPointer<QWidget> guarded(window);
    WindowRegistry::Entry entry;
    entry.window = window;
    entry.close = [guarded] {
        if (guarded)
            guarded->close();
    };
    if (owned)
        entry.destroy = [guarded] { delete guarded.data(); };
    control.session.Windows.add(key, std::move(entry));
    QObject::connect(window, &QObject::destroyed,
                     [&control, key, window] { control.session.Windows.remove(key, window); });
}

void registerMainMenu(Control& control, QWidget* mainMenu)
{
    // No close: the main menu's own close is what closes the others.
    const std::string key = kMainMenuName;
    control.session.Windows.add(key, {nullptr, nullptr, mainMenu});
    QObject::connect(mainMenu, &QObject::destroyed,
                     [&control, key, mainMenu] { control.session.Windows.remove(key, mainMenu); });
}

QWidget* findWindow(const Control& control, const QString& name)
{
    return static_cast<QWidget*>(control.session.Windows.find(name.toStdString()));
}

void centreOver(const Control& control, QWidget* window, const QWidget* opener)
{
    if (!opener || opener == window || !opener->isVisible()) {
        opener = findWindow(control, kMainMenuName);
        if (opener == window)
            opener = nullptr;
    }
    const bool over = opener && opener->isVisible();
    QScreen* screen = over ? opener->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect free = screen->availableGeometry();
    const QPoint centre = over ? opener->frameGeometry().center() : free.center();
    QRect placed(QPoint(0, 0), window->frameGeometry().size().expandedTo(window->size()));
    placed.moveCenter(centre);
    // Never off the screen's free area, so the title bar stays within reach.
    placed.moveLeft(std::max(free.left(), std::min(placed.left(), free.right() - placed.width() + 1)));
    placed.moveTop(std::max(free.top(), std::min(placed.top(), free.bottom() - placed.height() + 1)));
    window->move(placed.topLeft());
}

void centreOnMainMenu(const Control& control, QWidget* window)
{
    centreOver(control, window, nullptr);
}

QWidget* showWindow(Control& control, const QString& name, const std::function<QWidget*()>& make,
                    const QWidget* opener)
{
    QWidget* window = findWindow(control, name);
    if (!window) {
        window = make ? make() : nullptr;
        if (!window)
            return nullptr;
        window->setObjectName(name);
        registerWindow(control, name, window, true);
        centreOver(control, window, opener);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

}  // namespace kyt
