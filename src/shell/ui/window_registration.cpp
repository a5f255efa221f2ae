#include "shell/ui/window_registration.h"

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
    control.Windows.add(key, std::move(entry));
    QObject::connect(window, &QObject::destroyed, [&control, key, window] { control.Windows.remove(key, window); });
}

}  // namespace kyt
