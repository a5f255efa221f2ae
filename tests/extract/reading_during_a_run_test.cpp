// The officer queries while an extraction writes: with the write-ahead log both go on, the reader sees
// whole students only, and the run leaves the database file holding everything.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <map>

#include "db/data_connector.h"
#include "db/database.h"
#include "extract/batch_driver.h"
#include "shell/startup.h"
#include "support/db_faults.h"
#include "support/extraction_fixture.h"

namespace kyt {
namespace {

namespace fs = std::filesystem;
using test::ExtractionSetup;
using test::ResumeForm;
using test::TempDir;

// One student as a reader sees it: the Personal row with its aggregates and projects, and how many
// marks rows it has.
const char* kStudents =
    "SELECT p.USN, p.one_to_4, p.one_to_8, p.finalproject1, (SELECT count(*) FROM Marks m WHERE m.usn = p.USN) "
    "FROM Personal p ORDER BY p.USN";

using Snapshot = std::map<std::string, std::string>;

Snapshot snapshot(db::Database& reader)
{
    Snapshot out;
    db::Recordset rs;
    db::Failure failure;
    EXPECT_TRUE(reader.openRecordset(kStudents, rs, failure)) << failure.description;
    for (; !rs.isEOF(); rs.MoveNext()) {
        std::string row;
        for (int c = 1; c < rs.fieldCount(); ++c)
            row += rs.field(c).toText() + "|";
        out[rs.field(0).toText()] = row;
    }
    return out;
}

uintmax_t sizeOrZero(const fs::path& path)
{
    std::error_code ec;
    const uintmax_t size = fs::file_size(path, ec);
    return ec ? 0 : size;
}

struct NullView : ExtractionView {
    void startDocument(const std::string&) override { ++document; }
    void setResumeProgress(int percent) override
    {
        if (onProgress)
            onProgress(document, percent);
    }
    void setDocumentErrors(const std::string&) override {}
    void setTotalErrors(const std::string&) override {}
    void showScannedText(const std::string&) override {}
    void setWholeProgress(int) override {}
    std::string caption() const override { return {}; }
    void setCaption(const std::string&) override {}
    void showNote(const std::string&) override {}
    void showSuccessfulText(const std::string&) override {}
    void showScanningHeading() override {}
    void showComplete() override {}

    int document = 0;
    std::function<void(int document, int percent)> onProgress;
};

class ReadingDuringARun : public ::testing::Test {
protected:
    ReadingDuringARun()
    {
        fs::create_directory(folder);
        for (int k = 1; k <= kDocuments; ++k)
            ResumeForm::be("1QP01CS0" + std::to_string(10 + k)).save((folder / ("r" + std::to_string(10 + k) + ".docx")).string());
    }
    RunResult run()
    {
        RunOptions options;
        options.folder = folder.string();
        options.dontStop = true;
        return RunExtraction(setup.control, view, options);
    }
    db::Database& writer() { return *setup.control.session.Connector->GetCurrentConnection(); }

