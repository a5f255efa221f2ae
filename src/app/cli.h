#pragma once
// kyt-cli's commands register themselves here; each lives in its own cli_*.cpp.

#include <string>
#include <vector>

namespace kyt::cli {

using Args = std::vector<std::string>;
using CommandFn = int (*)(const Args& args);

struct Command {
    const char* name;
    const char* usage;
    CommandFn run;
};

bool registerCommand(const Command& command);

// Takes the value of `--name VALUE` out of `args`; empty when absent.
std::string takeOption(Args& args, const std::string& name);
// Takes a `--name` flag out of `args`.
bool takeFlag(Args& args, const std::string& name);

}  // namespace kyt::cli

#define KYT_CLI_CONCAT2(a, b) a##b
#define KYT_CLI_CONCAT(a, b) KYT_CLI_CONCAT2(a, b)
#define KYT_CLI_COMMAND(name, usage, fn) \
    static const bool KYT_CLI_CONCAT(kytCliRegistered_, __LINE__) = ::kyt::cli::registerCommand({name, usage, fn})
