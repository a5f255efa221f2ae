#pragma once
// The window program's WorkRunner: the work runs on a thread of its own while the window thread keeps
// repainting. What takes more than a moment shows a progress window over the active window, with Cancel
// when stopping is safe; until the work ends the other windows take no input and show a busy cursor.

#include "shell/long_work.h"

class QProgressDialog;

namespace kyt {

class QtWorkRunner : public WorkRunner {
public:
    bool run(const std::string& title, bool cancellable, const Work& work) override;

    // The progress window of the work running now, or null (for tests).
    static QProgressDialog* current();
};

}  // namespace kyt
