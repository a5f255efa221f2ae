#include "support/test_config.h"

#include <algorithm>

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
    for (int i = 1; i <= count; ++i)
        lines += (i < 10 ? "B0" : "B") + std::to_string(i) + ",Branch " + std::to_string(i) + "\n";
    return lines;
}

std::vector<std::string> crlfLines(const std::string& text)
{
    std::vector<std::string> lines;
    for (size_t start = 0, at = 0; start < text.size(); start = at + 2) {
        at = std::min(text.find("\r\n", start), text.size());
        lines.push_back(text.substr(start, at - start));
    }
    return lines;
}

}  // namespace kyt::test
