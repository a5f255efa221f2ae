#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>

#include "shell/atomic_file.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace kyt {
namespace {

using test::readFile;
using test::writeFile;

std::vector<std::string> namesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

using test::FileSizeLimit;

TEST(WriteFileAtomically, ReplacesTheFileAndLeavesNothingElse)
{
    test::TempDir dir;
    std::string path = dir.file("Kyt.ini");
    writeFile(path, "old\r\n");
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, "new\r\ncontent\r\n", error)) << error;
    EXPECT_EQ(readFile(path), "new\r\ncontent\r\n");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"Kyt.ini"});
}

TEST(WriteFileAtomically, WriteFailingPartWayLeavesTheOldFileWhole)
{
    test::TempDir dir;
    std::string path = dir.file("Kyt.ini");
    std::string old = "1QP\r\nplacement@college.edu\r\n/data/kyt.db\r\n";
    writeFile(path, old);
    std::string bigger(4096, 'x');
    std::string error;
    bool written;
    {
        FileSizeLimit limit(100);
        written = WriteFileAtomically(path, bigger, error);
    }
    EXPECT_FALSE(written);
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
    EXPECT_EQ(readFile(path), old);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"Kyt.ini"}) << "the temporary file is removed";
}

TEST(WriteFileAtomically, MissingFolderIsReportedNotCreated)
{
    test::TempDir dir;
    std::string path = dir.file("no-such-folder/Kyt.ini");
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(path, "x", error));
    EXPECT_NE(error.find("no-such-folder"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "no-such-folder"));
}

TEST(WriteFileAtomically, KeepsThePermissionsOfTheFileItReplaces)
{
    test::TempDir dir;
    std::string path = dir.file("Kyt.ini");
    writeFile(path, "old");
    ::chmod(path.c_str(), 0640);
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, "new", error)) << error;
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(WriteFileAtomically, ReplacesTheTargetOfASymbolicLink)
{
    test::TempDir dir;
    std::filesystem::create_directory(dir.path() / "real");
    std::string target = dir.file("real/Kyt.ini");
    writeFile(target, "old");
    std::string link = dir.file("Kyt.ini");
    std::filesystem::create_symlink(target, link);
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(link, "new", error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readFile(target), "new");
}

}  // namespace
}  // namespace kyt
