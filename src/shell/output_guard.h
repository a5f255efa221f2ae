#pragma once
// Where a result or the generated résumés may be written. An output must never take the place of what the
// program works from: the database and its journal files, the configuration file, the target format
// document; nor land on a folder, a pipe or a device.

#include <string>

#include "shell/control.h"

namespace kyt {

// Empty when `path` may be written as an output; otherwise why not, as a sentence naming the path.
// Refused when `path` is the same file (by device and inode, whatever links lead to it) as the database,
// its -wal, -shm or -journal file, the configuration file or `targetDocument`; a file that does not
// exist yet is compared by its folder and name (db::isDatabaseFile for the database's files). Also refused when something other than an ordinary file
// already stands at `path`. Only stat is used: no file is opened, so the engine's locks on the database
// are never disturbed.
std::string RefusedOutput(const Control& control, const std::string& path, const std::string& targetDocument = {});

}  // namespace kyt
