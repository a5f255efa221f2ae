#include "extract/batch_driver.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>

#include "db/data_connector.h"
#include "extract/extract_resume.h"
#include "support/db_faults.h"
#include "support/extraction_fixture.h"
#include "support/file_size_limit.h"
#include "support/unprivileged.h"
#include "word/application.h"
#include "word/utf8.h"

namespace kyt {
namespace {

namespace fs = std::filesystem;
using test::ExtractionSetup;
using test::ResumeForm;
using test::TempDir;

// Remembers what the status window would show.
struct RecordingView : ExtractionView {
    std::vector<std::string> documents;
    std::vector<int> wholeProgress;
    std::vector<std::string> captions;
    std::string totalErrors, documentErrors, scanned, note, successful;
    bool scanningHeading = false, complete = false;
    int lastResumeProgress = -1;
    std::string windowCaption = "Kyt v2.8 - Status";

    void startDocument(const std::string& fileName) override
    {
        documents.push_back(fileName);
        documentErrors = "0";
    }
    void setResumeProgress(int percent) override { lastResumeProgress = percent; }
    void setDocumentErrors(const std::string& count) override { documentErrors = count; }
    void setTotalErrors(const std::string& count) override { totalErrors = count; }
    void showScannedText(const std::string& text) override { scanned = text; }
    void setWholeProgress(int percent) override { wholeProgress.push_back(percent); }
    std::string caption() const override { return windowCaption; }
    void setCaption(const std::string& caption) override { captions.push_back(caption); }
    void showNote(const std::string& text) override { note = text; }
    void showSuccessfulText(const std::string& text) override { successful = text; }
    void showScanningHeading() override { scanningHeading = true; }
    void showComplete() override { complete = true; }
    void showConverting(int count) override { converting = count; }
    int converting = 0;
};

class BatchDriverTest : public ::testing::Test {
protected:
    BatchDriverTest() { fs::create_directory(folder); }

    void add(const std::string& name, const ResumeForm& form) { form.save((folder / name).string()); }
    RunResult run(bool copy = false, bool dontStop = false)
    {
        RunOptions options;
        options.folder = folder.string();
        options.copyErroredResumes = copy;
        options.dontStop = dontStop;
        return RunExtraction(setup.control, view, options);
    }
    std::string log() const { return test::readFile((folder / kErrorLogName).string()); }
    long students() { return setup.count("SELECT count(*) FROM Personal"); }

