#pragma once
// Opens of a database's files (the file, its -wal, -shm and -journal) by anything but the database
// engine, in this program. The kernel reports every open of the folder's files (inotify); the engine's
// own go through its "open" system call, counted while a ForeignOpens lives. The kernel merges an open
// into the one before it while that one is unread, so its reports are read at each of the engine's opens
// too. Opens by other programs count as foreign: keep them out of the span watched. Header-only: one
// window test uses it.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <string>

namespace kyt::test {

class ForeignOpens {
public:
    explicit ForeignOpens(const std::filesystem::path& database)
    {
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            kernel_[database.filename().string() + suffix] = 0;
        inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (inotify_add_watch(inotify_, database.parent_path().c_str(), IN_OPEN) < 0)
            ADD_FAILURE() << "inotify cannot watch " << database.parent_path();
        watching_ = this;
        engineOpen_ = reinterpret_cast<OpenCall>(vfs()->xGetSystemCall(vfs(), "open"));
        vfs()->xSetSystemCall(vfs(), "open", reinterpret_cast<sqlite3_syscall_ptr>(&countingOpen));
    }
    ~ForeignOpens()
    {
        vfs()->xSetSystemCall(vfs(), "open", nullptr);  // the engine's own again
        watching_ = nullptr;
        close(inotify_);
    }
    ForeignOpens(const ForeignOpens&) = delete;
    ForeignOpens& operator=(const ForeignOpens&) = delete;

    // The foreign opens since the last call, as "kyt.db-shm x2" items; empty when there were none.
    std::string sinceLast()
    {
        readKernel();
        std::string found;
        for (auto& [name, opens] : kernel_) {
            if (opens > engine_[name])
                found += (found.empty() ? "" : ", ") + name + " x" + std::to_string(opens - engine_[name]);
            opens = engine_[name] = 0;
        }
        return found;
    }

private:
    using OpenCall = int (*)(const char*, int, int);
    static sqlite3_vfs* vfs() { return sqlite3_vfs_find("unix"); }
    // The engine works on the thread of the windows, as these tests do.
    static int countingOpen(const char* path, int flags, int mode)
    {
        ForeignOpens& self = *watching_;
        self.readKernel();
        ++self.engine_[std::filesystem::path(path).filename().string()];
        const int fd = engineOpen_(path, flags, mode);
        const int error = errno;  // the engine reads why an open failed
        self.readKernel();
        errno = error;
        return fd;
    }
    void readKernel()
    {
        alignas(inotify_event) char buffer[16 * 1024];
        for (ssize_t got; (got = read(inotify_, buffer, sizeof buffer)) > 0;) {
            for (char* at = buffer; at < buffer + got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                if (event->len > 0 && kernel_.count(event->name))
                    ++kernel_[event->name];
                at += sizeof(inotify_event) + event->len;
            }
        }
    }

    inline static ForeignOpens* watching_ = nullptr;
    inline static OpenCall engineOpen_ = nullptr;
    int inotify_ = -1;
    std::map<std::string, int> kernel_, engine_;  // opens by file name
};

}  // namespace kyt::test
