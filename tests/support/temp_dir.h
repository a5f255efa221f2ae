#pragma once
// A fresh folder for one test, removed with everything in it at the end, and the file and program
// helpers the tests share.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <string>

namespace kyt::test {

class TempDir {
public:
    TempDir() { EXPECT_TRUE(dir_.isValid()) << "cannot make a temporary folder"; }

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    QTemporaryDir dir_{QDir::tempPath() + "/kyt-test-XXXXXX"};
    std::filesystem::path path_ = dir_.path().toStdString();
};

// Runs `program` with `args` (shell-quoted here); returns its exit status and fills `output` with
// what it printed on standard output and standard error.
int runProgram(const std::string& program, const std::string& args, std::string* output = nullptr);

// The branches a test database has unless a test gives its own.
inline constexpr const char* kTestBranchLines = "CS,Computer Science\nEC,Electronics\nMCA,Master of Computer Applications\n";

// Makes a database from the installation schema, seeding Branch from "CODE,Name" lines when given.
// Fails the current test when that does not work.
std::string makeDatabase(const TempDir& dir, const std::string& branchLines = kTestBranchLines,
                         const std::string& name = "kyt.db");

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);

}  // namespace kyt::test
