#include "support/db_faults.h"

#include <sqlite3.h>

#include "db/database.h"
#include "db/recordset.h"

namespace kyt::test {

DatabaseLock::DatabaseLock(const std::string& path, Kind kind)
{
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return;
    // A read transaction keeps its shared lock once it has read something; a write transaction takes
    // the reserved lock at BEGIN IMMEDIATE.
    const char* sql = kind == Kind::Write  ? "BEGIN IMMEDIATE"
                      : kind == Kind::Read ? "BEGIN; SELECT count(*) FROM sqlite_schema"
                                           : "SELECT count(*) FROM sqlite_schema";
    held_ = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

DatabaseLock::~DatabaseLock()
{
    release();
    sqlite3_close_v2(db_);
}

void DatabaseLock::release()
{
    if (held_)
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    held_ = false;
}

bool fillDisk(db::Database& database)
{
    db::Recordset pages;
    db::Failure failure;
    if (!database.query("PRAGMA page_count", pages, failure) || pages.isEOF())
        return false;
    return database.exec("PRAGMA max_page_count = " + std::to_string(pages.field(0).toInteger()), failure);
}

FakeFileSystem::FakeFileSystem(uint64_t type)
    : previous_(db::setFileSystemProbe([type](const std::string&, uint64_t& out) {
          out = type;
          return type != 0;
      }))
{
}

FakeFileSystem::~FakeFileSystem()
{
    db::setFileSystemProbe(std::move(previous_));
}

}  // namespace kyt::test
