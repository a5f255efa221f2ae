#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "db/database.h"

namespace kyt::test {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "kyt-test-XXXXXX").string();
    if (char* made = mkdtemp(pattern.data()))
        path_ = made;
    else
        ADD_FAILURE() << "cannot make a temporary folder";
}

TempDir::~TempDir()
{
    std::error_code ec;
    // A test may leave read-only folders behind; make them writable so they can go.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

int runProgram(const std::string& program, const std::string& args, std::string* output)
{
    const std::string command = program + " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    std::string text;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        text.append(buffer.data(), n);
    int status = pclose(pipe);
    if (output)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string makeDatabase(const TempDir& dir, const std::string& branchLines, const std::string& name)
{
    std::string db = dir.file(name);
    std::vector<std::pair<std::string, std::string>> branches;
    std::istringstream lines(branchLines);
    for (std::string line; std::getline(lines, line);) {
        const size_t comma = line.find(',');
        if (comma != std::string::npos)
            branches.emplace_back(line.substr(0, comma), line.substr(comma + 1));
    }
    db::Failure failure;
    EXPECT_TRUE(db::Database::create(db, branches, failure)) << failure.description;
    return db;
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace kyt::test
