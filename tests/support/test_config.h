#pragma once
// Kyt.ini files for tests.

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace kyt::test {

// `lines`, each ended by CR LF, as Kyt.ini holds them.
std::string configText(const std::vector<std::string>& lines);

// The six lines the setup window writes (code, e-mail, database, two folders, program), in `path`.
void writeSetupConfig(const std::string& path, const std::string& database, const std::string& code = "1QP",
                      const std::string& email = "placement@college.edu");

// A Kyt.ini in `dir` naming a fresh database seeded with `branchLines` ("CODE,Name" lines); returns the
// configuration's path and puts the database's into `database` when given.
std::string makeConfiguredFolder(const TempDir& dir, const std::string& branchLines, std::string* database = nullptr);

// `count` distinct branch lines B01 to Bnn, for the branch-limit cases.
std::string branchLines(int count);

// Lines of a file split at CR LF; a file without CR LF gives one line.
std::vector<std::string> crlfLines(const std::string& text);

}  // namespace kyt::test
