#pragma once
// Replacing a small file so that a crash, a full disk or a failed write never leaves it truncated: the
// new bytes go to a temporary file in the same folder, reach the disk, and only then take the old
// file's name.

#include <string>
#include <string_view>

namespace kyt {

// True when `path` now holds exactly `bytes`. On failure `error` says why, the old file (if any) is
// untouched and no temporary file is left behind.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error);

}  // namespace kyt
