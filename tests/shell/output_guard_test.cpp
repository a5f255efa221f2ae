#include "shell/output_guard.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_dir.h"

namespace kyt {
namespace {

// The same file is found behind another name (a hard link, a folder reached another way); a journal file
// not made yet by its folder and name. Only ordinary files may be written.
TEST(OutputGuard, RefusesWhatTheProgramWorksFromAndWhatIsNoOrdinaryFile)
{
    test::TempDir dir;
    Control control;
    control.config.DatabasePath = dir.file("kyt.db");
    control.config.ConfigPath = dir.file("Kyt.ini");
    for (const char* name : {"kyt.db", "Kyt.ini", "format.docx", "old.docx"})
        test::writeFile(dir.file(name), "x");
    std::filesystem::create_hard_link(dir.file("kyt.db"), dir.file("hard.docx"));
    std::filesystem::create_directory_symlink(dir.path(), dir.file("alias"));
    ASSERT_EQ(mkfifo(dir.file("pipe.docx").c_str(), 0600), 0);
    const std::pair<const char*, const char*> cases[] = {
        {"hard.docx", "is the student database"}, {"alias/kyt.db-journal", "is the student database or a file"},
        {"Kyt.ini", "is Kyt's configuration file"}, {"alias/format.docx", "is the target format document"},
        {"alias", "is a folder"}, {"pipe.docx", "is not an ordinary file"}, {"new.docx", ""}, {"old.docx", ""}};
    for (const auto& [name, said] : cases) {
        const std::string refused = RefusedOutput(control, dir.file(name), dir.file("format.docx"));
        EXPECT_EQ(refused.empty() ? "" : refused.substr(dir.file(name).size() + 1, std::string(said).size()), said);
    }
}

}  // namespace
}  // namespace kyt
