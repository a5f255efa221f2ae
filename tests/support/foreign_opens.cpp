#include "support/foreign_opens.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <mutex>

namespace kyt::test {

namespace {

using OpenCall = int (*)(const char*, int, int);

std::recursive_mutex countMutex;
OpenCall engineOpen = nullptr;
std::map<std::string, int> engineOpens;  // by file name
ForeignOpens* watching = nullptr;

}  // namespace

int countingOpen(const char* path, int flags, int mode)
{
    std::lock_guard<std::recursive_mutex> lock(countMutex);
    watching->readKernel();
    ++engineOpens[std::filesystem::path(path).filename().string()];
    const int fd = engineOpen(path, flags, mode);
    const int error = errno;  // the engine reads why an open failed
    watching->readKernel();
    errno = error;
    return fd;
}

ForeignOpens::ForeignOpens(const std::string& database)
{
    const std::filesystem::path path(database);
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        kernel_[path.filename().string() + suffix] = 0;
    inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotify_ < 0 || inotify_add_watch(inotify_, path.parent_path().c_str(), IN_OPEN) < 0)
        ADD_FAILURE() << "inotify cannot watch " << path.parent_path();
    sqlite3_vfs* vfs = sqlite3_vfs_find("unix");
    std::lock_guard<std::recursive_mutex> lock(countMutex);
    engineOpens.clear();
    watching = this;
    engineOpen = reinterpret_cast<OpenCall>(vfs->xGetSystemCall(vfs, "open"));
    vfs->xSetSystemCall(vfs, "open", reinterpret_cast<sqlite3_syscall_ptr>(&countingOpen));
}

ForeignOpens::~ForeignOpens()
{
    std::lock_guard<std::recursive_mutex> lock(countMutex);
    sqlite3_vfs* vfs = sqlite3_vfs_find("unix");
    vfs->xSetSystemCall(vfs, "open", nullptr);  // the engine's own again
    watching = nullptr;
    if (inotify_ >= 0)
        close(inotify_);
}

void ForeignOpens::readKernel()
{
    alignas(inotify_event) char buffer[64 * 1024];
    for (ssize_t got; (got = read(inotify_, buffer, sizeof buffer)) > 0;) {
        for (char* at = buffer; at < buffer + got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            if (event->len > 0 && kernel_.count(event->name))
                ++kernel_[event->name];
            at += sizeof(inotify_event) + event->len;
        }
    }
}

std::string ForeignOpens::sinceLast()
{
    std::lock_guard<std::recursive_mutex> lock(countMutex);
    readKernel();
    std::string found;
    for (const auto& [name, opens] : kernel_) {
        const int foreign = opens - engineOpens[name];
        if (foreign > reported_[name])
            found += (found.empty() ? "" : ", ") + name + " x" + std::to_string(foreign - reported_[name]);
        reported_[name] = foreign;
    }
    return found;
}

}  // namespace kyt::test
