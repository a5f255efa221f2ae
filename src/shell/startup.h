#pragma once
// Start-up (connect, load the branch list, fill the database error table), the database error texts
// and close-down.

#include <cstdint>
#include <string>

#include "shell/control.h"

namespace kyt {

inline constexpr int kMaxBranches = 40;

enum class StartUpResult {
    Ready,            // connected, branches loaded (possibly none), error table filled
    NotConnected,     // the connection or the branch query failed; the officer has been told
    TooManyBranches,  // more than kMaxBranches branches; the officer has been told
};

// Creates control.Connector, connects it to control.DatabasePath, loads control.BranchCodes and fills
// the database error table. Every problem is shown through control.Messages.
StartUpResult StartUp(Control& control);

// Fills entries 1 to 6 of the database error table.
void FillDbErrorTable(Control& control);

// The officer's sentence for a native database error number, negative or positive. ErrorNumber is
// left holding the absolute value. A number not in the table gets the last entry's text.
std::string DbErrorText(const Control& control, int32_t& ErrorNumber);

// Closes the database and lets go of the connector and the document application.
void CloseDown(Control& control);

}  // namespace kyt
