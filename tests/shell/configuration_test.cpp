#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <locale>

#include "shell/atomic_file.h"
#include "shell/configuration.h"
#include "shell/email.h"
#include "support/file_size_limit.h"
#include "support/scripted_messages.h"
#include "support/temp_dir.h"
#include "support/test_config.h"

namespace kyt {
namespace {

namespace fs = std::filesystem;
using test::configText;
using test::readFile;
using test::writeFile;

// Kyt.ini sits in <dir>/settings, the database at <dir>/kyt.db, and the working folder is <dir>: a
// relative path read against the working folder instead of the file's own finds the wrong database.
class Configuration : public ::testing::Test {
protected:
    Configuration()
    {
        fs::create_directory(dir.path() / "settings");
        fs::current_path(dir.path());
        control.session.Messages = &messages;
        control.config.ConfigPath = dir.file("settings/Kyt.ini");
        writeFile(database, "stands in for the database; only its existence is checked");
    }
    ~Configuration() override { fs::current_path(previous); }

    // A fresh Control with statistics already held, reading `text` from Kyt.ini.
    ConfigProblem load(const std::string& text)
    {
        control.config = {};
        control.config.ConfigPath = dir.file("settings/Kyt.ini");
        control.config.TotalDocumentsScanned = 7;
        control.config.TotalScanSeconds = 1.25;
        control.config.AverageScanSeconds = 0.5;
        writeFile(control.config.ConfigPath, text);
        return LoadConfiguration(control);
    }

