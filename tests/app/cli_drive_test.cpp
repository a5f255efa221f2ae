// kyt-cli drive and stats as an officer scripts them: résumés extracted, a drive saved, more résumés
// extracted, the shortlist unchanged; the tables, charts and report read back from the files written.

#include <gtest/gtest.h>

#include <filesystem>

#include "app/run_cli.h"
#include "support/extraction_fixture.h"
#include "support/test_config.h"

namespace kyt::test {
namespace {

namespace fs = std::filesystem;

class CliDrive : public ::testing::Test {
protected:
    // Résumés of `usns` extracted, the k-th with every semester at `percents[k]` of 100.
    void extract(const std::vector<std::string>& usns, const std::vector<int>& percents)
    {
        const fs::path folder = dir.path() / ("resumes" + std::to_string(++batches));
        fs::create_directory(folder);
        for (size_t k = 0; k < usns.size(); ++k) {
            ResumeForm form = ResumeForm::be(usns[k]);
            for (int semester = 1; semester <= 8; ++semester)
                form.setMarks(semester + 3, "RVCE", std::to_string(percents[k]), "100");
            form.save((folder / (usns[k] + ".docx")).string());
        }
        ASSERT_EQ(cli("extract '" + folder.string() + "'"), 0) << output;
    }
    int cli(const std::string& args) { return runCli(args + " --config " + test::quoted(config) + " </dev/null", &output); }

