#pragma once
// Opens of a database's files (the file, its -wal, -shm and -journal) by anything but the database
// engine, in this program. The kernel reports every open of the folder's files (inotify); the engine's
// own go through its "open" system call, which is counted while a ForeignOpens lives. The kernel merges an
// open into the one before it when that one is still unread, so its reports are read at each of the
// engine's opens too. Opens by other programs count as foreign: keep them out of the span watched.

#include <map>
#include <string>

namespace kyt::test {

class ForeignOpens {
public:
    explicit ForeignOpens(const std::string& database);
    ~ForeignOpens();
    ForeignOpens(const ForeignOpens&) = delete;
    ForeignOpens& operator=(const ForeignOpens&) = delete;

    // The foreign opens since the last call, as "kyt.db-shm x2" items; empty when there were none.
    std::string sinceLast();

private:
    friend int countingOpen(const char* path, int flags, int mode);
    void readKernel();

    int inotify_ = -1;
    std::map<std::string, int> kernel_, reported_;
};

}  // namespace kyt::test
