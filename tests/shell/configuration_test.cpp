#include <gtest/gtest.h>

#include <filesystem>
#include <locale>

#include "shell/configuration.h"
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

// A program-wide locale with a decimal comma and digit grouping must not reach the file.
struct CommaDecimals : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};
struct CommaLocale {
    std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaDecimals));
    ~CommaLocale() { std::locale::global(previous); }
};

// Under a locale with a decimal comma, so that one reaching the file or the reader shows.
TEST_F(Configuration, ReadsWhatItCanAndWritesNineLinesBack)
{
    const CommaLocale commaLocale;
    const std::string D = database, S = dir.file("settings");
    struct Case {
        const char* what;
        std::string file;
        std::string read;  // code|e-mail|database|résumés|formats|program|count|total|average
        std::vector<std::string> written;
    } cases[] = {
        {"nine lines, the rest ignored",
         configText({"2GT", "t@c.edu", D, "/data/resumes", "/f", "/opt/kyt", "1234567", "987654321.125", "0.001", "x"}),
         "2GT|t@c.edu|" + D + "|/data/resumes|/f|/opt/kyt|1234567|987654321.125|0.001",
         {"2GT", "t@c.edu", D, "/data/resumes", "/f", "/opt/kyt", "1234567", "987654321.125", "0.001"}},
        {"Linux line ends and a byte order mark", "\xEF\xBB\xBF" "1QP\na@b.c\n" + D + "\n",
         "1QP|a@b.c|" + D + "||||7|1.250|0.500", {"1QP", "a@b.c", D, "", "", "", "7", "1.250", "0.500"}},
        {"malformed statistics keep their values",
         configText({"1QP", "a@b.c", D, "", "", "", "seven", "1,250.000", "nan"}),
         "1QP|a@b.c|" + D + "||||7|1.250|0.500", {"1QP", "a@b.c", D, "", "", "", "7", "1.250", "0.500"}},
        {"a count beyond 32 bits does not convert",
         configText({"1QP", "a@b.c", D, "", "", "", "99999999999", "-", "1e5x"}),
         "1QP|a@b.c|" + D + "||||7|1.250|0.500", {"1QP", "a@b.c", D, "", "", "", "7", "1.250", "0.500"}},
        {"a hand-edited code is trimmed and upper-cased, negative statistics read as zero",
         configText({" 1qp\t", "a@b.c", D, "", "", "", "-5", "-1.500", "-0.250"}),
         "1QP|a@b.c|" + D + "||||0|0.000|0.000", {"1QP", "a@b.c", D, "", "", "", "0", "0.000", "0.000"}},
        {"relative paths are read beside the file and written back as they were",
         configText({"1QP", "a@b.c", "../kyt.db", ".", "formats/"}),
         "1QP|a@b.c|" + D + "|" + S + "|" + S + "/formats||7|1.250|0.500",
         {"1QP", "a@b.c", "../kyt.db", ".", "formats/", "", "7", "1.250", "0.500"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(load(c.file), ConfigProblem::None);
        const auto& k = control.config;
        EXPECT_EQ(k.RegionCollegeCode + "|" + k.PlacementEmail + "|" + k.DatabasePath + "|" + k.LastResumeFolder + "|" +
                      k.LastFormatFolder + "|" + k.ProgramFilePath + "|" + std::to_string(k.TotalDocumentsScanned) +
                      "|" + FormatSeconds(k.TotalScanSeconds) + "|" + FormatSeconds(k.AverageScanSeconds),
                  c.read);
        std::string error;
        ASSERT_TRUE(WriteConfiguration(control, error)) << error;
        EXPECT_EQ(readFile(control.config.ConfigPath), configText(c.written));
    }
    control.config.LastResumeFolder = "/srv/new-batch";  // a changed folder is written as held
    std::string error;
    ASSERT_TRUE(WriteConfiguration(control, error)) << error;
    const std::vector<std::string> lines = test::crlfLines(readFile(control.config.ConfigPath));
    EXPECT_EQ(lines[2] + " " + lines[3], "../kyt.db /srv/new-batch");
}

TEST_F(Configuration, AnUnusableFileAsksWhetherToCreateItNow)
{
    const std::string cases[] = {
        "", configText({"1QP", "a@b.c"}), "1QP\r\na@b.c\r\n", configText({"", "a@b.c", database}),
        configText({"1QP", "a@b.c", ""}), configText({"1QP", "a@b.c", dir.path().string()}),
        configText({"1QP", "a@b.c", dir.file("gone.db")}),
        configText({"1QP", "a@b.c", "kyt.db"}),  // exists in the working folder, not beside the file
    };
    for (const std::string& text : cases) {
        load(text);
        messages.clear();
        messages.setNextAnswer(MsgAnswer::No);
        int shown = 0;
        EXPECT_EQ(ReadConfiguration(control, [&] { ++shown; }), -1) << text;
        ASSERT_EQ(messages.messages().size(), 1u);
        EXPECT_EQ(messages.last().text,
                  "Kyt.ini  file not found. It is corrupted or points to an invalid database location. \n\n"
                  "                                      Would you like to create it now ?          ");
        EXPECT_EQ(messages.last().title, "Error.");
        EXPECT_EQ(messages.last().icon, MsgIcon::None);
        EXPECT_EQ(messages.last().buttons, MsgButtons::YesNo);
        EXPECT_EQ(shown, 0);
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

TEST_F(Configuration, TheSetupFileStartsTheStatisticsAtZero)
{
    SetupValues values{"1qp", "Placement@College.EDU", database, "/opt/kyt", "/opt/kyt/kyt"};
    std::string error;
    ASSERT_TRUE(WriteSetupFile(control.config.ConfigPath, values, error)) << error;
    const std::string six = configText({"1QP", "placement@college.edu", database, "/opt/kyt", "/opt/kyt", "/opt/kyt/kyt"});
    EXPECT_EQ(readFile(control.config.ConfigPath), six);
    EXPECT_EQ(ReadConfiguration(control, [] { FAIL() << "the setup window is not needed"; }), 1);
    ASSERT_TRUE(WriteConfiguration(control, error)) << error;
    EXPECT_EQ(readFile(control.config.ConfigPath), six + "0\r\n0.000\r\n0.000\r\n");
}

TEST(FormatSeconds, ThreeDecimalsWithAPointAndNothingOdd)
{
    const std::pair<double, const char*> shown[] = {{-0.0, "0.000"}, {1234567.891, "1234567.891"}, {0.0004, "0.000"},
                                                    {std::numeric_limits<double>::quiet_NaN(), "0.000"},
                                                    {std::numeric_limits<double>::infinity(), "0.000"}};
    for (auto [seconds, text] : shown)
        EXPECT_EQ(FormatSeconds(seconds), text);
}

TEST_F(Configuration, FailedRewriteLeavesThePreviousFile)
{
    const std::string text = configText({"1QP", "a@b.c", database, "", "", "", "3", "1.000", "0.333"});
    load(text);
    std::string error;
    bool written;
    {
        test::FileSizeLimit fullDisk(16);
        ASSERT_TRUE(fullDisk.active());
        written = WriteConfiguration(control, error);
    }
    EXPECT_FALSE(written);
    EXPECT_NE(error.find(dir.file("settings")), std::string::npos) << error;
    EXPECT_EQ(readFile(control.config.ConfigPath), text);
}

TEST(SampleConfiguration, NamesTheDemoDatabaseAndSurvivesARunUnchanged)
{
    test::TempDir dir;
    fs::create_directories(dir.path() / "samples");
    fs::create_directories(dir.path() / "demo");
    writeFile(dir.file("demo/kyt.db"), "x");
    const std::string sample = readFile(std::string(KYT_SOURCE_DIR) + "/samples/Kyt.ini");
    Control control;
    control.config.ConfigPath = dir.file("samples/Kyt.ini");
    writeFile(control.config.ConfigPath, sample);
    ASSERT_EQ(LoadConfiguration(control), ConfigProblem::None);
    EXPECT_EQ(control.config.DatabasePath, dir.file("demo/kyt.db"));
    std::string error;
    ASSERT_TRUE(WriteConfiguration(control, error)) << error;
    EXPECT_EQ(readFile(control.config.ConfigPath), sample);
}

TEST(FileExists, FindsOrdinaryFilesOnly)
{
    test::TempDir dir;
    writeFile(dir.file("kyt.db"), "x");
    writeFile(dir.file(".hidden.db"), "x");
    fs::create_directory(dir.path() / "folder.db");
    EXPECT_FALSE(FileExists(""));
    const std::pair<const char*, bool> cases[] = {{"kyt.db", true},   {"other.db", false}, {"folder.db", false},
                                                  {"k*.db", true},    {"f*.db", false},    {"ky?.db", true},
                                                  {".h*", false}};
    for (auto [name, found] : cases)
        EXPECT_EQ(FileExists(dir.file(name)), found) << name;
}

}  // namespace
}  // namespace kyt
