#include <gtest/gtest.h>

#include "admin/admin_fixture.h"
#include "app/run_cli.h"
#include "support/test_config.h"

namespace kyt::test {
namespace {

using AdminCli = AdminTest;

TEST_F(AdminCli, ExitStatusSaysChangedRefusedOrFailed)
{
    student("1QP01CS007");
    student("1QP01CS008", {});
    const std::string config = dir.file("Kyt.ini");
    writeSetupConfig(config, setup.databasePath);
    const std::string update = "update-marks 1QP01CS008 3 --obtained 40 --max 50 --year \"Jan '01\" --attempts 1";
    const struct { std::string args; int status; std::string said; long students; } cases[] = {
        {"delete-student 1QP01CS007", 2, "no terminal to answer", 2},
        {"--yes delete-batch '%%'", 2, "either the year only or year followed by the branch code", 2},
        {"--yes delete-student \"1QP01CS07'\"", 2, "is invalid", 2},
        {"add-branch ABCD Name", 2, "at most 3 characters", 2},
        {"delete-all --bogus", 2, "bogus", 2},
        {"show-marks 1QP01CS008 3", 0, "No records retrived for semester 3", 2},
        {update, 0, " Update successful ", 2},
        {update, 2, "Record already exists.", 2},
        {"--yes " + update + " --institution 'St. Mary'\\''s'", 0, " Update successful ", 2},
        {"show-marks 1qp01cs008 3", 0, "Institution: St. Mary's", 2},
        {"--yes delete-student 1qp01cs7", 0, "The record was deleted successfully", 1},
    };
    for (const auto& c : cases) {
        std::string output;
        EXPECT_EQ(runCli("admin --config '" + config + "' " + c.args + " < /dev/null", &output), c.status) << c.args << output;
        EXPECT_NE(output.find(c.said), std::string::npos) << c.args << "\n" << output;
        EXPECT_EQ(students(), c.students) << c.args;
    }
    exec("CREATE TRIGGER fail BEFORE DELETE ON Marks BEGIN SELECT RAISE(ABORT, 'injected'); END");
    std::string output;
    EXPECT_EQ(runCli("admin --config '" + config + "' --yes delete-student 1QP01CS008", &output), 1) << output;
    EXPECT_NE(output.find("injected"), std::string::npos) << output;
    EXPECT_EQ(students(), 1);
}

}  // namespace
}  // namespace kyt::test
