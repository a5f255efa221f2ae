#include "extract/batch_driver.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>

#include "db/data_connector.h"
#include "db/database.h"
#include "shell/startup.h"
#include "support/db_faults.h"
#include "support/engine.h"
#include "support/extraction_fixture.h"
#include "support/file_size_limit.h"
#include "support/unprivileged.h"
#include "word/application.h"

namespace kyt {
namespace {

namespace fs = std::filesystem;
using test::ExtractionSetup;
using test::ResumeForm;
using test::TempDir;

// Remembers what the status window would show; lets a test act when a document starts.
struct RecordingView : ExtractionView {
    std::vector<std::string> documents;
    std::vector<int> wholeProgress;
    std::vector<std::string> captions;
    std::string totalErrors, scanned, note, successful;
    int converting = 0;
    std::function<void(int document)> onDocument;

    void startDocument(const std::string& fileName) override
    {
        documents.push_back(fileName);
        if (onDocument)
            onDocument(static_cast<int>(documents.size()));
    }
    void setResumeProgress(int) override {}
    void setDocumentErrors(const std::string&) override {}
    void setTotalErrors(const std::string& count) override { totalErrors = count; }
    void showScannedText(const std::string& text) override { scanned = text; }
    void setWholeProgress(int percent) override { wholeProgress.push_back(percent); }
    std::string caption() const override { return "Kyt v2.8 - Status"; }
    void setCaption(const std::string& caption) override { captions.push_back(caption); }
    void showNote(const std::string& text) override { note = text; }
    void showSuccessfulText(const std::string& text) override { successful = text; }
    void showScanningHeading() override {}
    void showComplete() override {}
    void showConverting(int count) override { converting = count; }
};

class BatchDriverTest : public ::testing::Test {
protected:
    // `fileSystem`: the type the database's file system reads as (0: as it is); it decides the journal.
    explicit BatchDriverTest(uint64_t fileSystem = 0)
        : share(fileSystem ? std::make_unique<test::FakeFileSystem>(fileSystem) : nullptr)
    {
        fs::create_directory(folder);
    }

    void add(const std::string& name, const ResumeForm& form) { form.save((folder / name).string()); }
    // Résumés r<first>.docx ... r<last>.docx of students 1QP01CS0<k>, or of another college (refused).
    void addMany(int first, int last, const std::string& college = "1QP")
    {
        for (int k = first; k <= last; ++k)
            add("r" + std::to_string(k) + ".docx", ResumeForm::be(college + "01CS0" + std::to_string(k)));
    }
    RunResult run(bool copy = false, bool dontStop = false)
    {
        options.folder = folder.string();
        options.copyErroredResumes = copy;
        options.dontStop = dontStop;
        return RunExtraction(setup.control, view, options);
    }
    std::string log() const { return test::readFile((folder / kErrorLogName).string()); }
    bool told(const std::string& part, MsgIcon icon = MsgIcon::Critical) const
    {
        const auto& shown = setup.messages.messages();
        return std::any_of(shown.begin(), shown.end(), [&](const test::RecordedMessage& m) {
            return m.icon == icon && m.text.find(part) != std::string::npos;
        });
    }

