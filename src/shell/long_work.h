#pragma once
// Work that may take longer than a moment (a PDF, a batch of conversions, many files written). The window
// program runs it off the window thread, showing its progress with a Cancel button while the windows keep
// repainting; kyt-cli and tests run it on the caller's thread. Either way the caller waits for its end, so
// a procedure reads the same in both. The work must not touch the windows, the message service or the
// shared connector: it reports through WorkProgress only, and the procedure tells the officer afterwards.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

namespace kyt {

struct Control;

// Shared between the work (any thread) and whoever shows it.
class WorkProgress {
public:
    // `percent` 0 to 100, or -1 while the work cannot tell how far it is.
    void set(int percent, const std::string& text = {});
    // The work looks at this between steps and stops early when it is set.
    bool cancelled() const { return cancelled_.load(); }

    int percent() const { return percent_.load(); }
    std::string text() const;
    void cancel() { cancelled_.store(true); }

private:
    std::atomic<int> percent_{-1};
    std::atomic<bool> cancelled_{false};
    mutable std::mutex textMutex_;
    std::string text_;
};

using Work = std::function<void(WorkProgress&)>;

class WorkRunner {
public:
    virtual ~WorkRunner() = default;
    // Runs `work` to its end. `cancellable`: stopping it half-way is safe, so a Cancel is offered.
    // Returns false when the officer cancelled.
    virtual bool run(const std::string& title, bool cancellable, const Work& work) = 0;
};

// Through control.session.Work when the program set one, otherwise here and now. False when cancelled.
bool RunWork(Control& control, const std::string& title, bool cancellable, const Work& work);

}  // namespace kyt
