// The journal a database keeps follows the disk it is on: a write-ahead log on a local disk, the
// rollback journal on a network share. Every failure path works the same in both.

#include <gtest/gtest.h>
#include <linux/magic.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "db/storage.h"
#include "seed.h"
#include "support/db_faults.h"
#include "support/file_size_limit.h"

namespace kyt::test {
namespace {

namespace fs = std::filesystem;
using db::Database;
using db::Failure;
using db::JournalMode;
using db::Road;

std::string text(Database& database, const std::string& sql)
{
    db::Recordset rs;
    Failure failure;
    EXPECT_TRUE(database.query(sql, rs, failure)) << sql << "\n" << failure.description;
    return rs.isEOF() ? std::string() : rs.field(0).toText();
}

long students(Database& database)
{
    return std::stol(text(database, "SELECT count(*) FROM Personal"));
}

// The file format's own record of the mode: bytes 18 and 19 of the header are 2 for a write-ahead log.
int headerVersion(const std::string& path)
{
    return static_cast<unsigned char>(readFile(path).at(18));
}

uintmax_t sizeOrZero(const std::string& path)
{
    std::error_code ec;
    const uintmax_t size = fs::file_size(path, ec);
    return ec ? 0 : size;
}

using JournalChoice = DatabaseTest;
using Checkpoint = DatabaseTest;

struct FileSystemCase {
    const char* name;
    uint64_t type;  // 0: statfs cannot tell
    JournalMode mode;
    const char* because;  // in the reason
};

// One database opened on one file system after another: each open switches it to the journal its
// file system calls for, in both directions, and the students stay.
TEST_F(JournalChoice, FollowsTheFileSystemOfTheDatabase)
{
    const FileSystemCase cases[] = {
        {"nfs", NFS_SUPER_MAGIC, JournalMode::Rollback, "network share (nfs)"},
        {"sshfs", FUSE_SUPER_MAGIC, JournalMode::Rollback, "network share (fuse)"},
        {"ext4", EXT4_SUPER_MAGIC, JournalMode::WriteAheadLog, "local disk (ext4)"},
        {"unknown", 0x12345678, JournalMode::Rollback, "(type 0x12345678) that Kyt does not know to be a local disk"},
        {"tmpfs", TMPFS_MAGIC, JournalMode::WriteAheadLog, "local disk (tmpfs)"},
        {"not told", 0, JournalMode::Rollback, "could not be identified"},
    };
    int stored = 0;
    for (const FileSystemCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFileSystem fileSystem(c.type);
        Failure failure;
        auto db = Database::open(path, Road::Connector, failure);
        ASSERT_TRUE(db) << failure.description;
        EXPECT_EQ(db->storage().mode, c.mode);
        EXPECT_NE(db->storage().reason.find(c.because), std::string::npos) << db->storage().reason;
        EXPECT_TRUE(db->storage().warning.empty()) << db->storage().warning;
        const bool wal = c.mode == JournalMode::WriteAheadLog;
        EXPECT_EQ(text(*db, "PRAGMA journal_mode"), wal ? "wal" : "delete");
        EXPECT_EQ(text(*db, "PRAGMA synchronous"), "2");  // full
        EXPECT_EQ(headerVersion(path), wal ? 2 : 1);

        run(*db, personalInsert({.usn = "1QP22CS" + std::to_string(100 + ++stored)}));
        EXPECT_EQ(students(*db), stored);
    }
}

// An officer moves the database (with its log, as a copy taken while Kyt had it open) from the local
// disk to the office share: it opens with the rollback journal, and nothing of the log is lost.
TEST_F(JournalChoice, ADatabaseMovedToANetworkFolderOpensWithTheRollbackJournal)
{
    const std::string& local = path;
    const std::string moved = dir.file("moved.db");
    Failure failure;
    {
        FakeFileSystem disk(EXT4_SUPER_MAGIC);
        auto before = Database::open(local, Road::Connector, failure);
        ASSERT_TRUE(before) << failure.description;
        run(*before, personalInsert({.usn = "1QP22CS001"}));
        run(*before, personalInsert({.usn = "1QP22CS002"}));
        ASSERT_GT(sizeOrZero(local + "-wal"), 0u);  // the students are in the log, not yet in the file
        fs::copy_file(local, moved);
        fs::copy_file(local + "-wal", moved + "-wal");
    }
    FakeFileSystem share(NFS_SUPER_MAGIC);
    auto after = Database::open(moved, Road::Connector, failure);
    ASSERT_TRUE(after) << failure.description;
    EXPECT_EQ(after->storage().mode, JournalMode::Rollback);
    EXPECT_EQ(headerVersion(moved), 1);
    EXPECT_FALSE(fs::exists(moved + "-wal"));
    EXPECT_EQ(students(*after), 2);
    EXPECT_EQ(text(*after, "PRAGMA integrity_check"), "ok");
}

// Another program has the database open in write-ahead-log mode: the log cannot be ended, the
// database still opens and takes students, and the officer is told what to do.
TEST_F(JournalChoice, AWriteAheadLogOnAShareInUseStaysAndTheOfficerIsTold)
{
    Failure failure;
    {
        FakeFileSystem disk(EXT4_SUPER_MAGIC);
        auto local = Database::open(path, Road::Connector, failure);
        ASSERT_TRUE(local && local->storage().mode == JournalMode::WriteAheadLog) << failure.description;
    }
    DatabaseLock other(path, DatabaseLock::Kind::Open);
    ASSERT_TRUE(other.held());

    FakeFileSystem share(NFS_SUPER_MAGIC);
    auto db = Database::open(path, Road::Connector, failure);
    ASSERT_TRUE(db) << failure.description;
    EXPECT_EQ(db->storage().mode, JournalMode::WriteAheadLog);
    const std::string& warning = db->storage().warning;
    EXPECT_NE(warning.find(path), std::string::npos) << warning;
    EXPECT_NE(warning.find("could not switch it to the rollback journal"), std::string::npos) << warning;
    EXPECT_NE(warning.find("(nfs, not a local disk)"), std::string::npos) << warning;
    run(*db, personalInsert({.usn = "1QP22CS001"}));
    EXPECT_EQ(students(*db), 1);
}

// An officer copies kyt.db alone as a backup: after a checkpoint the copy holds every student.
TEST_F(Checkpoint, EmptiesTheLogIntoTheDatabaseFileUnlessItCannot)
{
    FakeFileSystem disk(EXT4_SUPER_MAGIC);
    Failure failure;
    std::unique_ptr<Database> db = Database::open(path, Road::Connector, failure);
    ASSERT_TRUE(db) << failure.description;
    Database& database = *db;
    run(database, personalInsert({.usn = "1QP22CS001"}));
    ASSERT_GT(sizeOrZero(path + "-wal"), 0u);

    ASSERT_TRUE(database.checkpoint(failure)) << failure.description;
    EXPECT_EQ(sizeOrZero(path + "-wal"), 0u);
    fs::copy_file(path, dir.file("backup.db"));
    EXPECT_EQ(students(*Database::open(dir.file("backup.db"), Road::Connector, failure)), 1);

    // Inside a transaction there is nothing whole to write: refused, and the transaction goes on.
    ASSERT_TRUE(database.begin(failure));
    run(database, personalInsert({.usn = "1QP22CS002"}));
    EXPECT_FALSE(database.checkpoint(failure));
    EXPECT_TRUE(database.inTransaction());
    ASSERT_TRUE(database.commit(failure)) << failure.description;

    // A reader in the middle of a read makes it wait, then say the database is locked.
    database.setBusyTimeout(100);
    {
        DatabaseLock reader(path, DatabaseLock::Kind::Read);
        ASSERT_TRUE(reader.held());
        EXPECT_FALSE(database.checkpoint(failure));
        EXPECT_NE(failure.description.find("locked"), std::string::npos) << failure.description;
    }

    // Closing empties it too, even while another program keeps the database open.
    DatabaseLock other(path, DatabaseLock::Kind::Open);
    ASSERT_TRUE(other.held());
    ASSERT_GT(sizeOrZero(path + "-wal"), 0u);
    db.reset();
    EXPECT_EQ(sizeOrZero(path + "-wal"), 0u);
}

// The parameter: on a local disk (a write-ahead log) rather than a network share (the rollback journal).
class InEachJournal : public DatabaseTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        fileSystem = std::make_unique<FakeFileSystem>(wal() ? EXT4_SUPER_MAGIC : NFS_SUPER_MAGIC);
        ASSERT_EQ(openDb()->storage().mode == JournalMode::WriteAheadLog, wal());
    }
    bool wal() const { return GetParam(); }