    TempDir dir;
    std::unique_ptr<test::FakeFileSystem> share;
    ExtractionSetup setup{dir};
    fs::path folder = dir.path() / "resumes";
    RecordingView view;
    RunOptions options;
};

const std::string kCopiedNote = "\n\n NOTE: Resumes with errors were copied to a folder 'Kyt_Resumes_WithErrors' "
                                "under the folder selected for extraction ";

// The middle one is refused, and its odd name stays one escaped name in the log. Finish tells where the
// students went, that the refused documents were copied aside, that some copies failed.
TEST_F(BatchDriverTest, ARunOfThreeWithTheSecondRefusedLogsShowsAndCopiesExactly)
{
    const std::string odd = "b\t\r\n\xFF.docx";
    add("a.docx", ResumeForm::be("1QP01CS001"));
    add(odd, ResumeForm::be("2QP01CS007"));
    add("c.docx", ResumeForm::be("1QP01CS003"));
    // One dropped into the folder during the run waits for the next: the progress stays within 100.
    view.onDocument = [&](int document) { if (document == 1) add("d.docx", ResumeForm::be("1QP01CS004")); };

    const RunResult result = run(true);

    const std::string expected =
        "Errors occured during the extraction of the folder : \r\n\r\n\r\n" + folder.string() +
        "\r\n\r\n\r\n\r\n"
        "Filename\t\t\t\t\t Problem\r\n\r\n"
        "==============================================================================\r\n\r\n"
        "\r\nb\\t\\r\\n\\xFF.docx\t\t\r\n"
        "\t\t\t\tError USN 2QP01CS007 - Bad college code ( 2QP). Expe\r\n"
        "\t\t\t\tcting : 1QP\r\n"
        "\t\t\t\tTransaction rolled back\r\n"
        "=-=\r\n\r\n";
    EXPECT_EQ(log(), expected);
    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_EQ(result.scanned, 3);
    EXPECT_EQ(result.rejected, 1);
    EXPECT_EQ(setup.students(), 2);
    EXPECT_EQ(setup.rows("SELECT File FROM RunFault"), (std::vector<std::vector<std::string>>{{"b\\t\\r\\n\\xFF.docx"}}));

    EXPECT_EQ(view.documents, (std::vector<std::string>{"a.docx", odd, "c.docx"}));
    EXPECT_EQ(view.wholeProgress, (std::vector<int>{33, 67, 100}));
    EXPECT_EQ(view.captions.back(), "100 % Kyt v2.8 - Status");
    EXPECT_EQ(view.totalErrors, "1");
    EXPECT_EQ(view.note, "Please see " + folder.string() + "/Kyt_errors.txt  file for description");
    EXPECT_EQ(view.scanned, " Total Documents scanned : 3");
    EXPECT_EQ(view.successful, " No. of Successfully scanned documents :2");
    EXPECT_EQ(setup.control.config.LastResumeFolder, folder.string());
    EXPECT_EQ(setup.control.session.WordApp, nullptr);
    EXPECT_EQ(setup.control.run.ErrorLog, nullptr);

    // The refused document and the log are copied aside.
    const fs::path side = folder / kSideFolderName;
    EXPECT_TRUE(fs::exists(side / odd));
    EXPECT_FALSE(fs::exists(side / "a.docx"));
    EXPECT_EQ(test::readFile((side / kErrorLogName).string()), expected);
    EXPECT_EQ(setup.control.run.CopyFailures, 0);
    const std::string extracted = " The resumes were extracted to " + setup.databasePath;
    ShowFinishMessages(setup.control, true, result.outcome);
    ShowFinishMessages(setup.control, false, result.outcome);
    ASSERT_EQ(setup.messages.messages().size(), 2u);
    EXPECT_EQ(setup.messages.messages()[0].text, extracted + kCopiedNote);
    EXPECT_EQ(setup.messages.messages()[1].text, extracted);

    // Where the side folder cannot be made, failed copies are counted and the run goes on.
    fs::remove(folder / "d.docx");
    fs::remove_all(side);
    test::writeFile(side.string(), "a file where the folder should be");
    setup.control.session.Connector->exec("DELETE FROM Marks");
    setup.control.session.Connector->exec("DELETE FROM Personal");
    EXPECT_EQ(run(true).scanned, 3);
    EXPECT_EQ(setup.control.run.CopyFailures, -1);
    EXPECT_EQ(setup.students(), 2);
    setup.messages.clear();
    ShowFinishMessages(setup.control, true, RunOutcome::Completed);
    ASSERT_EQ(setup.messages.messages().size(), 2u);
    EXPECT_EQ(setup.messages.last().text.rfind("Few resumes with errors were not copied(1) to", 0), 0u);
    EXPECT_EQ(setup.messages.last().icon, MsgIcon::Information);
}

// Every tenth problem the officer is asked whether to go on, unless told not to ask. Finish tells that no résumé
// was stored; after a run its surroundings stopped nothing, as a summary would blame the résumés.
TEST_F(BatchDriverTest, AfterTenProblemsTheOfficerDecides)
{
    const struct {
        const char* what;
        bool dontStop;
        MsgAnswer answer;
        bool logFillsUp;  // the disk holding the log fills up as the tenth document starts
        RunOutcome outcome;
        int scanned;
        const char* logTold;  // what the officer is told of the log after the question
    } cases[] = {
        {"no", false, MsgAnswer::No, false, RunOutcome::Stopped, 10, nullptr},
        {"yes", false, MsgAnswer::Yes, false, RunOutcome::Completed, 12, nullptr},
        {"never asked", true, MsgAnswer::No, false, RunOutcome::Completed, 12, nullptr},
        {"yes, log full", false, MsgAnswer::Yes, true, RunOutcome::EnvironmentFailed, 10,
         "the error log could not be written"},
        {"no, log full", false, MsgAnswer::No, true, RunOutcome::Stopped, 10, "Some lines of the error log"},
    };
    addMany(10, 21, "2QP");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        setup.messages.clear();
        setup.messages.setNextAnswer(c.answer);
        std::unique_ptr<test::FileSizeLimit> fullDisk;
        view.onDocument = [&](int document) {
            if (c.logFillsUp && document == 10)
                fullDisk = std::make_unique<test::FileSizeLimit>(fs::file_size(folder / kErrorLogName));
        };
        view.documents.clear();
        const RunResult result = run(true, c.dontStop);
        fullDisk.reset();

        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.scanned, c.scanned);
        const auto shown = setup.messages.messages();
        // The full disk also keeps the end of a run the officer stopped out of the history, told last, where
        // the database is a file of this process (a server writes to its own disk).
        const bool historyTold = c.logTold && c.outcome == RunOutcome::Stopped && !test::onServer();
        ASSERT_EQ(shown.size(), c.dontStop ? 0u : c.logTold ? 2u + historyTold : 1u);
        if (historyTold) {
            EXPECT_NE(shown[2].text.find("history of runs"), std::string::npos) << shown[2].text;
        }
        if (!c.dontStop) {
            EXPECT_NE(shown[0].text.find("Do you want to continue anyway?"), std::string::npos);
        }
        const std::string text = log();
        if (c.logTold) {
            // The log holds the nine blocks before the disk filled up, whole.
            EXPECT_EQ(shown[1].icon, MsgIcon::Critical);
            EXPECT_NE(shown[1].text.find(c.logTold), std::string::npos) << shown[1].text;
            EXPECT_TRUE(text.ends_with("=-=\r\n\r\n")) << text;
            EXPECT_EQ(text.find("r19.docx"), std::string::npos);
        } else if (c.outcome == RunOutcome::Stopped) {
            // The block of the document at which the run stopped closes with its name and "-".
            EXPECT_TRUE(text.ends_with("\r\nr19.docx-\r\n\r\n")) << text;
            EXPECT_EQ(view.wholeProgress.back(), 100);
            EXPECT_TRUE(fs::exists(folder / kSideFolderName / "r19.docx"));
            EXPECT_FALSE(fs::exists(folder / kSideFolderName / "r20.docx"));
        } else {
            EXPECT_EQ(text.find("-\r\n\r\n"), std::string::npos);
        }
        fs::remove_all(folder / kSideFolderName);
        setup.messages.clear();
        ShowFinishMessages(setup.control, !c.dontStop, result.outcome);
        const std::string none = " All resumes contained critical errors " + (c.dontStop ? "" : kCopiedNote);
        if (c.outcome == RunOutcome::EnvironmentFailed)
            EXPECT_TRUE(setup.messages.messages().empty());
        else
            EXPECT_EQ(setup.messages.messages().at(0).text, none);
    }
}

