#include <gtest/gtest.h>

#include <filesystem>

#include "support/extraction_fixture.h"
#include "support/temp_dir.h"

namespace kyt {
namespace {

namespace fs = std::filesystem;
using test::ResumeForm;
using test::TempDir;

class CliExtract : public ::testing::Test {
protected:
    CliExtract()
    {
        fs::create_directory(folder);
        database = test::makeDatabase(dir);
        config = dir.file("Kyt.ini");
        test::writeFile(config, "1QP\r\nplacement@college.edu\r\n" + database + "\r\n\r\n\r\n\r\n");
    }
    int extract(const std::string& options = "")
    {
        return test::runCli("extract '" + folder.string() + "' --config '" + config + "' " + options + " </dev/null",
                            &output);
    }
    std::vector<std::string> configLines() const
    {
        std::vector<std::string> lines;
        const std::string text = test::readFile(config);
        for (size_t start = 0, end; start < text.size(); start = end + 2) {
            end = text.find("\r\n", start);
            if (end == std::string::npos)
                break;
            lines.push_back(text.substr(start, end - start));
        }
        return lines;
    }

    TempDir dir;
    fs::path folder = dir.path() / "resumes";
    std::string database, config, output;
};

TEST_F(CliExtract, EveryDocumentStoredExitsZeroAndUpdatesTheConfiguration)
{
    ResumeForm::be("1QP01CS001").save((folder / "a.docx").string());
    ResumeForm::be("1QP01CS002").save((folder / "b.docx").string());
    ASSERT_EQ(extract(), 0) << output;
    EXPECT_NE(output.find(" Total Documents scanned : 2"), std::string::npos) << output;
    EXPECT_NE(output.find(" No. of Successfully scanned documents :2"), std::string::npos) << output;
    EXPECT_NE(output.find(" The resumes were extracted to " + database), std::string::npos) << output;

    const auto lines = configLines();
    ASSERT_EQ(lines.size(), 9u) << test::readFile(config);
    EXPECT_EQ(lines[3], folder.string());
    EXPECT_EQ(lines[6], "2");
    // A second run adds to the statistics.
    ResumeForm::be("1QP01CS003").save((folder / "c.docx").string());
    EXPECT_EQ(extract(), 1) << output;  // a.docx and b.docx are stored already
    EXPECT_EQ(configLines()[6], "5");
}

TEST_F(CliExtract, SomeRejectedExitsOneAndNamesTheLog)
{
    ResumeForm::be("1QP01CS001").save((folder / "a.docx").string());
    ResumeForm::be("2QP01CS002").save((folder / "b.docx").string());
    ASSERT_EQ(extract("--copy-errors"), 1) << output;
    const std::string log = (folder / "Kyt_errors.txt").string();
    EXPECT_NE(output.find("Please see " + log + "  file for description"), std::string::npos) << output;
    EXPECT_NE(output.find("NOTE: Resumes with errors were copied"), std::string::npos) << output;
    EXPECT_TRUE(fs::exists(folder / "Kyt_Resumes_WithErrors" / "b.docx"));
}

TEST_F(CliExtract, WithoutATerminalTheQuestionIsAnsweredContinue)
{
    for (int k = 10; k < 21; ++k)
        ResumeForm::be("2QP01CS0" + std::to_string(k)).save((folder / ("bad" + std::to_string(k) + ".docx")).string());
    ResumeForm::be("1QP01CS001").save((folder / "z.docx").string());
    ASSERT_EQ(extract(), 1) << output;
    EXPECT_NE(output.find("Please Intervene"), std::string::npos) << output;
    EXPECT_NE(output.find(" Total Documents scanned : 12"), std::string::npos) << output;
    EXPECT_NE(output.find(" No. of Successfully scanned documents :1"), std::string::npos) << output;
}

TEST_F(CliExtract, CannotStartExitsTwo)
{
    ResumeForm::be("1QP01CS001").save((folder / "a.docx").string());
    EXPECT_EQ(test::runCli("extract '" + folder.string() + "' --config '" + dir.file("missing.ini") + "'", &output), 2)
        << output;
    EXPECT_EQ(test::runCli("extract '" + dir.file("nowhere") + "' --config '" + config + "'", &output), 2) << output;
    EXPECT_EQ(test::runCli("extract --config '" + config + "'", &output), 2) << output;

    const fs::path empty = dir.path() / "empty";
    fs::create_directory(empty);
    EXPECT_EQ(test::runCli("extract '" + empty.string() + "' --config '" + config + "'", &output), 2) << output;
    EXPECT_NE(output.find("Could not find any Word Document."), std::string::npos) << output;

    fs::remove(database);
    EXPECT_EQ(extract(), 2) << output;
}

}  // namespace
}  // namespace kyt
