#include "shell/output_guard.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace kyt {
namespace {

namespace fs = std::filesystem;

// The same file is found behind any name: a link, a hard link, a folder reached another way; a journal
// file not made yet is found by its folder and name. Only ordinary files may be written.
TEST(OutputGuard, RefusesWhatTheProgramWorksFromAndWhatIsNoOrdinaryFile)
{
    test::TempDir dir;
    Control control;
    control.config.DatabasePath = dir.file("kyt.db");
    control.config.ConfigPath = dir.file("Kyt.ini");
    for (const char* name : {"kyt.db", "Kyt.ini", "format.docx", "old.docx"})
        test::writeFile(dir.file(name), "x");
    fs::create_directory(dir.file("sub"));
    fs::create_symlink(dir.file("kyt.db"), dir.file("link.docx"));
    fs::create_hard_link(dir.file("kyt.db"), dir.file("hard.docx"));
    fs::create_directory_symlink(dir.path(), dir.file("alias"));
    ASSERT_EQ(mkfifo(dir.file("pipe.docx").c_str(), 0600), 0);

    const std::pair<std::string, std::string> cases[] = {
        {dir.file("kyt.db"), "is the student database"},
        {dir.file("sub/../kyt.db"), "is the student database"},
        {dir.file("link.docx"), "is the student database"},
        {dir.file("hard.docx"), "is the student database"},
        {dir.file("kyt.db-wal"), "is a working file (-wal) of the student database"},
        {dir.file("alias/kyt.db-journal"), "is a working file (-journal) of the student database"},
        {dir.file("Kyt.ini"), "is Kyt's configuration file"},
        {dir.file("alias/format.docx"), "is the target format document"},
        {dir.file("sub"), "is a folder"},
        {dir.file("pipe.docx"), "is not an ordinary file"},
        {"/dev/null", "is not an ordinary file"},
        {dir.file("new.docx"), ""},
        {dir.file("old.docx"), ""},
        {dir.file("sub/kyt.db-wal"), ""},
    };
    for (const auto& [path, said] : cases) {
        const std::string refused = RefusedOutput(control, path, dir.file("format.docx"));
        if (said.empty())
            EXPECT_EQ(refused, "") << path;
        else
            EXPECT_EQ(refused.rfind(path + " " + said, 0), 0u) << refused;
    }
}

}  // namespace
}  // namespace kyt