// A run that cannot start says why and touches nothing; the document reader is not left running.
TEST_F(BatchDriverTest, ARunThatCannotStartTouchesNothing)
{
    auto refused = [&](RunOutcome outcome, const std::string& message) {
        setup.messages.clear();
        EXPECT_EQ(run().outcome, outcome) << message;
        ASSERT_EQ(setup.messages.messages().size(), 1u) << message;
        EXPECT_EQ(setup.messages.last().title, "Error.");
        EXPECT_EQ(setup.messages.last().icon, MsgIcon::Critical);
        EXPECT_EQ(setup.messages.last().text.rfind(message, 0), 0u) << setup.messages.last().text;
        EXPECT_EQ(setup.control.session.WordApp, nullptr) << message;
        EXPECT_TRUE(view.documents.empty());
        EXPECT_FALSE(fs::is_regular_file(folder / kErrorLogName));
    };
    test::writeFile((folder / "notes.txt").string(), "not a résumé");
    refused(RunOutcome::NoDocuments, "Could not find any Word Document. ");

    add("a.docx", ResumeForm::be("1QP01CS001"));
    fs::create_directory(folder / kErrorLogName);
    refused(RunOutcome::CouldNotStart, "Kyt could not create the error log ");
    fs::remove(folder / kErrorLogName);

    const int otherRun = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(flock(otherRun, LOCK_EX), 0);
    refused(RunOutcome::CouldNotStart, "Another Kyt run is extracting the folder");
    close(otherRun);

    setup.control.session.Connector->CloseConnection();
    refused(RunOutcome::CouldNotStart, "Kyt is not connected to its database");
    setup.control.session.Connector->ConnectToDataBase("Admin", "", setup.databasePath);

    // Then it runs, leaves no log and no side folder when nothing is refused, and adds to the statistics.
    setup.control.config.TotalDocumentsScanned = 3;
    setup.control.config.TotalScanSeconds = 8;
    std::vector<double> ticks{10, 14};  // the document takes 4 seconds by this clock
    options.clock = [&, next = size_t{0}]() mutable { return ticks.at(next++); };
    const RunResult result = run(true);
    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_EQ(setup.students(), 1);
    EXPECT_TRUE(result.logPath.empty());
    EXPECT_FALSE(fs::exists(folder / kErrorLogName));
    EXPECT_FALSE(fs::exists(folder / kSideFolderName));
    EXPECT_EQ(setup.control.config.TotalDocumentsScanned, 4);
    EXPECT_DOUBLE_EQ(setup.control.config.TotalScanSeconds, 12);
    EXPECT_DOUBLE_EQ(setup.control.config.AverageScanSeconds, 3);
}

