#include "app/cli.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
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

std::string takeOption(Args& args, const std::string& name)
{
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == name) {
            std::string value = args[i + 1];
            args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
            return value;
        }
    }
    return {};
}

bool takeFlag(Args& args, const std::string& name)
{
    auto it = std::find(args.begin(), args.end(), name);
    if (it == args.end())
        return false;
    args.erase(it);
    return true;
}

}  // namespace kyt::cli

static void printUsage()
{
    std::fprintf(stderr, "usage: kyt-cli COMMAND [ARGS...]\n\ncommands:\n");
    auto all = kyt::cli::commands();
    std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return std::strcmp(a.name, b.name) < 0; });
    for (const auto& c : all)
        std::fprintf(stderr, "  %s\n", c.usage);
}

int main(int argc, char** argv)
{
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
        printUsage();
        return argc < 2 ? 2 : 0;
    }
    for (const auto& c : kyt::cli::commands()) {
        if (std::strcmp(c.name, argv[1]) == 0)
            return c.run(kyt::cli::Args(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "kyt-cli: unknown command '%s'\n", argv[1]);
    printUsage();
    return 2;
}
