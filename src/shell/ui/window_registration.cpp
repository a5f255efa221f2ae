#include "shell/ui/window_registration.h"

#include <QApplication>
#include <QPointer>
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

QWidget* findWindow(const QString& name)
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == name)
            return window;
    }
    return nullptr;
}

QWidget* showWindow(Control& control, const QString& name, const std::function<QWidget*()>& make)
{
    QWidget* window = findWindow(name);
    if (!window) {
        window = make ? make() : nullptr;
        if (!window)
            return nullptr;
        window->setObjectName(name);
        registerWindow(control, name, window, true);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

}  // namespace kyt
