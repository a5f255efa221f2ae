#include "shell/long_work.h"

#include "shell/control.h"

namespace kyt {

void WorkProgress::set(int percent, const std::string& text)
{
    percent_.store(percent);
    if (!text.empty()) {
        const std::lock_guard lock(textMutex_);
        text_ = text;
    }
}

std::string WorkProgress::text() const
{
    const std::lock_guard lock(textMutex_);
    return text_;
}

bool RunWork(Control& control, const std::string& title, bool cancellable, const Work& work)
{
    if (control.session.Work)
        return control.session.Work->run(title, cancellable, work);
    WorkProgress progress;
    work(progress);
    return !progress.cancelled();
}

}  // namespace kyt
