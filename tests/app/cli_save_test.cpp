// kyt-cli save as a script runs it: the query options, the save options, the exit status, no partial file.

#include <gtest/gtest.h>

#include <QDate>
#include <filesystem>

#include "app/run_cli.h"
#include "db/seed.h"
#include "query/save/docx_outline.h"
#include "support/test_config.h"

namespace kyt::test {
namespace {

namespace fs = std::filesystem;

class CliSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        config = makeConfiguredFolder(dir, "CS,Computer Science\nEC,Electronics\n", &database);
        db::Failure failure;
        auto writer = db::Database::open(database, db::Road::Connector, failure);
        ASSERT_TRUE(writer) << failure.description;
        for (const auto& [usn, name, obtained] : {std::tuple{"1QP22EC001", "Ravi", 81}, std::tuple{"1QP22CS002", "Mala", 60},
                                                  std::tuple{"1QP22CS001", "Asha, R", 70}}) {
            const std::string born = QDate::currentDate().addYears(-20).addDays(-100).toString("dd-MM-yyyy").toStdString();
            ASSERT_TRUE(writer->exec(personalInsert({.usn = usn, .name = name, .dob = born}), failure))
                << failure.description;
            for (int level = 3; level <= 8; ++level)
                ASSERT_TRUE(writer->exec(marksInsert(usn, level, obtained, 100), failure)) << failure.description;
        }
    }

    int save(const std::string& options, std::string* output = nullptr)
    {
        std::string ignored;
        return runCli("save --config '" + config + "' --batch 22 --branch CS --branch EC " + options + " </dev/null",
                      output ? output : &ignored);
    }

    size_t tables(const std::string& path)
    {
        const auto outline = docxOutline(path);
        return static_cast<size_t>(std::count_if(outline.begin(), outline.end(), [](auto& l) { return l[0] == 'T'; }));
    }

    TempDir dir;
    std::string config, database;
};

TEST_F(CliSave, WritesEveryFormatAsTheWindowDoes)
{
    std::string output;
    const std::string docx = dir.file("by usn.docx");
    ASSERT_EQ(save("--rank USN --ascending --columns name,usn --title 'Final year' --out '" + docx + "'", &output), 0)
        << output;
    EXPECT_EQ(output, "Information Saved. 3 students in " + docx + "\n");
    EXPECT_EQ(docxOutline(docx),
              (std::vector<std::string>{"P c|Final year", "P c|", "T *Name,USN / , / Asha, R,1QP22CS001 / Mala,1QP22CS002",
                                        "P c^|Final year", "P c|", "T *Name,USN / , / Ravi,1QP22EC001", "P |"}));

    const std::string ranked = dir.file("ranked.docx");
    ASSERT_EQ(save("--out '" + ranked + "'"), 0);
    EXPECT_EQ(tables(ranked), 1u) << "ranked by the aggregate: one table";
    ASSERT_EQ(save("--rank USN --no-page-breaks --out '" + ranked + "'"), 0);
    EXPECT_EQ(tables(ranked), 1u);
    ASSERT_EQ(save("--rank USN --columns Name,Email --out '" + ranked + "'"), 0);
    EXPECT_EQ(tables(ranked), 1u) << "without the USN no branch is told";

    const std::string txt = dir.file("list.txt");
    // The save query works the age out again, in whole years.
    ASSERT_EQ(save("--rank USN --ascending --age --columns USN,age --delimiter SemiColon --no-title --out '" + txt + "'"),
              0);
    EXPECT_EQ(readFile(txt),
              "\r\n\r\nUSN;Age;\r\n1QP22CS001;20;\r\n1QP22CS002;20;\r\n\f\r\nUSN;Age;\r\n1QP22EC001;20;\r\n");

    const std::string csv = dir.file("list.csv");
    ASSERT_EQ(save("--rank USN --ascending --out '" + csv + "'"), 0);
    EXPECT_EQ(readFile(csv).rfind("\xEF\xBB\xBFUSN,Name,Percent1To6,Email\r\n1QP22CS001,\"Asha, R\",70.00,asha@example.com\r\n", 0),
              0u);
}

TEST_F(CliSave, RefusalsAndFailuresLeaveNoFile)
{
    struct Case {
        const char* options;
        int status;
        const char* said;
    } cases[] = {
        {"--columns USN,Nonesuch", 2, "has no column 'Nonesuch'"},
        {"--columns USN,usn", 2, "named twice"},
        {"--delimiter Pipe", 2, "--delimiter must be"},
        {"--title T --no-title", 2, "exclude each other"},
        {"--from 6 --to 1", 2, "'From' semester"},
    };
    for (const Case& c : cases) {
        std::string output;
        EXPECT_EQ(save(std::string(c.options) + " --out '" + dir.file("out.docx") + "'", &output), c.status)
            << c.options << "\n" << output;
        EXPECT_NE(output.find(c.said), std::string::npos) << output;
    }
    std::string output;
    // A folder that cannot be written (full disks and read-only folders are tried below the program).
    EXPECT_EQ(save("--out '" + dir.file("missing/out.docx") + "'", &output), 1) << output;
    EXPECT_NE(output.find("Information Not Saved. "), std::string::npos) << output;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().rfind("out", 0), std::string::npos) << entry.path();
}

}  // namespace
}  // namespace kyt::test
