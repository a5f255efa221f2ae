#include "shell/ui/work_runner.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>
#include <thread>

namespace kyt {
namespace {

QPointer<QProgressDialog>& shown()
{
    static QPointer<QProgressDialog> dialog;
    return dialog;
}

// Work that ends within this long is not worth a progress window flashing up.
constexpr int kQuietMs = 400;
constexpr int kRefreshMs = 100;

}  // namespace

QProgressDialog* QtWorkRunner::current()
{
    return shown().data();
}

bool QtWorkRunner::run(const std::string& title, bool cancellable, const Work& work)
{
    WorkProgress progress;
    std::atomic<bool> done{false};
    QEventLoop loop;
    // The loop looks at the work between its other events; it ends once the work has.
    QTimer finished;
    QObject::connect(&finished, &QTimer::timeout, [&] {
        if (done.load())
            loop.quit();
    });
    finished.start(20);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    std::thread worker([&] {
        try {
            work(progress);
        } catch (...) {
            // A procedure reports its failures as values; nothing may end the program from here.
        }
        done.store(true);
    });

    // A moment with the windows repainting but deaf to the officer; then, if the work goes on, the
    // progress window, which as an application-modal window keeps the others deaf.
    QTimer quiet;
    quiet.setSingleShot(true);
    QObject::connect(&quiet, &QTimer::timeout, &loop, &QEventLoop::quit);
    quiet.start(kQuietMs);
    if (!done.load())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (!done.load()) {
        QProgressDialog dialog(QString::fromStdString(title), cancellable ? QObject::tr("Cancel") : QString(), 0, 100,
                               QApplication::activeWindow());
        dialog.setObjectName("WorkProgress");
        dialog.setWindowTitle(QString::fromStdString(title));
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.setAutoClose(false);
        dialog.setAutoReset(false);
        dialog.setMinimumDuration(0);
        dialog.setMinimumWidth(420);
        if (!cancellable)
            dialog.setCancelButton(nullptr);
        // The window's close button and Escape cancel too, as Cancel does; without Cancel they do nothing.
        QObject::connect(&dialog, &QProgressDialog::canceled, [&] {
            if (cancellable) {
                progress.cancel();
                dialog.setLabelText(QObject::tr("Cancelling..."));
            }
            dialog.show();  // a cancel hides it; it stays until the work has stopped
        });
        QTimer refresh;
        QObject::connect(&refresh, &QTimer::timeout, [&] {
            const int percent = progress.percent();
            if (percent < 0) {
                dialog.setRange(0, 0);  // a moving bar without a figure
            } else {
                dialog.setRange(0, 100);
                dialog.setValue(std::min(percent, 99));
            }
            const std::string text = progress.text();
            if (!text.empty() && !progress.cancelled())
                dialog.setLabelText(QString::fromStdString(text));
        });
        refresh.start(kRefreshMs);
        shown() = &dialog;
        dialog.show();
        while (!done.load())
            loop.exec();
        shown() = nullptr;
    }
    worker.join();
    QApplication::restoreOverrideCursor();
    return !progress.cancelled();
}

}  // namespace kyt
