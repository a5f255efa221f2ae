#pragma once
// Database faults for tests: another program holding the file, a disk that is full, a folder that is
// a network share.

#include <cstdint>
#include <string>

#include "db/storage.h"

struct sqlite3;

namespace kyt::db {
class Database;
}

namespace kyt::test {

// A second connection that holds a lock on the database file until it is released or destroyed.
// Write: another writer in the middle of its transaction (begins and writes of others wait, then fail).
// Read: a reader in the middle of a read (others can write, but no commit can complete).
// Open: another program that has read and keeps the file open, holding no lock.
class DatabaseLock {
public:
    enum class Kind { Write, Read, Open };

    DatabaseLock(const std::string& path, Kind kind = Kind::Write);
    ~DatabaseLock();
    DatabaseLock(const DatabaseLock&) = delete;
    DatabaseLock& operator=(const DatabaseLock&) = delete;

    bool held() const { return held_; }
    void release();

private:
    sqlite3* db_ = nullptr;
    bool held_ = false;
};

// The database file cannot grow any more on this connection: the next write that needs a new page
// fails as on a full disk. Returns false when the limit could not be set.
bool fillDisk(db::Database& database);

// While it lives, the file system of every database reads as `type` (a statfs type: 0x6969 is NFS;
// 0: one statfs cannot tell). Databases opened meanwhile keep the journal that type calls for.
class FakeFileSystem {
public:
    explicit FakeFileSystem(uint64_t type);
    ~FakeFileSystem();
    FakeFileSystem(const FakeFileSystem&) = delete;
    FakeFileSystem& operator=(const FakeFileSystem&) = delete;

private:
    db::FileSystemProbe previous_;
};

inline constexpr uint64_t kNfs = 0x6969;
inline constexpr uint64_t kExt4 = 0xEF53;

}  // namespace kyt::test
