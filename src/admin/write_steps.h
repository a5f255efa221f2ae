#pragma once
// What the administration procedures share: telling the officer, look-ups that report a failing
// database, and the write transaction that commits before success is told.

#include <string>
#include <vector>

#include "admin/administration.h"
#include "db/recordset.h"

namespace kyt::admin::detail {

inline constexpr const char* kCrLf = "\r\n";

MsgAnswer tell(Control& control, const std::string& text, const std::string& title, MsgIcon icon,
               MsgButtons buttons = MsgButtons::OK);
// A question whose Yes deletes or replaces: Enter (and a closed box) answers `safe`.
MsgAnswer askSafely(Control& control, const std::string& text, const std::string& title, MsgIcon icon,
                    MsgButtons buttons, MsgAnswer safe);

// Runs one SELECT on the connector's connection. When the database fails, the officer is told so (not
// that the input is wrong), `result` becomes Failed with the reason, and false is returned.
bool lookUp(Control& control, const std::string& sql, db::Recordset& rows, Result& result);

// Runs `statements` in one transaction, stopping at the first failure, and commits. False (rolled back,
// `reason` filled) when a statement, the begin or the commit failed.
bool writeAll(Control& control, const std::vector<std::string>& statements, std::string& reason);

std::string trimSpaces(const std::string& text);
std::string upperAscii(std::string text);

}  // namespace kyt::admin::detail
