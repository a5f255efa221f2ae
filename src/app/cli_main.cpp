#include "app/cli.h"

#include <QApplication>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace kyt::cli {

static std::vector<Command>& commands()
{
    static std::vector<Command> all;
    return all;
}

bool registerCommand(const Command& command)
{
    commands().push_back(command);
    return true;
}

namespace {

// Qt's help begins with "Usage: <path of the program> [options]"; ours names the command.
std::string helpOf(const QCommandLineParser& parser, const char* command)
{
    const std::string text = parser.helpText().toStdString();
    const size_t firstLineEnd = text.find('\n');
    std::string usage = "Usage: kyt-cli " + std::string(command) + " [options]";
    const std::string firstLine = text.substr(0, firstLineEnd);
    const size_t options = firstLine.find("[options]");
    if (options != std::string::npos)
        usage += firstLine.substr(options + std::strlen("[options]"));
    return usage + (firstLineEnd == std::string::npos ? "\n" : text.substr(firstLineEnd));
}

}  // namespace

int usageError(const QCommandLineParser& parser, const char* command, const std::string& problem)
{
    std::string usage = helpOf(parser, command);
    usage = usage.substr(0, usage.find('\n'));
    usage.replace(0, std::strlen("Usage"), "usage");
    std::fprintf(stderr, "kyt-cli %s: %s\n%s\nTry 'kyt-cli %s --help' for more.\n", command, problem.c_str(),
                 usage.c_str(), command);
    return kUsageError;
}

bool parse(QCommandLineParser& parser, const char* command, const Args& args, int& status)
{
    const QCommandLineOption help(QStringList{"h", "help"}, "Show this help.");
    parser.addOption(help);
    QStringList arguments{QString("kyt-cli ") + command};
    for (const std::string& arg : args)
        arguments << QString::fromStdString(arg);
    if (!parser.parse(arguments)) {
        status = usageError(parser, command, parser.errorText().toStdString());
        return false;
    }
    if (parser.isSet(help)) {
        std::fputs(helpOf(parser, command).c_str(), stdout);
        status = 0;
        return false;
    }
    return true;
}

std::string value(const QCommandLineParser& parser, const QString& name)
{
    return parser.value(name).toStdString();
}

Args positional(const QCommandLineParser& parser)
{
    Args out;
    for (const QString& arg : parser.positionalArguments())
        out.push_back(arg.toStdString());
    return out;
}

}  // namespace kyt::cli

static void printUsage()
{
    std::fprintf(stderr, "usage: kyt-cli COMMAND [ARGS...]   (kyt-cli COMMAND --help for each)\n\ncommands:\n");
    auto all = kyt::cli::commands();
    std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return std::strcmp(a.name, b.name) < 0; });
    for (const auto& c : all)
        std::fprintf(stderr, "  %s\n", c.usage);
}

int main(int argc, char** argv)
{
    const kyt::cli::Command* command = nullptr;
    for (const auto& c : kyt::cli::commands())
        if (argc >= 2 && std::strcmp(c.name, argv[1]) == 0)
            command = &c;
    // Charts and pages are drawn by the widgets' machinery, which needs a graphical application; kyt-cli
    // never shows a window, so it draws off screen wherever it runs.
    std::unique_ptr<QCoreApplication> app;
    if (command && command->draws) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        std::strcmp(argv[1], "help") == 0) {
        printUsage();
        return argc < 2 ? kyt::cli::kUsageError : 0;
    }
    if (command)
        return command->run(kyt::cli::Args(argv + 2, argv + argc));
    std::fprintf(stderr, "kyt-cli: unknown command '%s'\n", argv[1]);
    printUsage();
    return kyt::cli::kUsageError;
}
