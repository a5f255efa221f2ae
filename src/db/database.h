#pragma once
// The database engine: one SQLite file reached by two roads (db/failure.h). Both accept the Jet SQL forms
// the program sends unchanged.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/failure.h"
#include "db/recordset.h"
#include "db/storage.h"

struct sqlite3;
struct sqlite3_stmt;

namespace kyt::db {

struct StatementShape;

// Handles that close themselves: nothing is closed by hand on one path and forgotten on another.
struct CloseConnection {
    void operator()(sqlite3* db) const;
};
struct FinalizeStatement {
    void operator()(sqlite3_stmt* stmt) const;
};
using Connection = std::unique_ptr<sqlite3, CloseConnection>;
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

class Database {
public:
    // Opens an existing database file made by `kyt-cli init-db`; never creates one.
    // Returns null and fills `failure` (its description names the path) when that is not possible.
    static std::unique_ptr<Database> open(const std::string& path, Road road, Failure& failure);

    // Makes a new database file from the schema; refuses to replace an existing file.
    static bool create(const std::string& path, Failure& failure);
    // The same, with the Branch table seeded from (code, full name) pairs. Nothing is left behind on failure.
    static bool create(const std::string& path, const std::vector<std::pair<std::string, std::string>>& branches,
                       Failure& failure);

    static constexpr int kDefaultBusyTimeoutMs = 5000;

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Runs exactly one statement; a result set, if any, is discarded.
    bool exec(std::string_view sql, Failure& failure);

    // Runs one SELECT and reads its whole result. A statement that would write is refused.
    bool openRecordset(std::string_view sql, Recordset& out, Failure& failure);
    // Runs exactly one statement of any kind; `out` receives its rows (none for a statement that writes).
    bool query(std::string_view sql, Recordset& out, Failure& failure);

    // Replaces the SQL of a saved query (FreePercent, MergeQuery, ser). The engine checks the SQL:
    // when it rejects it, the old query stays and `failure` carries the engine's description.
    bool setSavedQuery(const std::string& name, std::string_view sql, Failure& failure);
    bool savedQuery(const std::string& name, std::string& sql, Failure& failure);

    // Write transactions (BEGIN IMMEDIATE, so a lock shows before any row is written).
    bool begin(Failure& failure);
    bool commit(Failure& failure);
    bool rollback(Failure& failure);
    bool inTransaction() const;

    // How long a statement waits for another program's lock before it fails.
    void setBusyTimeout(int milliseconds);

    // Empties the write-ahead log into the database file, so that the file alone holds every committed
    // student (an officer may copy it as a backup). Waits for readers as for a lock; nothing to do with
    // the rollback journal. Refused inside a transaction.
    bool checkpoint(Failure& failure);

    // Which journal the database keeps and why, decided when it was opened.
    const Storage& storage() const { return storage_; }

    Road road() const { return road_; }
    const std::string& path() const { return path_; }
    sqlite3* handle() const { return db_.get(); }

private:
    Database(Connection db, std::string path, Road road, Storage storage);
    // One statement; its rows go to `out` when given. `readOnly` refuses a statement that would write.
    bool run(std::string_view sql, Recordset* out, bool readOnly, Failure& failure);
    // The statement kept for `translated`, or one compiled from it now (held by `owned` when it is not
    // kept). Null, with `failure` filled, when it cannot run here.
    sqlite3_stmt* compiled(const std::string& translated, bool readOnly, Statement& owned, Failure& failure);
    // Steps `stmt` to its end; its rows go to `out` when given.
    bool readRows(sqlite3_stmt* stmt, std::string_view sql, Recordset* out, Failure& failure);
    // For each column name, whether it holds a percentage shown with two decimals.
    std::vector<bool> twoDecimalColumns(std::string_view sql, const std::vector<std::string>& names);
    enum class Shaped { Done, Failed, AsWritten };
    // A write run through the compiled statement of its shape; AsWritten when it must be compiled as written.
    Shaped runShaped(const StatementShape& shape, Failure& failure);
    // Forgets every compiled statement kept for reuse (the schema or a saved query changes).
    void forgetStatements();
    // Records why a statement's step failed and ends a transaction that can no longer be trusted.
    void stepFailed(sqlite3_stmt* stmt, Failure& failure);

    Connection db_;
    std::string path_;
    Road road_;
    Storage storage_;
    struct Statements;
    std::unique_ptr<Statements> statements_;
};

}  // namespace kyt::db
