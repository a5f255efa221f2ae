#pragma once
// How a database file is kept on its disk. A write-ahead log commits a student with one flush, and lets
// readers read while a run writes; it needs memory shared between the programs that use the file, which
// a network share does not give. So: a local disk gets the write-ahead log, a network share (or a file
// system we cannot vouch for) the rollback journal. Both with full sync: a committed student survives a
// power cut.

#include <cstdint>
#include <functional>
#include <string>

namespace kyt::db {

enum class JournalMode { Rollback, WriteAheadLog };

// The file system that holds a file, as statfs tells it.
struct FileSystem {
    bool known = false;    // statfs answered
    uint64_t type = 0;     // its f_type
    std::string name;      // "ext4", "nfs", ... or the type in hexadecimal
    bool network = false;  // shared over a network or through a user-space layer
    bool local = false;    // a disk of this computer that we know the write-ahead log works on
};

// Names a statfs file-system type and says whether it is a network share or a local disk.
FileSystem describeFileSystem(uint64_t type);

// The file system holding `path` (a file or a folder).
FileSystem fileSystemOf(const std::string& path);

// Where the file-system type comes from: statfs unless replaced (tests stand in a network share this
// way). The probe returns false when it cannot tell. Returns the probe it replaces; an empty one
// restores statfs.
using FileSystemProbe = std::function<bool(const std::string& path, uint64_t& type)>;
FileSystemProbe setFileSystemProbe(FileSystemProbe probe);

// The journal a database on `fileSystem` should keep, and why, in words for the officer.
struct StorageChoice {
    JournalMode mode = JournalMode::Rollback;
    std::string reason;
};
StorageChoice chooseJournal(const FileSystem& fileSystem);

// How an open database is kept, once the choice was applied.
struct Storage {
    JournalMode mode = JournalMode::Rollback;
    FileSystem fileSystem;
    std::string reason;   // which journal and why, one sentence
    std::string warning;  // what the officer must be told (a write-ahead log on a share that stays), or empty
};

// "write-ahead log" or "rollback journal".
const char* journalModeName(JournalMode mode);

}  // namespace kyt::db
