#include <gtest/gtest.h>

#include <filesystem>

#include "app/run_cli.h"
#include "db/database.h"
#include "db/seed.h"
#include "merge/merged_docx.h"
#include "support/temp_dir.h"
#include "support/test_config.h"
#include "support/zip_bytes.h"

namespace kyt {
namespace {

namespace fs = std::filesystem;

std::string fieldParagraph(const std::string& code)
{
    return R"(<w:p><w:fldSimple w:instr=")" + code + R"("><w:r><w:t>x</w:t></w:r></w:fldSimple></w:p>)";
}

TEST(CliMerge, ExitStatusTellsWrittenRefusedAndFailed)
{
    test::TempDir dir;
    std::string database;
    const std::string config = test::makeConfiguredFolder(dir, "CS,Computer Science\nEC,Electronics\n", &database);
    {
        db::Failure failure;
        auto db = db::Database::open(database, db::Road::Connector, failure);
        ASSERT_TRUE(db) << failure.description;
        // Two CS students with marks (the second ranks first by aggregate), one EC student.
        for (auto [usn, obtained] : {std::pair{"1RV22CS002", 90}, std::pair{"1RV22CS001", 60}, std::pair{"1RV22EC003", 80}}) {
            ASSERT_TRUE(db->exec(test::personalInsert({.usn = usn}), failure)) << failure.description;
            for (int level = 3; level <= 8; ++level)
                ASSERT_TRUE(db->exec(test::marksInsert(usn, level, obtained, 100), failure)) << failure.description;
        }
    }
    test::writeFile(dir.file("good.docx"), test::docxWithBody(fieldParagraph("USN") + fieldParagraph("Name")));
    test::writeFile(dir.file("bad.docx"), test::docxWithBody(fieldParagraph("MERGEFIELD Salary")));
    for (const char* folder : {"each", "both", "bad"})
        fs::create_directories(dir.file(folder));

    const std::string common = " --config '" + config + "' --all --target '" + dir.file("");
    const struct { std::string args; int status; const char* printed; } cases[] = {
        {"merge" + common + "good.docx' --out '" + dir.file("all.docx") + "'", 0, "3 résumés, 1 files"},
        {"merge" + common + "good.docx' --per-student '" + dir.file("each") + "'", 0, "3 résumés, 3 files"},
        {"merge --config '" + config + "' --batch 22 --branch CS --target '" + dir.file("good.docx") + "' --out '" +
             dir.file("cs.docx") + "'",
         0, "2 résumés, 1 files"},
        {"merge" + common + "good.docx' --out '" + dir.file("both.docx") + "' --per-student '" + dir.file("both") + "'", 0,
         "3 résumés, 4 files"},
        {"merge" + common + "bad.docx' --out '" + dir.file("bad-out.docx") + "' --per-student '" + dir.file("bad") + "'", 2,
         "Fields that are not columns of the selected students: Salary"},
        {"merge" + common + "missing.docx' --out '" + dir.file("x.docx") + "'", 1, "Errors have occured"},
        {"merge" + common + "good.docx' --out '" + database + "'", 2, " is the student database or a file the database"},
        {"merge" + common + "good.docx' --out '" + dir.file("all.doc") + "'", 2, "all.doc does not end in .docx"},
    };
    for (const auto& c : cases) {
        std::string output;
        EXPECT_EQ(test::runCli(c.args, &output), c.status) << c.args << "\n" << output;
        EXPECT_NE(output.find(c.printed), std::string::npos) << c.args << "\n" << output;
    }
    EXPECT_NE(test::MergedDocx(dir.file("all.docx")).bodyText().find("1RV22EC003"), std::string::npos);
    // The selection keeps the query's ranking: the better aggregate first, no EC student.
    const std::string selected = test::MergedDocx(dir.file("cs.docx")).bodyText();
    EXPECT_LT(selected.find("1RV22CS002"), selected.find("1RV22CS001"));
    EXPECT_EQ(selected.find("1RV22EC003"), std::string::npos);
    EXPECT_TRUE(fs::exists(dir.file("each/1RV22CS001_Asha Rao.docx")));
    EXPECT_TRUE(fs::exists(dir.file("both/1RV22EC003_Asha Rao.docx")));
    EXPECT_FALSE(fs::exists(dir.file("bad-out.docx")));
    EXPECT_TRUE(fs::is_empty(dir.file("bad")));
}

}  // namespace
}  // namespace kyt
