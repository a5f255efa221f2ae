#include "support/temp_dir.h"

#include <QProcess>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "db/database.h"
#include "support/engine.h"

namespace kyt::test {

int runProgram(const std::string& program, const std::string& args, std::string* output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("/bin/sh", {"-c", QString::fromStdString(program + " " + args)});
    process.waitForFinished(-1);
    if (output)
        *output = process.readAll().toStdString();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

std::string makeDatabase(const TempDir& dir, const std::string& branchLines, const std::string& name)
{
    std::vector<std::pair<std::string, std::string>> branches;
    std::istringstream lines(branchLines);
    for (std::string line; std::getline(lines, line);) {
        const size_t comma = line.find(',');
        if (comma != std::string::npos)
            branches.emplace_back(line.substr(0, comma), line.substr(comma + 1));
    }
    if (onServer())
        return makeServerDatabase(name, branches);
    std::string db = dir.file(name);
    db::Failure failure;
    EXPECT_TRUE(db::Database::create(db, branches, failure)) << failure.description;
    return db;
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();  // a folder reads as nothing
    return ss.str();
}

}  // namespace kyt::test