    TempDir dir;
    ExtractionSetup setup{dir};
    fs::path folder = dir.path() / "resumes";
    RecordingView view;
};

TEST_F(BatchDriverTest, LogOfThreeDocumentsWithTheSecondRejectedIsExact)
{
    add("a.docx", ResumeForm::be("1QP01CS001"));
    add("b.docx", ResumeForm::be("2QP01CS007"));
    add("c.docx", ResumeForm::be("1QP01CS003"));

    const RunResult result = run(true);

    const std::string expected =
        "Errors occured during the extraction of the folder : \r\n\r\n\r\n" + folder.string() +
        "\r\n\r\n\r\n\r\n"
        "Filename\t\t\t\t\t Problem\r\n\r\n"
        "==============================================================================\r\n\r\n"
        "\r\nb.docx\t\t\r\n"
        "\t\t\t\tError USN 2QP01CS007 - Bad college code ( 2QP). Expe\r\n"
        "\t\t\t\tcting : 1QP\r\n"
        "\t\t\t\tTransaction rolled back\r\n"
        "=-=\r\n\r\n";
    EXPECT_EQ(log(), expected);
    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_EQ(result.scanned, 3);
    EXPECT_EQ(result.rejected, 1);
    EXPECT_EQ(setup.control.run.SuccessfulDocuments, 2);
    EXPECT_EQ(students(), 2);

    // The rejected document and the log are copied aside.
    const fs::path side = folder / kSideFolderName;
    EXPECT_TRUE(fs::exists(side / "b.docx"));
    EXPECT_FALSE(fs::exists(side / "a.docx"));
    EXPECT_EQ(test::readFile((side / kErrorLogName).string()), expected);
    EXPECT_EQ(setup.control.run.CopyFailures, 0);
}

// Documents are read one ahead of the run: each must still be stored or rejected under its own name.
TEST_F(BatchDriverTest, EachDocumentIsTakenOnceUnderItsOwnName)
{
    std::vector<std::string> names;
    for (int k = 10; k < 30; ++k) {
        const std::string name = "r" + std::to_string(k) + ".docx";
        names.push_back(name);
        if (k == 17)
            test::writeFile((folder / name).string(), "not a word document");
        else
            add(name, ResumeForm::be((k == 23 ? "2QP01CS0" : "1QP01CS0") + std::to_string(k)));
    }

    const RunResult result = run(false, true);

    EXPECT_EQ(view.documents, names);
    EXPECT_EQ(result.scanned, 20);
    EXPECT_EQ(result.rejected, 2);
    EXPECT_EQ(students(), 18);
    EXPECT_EQ(setup.count("SELECT count(*) FROM Personal WHERE USN IN ('1QP01CS017', '1QP01CS023', '2QP01CS023')"), 0);
    EXPECT_EQ(setup.count("SELECT count(*) FROM Personal WHERE USN IN ('1QP01CS010', '1QP01CS016', '1QP01CS018', "
                          "'1QP01CS022', '1QP01CS024', '1QP01CS029')"),
              6);
    const std::string text = log();
    const size_t unreadable = text.find("\r\nr17.docx\t\t");
    const size_t badCollege = text.find("\r\nr23.docx\t\t");
    ASSERT_NE(unreadable, std::string::npos) << text;
    ASSERT_NE(badCollege, std::string::npos) << text;
    EXPECT_NE(text.find("valid format resume", unreadable), std::string::npos);
    EXPECT_LT(text.find("valid format resume", unreadable), badCollege);
    EXPECT_NE(text.find("Error USN 2QP01CS023", badCollege), std::string::npos);
}

TEST_F(BatchDriverTest, StatusShowsTheRunAndItsTotals)
{
    add("a.docx", ResumeForm::be("1QP01CS001"));
    add("b.docx", ResumeForm::be("2QP01CS007"));
    add("c.docx", ResumeForm::be("1QP01CS003"));
    run();

    EXPECT_EQ(view.documents, (std::vector<std::string>{"a.docx", "b.docx", "c.docx"}));
    EXPECT_EQ(view.wholeProgress, (std::vector<int>{33, 67, 100}));
    EXPECT_EQ(view.captions.back(), "100 % Kyt v2.8 - Status");
    EXPECT_EQ(view.captions.front(), "33 % Kyt v2.8 - Status");
    EXPECT_EQ(view.totalErrors, "1");
    EXPECT_EQ(view.note, "Please see " + folder.string() + "/Kyt_errors.txt  file for description");
    EXPECT_EQ(view.scanned, " Total Documents scanned : 3");
    EXPECT_EQ(view.successful, " No. of Successfully scanned documents :2");
    EXPECT_TRUE(view.scanningHeading);
    EXPECT_TRUE(view.complete);
    EXPECT_EQ(view.lastResumeProgress, 100);
    EXPECT_EQ(setup.control.config.LastResumeFolder, folder.string());
    EXPECT_EQ(setup.control.session.WordApp, nullptr);
    EXPECT_EQ(setup.control.run.ErrorLog, nullptr);
}

TEST_F(BatchDriverTest, RunWithEveryDocumentStoredLeavesNoLog)
{
    add("a.docx", ResumeForm::be("1QP01CS001"));
    add("b.docx", ResumeForm::be("1QP01CS002"));
    const RunResult result = run(true);
    EXPECT_EQ(result.rejected, 0);
    EXPECT_TRUE(result.logPath.empty());
    EXPECT_FALSE(fs::exists(folder / kErrorLogName));
    EXPECT_FALSE(fs::exists(folder / kSideFolderName));
    EXPECT_EQ(students(), 2);
}

TEST_F(BatchDriverTest, AsksAfterTenProblemsAndStopsOnNo)
{
    for (int k = 0; k < 12; ++k)
        add("bad" + std::to_string(10 + k) + ".docx", ResumeForm::be("2QP01CS0" + std::to_string(10 + k)));
    setup.messages.setNextAnswer(MsgAnswer::No);

    const RunResult result = run(true);

    ASSERT_EQ(setup.messages.messages().size(), 1u);
    EXPECT_EQ(setup.messages.last().title, "Please Intervene");
    EXPECT_EQ(setup.messages.last().buttons, MsgButtons::YesNo);
    EXPECT_EQ(setup.messages.last().icon, MsgIcon::None);
    EXPECT_NE(setup.messages.last().text.find("Do you want to continue anyway?"), std::string::npos);
    EXPECT_EQ(result.outcome, RunOutcome::Stopped);
    EXPECT_EQ(result.scanned, 10);
    EXPECT_EQ(setup.control.run.SuccessfulDocuments, 0);
    // The block of the document at which the run stopped closes with its name and "-".
    const std::string text = log();
    const std::string ending = "bad19.docx-\r\n\r\n";
    ASSERT_GE(text.size(), ending.size());
    EXPECT_EQ(text.substr(text.size() - ending.size()), ending);
    EXPECT_EQ(view.wholeProgress.back(), 100);
    EXPECT_TRUE(fs::exists(folder / kSideFolderName / "bad19.docx"));
    EXPECT_FALSE(fs::exists(folder / kSideFolderName / "bad20.docx"));
}

TEST_F(BatchDriverTest, NeverAsksWhenTold)
{
    for (int k = 0; k < 12; ++k)
        add("bad" + std::to_string(10 + k) + ".docx", ResumeForm::be("2QP01CS0" + std::to_string(10 + k)));
    const RunResult result = run(false, true);
    EXPECT_TRUE(setup.messages.messages().empty());
    EXPECT_EQ(result.scanned, 12);
    EXPECT_EQ(result.outcome, RunOutcome::Completed);
}

TEST_F(BatchDriverTest, AnsweringYesGoesOn)
{
    for (int k = 0; k < 12; ++k)
        add("bad" + std::to_string(10 + k) + ".docx", ResumeForm::be("2QP01CS0" + std::to_string(10 + k)));
    setup.messages.setNextAnswer(MsgAnswer::Yes);
    const RunResult result = run();
    EXPECT_EQ(setup.messages.messages().size(), 1u);
    EXPECT_EQ(result.scanned, 12);
    EXPECT_EQ(log().find("-\r\n\r\n"), std::string::npos);
}

TEST_F(BatchDriverTest, FolderWithoutResumesSaysSoAndWritesNothing)
{
    test::writeFile((folder / "notes.txt").string(), "not a résumé");
    const RunResult result = run();
    EXPECT_EQ(result.outcome, RunOutcome::NoDocuments);
    ASSERT_EQ(setup.messages.messages().size(), 1u);
    EXPECT_EQ(setup.messages.last().title, "Error.");
    EXPECT_EQ(setup.messages.last().icon, MsgIcon::Critical);
    EXPECT_EQ(setup.messages.last().text.rfind("Could not find any Word Document. ", 0), 0u);
    EXPECT_FALSE(fs::exists(folder / kErrorLogName));
}

TEST_F(BatchDriverTest, LogThatCannotBeCreatedStopsTheRunBeforeAnyDocument)
{
    add("a.docx", ResumeForm::be("1QP01CS001"));
    fs::create_directory(folder / kErrorLogName);  // in the way of the log, whoever runs the test
    const RunResult result = run();
    EXPECT_EQ(result.outcome, RunOutcome::CouldNotStart);
    ASSERT_EQ(setup.messages.messages().size(), 1u);
    EXPECT_NE(setup.messages.last().text.find("Kyt_errors.txt"), std::string::npos);
    EXPECT_TRUE(view.documents.empty());
    EXPECT_EQ(students(), 0);
    EXPECT_EQ(setup.control.session.WordApp, nullptr);
}

TEST_F(BatchDriverTest, RunWithoutADatabaseDoesNotStart)
{
    add("a.docx", ResumeForm::be("1QP01CS001"));
    setup.control.session.Connector->CloseConnection();
    const RunResult result = run();
    EXPECT_EQ(result.outcome, RunOutcome::CouldNotStart);
    ASSERT_EQ(setup.messages.messages().size(), 1u);
    EXPECT_EQ(setup.messages.last().icon, MsgIcon::Critical);
    EXPECT_TRUE(view.documents.empty());
    EXPECT_FALSE(fs::exists(folder / kErrorLogName));
}

TEST_F(BatchDriverTest, FailedCopiesAreCountedAndTheRunGoesOn)
{
    add("a.docx", ResumeForm::be("2QP01CS001"));
    add("b.docx", ResumeForm::be("2QP01CS002"));
    add("c.docx", ResumeForm::be("1QP01CS003"));
    test::writeFile((folder / kSideFolderName).string(), "a file where the folder should be");
    const RunResult result = run(true);
    EXPECT_EQ(result.scanned, 3);
    EXPECT_EQ(setup.control.run.CopyFailures, -2);
    EXPECT_EQ(students(), 1);
}

TEST_F(BatchDriverTest, StatisticsAddTheRunsDocumentsAndSeconds)
{
    for (int k = 1; k <= 4; ++k)
        add("r" + std::to_string(k) + ".docx", ResumeForm::be("1QP01CS00" + std::to_string(k)));
    setup.control.config.TotalDocumentsScanned = 6;
    setup.control.config.TotalScanSeconds = 8;
    // Each document takes 2, 3, 3 and 4 seconds by this clock.
    std::vector<double> ticks{0, 2, 10, 13, 20, 23, 30, 34};
    size_t next = 0;
    RunOptions options;
    options.folder = folder.string();
    options.clock = [&] { return ticks.at(next++); };
    RunExtraction(setup.control, view, options);
    EXPECT_EQ(setup.control.config.TotalDocumentsScanned, 10);
    EXPECT_DOUBLE_EQ(setup.control.config.TotalScanSeconds, 20);
    EXPECT_DOUBLE_EQ(setup.control.config.AverageScanSeconds, 2);
}

// A failing environment is not a bad résumé: the run stops at once, the résumé being read is rolled
// back and not logged, the documents after it are left for the next run, and the officer is told why.
struct EnvironmentFault {
    const char* name;
    const char* cause;  // part of what the officer is told
    // Breaks the surroundings after the first résumé is stored; gives what mends them.
    std::function<std::function<void()>(ExtractionSetup&, const fs::path& folder)> breakIt;
};

class EnvironmentFaults : public BatchDriverTest, public ::testing::WithParamInterface<EnvironmentFault> {};

TEST_P(EnvironmentFaults, StopTheRunAndARerunTakesTheRest)
{
    add("a-bad.docx", ResumeForm::be("2QP01CS009"));
    // More students than the database's free room holds.
    for (int k = 10; k < 30; ++k)
        add("r" + std::to_string(k) + ".docx", ResumeForm::be("1QP01CS0" + std::to_string(k)));
    std::function<void()> mend = GetParam().breakIt(setup, folder);
    const RunResult result = run();
    mend();

    EXPECT_EQ(result.outcome, RunOutcome::EnvironmentFailed);
    EXPECT_NE(result.stopReason.find(GetParam().cause), std::string::npos) << result.stopReason;
    // The officer is told the cause; a note that the log could not be emptied may follow it.
    const auto& shown = setup.messages.messages();
    const auto told = std::find_if(shown.begin(), shown.end(), [](const auto& m) {
        return m.icon == MsgIcon::Critical && m.text.find(GetParam().cause) != std::string::npos;
    });
    EXPECT_NE(told, shown.end());
    EXPECT_NE(view.note.find(GetParam().cause), std::string::npos) << view.note;
    // Only the résumé at fault is logged; the one that met the failing surroundings is neither logged
    // nor counted, and every student stored is whole.
    EXPECT_EQ(result.rejected, 1);
    EXPECT_NE(log().find("a-bad.docx"), std::string::npos);
    EXPECT_EQ(log().find("\r\nr"), std::string::npos) << log();
    EXPECT_EQ(students(), result.scanned - 1);
    EXPECT_EQ(setup.count("SELECT count(*) FROM Marks"), 10 * students());

    setup.messages.clear();
    EXPECT_EQ(run().outcome, RunOutcome::Completed);
    EXPECT_EQ(students(), 20);
}

INSTANTIATE_TEST_SUITE_P(
    BatchDriver, EnvironmentFaults,
    ::testing::Values(
        EnvironmentFault{"WriteLock", "locked",
                         [](ExtractionSetup& s, const fs::path&) -> std::function<void()> {
                             auto lock = std::make_shared<test::DatabaseLock>(s.databasePath);
                             s.control.session.Connector->GetCurrentConnection()->setBusyTimeout(0);
                             return [lock, &s] {
                                 lock->release();
                                 s.control.session.Connector->GetCurrentConnection()->setBusyTimeout(5000);
                             };
                         }},
        EnvironmentFault{"FullDatabase", "full",
                         [](ExtractionSetup& s, const fs::path&) -> std::function<void()> {
                             EXPECT_TRUE(test::fillDisk(*s.control.session.Connector->GetCurrentConnection()));
                             return [&s] {
                                 db::Failure failure;
                                 s.control.session.Connector->GetCurrentConnection()->exec("PRAGMA max_page_count = 1073741823",
                                                                                  failure);
                             };
                         }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BatchDriverTest, AFullFileSystemStopsTheRunWithWholeStudentsOnly)
{
    for (int k = 1; k <= 40; ++k)
        add("r" + std::to_string(k) + ".docx", ResumeForm::be("1QP01CS0" + std::to_string(10 + k)));
    RunResult result;
    {
        // The database may grow by a few pages only: some students fit, then the disk is full.
        test::FileSizeLimit fullDisk(fs::file_size(setup.databasePath) + 2 * 4096);
        ASSERT_TRUE(fullDisk.active());
        result = run();
    }
    EXPECT_EQ(result.outcome, RunOutcome::EnvironmentFailed) << result.stopReason;
    EXPECT_EQ(students(), result.scanned);
    EXPECT_EQ(setup.count("SELECT count(*) FROM Marks"), 10 * students());
    EXPECT_EQ(run().outcome, RunOutcome::Completed);
    EXPECT_EQ(students(), 40);
}

// As root, a read-only folder is writable: the run goes on in a child that is not root.
TEST_F(BatchDriverTest, AReadOnlyDatabaseFolderStopsTheRun)
{
    add("a.docx", ResumeForm::be("1QP01CS001"));
    add("b.docx", ResumeForm::be("1QP01CS002"));
    const fs::path databaseFolder = fs::path(setup.databasePath).parent_path();
    test::reachableFor(folder.string());
    fs::permissions(folder, fs::perms::all);
    fs::permissions(setup.databasePath, fs::perms::all);
    fs::permissions(databaseFolder, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    // 0: stopped for the database; 1: another outcome; 2: stopped for another cause.
    const int stopped = test::runUnprivileged([&] {
        auto connector = std::make_unique<db::DataConnector>();
        if (connector->ConnectToDataBase("Admin", "", setup.databasePath) != 2)
            return 3;
        setup.control.session.Connector = std::move(connector);
        const RunResult result = run();
        if (result.outcome != RunOutcome::EnvironmentFailed)
            return 1;
        return result.stopReason.find(setup.databasePath) != std::string::npos && students() == 0 ? 0 : 2;
    });
    EXPECT_EQ(stopped, 0);
}

// Two runs on one folder would write one log at once: the second is refused while the first holds it.
TEST_F(BatchDriverTest, ASecondRunOnAFolderInUseIsRefused)
{
    add("a.docx", ResumeForm::be("1QP01CS001"));
    const int other = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(flock(other, LOCK_EX), 0);
    EXPECT_EQ(run().outcome, RunOutcome::CouldNotStart);
    EXPECT_NE(setup.messages.last().text.find("Another Kyt run is extracting the folder"), std::string::npos);
    EXPECT_TRUE(view.documents.empty());
    close(other);
    EXPECT_EQ(run().outcome, RunOutcome::Completed);
}

// A name holding line breaks, tabs or bytes that are not UTF-8 stays one escaped name in the log.
TEST_F(BatchDriverTest, OddFileNamesAreWrittenEscapedIntoTheLog)
{
    add("a\tb\r\nc\xFF.docx", ResumeForm::be("2QP01CS001"));
    run();
    const std::string text = log();
    EXPECT_NE(text.find("\r\na\\tb\\r\\nc\\xFF.docx\t\t"), std::string::npos) << text;
    EXPECT_TRUE(word::IsCleanText(text));
}

TEST(ResumeFiles, TakesWordProcessorFilesInNameOrderWithoutOwnerFiles)
{
    TempDir dir;
    for (const char* name : {"b.DOCX", "a.doc", "~$a.docx", "c.Rtf", "d.odt", "e.txt", "f.docx.bak", "A.docx"})
        test::writeFile(dir.file(name), "x");
    fs::create_directory(dir.path() / "folder.docx");
    EXPECT_EQ(ResumeFiles(dir.path().string()),
              (std::vector<std::string>{"A.docx", "a.doc", "b.DOCX", "c.Rtf", "d.odt"}));
}

}  // namespace
}  // namespace kyt

namespace kyt {
namespace {

TEST_F(BatchDriverTest, LegacyDocumentsAreConvertedOnceAndRead)
{
    if (!word::Application::libreOfficeAvailable())
        GTEST_SKIP() << "LibreOffice is not installed";
    // The .doc files are made from résumés of our own form by the same word processor that reads them back.
    const fs::path source = dir.path() / "source";
    fs::create_directory(source);
    ResumeForm::be("1QP01CS001").save((source / "first.docx").string());
    ResumeForm::mca("1QP01MCA02").save((source / "second.docx").string());
    const std::string command = "soffice --headless --norestore '-env:UserInstallation=file://" +
                                (dir.path() / "profile").string() + "' --convert-to doc --outdir '" + folder.string() +
                                "' '" + (source / "first.docx").string() + "' '" + (source / "second.docx").string() +
                                "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ASSERT_TRUE(fs::exists(folder / "first.doc"));
    add("third.docx", ResumeForm::be("1QP01CS003"));

    const RunResult result = run();
    EXPECT_EQ(result.scanned, 3);
    EXPECT_EQ(result.rejected, 0) << log();
    EXPECT_EQ(view.converting, 2);
    EXPECT_EQ(students(), 3);
    EXPECT_EQ(setup.count("SELECT count(*) FROM Marks WHERE usn='1QP01MCA02'"), 8);
}

}  // namespace
}  // namespace kyt

namespace kyt {
namespace {

TEST_F(BatchDriverTest, RealWorldDocumentsAreRejectedOneByOneWithoutHarm)
{
    // Documents from the wild (tables of every shape, fields, tracked changes, damaged files): none is a
    // résumé of the form, so each must be refused on its own and the run must reach the end.
    int copied = 0;
    for (const auto& entry : fs::recursive_directory_iterator(KYT_CORPUS_DIR)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".docx")
            continue;
        fs::copy_file(entry.path(), folder / (std::to_string(copied++) + "-" + entry.path().filename().string()));
    }
    if (copied == 0)
        GTEST_SKIP() << "no real-world documents at " << KYT_CORPUS_DIR;

    const RunResult result = run(false, true);
    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_EQ(result.scanned, copied);
    EXPECT_EQ(result.rejected, copied);
    EXPECT_EQ(students(), 0);
    EXPECT_EQ(setup.count("SELECT count(*) FROM Marks"), 0);
    size_t blocks = 0;
    const std::string text = log();
    for (size_t at = text.find("=-=\r\n"); at != std::string::npos; at = text.find("=-=\r\n", at + 1))
        ++blocks;
    EXPECT_EQ(blocks, static_cast<size_t>(copied));
}

}  // namespace
}  // namespace kyt
