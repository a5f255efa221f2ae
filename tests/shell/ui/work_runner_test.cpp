#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <thread>

#include "shell/long_work.h"
#include "shell/ui/work_runner.h"
#include "support/window_test.h"

namespace kyt {
namespace {

// Long work runs off the window thread, which goes on handling its events; the progress window's Cancel
// reaches the work, which stops. Without a runner (kyt-cli) the same work runs on the caller's thread.
TEST(LongWork, RunsOffTheWindowThreadWhichKeepsGoingAndCancelStopsIt)
{
    Control control;
    const std::thread::id windowThread = std::this_thread::get_id();
    std::thread::id ranOn;
    EXPECT_TRUE(RunWork(control, "here", true, [&](WorkProgress&) { ranOn = std::this_thread::get_id(); }));
    EXPECT_EQ(ranOn, windowThread);

    QtWorkRunner runner;
    control.session.Work = &runner;
    std::atomic<bool> windowThreadRan{false};
    QTimer::singleShot(0, [&] { windowThreadRan = true; });
    std::atomic<bool> cancelClicked{false};
    // Stands for the officer: once the progress window shows, Cancel is pressed.
    QTimer officer;
    QObject::connect(&officer, &QTimer::timeout, [&] {
        QProgressDialog* dialog = QtWorkRunner::current();
        if (auto* cancel = dialog ? dialog->findChild<QPushButton*>() : nullptr; cancel && dialog->isVisible()) {
            cancel->click();
            cancelClicked = true;
            officer.stop();
        }
    });
    officer.start(10);
    const bool finished = RunWork(control, "Saving the results as PDF", true, [&](WorkProgress& progress) {
        ranOn = std::this_thread::get_id();
        while (!windowThreadRan)  // the window thread handles events meanwhile
            std::this_thread::yield();
        for (int step = 0; !progress.cancelled(); step = (step + 1) % 100)
            progress.set(step, "working");
    });
    EXPECT_FALSE(finished);
    EXPECT_TRUE(cancelClicked);
    EXPECT_NE(ranOn, windowThread);
    EXPECT_EQ(QtWorkRunner::current(), nullptr) << "the progress window goes with the work";
}

}  // namespace
}  // namespace kyt