    static constexpr int kDocuments = 8;
    TempDir dir;
    test::FakeFileSystem localDisk{test::kExt4};
    ExtractionSetup setup{dir};
    fs::path folder = dir.path() / "resumes";
    NullView view;
};

// The reader reads in the middle of each student's transaction (the Personal row written, its marks
// not yet), and one read stays open across several commits, as a long query would.
TEST_F(ReadingDuringARun, TheReaderSeesWholeStudentsAndTheRunStoresThemAll)
{
    ASSERT_EQ(writer().storage().mode, db::JournalMode::WriteAheadLog) << writer().storage().reason;
    db::Failure failure;
    auto reader = db::Database::open(setup.databasePath, db::Road::Query, failure);
    ASSERT_TRUE(reader) << failure.description;

    std::vector<Snapshot> seen;  // at document k, in the middle of its transaction
    sqlite3* longReader = nullptr;
    ASSERT_EQ(sqlite3_open_v2(setup.databasePath.c_str(), &longReader, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* longRead = nullptr;
    Snapshot longReadRows;
    view.onProgress = [&](int document, int percent) {
        if (percent != 43 || static_cast<int>(seen.size()) >= document)
            return;
        EXPECT_TRUE(writer().inTransaction()) << "document " << document;
        seen.push_back(snapshot(*reader));
        if (document == 2) {
            ASSERT_EQ(sqlite3_prepare_v2(longReader, kStudents, -1, &longRead, nullptr), SQLITE_OK);
            ASSERT_EQ(sqlite3_step(longRead), SQLITE_ROW);  // the read has begun and holds its view
        }
        if (document == 6 && longRead) {
            int rc = SQLITE_ROW;
            for (; rc == SQLITE_ROW; rc = sqlite3_step(longRead)) {
                std::string row;
                for (int c = 1; c < 5; ++c)
                    row += reinterpret_cast<const char*>(sqlite3_column_text(longRead, c)) + std::string("|");
                longReadRows[reinterpret_cast<const char*>(sqlite3_column_text(longRead, 0))] = row;
            }
            EXPECT_EQ(rc, SQLITE_DONE);
            sqlite3_finalize(longRead);
            longRead = nullptr;
        }
    };

    const RunResult result = run();
    sqlite3_close_v2(longReader);
    EXPECT_EQ(result.rejected, 0);
    EXPECT_EQ(result.scanned, kDocuments);
    EXPECT_TRUE(setup.messages.messages().empty());

    const Snapshot stored = snapshot(*reader);
    ASSERT_EQ(stored.size(), static_cast<size_t>(kDocuments));
    ASSERT_EQ(seen.size(), static_cast<size_t>(kDocuments));
    for (size_t k = 0; k < seen.size(); ++k) {
        EXPECT_EQ(seen[k].size(), k) << "at document " << k + 1 << " the committed students are the earlier ones";
        for (const auto& [usn, row] : seen[k])
            EXPECT_EQ(row, stored.at(usn)) << usn << " read at document " << k + 1 << " is not whole";
    }
    // The long read saw the database as it was when it began, though four students were committed
    // meanwhile.
    ASSERT_EQ(longReadRows.size(), 1u);
    EXPECT_EQ(longReadRows.begin()->second, stored.at(longReadRows.begin()->first));

    // The run ended with the log emptied into the database file, while both connections stay open.
    EXPECT_EQ(sizeOrZero(setup.databasePath + "-wal"), 0u);
}

// A reader in the middle of a read when the run ends keeps the log from being emptied: the students
// are stored all the same, the officer is told, and closing the program finishes the job.
TEST_F(ReadingDuringARun, ALogThatCannotBeEmptiedAtTheEndIsToldAndClosingEmptiesIt)
{
    writer().setBusyTimeout(100);
    auto reader = std::make_unique<test::DatabaseLock>(setup.databasePath, test::DatabaseLock::Kind::Read);
    ASSERT_TRUE(reader->held());

    const RunResult result = run();
    EXPECT_EQ(result.rejected, 0);
    EXPECT_EQ(setup.count("SELECT count(*) FROM Personal"), kDocuments);
    ASSERT_EQ(setup.messages.messages().size(), 1u);
    const auto& told = setup.messages.last();
    EXPECT_EQ(told.icon, MsgIcon::Information);
    EXPECT_NE(told.text.find("The students of this run are stored"), std::string::npos) << told.text;
    EXPECT_NE(told.text.find(setup.databasePath + "-wal"), std::string::npos) << told.text;
    EXPECT_NE(told.text.find("locked"), std::string::npos) << told.text;
    EXPECT_GT(sizeOrZero(setup.databasePath + "-wal"), 0u);

    reader.reset();
    CloseDown(setup.control);
    EXPECT_EQ(sizeOrZero(setup.databasePath + "-wal"), 0u);
    EXPECT_EQ(setup.count("SELECT count(*) FROM Personal"), kDocuments);
}

}  // namespace
}  // namespace kyt
