#pragma once
// Start-up (connect, load the branch list, fill the database error table) and close-down.

#include <cstdint>
#include <string>

#include "shell/control.h"

namespace kyt {

enum class StartUpResult {
    Ready,            // connected, branches loaded (possibly none), error table filled
    NotConnected,     // the connection or the branch query failed; the officer has been told
    TooManyBranches,  // more than kMaxBranches branches; the officer has been told
};

// A server that wants a password its password file does not hold asks through `messages` (a login box
// in the window program), once per run.
void AskPasswordsThrough(MessageService* messages);

// Creates the session's Connector, connects it to the configured DatabasePath, loads BranchCodes and
// fills the database error table. Every problem is shown through the session's Messages.
StartUpResult StartUp(Control& control);

// Fills entries 1 to 6 of the database error table.
void FillDbErrorTable(Control& control);

// Why the one logged in may not do `what` ("Extracting résumés", "Administration"), or empty when they may:
// a department coordinator's login reads the students of its own branches only.
std::string CoordinatorRefusal(const Control& control, const std::string& what);

// Closes the database and lets go of the connector and the document application.
void CloseDown(Control& control);

}  // namespace kyt
