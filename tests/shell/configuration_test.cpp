#include <gtest/gtest.h>

#include <filesystem>
#include <locale>
#include <sys/stat.h>

#include "shell/configuration.h"
#include "support/scripted_messages.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"
#include "support/test_config.h"

namespace kyt {
namespace {

using test::configText;
using test::crlfLines;
using test::readFile;
using test::writeFile;

class Configuration : public ::testing::Test {
protected:
    Configuration()
    {
        control.session.Messages = &messages;
        control.config.ConfigPath = dir.file("Kyt.ini");
        database = dir.file("kyt.db");
        writeFile(database, "stands in for the database; only its existence is checked here");
    }

    test::TempDir dir;
    test::ScriptedMessages messages;
    Control control;
    std::string database;
};

TEST_F(Configuration, SetupFileIsUsableAndItsStatisticsComeBackAsZero)
{
    SetupValues values{"1qp", "Placement@College.EDU", database, dir.path().string(), dir.file("kyt")};
    std::string error;
    ASSERT_TRUE(WriteSetupFile(control.config.ConfigPath, values, error)) << error;
    std::vector<std::string> written = crlfLines(readFile(control.config.ConfigPath));
    EXPECT_EQ(written, (std::vector<std::string>{"1QP", "placement@college.edu", database, dir.path().string(),
                                                 dir.path().string(), dir.file("kyt")}));

    bool setupShown = false;
    EXPECT_EQ(ReadConfiguration(control, [&] { setupShown = true; }), 1);
    EXPECT_FALSE(setupShown);
    EXPECT_TRUE(messages.messages().empty());
    EXPECT_EQ(control.config.RegionCollegeCode, "1QP");
    EXPECT_EQ(control.config.DatabasePath, database);
    EXPECT_EQ(control.config.TotalDocumentsScanned, 0);
    EXPECT_EQ(control.config.TotalScanSeconds, 0);

    ASSERT_TRUE(WriteConfiguration(control, error)) << error;
    std::string rewritten = readFile(control.config.ConfigPath);
    std::vector<std::string> lines = crlfLines(rewritten);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[6], "0");
    EXPECT_EQ(lines[7], "0.000");
    EXPECT_EQ(lines[8], "0.000");
    EXPECT_EQ(rewritten.substr(rewritten.size() - 2), "\r\n");
    EXPECT_EQ(rewritten.find('\n'), rewritten.find("\r\n") + 1) << "every line ends with CR LF";
}

struct UnusableCase {
    const char* name;
    std::function<void(const std::string& config, const std::string& database, const std::string& folder)> make;
};

class UnusableConfiguration : public Configuration, public ::testing::WithParamInterface<UnusableCase> {};

TEST_P(UnusableConfiguration, AsksWhetherToCreateItNow)
{
    GetParam().make(control.config.ConfigPath, database, dir.path().string());
    messages.setNextAnswer(MsgAnswer::No);
    bool setupShown = false;
    EXPECT_EQ(ReadConfiguration(control, [&] { setupShown = true; }), -1);
    ASSERT_EQ(messages.messages().size(), 1u);
    const test::RecordedMessage& asked = messages.last();
    EXPECT_EQ(asked.text,
              "Kyt.ini  file not found. It is corrupted or points to an invalid database location. \n\n"
              "                                      Would you like to create it now ?          ");
    EXPECT_EQ(asked.title, "Error.");
    EXPECT_EQ(asked.icon, MsgIcon::None);
    EXPECT_EQ(asked.buttons, MsgButtons::YesNo);
    EXPECT_FALSE(setupShown);
}

INSTANTIATE_TEST_SUITE_P(
    Configuration, UnusableConfiguration,
    ::testing::Values(
        UnusableCase{"MissingFile", [](auto&, auto&, auto&) {}},
        UnusableCase{"EmptyFile", [](auto& c, auto&, auto&) { writeFile(c, ""); }},
        UnusableCase{"TwoLines", [](auto& c, auto&, auto&) { writeFile(c, configText({"1QP", "a@b.c"})); }},
        UnusableCase{"TwoLinesAndAnEmptyThird",
                     [](auto& c, auto&, auto&) { writeFile(c, "1QP\r\na@b.c\r\n"); }},
        UnusableCase{"EmptyCode", [](auto& c, auto& d, auto&) { writeFile(c, configText({"", "a@b.c", d})); }},
        UnusableCase{"EmptyDatabasePath",
                     [](auto& c, auto&, auto&) { writeFile(c, configText({"1QP", "a@b.c", ""})); }},
        UnusableCase{"DatabasePathNamesAFolder",
                     [](auto& c, auto&, auto& f) { writeFile(c, configText({"1QP", "a@b.c", f})); }},
        UnusableCase{"DatabaseMissing",
                     [](auto& c, auto&, auto& f) { writeFile(c, configText({"1QP", "a@b.c", f + "/gone.db"})); }},
        UnusableCase{"ConfigurationIsAFolder",
                     [](auto& c, auto&, auto&) { std::filesystem::create_directory(c); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Configuration, AnsweringYesOpensTheSetupWindow)
{
    messages.setNextAnswer(MsgAnswer::Yes);
    int shown = 0;
    EXPECT_EQ(ReadConfiguration(control, [&] { ++shown; }), -1);
    EXPECT_EQ(shown, 1);
}

TEST_F(Configuration, ReadsNineLinesAndIgnoresTheRest)
{
    writeFile(control.config.ConfigPath,
              configText({"2GT", "tpo@college.edu", database, "/data/resumes", "/data/formats", "/opt/kyt/kyt", "125",
                          "312.500", "2.500", "a tenth line", "an eleventh"}));
    ASSERT_EQ(LoadConfiguration(control), ConfigProblem::None);
    EXPECT_EQ(control.config.RegionCollegeCode, "2GT");
    EXPECT_EQ(control.config.PlacementEmail, "tpo@college.edu");
    EXPECT_EQ(control.config.LastResumeFolder, "/data/resumes");
    EXPECT_EQ(control.config.LastFormatFolder, "/data/formats");
    EXPECT_EQ(control.config.ProgramFilePath, "/opt/kyt/kyt");
    EXPECT_EQ(control.config.TotalDocumentsScanned, 125);
    EXPECT_EQ(control.config.TotalScanSeconds, 312.5);
    EXPECT_EQ(control.config.AverageScanSeconds, 2.5);

    std::string error;
    ASSERT_TRUE(WriteConfiguration(control, error)) << error;
    std::vector<std::string> lines = crlfLines(readFile(control.config.ConfigPath));
    ASSERT_EQ(lines.size(), 9u) << "lines after the ninth are not kept";
    EXPECT_EQ(lines[8], "2.500");
}

TEST_F(Configuration, AcceptsLinesEndedTheLinuxWayAndAnEditorsByteOrderMark)
{
    writeFile(control.config.ConfigPath, "\xEF\xBB\xBF" "1QP\na@b.c\n" + database + "\n");
    EXPECT_EQ(LoadConfiguration(control), ConfigProblem::None);
    EXPECT_EQ(control.config.RegionCollegeCode, "1QP");
    EXPECT_EQ(control.config.DatabasePath, database);
}

TEST_F(Configuration, MalformedStatisticsLeaveTheirValues)
{
    control.config.TotalDocumentsScanned = 7;
    control.config.TotalScanSeconds = 1.25;
    control.config.AverageScanSeconds = 0.5;
    writeFile(control.config.ConfigPath,
              configText({"1QP", "a@b.c", database, "", "", "", "seven", "1,250.000", "nan"}));
    ASSERT_EQ(LoadConfiguration(control), ConfigProblem::None);
    EXPECT_EQ(control.config.TotalDocumentsScanned, 7);
    EXPECT_EQ(control.config.TotalScanSeconds, 1.25);
    EXPECT_EQ(control.config.AverageScanSeconds, 0.5);

    writeFile(control.config.ConfigPath,
              configText({"1QP", "a@b.c", database, "", "", "", "99999999999", "-", "1e5x"}));
    ASSERT_EQ(LoadConfiguration(control), ConfigProblem::None);
    EXPECT_EQ(control.config.TotalDocumentsScanned, 7) << "a count beyond 32 bits does not convert";
}

TEST(FormatSeconds, ThreeDecimalsWithAPoint)
{
    EXPECT_EQ(FormatSeconds(0), "0.000");
    EXPECT_EQ(FormatSeconds(-0.0), "0.000");
    EXPECT_EQ(FormatSeconds(2.5), "2.500");
    EXPECT_EQ(FormatSeconds(1234567.891), "1234567.891");
    EXPECT_EQ(FormatSeconds(0.0004), "0.000");
    EXPECT_EQ(FormatSeconds(std::numeric_limits<double>::quiet_NaN()), "0.000");
    EXPECT_EQ(FormatSeconds(std::numeric_limits<double>::infinity()), "0.000");
}

// A program-wide locale with a decimal comma and digit grouping must not reach the file.
struct CommaDecimals : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

TEST_F(Configuration, StatisticsReadBackExactlyWhateverTheLocale)
{
    std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaDecimals));
    for (double seconds : {0.001, 2.5, 61.875, 12345.678, 987654321.125}) {
        control.config.TotalDocumentsScanned = 1234567;
        control.config.TotalScanSeconds = seconds;
        control.config.AverageScanSeconds = seconds / 3;
        control.config.RegionCollegeCode = "1QP";
        control.config.DatabasePath = database;
        std::string error;
        ASSERT_TRUE(WriteConfiguration(control, error)) << error;
        std::string first = readFile(control.config.ConfigPath);

        Control reread;
        reread.config.ConfigPath = control.config.ConfigPath;
        ASSERT_EQ(LoadConfiguration(reread), ConfigProblem::None);
        EXPECT_EQ(reread.config.TotalDocumentsScanned, 1234567);
        EXPECT_EQ(FormatSeconds(reread.config.TotalScanSeconds), FormatSeconds(seconds));
        ASSERT_TRUE(WriteConfiguration(reread, error)) << error;
        EXPECT_EQ(readFile(control.config.ConfigPath), first) << "a second round trip changes nothing";
    }
    std::locale::global(previous);
}

TEST_F(Configuration, RelativeDatabasePathIsReadBesideTheFileAndWrittenBackAsItWas)
{
    std::filesystem::create_directories(dir.path() / "settings");
    std::filesystem::create_directories(dir.path() / "data");
    writeFile(dir.file("data/kyt.db"), "x");
    control.config.ConfigPath = dir.file("settings/Kyt.ini");
    std::string text = configText({"1QP", "a@b.c", "../data/kyt.db", "../resumes", "", ""});
    writeFile(control.config.ConfigPath, text);

    ASSERT_EQ(LoadConfiguration(control), ConfigProblem::None);
    EXPECT_EQ(control.config.DatabasePath, dir.file("data/kyt.db"));
    EXPECT_EQ(control.config.LastResumeFolder, dir.file("resumes"));

    std::string error;
    ASSERT_TRUE(WriteConfiguration(control, error)) << error;
    EXPECT_EQ(readFile(control.config.ConfigPath), text + "0\r\n0.000\r\n0.000\r\n");

    control.config.LastResumeFolder = "/srv/new-batch";
    ASSERT_TRUE(WriteConfiguration(control, error)) << error;
    EXPECT_EQ(crlfLines(readFile(control.config.ConfigPath))[3], "/srv/new-batch")
        << "a changed folder is written as held";
    EXPECT_EQ(crlfLines(readFile(control.config.ConfigPath))[2], "../data/kyt.db");
}

TEST_F(Configuration, ADotNamesTheConfigurationsOwnFolder)
{
    writeFile(control.config.ConfigPath, configText({"1QP", "a@b.c", "./kyt.db", ".", "formats/"}));
    ASSERT_EQ(LoadConfiguration(control), ConfigProblem::None);
    EXPECT_EQ(control.config.DatabasePath, database);
    EXPECT_EQ(control.config.LastResumeFolder, dir.path().string());
    EXPECT_EQ(control.config.LastFormatFolder, dir.file("formats"));
}

TEST_F(Configuration, RelativeDatabasePathIsNotReadAgainstTheWorkingFolder)
{
    std::string text = configText({"1QP", "a@b.c", "kyt.db"});
    std::filesystem::create_directories(dir.path() / "elsewhere");
    control.config.ConfigPath = dir.file("elsewhere/Kyt.ini");
    writeFile(control.config.ConfigPath, text);
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());  // kyt.db exists here, but not beside the file
    EXPECT_EQ(LoadConfiguration(control), ConfigProblem::DatabaseNotFound);
    std::filesystem::current_path(previous);
}

TEST_F(Configuration, FailedRewriteLeavesThePreviousFile)
{
    std::string text = configText({"1QP", "a@b.c", database, "", "", "", "3", "1.000", "0.333"});
    writeFile(control.config.ConfigPath, text);
    control.config.DatabasePath = database;
    control.config.RegionCollegeCode = "1QP";
    std::string error;
    bool written;
    {
        test::FileSizeLimit fullDisk(16);  // the new file cannot be written whole
        ASSERT_TRUE(fullDisk.active());
        written = WriteConfiguration(control, error);
    }
    EXPECT_FALSE(written);
    EXPECT_NE(error.find(dir.path().string()), std::string::npos) << error;
    EXPECT_EQ(readFile(control.config.ConfigPath), text);
}

struct FileExistsCase {
    const char* name;
    const char* pathInFolder;  // appended to the test folder; "" means the empty path
    bool expected;
};

class FileExistsCases : public ::testing::TestWithParam<FileExistsCase> {};

TEST_P(FileExistsCases, FindsOrdinaryFilesOnly)
{
    test::TempDir dir;
    writeFile(dir.file("kyt.db"), "x");
    writeFile(dir.file(".hidden.db"), "x");
    std::filesystem::create_directory(dir.path() / "folder.db");
    std::string param = GetParam().pathInFolder;
    std::string path = param.empty() ? std::string() : dir.file(param);
    EXPECT_EQ(FileExists(path), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(FileExists, FileExistsCases,
                         ::testing::Values(FileExistsCase{"OrdinaryFile", "kyt.db", true},
                                           FileExistsCase{"Missing", "other.db", false},
                                           FileExistsCase{"Empty", "", false},
                                           FileExistsCase{"Folder", "folder.db", false},
                                           FileExistsCase{"WildcardMatchingAFile", "k*.db", true},
                                           FileExistsCase{"WildcardMatchingOnlyAFolder", "f*.db", false},
                                           FileExistsCase{"QuestionMarkWildcard", "ky?.db", true},
                                           FileExistsCase{"WildcardMatchingOnlyAHiddenFile", ".h*", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kyt

namespace kyt {
namespace {

TEST(SampleConfiguration, NamesTheDemoDatabaseAndSurvivesARunUnchanged)
{
    test::TempDir dir;
    std::filesystem::create_directories(dir.path() / "samples");
    std::filesystem::create_directories(dir.path() / "demo");
    writeFile(dir.file("demo/kyt.db"), "x");
    std::string sample = readFile(std::string(KYT_SOURCE_DIR) + "/samples/Kyt.ini");
    ASSERT_FALSE(sample.empty());
    Control control;
    control.config.ConfigPath = dir.file("samples/Kyt.ini");
    writeFile(control.config.ConfigPath, sample);
    ASSERT_EQ(LoadConfiguration(control), ConfigProblem::None);
    EXPECT_EQ(control.config.DatabasePath, dir.file("demo/kyt.db"));
    std::string error;
    ASSERT_TRUE(WriteConfiguration(control, error)) << error;
    EXPECT_EQ(readFile(control.config.ConfigPath), sample);
}

}  // namespace
}  // namespace kyt