    std::unique_ptr<FakeFileSystem> fileSystem;
};

// A lock held elsewhere fails clearly instead of hanging; the writes of the student whose begin found
// it do not run outside a transaction once the lock is gone.
TEST_P(InEachJournal, ALockHeldElsewhereFailsClearlyAndTheStudentWaitsForTheNextBegin)
{
    db::DataConnector connector;
    ASSERT_EQ(connector.ConnectToDataBase("placement", "", path), 2) << connector.ErrDesc;
    connector.GetCurrentConnection()->setBusyTimeout(100);
    DatabaseLock other(path);
    ASSERT_TRUE(other.held());
    connector.BeginTransaction();
    EXPECT_NE(connector.ErrDesc.find("locked"), std::string::npos) << connector.ErrDesc;
    EXPECT_NE(connector.ErrDesc.find(path), std::string::npos) << connector.ErrDesc;
    other.release();  // the lock goes away between two writes of one student

    EXPECT_NE(connector.exec(personalInsert({.usn = "1QP22CS001"})), -13);
    EXPECT_NE(connector.ErrDesc.find("locked"), std::string::npos) << connector.ErrDesc;
    connector.RollBackTransaction();
    EXPECT_EQ(students(*openDb()), 0);

    connector.BeginTransaction();
    EXPECT_EQ(connector.exec(personalInsert({.usn = "1QP22CS001"})), -13) << connector.ErrDesc;
    connector.EndTransaction();
    EXPECT_FALSE(connector.CommitFailed());
    EXPECT_EQ(students(*openDb()), 1);
}

