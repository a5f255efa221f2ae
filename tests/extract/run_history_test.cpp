// The history of extraction runs: what each run recorded, and taking a run back.

#include "extract/run_history.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "db/data_connector.h"
#include "extract/batch_driver.h"
#include "support/extraction_fixture.h"

namespace kyt {
namespace {

namespace fs = std::filesystem;
using test::ResumeForm;
using test::SilentView;
using Rows = std::vector<std::vector<std::string>>;

class RunHistory : public ::testing::Test {
protected:
    // A run of the résumés `usns` (a "!" before a USN: one that is refused for its marks), each in a file
    // of its own.
    RunResult extract(const std::vector<std::string>& usns, bool replace, const std::string& name = "resumes")
    {
        const fs::path folder = dir.path() / name;
        fs::remove_all(folder);
        fs::create_directories(folder);
        int k = 0;
        for (const std::string& usn : usns) {
            const bool refused = usn[0] == '!';
            ResumeForm form = ResumeForm::be(refused ? usn.substr(1) : usn, "student " + std::to_string(++k));
            form.set(1, 7, 1, "address of run " + std::to_string(++runs));
            if (refused)
                form.setMarks(6, "", "900", "800");
            form.save((folder / ("r" + std::to_string(k) + ".docx")).string());
        }
        RunOptions options;
        options.folder = folder.string();
        options.dontStop = true;
        options.replace = replace;
        SilentView view;
        return RunExtraction(setup.control, view, options);
    }
    Rows everything()
    {
        Rows rows = setup.rows("SELECT * FROM Personal ORDER BY USN");
        for (auto& row : setup.rows("SELECT * FROM Marks ORDER BY usn, education_level"))
            rows.push_back(row);
        return rows;
    }
    std::vector<RunSummary> history()
    {
        std::vector<RunSummary> list;
        db::Failure failure;
        EXPECT_TRUE(ListRuns(*setup.control.session.Connector->GetCurrentConnection(), list, failure))
            << failure.description;
        return list;
    }

    test::TempDir dir;
    test::ExtractionSetup setup{dir};
    int runs = 0;
};

// Each run is taken back to the database as it was before it, row by row: one that only added, one that
// only replaced, one that did both (a USN twice in one run among them), each with a refusal.
TEST_F(RunHistory, TakingARunBackRestoresTheDatabaseRowByRow)
{
    ASSERT_EQ(extract({"1QP01CS001", "1QP01CS002"}, false).added, 2);
    const struct {
        const char* what;
        std::vector<std::string> usns;
        int added, replaced;
    } cases[] = {
        {"add only", {"1QP01CS003", "1QP01CS004", "!1QP01CS005"}, 2, 0},
        {"replace only", {"1QP01CS001", "1QP01CS002", "!1QP01CS001"}, 0, 2},
        {"mixed", {"1QP01CS002", "1QP01CS006", "1QP01CS006", "!1QP01CS002"}, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Rows before = everything();
        const RunResult result = extract(c.usns, true);
        ASSERT_NE(everything(), before);
        const RunSummary run = history().back();
        EXPECT_EQ(run.id, result.runId);
        EXPECT_EQ(run.added, c.added);
        EXPECT_EQ(run.replaced, c.replaced);
        EXPECT_EQ(run.refused, 1);
        EXPECT_EQ(run.scanned, static_cast<int>(c.usns.size()));
        EXPECT_FALSE(run.finishedAt.empty());
        EXPECT_FALSE(run.user.empty());

        setup.messages.clear();
        const RevertResult reverted = RevertRun(setup.control, run.id);
        ASSERT_EQ(reverted.outcome, RevertOutcome::Reverted) << reverted.description;
        EXPECT_NE(setup.messages.last().text.find(std::to_string(c.added) + " student"), std::string::npos);
        EXPECT_EQ(everything(), before);
        EXPECT_FALSE(history().back().revertedAt.empty());
    }
}

// A run whose students a later run stored again waits for that one; a declined question changes nothing;
// a run is taken back once.
TEST_F(RunHistory, ALaterRunOnTheSameStudentsIsTakenBackFirst)
{
    const Rows empty = everything();
    const int64_t first = extract({"1QP01CS001", "1QP01CS002"}, false).runId;
    const Rows afterFirst = everything();
    const int64_t second = extract({"1QP01CS002", "!1QP01CS007"}, true, "again").runId;
    const Rows afterSecond = everything();

    RevertResult result = RevertRun(setup.control, first);
    EXPECT_EQ(result.outcome, RevertOutcome::Refused);
    EXPECT_NE(result.description.find("(run " + std::to_string(second) + ")"), std::string::npos) << result.description;
    setup.messages.setNextAnswer(MsgAnswer::No);
    EXPECT_EQ(RevertRun(setup.control, second).outcome, RevertOutcome::Declined);
    EXPECT_EQ(setup.messages.last().defaultAnswer, MsgAnswer::No) << "Enter must not delete students";
    EXPECT_EQ(everything(), afterSecond);

    // The refusals of a run are kept with it, as its report had them.
    std::vector<RejectedResume> refused;
    db::Failure failure;
    ASSERT_TRUE(RunRefusals(*setup.control.session.Connector->GetCurrentConnection(), second, refused, failure));
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].file, "r2.docx");
    EXPECT_EQ(refused[0].faults.at(0).place.field, "Marks obtained");

    EXPECT_EQ(RevertRun(setup.control, second).outcome, RevertOutcome::Reverted);
    EXPECT_EQ(everything(), afterFirst);
    EXPECT_EQ(RevertRun(setup.control, second).outcome, RevertOutcome::Refused);
    EXPECT_EQ(RevertRun(setup.control, first).outcome, RevertOutcome::Reverted);
    EXPECT_EQ(everything(), empty);
    EXPECT_EQ(RevertRun(setup.control, 99).outcome, RevertOutcome::Refused);
}

}  // namespace
}  // namespace kyt
