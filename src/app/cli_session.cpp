#include "app/cli_session.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "app/cli.h"
#include "shell/configuration.h"
#include "shell/product.h"
#include "shell/startup.h"

namespace kyt::cli {

MsgAnswer TerminalMessages::ask(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons,
                                MsgAnswer)
{
    const bool question = buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel;
    std::FILE* out = icon == MsgIcon::Critical || question ? stderr : stdout;
    // A plain notice reads as a line of the summary; anything else keeps its title.
    const bool notice = icon == MsgIcon::None && !question;
    if (notice || title.empty())
        std::fprintf(out, "%s\n", text.c_str());
    else
        std::fprintf(out, "%s%s %s\n", title.c_str(), title.back() == '.' ? "" : ":", text.c_str());
    if (!question)
        return MsgAnswer::OK;
    if (!isatty(STDIN_FILENO)) {
        std::fprintf(stderr, "(no terminal to answer: continuing)\n");
        return MsgAnswer::Yes;
    }
    for (;;) {
        std::fprintf(stderr, "[y/n] ");
        std::fflush(stderr);
        std::string answer;
        if (!std::getline(std::cin, answer))
            return MsgAnswer::Yes;
        if (answer == "y" || answer == "Y" || answer == "yes")
            return MsgAnswer::Yes;
        if (answer == "n" || answer == "N" || answer == "no")
            return MsgAnswer::No;
    }
}

std::optional<std::string> TerminalMessages::askPassword(const std::string& address, const std::string& login)
{
    if (!isatty(STDIN_FILENO))
        return std::nullopt;
    std::fprintf(stderr, "Password of %s for the database %s: ", login.c_str(), address.c_str());
    std::fflush(stderr);
    termios saved{};
    const bool quiet = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &silent);
    }
    std::string password;
    const bool read = static_cast<bool>(std::getline(std::cin, password));
    if (quiet)
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    std::fprintf(stderr, "\n");
    if (!read)
        return std::nullopt;
    return password;
}

MsgAnswer QuestionMessages::ask(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons,
                                MsgAnswer defaultAnswer)
{
    const bool question = buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel;
    std::FILE* out = icon == MsgIcon::Critical || icon == MsgIcon::Exclamation || question ? stderr : stdout;
    std::string shown = text;
    for (size_t at = shown.find("\r\n"); at != std::string::npos; at = shown.find("\r\n", at))
        shown.erase(at, 1);
    std::fprintf(out, "%s: %s\n", title.empty() ? "Kyt" : title.c_str(), shown.c_str());
    if (!question)
        return MsgAnswer::OK;
    const MsgAnswer refuse = buttons == MsgButtons::YesNoCancel ? MsgAnswer::Cancel : MsgAnswer::No;
    if (yes_) {
        std::fprintf(stderr, "(--yes: Yes)\n");
        return MsgAnswer::Yes;
    }
    if (!isatty(STDIN_FILENO)) {
        std::fprintf(stderr, "kyt-cli %s: no terminal to answer and no --yes: nothing changed\n", command_);
        return refuse;
    }
    for (;;) {
        // The answer that Enter gives is shown in capitals, as the window's default button.
        std::fprintf(stderr, "%s", buttons == MsgButtons::YesNoCancel
                                       ? (defaultAnswer == MsgAnswer::Cancel ? "[y/n/C] " : "[y/n/c] ")
                                       : (defaultAnswer == MsgAnswer::No ? "[y/N] " : "[y/n] "));
        std::fflush(stderr);
        std::string answer;
        if (!std::getline(std::cin, answer))
            return refuse;
        if (answer.empty() && defaultAnswer != MsgAnswer::Yes)
            return defaultAnswer;
        if (answer == "y" || answer == "Y" || answer == "yes")
            return MsgAnswer::Yes;
        if (answer == "n" || answer == "N" || answer == "no")
            return MsgAnswer::No;
        if (buttons == MsgButtons::YesNoCancel && (answer == "c" || answer == "C"))
            return MsgAnswer::Cancel;
    }
}

void addConfigOption(QCommandLineParser& parser)
{
    parser.addOption({"config", "Use FILE instead of Kyt.ini beside the program.", "FILE"});
}

int openSession(const QCommandLineParser& parser, const char* command, Control& control, MessageService& messages)
{
    const std::string configPath = value(parser, "config");
    control.session.AppTitle = std::string(kAppTitle);
    control.session.Messages = &messages;
    std::error_code ec;  // no call on a path may throw
    control.config.ConfigPath = configPath.empty() ? DefaultConfigPath() : std::filesystem::absolute(configPath, ec).string();

    switch (LoadConfiguration(control)) {
    case ConfigProblem::None:
        break;
    case ConfigProblem::CannotOpen:
        std::fprintf(stderr, "kyt-cli %s: cannot read the configuration %s\n", command, control.config.ConfigPath.c_str());
        return kUsageError;
    case ConfigProblem::TooShort:
    case ConfigProblem::EmptyCode:
    case ConfigProblem::EmptyDatabasePath:
        std::fprintf(stderr,
                     "kyt-cli %s: the configuration %s needs the college code, the placement e-mail address "
                     "and the database path on its first three lines\n",
                     command, control.config.ConfigPath.c_str());
        return kUsageError;
    case ConfigProblem::PasswordInAddress:
        std::fprintf(stderr,
                     "kyt-cli %s: the server address in %s holds a password; keep the password in the password file "
                     "(~/.pgpass) instead, or let Kyt ask for it\n",
                     command, control.config.ConfigPath.c_str());
        return kUsageError;
    case ConfigProblem::DatabaseNotFound:
        std::fprintf(stderr, "kyt-cli %s: the database %s named by %s does not exist (kyt-cli init-db makes one)\n",
                     command, control.config.DatabasePath.c_str(), control.config.ConfigPath.c_str());
        return kFailed;
    }
    if (StartUp(control) != StartUpResult::Ready) {
        CloseDown(control);
        return kFailed;
    }
    return 0;
}

}  // namespace kyt::cli
