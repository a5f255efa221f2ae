// kyt-resume-form as the placement office and the test scripts run it.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"
#include "word/document.h"
#include "resume-form/resume_form.h"

using kyt::test::TempDir;
using kyt::word::Document;
namespace fs = std::filesystem;

namespace {

int runTool(const std::string& args, std::string* output = nullptr)
{
    return kyt::test::runProgram(KYT_RESUME_FORM, args, output);
}

std::string cellText(const Document& doc, int table, int row, int cell)
{
    const auto* r = doc.row(table, row);
    if (!r || cell > static_cast<int>(r->size()))
        return "<missing>";
    std::string t = (*r)[static_cast<size_t>(cell - 1)];
    return t.substr(0, t.find('\r'));
}

}  // namespace

TEST(ResumeFormTool, HelpDescribesTheDataFormatAndTheFaults)
{
    std::string output;
    EXPECT_EQ(runTool("--help", &output), 0);
    for (const char* words : {"--batch", "--blank", "--data", "marks.sem1=", "obtained-over-max", "wide-row"})
        EXPECT_NE(output.find(words), std::string::npos) << words;
}

TEST(ResumeFormTool, WritesAFaultyMcaResume)
{
    TempDir dir;
    std::string output;
    ASSERT_EQ(runTool("--mca --usn 1QP22MCA09 --fault missing-max=6 --out " + dir.file("r.docx"), &output), 0) << output;
    std::string error;
    auto doc = Document::open(dir.file("r.docx"), error);
    ASSERT_TRUE(doc) << error;
    EXPECT_EQ(cellText(*doc, 1, 2, 1), "1QP22MCA09");
    EXPECT_EQ(static_cast<int>(doc->table(2)->rows.size()), kyt::form::marks::kMCA.tableRows);
    EXPECT_EQ(cellText(*doc, 2, 7, kyt::form::marks::kMaximumCell), "");
}

TEST(ResumeFormTool, BatchWritesDistinctValidResumes)
{
    TempDir dir;
    ASSERT_EQ(runTool("--batch 25 --mca-every 5 --out-dir " + dir.file("batch")), 0);
    int files = 0, mca = 0;
    for (const auto& entry : fs::directory_iterator(dir.file("batch"))) {
        ++files;
        std::string error;
        auto doc = Document::open(entry.path().string(), error);
        ASSERT_TRUE(doc) << error;
        EXPECT_EQ(cellText(*doc, 1, 2, 1) + ".docx", entry.path().filename().string());
        if (entry.path().filename().string().find("MCA") != std::string::npos)
            ++mca;
    }
    EXPECT_EQ(files, 25);
    EXPECT_EQ(mca, 5);
}

TEST(ResumeFormTool, DataFileWritesOneResumePerRecordNamedByUsn)
{
    TempDir dir;
    kyt::test::writeFile(dir.file("d.txt"), "usn=1QP22CS077\nname=Asha\n---\nusn=1QP22EC078\nname=Ravi\n");
    ASSERT_EQ(runTool("--data " + dir.file("d.txt") + " --fault blank-name --out-dir " + dir.file("out")), 0);
    std::string error;
    auto doc = Document::open(dir.file("out/1QP22EC078.docx"), error);
    ASSERT_TRUE(doc) << error;
    EXPECT_EQ(cellText(*doc, 1, 2, 2), "");
    EXPECT_TRUE(fs::exists(dir.file("out/1QP22CS077.docx")));
}

TEST(ResumeFormTool, BlankFormHasNoValues)
{
    TempDir dir;
    ASSERT_EQ(runTool("--blank --out " + dir.file("blank.docx")), 0);
    std::string error;
    auto doc = Document::open(dir.file("blank.docx"), error);
    ASSERT_TRUE(doc) << error;
    EXPECT_EQ(cellText(*doc, 1, 2, 1), "");
    EXPECT_EQ(cellText(*doc, 1, 1, 1), "USN (university seat number)");
}

TEST(ResumeFormTool, RefusesBadArgumentsWithStatusTwo)
{
    TempDir dir;
    std::string output;
    EXPECT_EQ(runTool("--fault no-such --out " + dir.file("x.docx"), &output), 2);
    EXPECT_NE(output.find("unknown fault"), std::string::npos) << output;
    EXPECT_EQ(runTool("--batch lots --out-dir " + dir.file("b"), &output), 2);
    EXPECT_EQ(runTool("--frobnicate", &output), 2);
    EXPECT_EQ(runTool("--blank", &output), 2);
    EXPECT_FALSE(fs::exists(dir.file("x.docx")));
}

TEST(ResumeFormTool, ReportsAnUnwritableDestination)
{
    std::string output;
    EXPECT_EQ(runTool("--out /nonexistent-folder/r.docx", &output), 1);
    EXPECT_NE(output.find("/nonexistent-folder/r.docx"), std::string::npos) << output;
}
