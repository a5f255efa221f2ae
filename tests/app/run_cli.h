#pragma once
// Runs the command-line program under test, the one the build made or the one KYT_CLI names.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/temp_dir.h"

namespace kyt::test {

// Runs kyt-cli with `args` (shell-quoted here); returns its exit status and fills `output` with
// what it printed on standard output and standard error.
inline int runCli(const std::string& args, std::string* output = nullptr)
{
    const char* cli = std::getenv("KYT_CLI");
    return runProgram(cli ? cli : KYT_CLI, args, output);
}

// Makes a database as the installation does, with `kyt-cli init-db`, seeding Branch from the lines of a
// branch list file. Fails the current test when that does not work.
inline std::string initDatabase(const TempDir& dir, const std::string& branchLines)
{
    const std::string db = dir.file("kyt.db");
    const std::string branches = dir.file("branches.csv");
    writeFile(branches, branchLines);
    std::string output;
    EXPECT_EQ(runCli("init-db '" + db + "' --branches '" + branches + "'", &output), 0) << output;
    return db;
}

}  // namespace kyt::test