    fs::path previous = fs::current_path();
    test::TempDir dir;
    std::string database = dir.file("kyt.db");
    test::ScriptedMessages messages;
    Control control;
};

// A program-wide locale with a decimal comma and digit grouping (for C and C++ alike) must not reach
// the file.
struct CommaLocale {
    std::locale previous = std::locale::global(std::locale("de_DE.UTF-8"));
    ~CommaLocale() { std::locale::global(previous); }
};

// Under a locale with a decimal comma, so that one reaching the file or the reader shows.
TEST_F(Configuration, ReadsWhatItCanAndWritesNineLinesBack)
{
    const CommaLocale commaLocale;
    const std::string D = database, S = dir.file("settings");
    fs::create_directory(dir.path() / "demo");
    writeFile(dir.file("demo/kyt.db"), "the sample's database");
    const std::string sample = readFile(std::string(KYT_SOURCE_DIR) + "/samples/Kyt.ini");
    const std::vector<std::string> kept = {"1QP", "a@b.c", D, "", "", "", "7", "1.250", "0.500"};
    struct Case {
        const char* what;
        std::string file;
        std::vector<std::string> read;     // code, e-mail, database, résumés, formats, program, statistics
        std::vector<std::string> written = {};  // when not what was read
    } cases[] = {
        {"nine lines, the rest ignored",
         configText({"2GT", "t@c.edu", D, "/data/resumes", "/f", "/opt/kyt", "1234567", "987654321.125", "0.001", "x"}),
         {"2GT", "t@c.edu", D, "/data/resumes", "/f", "/opt/kyt", "1234567", "987654321.125", "0.001"}},
        {"Linux line ends and a byte order mark", "\xEF\xBB\xBF" "1QP\na@b.c\n" + D + "\n", kept},
        {"malformed statistics, a count beyond 32 bits among them, keep their values",
         configText({"1QP", "a@b.c", D, "", "", "", "99999999999", "1,250.000", "nan"}), kept},
        {"a hand-edited code is trimmed and upper-cased, negative statistics read as zero",
         configText({" 1qp\t", "a@b.c", D, "", "", "", "-5", "-1.500", "-0.250"}),
         {"1QP", "a@b.c", D, "", "", "", "0", "0.000", "0.000"}},
        {"the shipped sample: relative paths are read beside the file and written back as they were", sample,
         {"1QP", "placement.cell@example.edu", dir.file("demo/kyt.db"), S, S, "", "0", "0.000", "0.000"},
         test::crlfLines(sample)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(load(c.file), ConfigProblem::None);
        const auto& k = control.config;
        EXPECT_EQ((std::vector<std::string>{k.RegionCollegeCode, k.PlacementEmail, k.DatabasePath, k.LastResumeFolder,
                                            k.LastFormatFolder, k.ProgramFilePath,
                                            std::to_string(k.TotalDocumentsScanned), FormatSeconds(k.TotalScanSeconds),
                                            FormatSeconds(k.AverageScanSeconds)}),
                  c.read);
        std::string error;
        ASSERT_TRUE(WriteConfiguration(control, error)) << error;
        EXPECT_EQ(readFile(control.config.ConfigPath), configText(c.written.empty() ? c.read : c.written));
    }
}

TEST_F(Configuration, AnUnusableFileAsksWhetherToCreateItNow)
{
    const std::string cases[] = {
        "", configText({"1QP", "a@b.c"}), configText({"", "a@b.c", database}),
        configText({"1QP", "a@b.c", ""}), configText({"1QP", "a@b.c", dir.path().string()}),
        configText({"1QP", "a@b.c", dir.file("gone.db")}),
        configText({"1QP", "a@b.c", "kyt.db"}),  // exists in the working folder, not beside the file
    };
    for (const std::string& text : cases) {
        load(text);
        messages.clear();
        messages.setNextAnswer(MsgAnswer::No);
        EXPECT_EQ(ReadConfiguration(control, [] { ADD_FAILURE() << "No opens nothing"; }), -1) << text;
        ASSERT_EQ(messages.messages().size(), 1u);
        EXPECT_EQ(messages.last().text,
                  "Kyt.ini  file not found. It is corrupted or points to an invalid database location. \n\n"
                  "                                      Would you like to create it now ?          ");
        EXPECT_EQ(messages.last().title, "Error.");
        EXPECT_EQ(messages.last().icon, MsgIcon::None);
        EXPECT_EQ(messages.last().buttons, MsgButtons::YesNo);
    }
    fs::remove(control.config.ConfigPath);
    messages.setNextAnswer(MsgAnswer::Yes);
    int shown = 0;
    EXPECT_EQ(ReadConfiguration(control, [&] { ++shown; }), -1) << "a missing file";
    EXPECT_EQ(shown, 1) << "Yes opens the setup window";
    fs::create_directory(control.config.ConfigPath);
    messages.setNextAnswer(MsgAnswer::No);
    EXPECT_EQ(ReadConfiguration(control, [&] { ++shown; }), -1) << "a folder in its place";
}

// The setup window's six lines take the statistics at zero on the first rewrite, with a changed folder
// written as held; a rewrite that fails is told.
TEST_F(Configuration, TheSetupFileStartsTheStatisticsAtZeroAndAFailedRewriteIsTold)
{
    SetupValues values{"1qp", "Placement@College.EDU", database, "/opt/kyt", "/opt/kyt/kyt"};
    std::string error;
    ASSERT_TRUE(WriteSetupFile(control.config.ConfigPath, values, error)) << error;
    const std::string six = configText({"1QP", "placement@college.edu", database, "/opt/kyt", "/opt/kyt", "/opt/kyt/kyt"});
    EXPECT_EQ(readFile(control.config.ConfigPath), six);
    EXPECT_EQ(ReadConfiguration(control, [] { FAIL() << "the setup window is not needed"; }), 1);
    control.config.LastResumeFolder = "/srv/new-batch";
    ASSERT_TRUE(WriteConfiguration(control, error)) << error;
    EXPECT_EQ(readFile(control.config.ConfigPath), configText({"1QP", "placement@college.edu", database, "/srv/new-batch",
                                                               "/opt/kyt", "/opt/kyt/kyt", "0", "0.000", "0.000"}));

    control.config.ConfigPath = dir.file("gone/Kyt.ini");  // the atomic write's own test has the full disk
    EXPECT_FALSE(WriteConfiguration(control, error));
    EXPECT_NE(error.find(dir.file("gone")), std::string::npos) << error;
}

TEST(FormatSeconds, ThreeDecimalsWithAPointAndNothingOdd)
{
    const std::pair<double, const char*> shown[] = {{-0.0, "0.000"}, {1234567.891, "1234567.891"}, {0.0004, "0.000"},
                                                    {std::numeric_limits<double>::quiet_NaN(), "0.000"},
                                                    {std::numeric_limits<double>::infinity(), "0.000"}};
    for (auto [seconds, text] : shown)
        EXPECT_EQ(FormatSeconds(seconds), text);
}

TEST(FileExists, FindsOrdinaryFilesOnlyWildcardsIncluded)
{
    test::TempDir dir;
    writeFile(dir.file("kyt.db"), "x");
    writeFile(dir.file(".hidden.db"), "x");
    fs::create_directory(dir.path() / "folder.db");
    EXPECT_FALSE(FileExists(""));
    const std::pair<const char*, bool> cases[] = {
        {"kyt.db", true}, {"folder.db", false}, {"k*.db", true}, {"f*.db", false}, {"ky?.db", true}, {".h*", false}};
    for (auto [name, found] : cases)
        EXPECT_EQ(FileExists(dir.file(name)), found) << name;
}

TEST(ValidateEmail, ReturnsAndStoresTheNormalFormOrErr)
{
    const std::pair<const char*, const char*> cases[] = {
        // Accepted: spaces removed, lower-cased.
        {"placement@college.edu", "placement@college.edu"},
        {" Placement Cell@College.EDU ", "placementcell@college.edu"},
        {"a@b@c.D", "a@b@c.d"},                        // two at-signs, then a dot and a final letter
        {"officer @ college . edu", "officer@college.edu"},  // a space counts as an ordinary character
        {"\xC3\x84rzte@Uni.DE", "\xC3\xA4rzte@uni.de"},      // letters beyond ASCII lower-case too
        // Refused.
        {"", "ERR"},
        {"   ", "ERR"},
        {"officer@college", "ERR"},   // no dot after the at-sign
        {"officer@college.", "ERR"},  // ends with that dot
        {"@college.edu", "ERR"},      // starts with the at-sign
        {"officer.college.edu", "ERR"},
        {"officer@.edu", "ERR"},  // the dot follows the at-sign directly: it does not count
    };
    for (auto [given, expected] : cases) {
        std::string email = given;
        EXPECT_EQ(ValidateEmail(email), expected) << '"' << given << '"';
        EXPECT_EQ(email, expected);
    }
}

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
TEST(WriteFileAtomically, ReplacesTheTargetKeepingItsPermissionsOrLeavesItWhole)
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

    // A failed write (a full disk) leaves the old file whole and nothing else; so does a missing folder.
    bool written;
    {
        test::FileSizeLimit fullDisk(100);
        written = WriteFileAtomically(link, std::string(4096, 'x'), error);
    }
    EXPECT_FALSE(written);
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
    EXPECT_EQ(readFile(target), "new\r\ncontent\r\n");
    EXPECT_FALSE(WriteFileAtomically(dir.file("no-such-folder/Kyt.ini"), "x", error));
    EXPECT_NE(error.find("no-such-folder"), std::string::npos) << error;
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"Kyt.ini", "real", "real/Kyt.ini"}))
        << "no temporary file is left and no folder made";
}

}  // namespace
}  // namespace kyt