    TempDir dir;
    std::string database;
    std::string config = makeConfiguredFolder(dir, "CS,Computer Science\nEC,Electronics\n", &database);
    std::string output;
    int batches = 0;
};

TEST_F(CliDrive, AShortlistOutlivesLaterExtractionsAndRunsAgainOnlyWhenAsked)
{
    extract({"1QP22CS001", "1QP22CS002", "1QP22EC001"}, {72, 58, 81});
    ASSERT_EQ(cli("drive add --company 'Acme, Bangalore' --date 12-02-2027 --batch 22 --all-branches --atleast 60"), 0)
        << output;
    EXPECT_EQ(output, "Saved drive 1: Acme, Bangalore, 2027-02-12, with 2 students shortlisted.\n");
    ASSERT_EQ(cli("drive show 1"), 0);
    const std::string shown = output;
    EXPECT_NE(shown.find("1\t1QP22EC001\t"), std::string::npos) << shown;
    EXPECT_NE(shown.find("2\t1QP22CS001\t"), std::string::npos) << shown;

    extract({"1QP22CS003"}, {90});
    ASSERT_EQ(cli("drive show 1"), 0);
    EXPECT_EQ(output, shown);
    ASSERT_EQ(cli("drive run 1"), 0);
    EXPECT_NE(output.find("1QP22CS003\t"), std::string::npos);
    EXPECT_NE(output.find("\tno\n"), std::string::npos) << output;
    EXPECT_NE(output.find("3 eligible now, 1 of them not on the shortlist of 2 (--add-new adds them)."),
              std::string::npos);
    ASSERT_EQ(cli("drive show 1"), 0);
    EXPECT_EQ(output, shown);
    ASSERT_EQ(cli("drive run 1 --add-new"), 0);
    EXPECT_NE(output.find("Added 1 student to the shortlist of Acme, Bangalore, 2027-02-12."), std::string::npos);

    ASSERT_EQ(cli("drive set-outcome 1 1QP22CS001 Joined"), 0) << output;
    EXPECT_EQ(cli("drive set-outcome 1 1QP22CS001 hired"), 2);
    EXPECT_EQ(cli("drive set-outcome 1 1QP22CS002 offered"), 1);  // not on the shortlist
    EXPECT_EQ(cli("drive run 1 --atleast 70"), 2) << "a criterion the drive's own would override";
    const std::string csv = dir.file("acme.csv");
    ASSERT_EQ(cli("drive export 1 --out " + test::quoted(csv)), 0) << output;
    EXPECT_EQ(readFile(csv).rfind("\xEF\xBB\xBFPlace,USN,Name,Branch,Aggregate,Outcome,Outcome date\r\n1,1QP22EC001,", 0), 0u);
    EXPECT_NE(readFile(csv).find(",1QP22CS001,"), std::string::npos);
    EXPECT_NE(readFile(csv).find("\r\n3,1QP22CS003,"), std::string::npos);
    ASSERT_EQ(cli("drive list"), 0);
    EXPECT_NE(output.find("1\tAcme, Bangalore\t2027-02-12\t3\t1\t1\tbatch 22; all branches; semesters 1 to 6 at "
                          "least 60 %\n"),
              std::string::npos)
        << output;
}

// The value pdfinfo gives for `field` ("Pages", "Title").
std::string pdfField(const std::string& info, const std::string& field)
{
    const size_t at = info.find("\n" + field + ":") != std::string::npos ? info.find("\n" + field + ":") + 1
                                                                         : info.rfind(field + ":", 0);
    if (at == std::string::npos)
        return {};
    const size_t start = info.find_first_not_of(' ', at + field.size() + 1);
    return info.substr(start, info.find('\n', start) - start);
}

// Width and height of a PNG, from its header.
std::pair<int, int> pngSize(const std::string& bytes)
{
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0)
        return {0, 0};
    const auto word = [&](size_t at) {
        return (static_cast<unsigned char>(bytes[at]) << 24) | (static_cast<unsigned char>(bytes[at + 1]) << 16) |
               (static_cast<unsigned char>(bytes[at + 2]) << 8) | static_cast<unsigned char>(bytes[at + 3]);
    };
    return {word(16), word(20)};
}

TEST_F(CliDrive, StatisticsGoToCsvChartsAndAReportThatReadBack)
{
    extract({"1QP22CS001", "1QP22CS002", "1QP22EC001"}, {72, 58, 81});
    ASSERT_EQ(cli("drive add --company Acme --date 2027-02-12 --batch 22 --all-branches"), 0) << output;
    ASSERT_EQ(cli("drive set-outcome 1 1QP22EC001 joined"), 0);
    const std::string folder = dir.file("tables"), png = dir.file("spread.png"), pdf = dir.file("classes.pdf"),
                      report = dir.file("report.pdf");
    ASSERT_EQ(cli("stats --drive 1 --csv " + test::quoted(folder) + " --chart distribution=" + test::quoted(png) +
                  " --chart classes=" + test::quoted(pdf) + " --report " + test::quoted(report)),
              0)
        << output;
    EXPECT_NE(output.find("CS\t2\t65.00\t65.00\t58.00\t72.00\t1\t0\t1\t1\t1\t1\t0\n"), std::string::npos) << output;
    EXPECT_EQ(readFile(folder + "/placements.csv"),
              "\xEF\xBB\xBF" "Branch,Students,Offers,Joined,Offer rate %,Placement rate %\r\nCS,2,0,0,0.00,0.00\r\n"
              "EC,1,1,1,100.00,100.00\r\nAll,3,1,1,33.33,33.33\r\n");
    EXPECT_EQ(pngSize(readFile(png)), std::make_pair(1000, 620));

    std::string info;
    ASSERT_EQ(runProgram("pdfinfo", test::quoted(pdf), &info), 0) << "poppler-utils (scripts/setup) reads the PDFs";
    EXPECT_EQ(pdfField(info, "Pages"), "1") << info;
    ASSERT_EQ(runProgram("pdftotext", test::quoted(pdf) + " -", &info), 0);
    EXPECT_NE(info.find("Class mix by branch - Acme, 2027-02-12"), std::string::npos) << info;
    ASSERT_EQ(runProgram("pdfinfo", test::quoted(report), &info), 0);
    EXPECT_EQ(pdfField(info, "Title"), "Acme, 2027-02-12") << info;
    EXPECT_EQ(pdfField(info, "Pages"), "2") << info;  // the tables and a chart, then two charts and the shortlist
    ASSERT_EQ(runProgram("pdftotext", "-layout " + test::quoted(report) + " -", &info), 0);
    for (const char* text : {"Aggregates and classes by branch", "and placements by branch",
                             "Aggregate distribution by branch - Acme", "Placements by branch - Acme", "Shortlist",
                             "1QP22EC001", "joined", "100.00", "33.33"})
        EXPECT_NE(info.find(text), std::string::npos) << text << "\n" << info;

    // A whole batch: every student, with what the drives recorded.
    const std::string batch = dir.file("batch.pdf");
    ASSERT_EQ(cli("stats --batch 22 --all-branches --report " + test::quoted(batch)), 0) << output;
    EXPECT_NE(output.find("Batch 22\n"), std::string::npos) << output;
    EXPECT_NE(output.find("All\t3\t70.33\t72.00\t58.00\t81.00\t1\t0\t2\t2\t2\t2\t1\n"), std::string::npos) << output;
    ASSERT_EQ(runProgram("pdfinfo", test::quoted(batch), &info), 0);
    EXPECT_EQ(pdfField(info, "Title"), "Batch 22") << info;
    ASSERT_EQ(runProgram("pdftotext", "-layout " + test::quoted(batch) + " -", &info), 0);
    for (const char* text : {"Placements by branch - Batch 22", "70.33", "33.33"})
        EXPECT_NE(info.find(text), std::string::npos) << text << "\n" << info;
    EXPECT_EQ(info.find("Shortlist"), std::string::npos) << "a batch has no shortlist";
    EXPECT_EQ(cli("stats --drive 1 --batch 22"), 2);
    EXPECT_EQ(cli("stats --chart pie=x.png"), 2);

    // Nothing is written over the database or the configuration, nor in a form its ending does not name.
    const std::string kept = readFile(config);
    fs::create_directory(dir.file("folder.csv"));
    for (const std::string& args : {"stats --drive 1 --report " + test::quoted(config),
                                    "stats --drive 1 --report " + test::quoted(database),
                                    "stats --drive 1 --chart classes=" + test::quoted(dir.file("c.docx")),
                                    "drive export 1 --out " + test::quoted(dir.file("folder.csv"))}) {
        EXPECT_EQ(cli(args), 2) << args << "\n" << output;
        EXPECT_NE(output.find("kyt-cli"), std::string::npos) << output;
    }
    EXPECT_TRUE(readFile(config) == kept) << "the configuration is as it was";
    EXPECT_FALSE(fs::exists(dir.file("c.docx")));
    ASSERT_EQ(cli("drive show 1"), 0) << "the database is whole";
}

}  // namespace
}  // namespace kyt::test
