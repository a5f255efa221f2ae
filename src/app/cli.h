#pragma once
// kyt-cli's commands register themselves here; each lives in its own cli_*.cpp and parses its
// arguments with a QCommandLineParser through parse(), which gives every command --help and names an
// unknown or misspelt option.

#include <QCommandLineParser>
#include <QString>
#include <string>
#include <vector>

namespace kyt::cli {

using Args = std::vector<std::string>;
using CommandFn = int (*)(const Args& args);

// Exit statuses, one rule for every command: 0 done; 2 refused with nothing done (an unknown or wrong
// option, argument or criterion, a configuration that cannot be used); 1 failed (the database: missing,
// read-only, not a Kyt database, locked; or the disk). `extract` keeps its own, given in its help.
inline constexpr int kFailed = 1;
inline constexpr int kRefused = 2;
inline constexpr int kUsageError = kRefused;

struct Command {
    const char* name;
    const char* usage;  // "name ARGS   what it does", shown by `kyt-cli --help`
    CommandFn run;
    bool draws = false;  // draws charts or pages: runs with a (windowless) graphical application
};

bool registerCommand(const Command& command);

// Parses `args` (what follows the command's name) with `parser`, which the command has given its options,
// description and positional arguments; adds -h/--help. Returns false when the command must end now with
// `status`: 0 after printing the help, kUsageError after naming an unknown option or a missing value.
bool parse(QCommandLineParser& parser, const char* command, const Args& args, int& status);

// Prints "kyt-cli COMMAND: problem", the command's usage and a pointer to --help; returns kUsageError.
int usageError(const QCommandLineParser& parser, const char* command, const std::string& problem);

// An option's value and the positional arguments, as UTF-8.
std::string value(const QCommandLineParser& parser, const QString& name);
Args positional(const QCommandLineParser& parser);

}  // namespace kyt::cli

#define KYT_CLI_CONCAT2(a, b) a##b
#define KYT_CLI_CONCAT(a, b) KYT_CLI_CONCAT2(a, b)
#define KYT_CLI_COMMAND(name, usage, fn) \
    static const bool KYT_CLI_CONCAT(kytCliRegistered_, __LINE__) = ::kyt::cli::registerCommand({name, usage, fn})
#define KYT_CLI_DRAWING_COMMAND(name, usage, fn) \
    static const bool KYT_CLI_CONCAT(kytCliRegistered_, __LINE__) = ::kyt::cli::registerCommand({name, usage, fn, true})
