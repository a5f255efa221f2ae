#include <gtest/gtest.h>

#include "admin/admin_fixture.h"
#include "app/run_cli.h"
#include "support/test_config.h"

namespace kyt::test {
namespace {

TEST_F(AdminTest, TheCommandLineSaysChangedRefusedOrFailedInItsExitStatus)
{
    student("1QP01CS007");
    student("1QP02CS008");
    exec("CREATE TRIGGER fail BEFORE DELETE ON Marks WHEN old.usn = '1QP02CS008' "
         "BEGIN SELECT RAISE(ABORT, 'injected'); END");
    const std::string config = dir.file("Kyt.ini");
    writeSetupConfig(config, setup.databasePath);
    const struct { std::string args; int status; std::string said; long students; } cases[] = {
        {"delete-student 1QP01CS007", 2, "no terminal to answer", 2},
        {"add-branch ABCD Name", 2, "at most 3 characters", 2},
        {"delete-all --bogus", 2, "bogus", 2},
        {"update-marks 1qp01cs007 1 --obtained 40 --max 50 --year 2001 --attempts 1", 2, "Record already exists.", 2},
        {"--yes update-marks 1qp01cs007 65542 --obtained 40 --max 50 --year 2001 --attempts 1", 2,
         "Semester must be a whole number from 1 to 8", 2},
        {"--yes update-marks 1qp01cs007 1 --obtained 40 --max 50 --year 2001 --attempts 1 --institution 'St. Mary'\\''s'", 0,
         " Update successful ", 2},
        {"show-marks 1qp01cs007 1", 0, "Institution: St. Mary's", 2},
        {"--yes delete-student 1qp01cs7", 0, "The record was deleted successfully", 1},
        {"--yes delete-batch 02", 1, "injected", 1},
    };
    for (const auto& c : cases) {
        std::string output;
        EXPECT_EQ(runCli("admin --config '" + config + "' " + c.args + " < /dev/null", &output), c.status) << c.args << output;
        EXPECT_NE(output.find(c.said), std::string::npos) << c.args << "\n" << output;
        EXPECT_EQ(students(), c.students) << c.args;
    }
}

}  // namespace
}  // namespace kyt::test
