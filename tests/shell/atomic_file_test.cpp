#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "shell/atomic_file.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace kyt {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

std::vector<std::string> namesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.push_back(entry.path().lexically_relative(folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

// The file is reached through a symbolic link: the link stays, its target gets the bytes and keeps its
// permissions, and nothing else is left in either folder.
TEST(WriteFileAtomically, ReplacesTheTargetKeepingItsPermissions)
{
    test::TempDir dir;
    fs::create_directory(dir.path() / "real");
    const std::string target = dir.file("real/Kyt.ini"), link = dir.file("Kyt.ini");
    writeFile(target, "old\r\n");
    ::chmod(target.c_str(), 0640);
    fs::create_symlink(target, link);
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(link, "new\r\ncontent\r\n", error)) << error;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readFile(target), "new\r\ncontent\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"Kyt.ini", "real", "real/Kyt.ini"}));
}

TEST(WriteFileAtomically, AFailedWriteLeavesTheOldFileWholeAndNothingElse)
{
    test::TempDir dir;
    const std::string path = dir.file("Kyt.ini"), old = "1QP\r\nplacement@college.edu\r\n/data/kyt.db\r\n";
    writeFile(path, old);
    std::string error;
    bool written;
    {
        test::FileSizeLimit fullDisk(100);
        written = WriteFileAtomically(path, std::string(4096, 'x'), error);
    }
    EXPECT_FALSE(written);
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
    EXPECT_EQ(readFile(path), old);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"Kyt.ini"}) << "the temporary file is removed";

    EXPECT_FALSE(WriteFileAtomically(dir.file("no-such-folder/Kyt.ini"), "x", error));
    EXPECT_NE(error.find("no-such-folder"), std::string::npos) << error;
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"Kyt.ini"}) << "a missing folder is not created";
}

}  // namespace
}  // namespace kyt