// A failing environment is not a bad résumé: the run stops at once, the résumé being read is rolled
// back and not logged, the documents after it are left for the next run, and the officer is told why.
enum class Fault { WriteLock, FullDatabase, FullFileSystem, LockAtTheBranchLookup, CommitKeptFromCompleting };

class EnvironmentFaults : public BatchDriverTest, public ::testing::WithParamInterface<Fault> {
protected:
    // A network share keeps the rollback journal, where readers and writers block each other.
    EnvironmentFaults() : BatchDriverTest(GetParam() >= Fault::LockAtTheBranchLookup ? test::kNfs : 0) {}
};

TEST_P(EnvironmentFaults, StopTheRunAndARerunTakesTheRest)
{
    add("a-bad.docx", ResumeForm::be("2QP01CS009"));
    addMany(10, 29);
    db::Database& database = *setup.control.session.Connector->GetCurrentConnection();
    database.setBusyTimeout(0);
    std::unique_ptr<test::DatabaseLock> lock;
    std::unique_ptr<test::FileSizeLimit> fullDisk;
    sqlite3* holder = nullptr;
    // The surroundings fail once the run has begun (recorded in the history, the first résumé refused).
    view.onDocument = [&](int document) {
        if (document != 2)
            return;
        switch (GetParam()) {
        case Fault::WriteLock: lock = std::make_unique<test::DatabaseLock>(setup.databasePath); break;
        case Fault::FullDatabase: ASSERT_TRUE(test::fillDisk(database)); break;
        case Fault::FullFileSystem:
            // The database may grow by a few pages only: some students fit, then the disk is full.
            fullDisk = std::make_unique<test::FileSizeLimit>(fs::file_size(setup.databasePath) + 2 * 4096);
            ASSERT_TRUE(fullDisk->active());
            break;
        case Fault::LockAtTheBranchLookup:
            // Another program holds the whole file: nothing can be read, the branch table first of all.
            ASSERT_EQ(sqlite3_open(setup.databasePath.c_str(), &holder), SQLITE_OK);
            ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
            break;
        case Fault::CommitKeptFromCompleting:
            // A reader in the middle of a read lets the rows be written, but no commit can complete.
            lock = std::make_unique<test::DatabaseLock>(setup.databasePath, test::DatabaseLock::Kind::Read);
            break;
        }
    };
    const RunResult result = run();
    view.onDocument = nullptr;
    lock.reset();
    fullDisk.reset();
    sqlite3_close_v2(holder);
    db::Failure failure;
    database.exec("PRAGMA max_page_count = 1073741823", failure);

    const std::string cause = GetParam() == Fault::FullDatabase     ? "full"
                              : GetParam() == Fault::FullFileSystem ? "could not be read or written"
                                                                    : "locked";
    EXPECT_EQ(result.outcome, RunOutcome::EnvironmentFailed);
    EXPECT_NE(result.stopReason.find(cause), std::string::npos) << result.stopReason;
    EXPECT_TRUE(told(cause));
    EXPECT_NE(view.note.find(cause), std::string::npos) << view.note;
    // Only the résumé at fault is logged; the one that met the failing surroundings is neither logged
    // nor counted (a commit that failed included), and every student stored is whole.
    EXPECT_EQ(result.rejected, 1);
    EXPECT_NE(log().find("a-bad.docx"), std::string::npos);
    EXPECT_EQ(log().find("\r\nr"), std::string::npos) << log();
    EXPECT_EQ(setup.students(), result.scanned - 1);
    EXPECT_EQ(setup.control.run.SuccessfulDocuments, setup.students());
    EXPECT_EQ(setup.marks(), 10 * setup.students());

    setup.messages.clear();
    EXPECT_EQ(run().outcome, RunOutcome::Completed);
    EXPECT_EQ(setup.students(), 20);
}