// The commit is where a student becomes durable; one that cannot happen is rolled back and told.
// With the rollback journal a reader in the middle of a read keeps the commit from taking the file;
// the write-ahead log lets readers be, so there the log is kept from growing, as on a full disk.
TEST_P(InEachJournal, ACommitThatCannotHappenIsRolledBackAndReported)
{
    db::DataConnector connector;
    ASSERT_EQ(connector.ConnectToDataBase("placement", "", path), 2) << connector.ErrDesc;
    connector.GetCurrentConnection()->setBusyTimeout(100);
    connector.BeginTransaction();
    ASSERT_EQ(connector.exec(personalInsert({.usn = "1QP22CS001"})), -13);
    {
        std::unique_ptr<DatabaseLock> reader;
        std::unique_ptr<FileSizeLimit> limit;
        if (wal()) {
            limit = std::make_unique<FileSizeLimit>(sizeOrZero(path + "-wal") + 100);
            ASSERT_TRUE(limit->active());
        } else {
            reader = std::make_unique<DatabaseLock>(path, DatabaseLock::Kind::Read);
            ASSERT_TRUE(reader->held());
        }
        connector.EndTransaction();
    }
    EXPECT_TRUE(connector.CommitFailed());
    EXPECT_NE(connector.ErrNo, 0);
    EXPECT_NE(connector.ErrDesc.find(path), std::string::npos) << connector.ErrDesc;
    EXPECT_NE(connector.ErrDesc.find(wal() ? "could not be read or written" : "locked"), std::string::npos)
        << connector.ErrDesc;
    EXPECT_FALSE(connector.GetCurrentConnection()->inTransaction());
    EXPECT_EQ(students(*openDb()), 0);

    // The next student goes in as usual.
    connector.BeginTransaction();
    ASSERT_EQ(connector.exec(personalInsert({.usn = "1QP22CS002"})), -13);
    connector.EndTransaction();
    EXPECT_FALSE(connector.CommitFailed()) << connector.ErrDesc;
    EXPECT_EQ(students(*openDb()), 1);
}

// A process killed mid-transaction (a power cut): what it committed stays, on a local disk only in
// the log, and nothing of the transaction under way does.
TEST_P(InEachJournal, AProcessKilledMidTransactionLeavesTheLastCommittedState)
{
    run(*openDb(), personalInsert({.usn = "1QP22CS000", .name = "Committed"}));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A small page cache makes the engine write changed pages out before the commit (into the
        // file with the journal keeping the old ones, or into the log), so the kill leaves them there.
        Failure failure;
        auto db = Database::open(path, Road::Connector, failure);
        if (!db || !db->exec(personalInsert({.usn = "1QP22CS099", .name = "Committed too"}), failure) ||
            !db->exec("PRAGMA cache_size = 5", failure) || !db->begin(failure))
            _exit(2);
        for (int i = 1; i <= 400; ++i)
            if (!db->exec(personalInsert({.usn = "1QP22CS" + std::to_string(100 + i), .hobbies = std::string(240, 'h'),
                                          .eca = std::string(240, 'e')}),
                          failure))
                _exit(3);
        if (!db->exec("UPDATE Personal SET Name = 'Changed' WHERE USN = '1QP22CS000'", failure))
            _exit(5);
        kill(getpid(), SIGKILL);
        _exit(4);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "child ended with " << WEXITSTATUS(status);
    // The kill came mid-transaction, with its pages written out.
    if (wal())
        ASSERT_GT(sizeOrZero(path + "-wal"), 100000u);
    else
        ASSERT_TRUE(fs::exists(path + "-journal"));

    auto db = openDb();
    EXPECT_EQ(column(*db, "SELECT Name FROM Personal ORDER BY USN", "Name"),
              (std::vector<std::string>{"Committed", "Committed too"}));
    EXPECT_EQ(text(*db, "PRAGMA integrity_check"), "ok");
}

INSTANTIATE_TEST_SUITE_P(Journals, InEachJournal, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "WriteAheadLog" : "RollbackJournal"; });

}  // namespace
}  // namespace kyt::test
