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

// `s` as one word for the shell.
inline std::string quoted(const std::string& s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace kyt::test