INSTANTIATE_TEST_SUITE_P(BatchDriver, EnvironmentFaults,
                         ::testing::Values(Fault::WriteLock, Fault::FullDatabase, Fault::FullFileSystem,
                                           Fault::LockAtTheBranchLookup, Fault::CommitKeptFromCompleting));

// A server that goes away in the middle of a run (here: the administrator ends the session) stops it
// with the reason; every student stored before is there, whole, and a run after a new start takes the rest.
TEST_F(BatchDriverTest, AServerThatGoesAwayMidRunStopsItAndKeepsEveryStoredStudent)
{
    if (!test::onServer())
        GTEST_SKIP() << "a server's";
    addMany(10, 19);
    view.onDocument = [&](int document) {
        std::string error;
        if (document == 4) {
            EXPECT_TRUE(test::serverAdmin(setup.databasePath,
                                          "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = "
                                          "current_database() AND pid <> pg_backend_pid()",
                                          &error))
                << error;
        }
    };
    const RunResult result = run();
    EXPECT_EQ(result.outcome, RunOutcome::EnvironmentFailed);
    EXPECT_NE(result.stopReason.find("connection to the server"), std::string::npos) << result.stopReason;
    EXPECT_TRUE(told("connection to the server"));
    EXPECT_EQ(result.rejected, 0);
    EXPECT_EQ(setup.students(), 3);
    EXPECT_EQ(setup.marks(), 30);

    view.onDocument = nullptr;
    setup.messages.clear();
    setup.control.session.Connector->CloseConnection();
    setup.control.session.Connector->ConnectToDataBase("Admin", "", setup.databasePath);
    EXPECT_EQ(run().outcome, RunOutcome::Completed);
    EXPECT_EQ(setup.students(), 10);
    EXPECT_EQ(setup.marks(), 100);
}

// As root, a read-only folder is writable: the run goes on in a child that is not root.
TEST_F(BatchDriverTest, AReadOnlyDatabaseFolderStopsTheRun)
{
    addMany(1, 2);
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
        return result.stopReason.find(setup.databasePath) != std::string::npos && setup.students() == 0 ? 0 : 2;
    });
    EXPECT_EQ(stopped, 0);
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

