#include "support/test_config.h"

#include <cstdio>

namespace kyt::test {

std::string configText(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

void writeSetupConfig(const std::string& path, const std::string& database, const std::string& code,
                      const std::string& email)
{
    std::string folder = path.substr(0, path.find_last_of('/'));
    writeFile(path, configText({code, email, database, folder, folder, folder + "/kyt"}));
}

std::string makeConfiguredFolder(const TempDir& dir, const std::string& branchLines, std::string* database)
{
    std::string db = makeDatabase(dir, branchLines);
    std::string config = dir.file("Kyt.ini");
    writeSetupConfig(config, db);
    if (database)
        *database = db;
    return config;
}

std::string branchLines(int count)
{
    std::string lines;
    for (int i = 1; i <= count; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "B%02d,Branch %d\n", i, i);
        lines += line;
    }
    return lines;
}

std::vector<std::string> crlfLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, at - start));
        start = at + 2;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

}  // namespace kyt::test
