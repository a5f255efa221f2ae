#include "db/storage.h"

#include <sys/vfs.h>

#include <cstdio>
#include <mutex>

namespace kyt::db {

namespace {

struct KnownFileSystem {
    uint64_t type;
    const char* name;
    bool network;
};

// statfs types (linux/magic.h and the file systems' own sources). Network: the file is reached over a
// network or through a layer in user space (FUSE: sshfs, GlusterFS, virtiofs, ...) whose locking and
// shared memory cannot be trusted across computers. Cluster file systems count as network ones.
constexpr KnownFileSystem kKnown[] = {
    // Network shares and cluster file systems.
    {0x6969, "nfs", true},
    {0x517B, "smb", true},
    {0xFF534D42, "cifs", true},
    {0xFE534D42, "smb2", true},
    {0x65735546, "fuse", true},
    {0x01021997, "9p", true},
    {0x00C36400, "ceph", true},
    {0x5346414F, "afs", true},
    {0x6B414653, "afs", true},
    {0x73757245, "coda", true},
    {0x564C, "ncpfs", true},
    {0x0BD00BD0, "lustre", true},
    {0x01161970, "gfs2", true},
    {0x7461636F, "ocfs2", true},
    {0x47504653, "gpfs", true},
    {0x20030528, "orangefs", true},
    {0x19830326, "beegfs", true},
    {0xAAD7AAEA, "panfs", true},
    {0x786F4256, "vboxsf", true},
    {0x7C7C6673, "prl_fs", true},
    {0xBACBACBC, "vmhgfs", true},
    // Local disks (and memory) of this computer.
    {0xEF53, "ext4", false},
    {0x58465342, "xfs", false},
    {0x9123683E, "btrfs", false},
    {0xF2F52010, "f2fs", false},
    {0x2FC12FC1, "zfs", false},
    {0xCA451A4E, "bcachefs", false},
    {0x3434, "nilfs2", false},
    {0x52654973, "reiserfs", false},
    {0x3153464A, "jfs", false},
    {0x4D44, "vfat", false},
    {0x2011BAB0, "exfat", false},
    {0x5346544E, "ntfs", false},
    {0x7366746E, "ntfs3", false},
    {0x4244, "hfs", false},
    {0x482B, "hfsplus", false},
    {0x15013346, "udf", false},
    {0x01021994, "tmpfs", false},
    {0x858458F6, "ramfs", false},
    {0x794C7630, "overlay", false},
    {0xF15F, "ecryptfs", false},
};

std::mutex probeMutex;
FileSystemProbe replacedProbe;

bool statfsType(const std::string& path, uint64_t& type)
{
    struct statfs info {};
    if (statfs(path.c_str(), &info) != 0)
        return false;
    // f_type is a signed word on some machines: CIFS's 0xFF534D42 would come back negative.
    type = static_cast<uint64_t>(static_cast<uint32_t>(info.f_type));
    return true;
}

}  // namespace

FileSystem describeFileSystem(uint64_t type)
{
    FileSystem fs;
    fs.known = true;
    fs.type = type;
    for (const KnownFileSystem& known : kKnown) {
        if (known.type == type) {
            fs.name = known.name;
            fs.network = known.network;
            fs.local = !known.network;
            return fs;
        }
    }
    char hex[32];
    std::snprintf(hex, sizeof hex, "type 0x%llx", static_cast<unsigned long long>(type));
    fs.name = hex;
    return fs;
}

FileSystem fileSystemOf(const std::string& path)
{
    FileSystemProbe probe;
    {
        std::lock_guard<std::mutex> lock(probeMutex);
        probe = replacedProbe;
    }
    uint64_t type = 0;
    const bool answered = probe ? probe(path, type) : statfsType(path, type);
    if (!answered)
        return FileSystem{};
    return describeFileSystem(type);
}

FileSystemProbe setFileSystemProbe(FileSystemProbe probe)
{
    std::lock_guard<std::mutex> lock(probeMutex);
    FileSystemProbe previous = std::move(replacedProbe);
    replacedProbe = std::move(probe);
    return previous;
}

StorageChoice chooseJournal(const FileSystem& fileSystem)
{
    if (!fileSystem.known)
        return {JournalMode::Rollback,
                "rollback journal with full sync: the file system holding the database could not be identified"};
    if (fileSystem.network)
        return {JournalMode::Rollback, "rollback journal with full sync: the database is on a network share (" +
                                           fileSystem.name + "), where a write-ahead log does not work"};
    if (!fileSystem.local)
        return {JournalMode::Rollback, "rollback journal with full sync: the database is on a file system (" +
                                           fileSystem.name + ") that Kyt does not know to be a local disk"};
    return {JournalMode::WriteAheadLog,
            "write-ahead log with full sync: the database is on a local disk (" + fileSystem.name + ")"};
}

const char* journalModeName(JournalMode mode)
{
    return mode == JournalMode::WriteAheadLog ? "write-ahead log" : "rollback journal";
}

}  // namespace kyt::db