// Documents from the wild are none of them a résumé of the form: each is refused on its own and the run reaches
// the end. Read one ahead of the run, the résumés among them are each stored or refused under their own name.
// Older formats are converted once and read: .doc résumés made from our form by the word processor itself.
TEST_F(BatchDriverTest, RealWorldAndOlderDocumentsAreEachTakenUnderTheirOwnName)
{
    if (!fs::is_directory(KYT_CORPUS_DIR))
        GTEST_SKIP() << "no real-world documents here: the folder " KYT_CORPUS_DIR " is absent";
    int copied = 0;
    for (const auto& entry : fs::recursive_directory_iterator(KYT_CORPUS_DIR)) {
        if (entry.is_regular_file() && entry.path().extension() == ".docx")
            fs::copy_file(entry.path(), folder / (std::to_string(copied++) + "-" + entry.path().filename().string()));
    }
    ASSERT_GT(copied, 0) << "no real-world documents at " << KYT_CORPUS_DIR;
    addMany(10, 14);
    add("r12.docx", ResumeForm::be("2QP01CS012"));
    test::writeFile((folder / "r13.docx").string(), "not a word document");
    const int legacy = word::Application::libreOfficeAvailable() ? 2 : 0;
    if (legacy) {
        ResumeForm::be("1QP01CS001").save(dir.file("first.docx"));
        ResumeForm::mca("1QP01MCA02").save(dir.file("second.docx"));
        const std::string command = "soffice --headless --norestore '-env:UserInstallation=file://" +
                                    dir.file("profile") + "' --convert-to doc --outdir '" + folder.string() + "' '" +
                                    dir.file("first.docx") + "' '" + dir.file("second.docx") + "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    const RunResult result = run(false, true);
    EXPECT_EQ(result.scanned, copied + 5 + legacy);
    EXPECT_EQ(result.rejected, copied + 2);
    EXPECT_EQ(view.converting, legacy);
    const std::string stored = "1QP01CS010 1QP01CS011 1QP01CS014";
    EXPECT_EQ(setup.rows("SELECT group_concat(USN, ' ') FROM (SELECT USN FROM Personal ORDER BY USN)").at(0).at(0),
              legacy ? "1QP01CS001 " + stored + " 1QP01MCA02" : stored);
    EXPECT_EQ(setup.marks(), legacy ? 48 : 30);  // an MCA résumé has 8 marks rows
    const std::string text = log();
    size_t blocks = 0;
    for (size_t at = text.find("=-=\r\n"); at != std::string::npos; at = text.find("=-=\r\n", at + 1))
        ++blocks;
    EXPECT_EQ(blocks, static_cast<size_t>(copied + 2));
    const size_t badCollege = text.find("\r\nr12.docx\t\t"), unreadable = text.find("\r\nr13.docx\t\t");
    ASSERT_LT(badCollege, unreadable) << text;
    EXPECT_LT(text.find("Error USN 2QP01CS012", badCollege), unreadable);
    EXPECT_NE(text.find("valid format resume", unreadable), std::string::npos);
}

// With the write-ahead log the officer queries while a run writes; the run empties the log into the database at
// its end. A reader mid-read then keeps it from being emptied: the students are stored, the officer is told, and
// closing the program finishes the job. A run after it that stores none has nothing kept there, and tells nothing.
class ReadingDuringARun : public BatchDriverTest {
protected:
    ReadingDuringARun() : BatchDriverTest(test::kExt4) {}
};

TEST_F(ReadingDuringARun, ALogThatCannotBeEmptiedAtTheEndIsToldAndClosingEmptiesIt)
{
    const std::string wal = setup.databasePath + "-wal";
    const auto walSize = [&] { return fs::exists(wal) ? fs::file_size(wal) : 0; };
    setup.control.session.Connector->GetCurrentConnection()->setBusyTimeout(0);
    auto reader = std::make_unique<test::DatabaseLock>(setup.databasePath, test::DatabaseLock::Kind::Read);
    addMany(11, 18);
    EXPECT_EQ(run().rejected, 0);
    EXPECT_EQ(setup.students(), 8);
    ASSERT_EQ(setup.messages.messages().size(), 1u);
    EXPECT_TRUE(told("The students of this run are stored", MsgIcon::Information));
    EXPECT_TRUE(told("kept in " + wal, MsgIcon::Information));
    EXPECT_TRUE(told("locked", MsgIcon::Information));
    EXPECT_GT(walSize(), 0u);

    fs::remove_all(folder);
    fs::create_directory(folder);
    addMany(1, 1, "2QP");
    setup.messages.clear();
    run(false, true);
    EXPECT_FALSE(told("kept in", MsgIcon::Information));

    reader.reset();
    CloseDown(setup.control);
    EXPECT_EQ(walSize(), 0u);
    EXPECT_EQ(setup.students(), 8);
}

}  // namespace
}  // namespace kyt
