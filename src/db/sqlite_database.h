#pragma once
// The embedded engine: one SQLite file, reached by the two roads of db/failure.h.

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/database.h"

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

class SqliteDatabase final : public Database {
public:
    // Opens an existing database file made by `kyt-cli init-db`; never creates one.
    static std::unique_ptr<SqliteDatabase> open(const std::string& path, Road road, Failure& failure);
    // Makes a new database file from the schema steps up to `schemaVersion`; refuses to replace an
    // existing file.
    static bool create(const std::string& path, const BranchList& branches, int schemaVersion, Failure& failure);

    ~SqliteDatabase() override;

    bool exec(std::string_view sql, Failure& failure) override;
    bool openRecordset(std::string_view sql, Recordset& out, Failure& failure) override;
    bool query(std::string_view sql, Recordset& out, Failure& failure) override;
    bool setSavedQuery(const std::string& name, std::string_view sql, Failure& failure) override;
    bool savedQuery(const std::string& name, std::string& sql, Failure& failure) override;
    // BEGIN IMMEDIATE, so a lock shows before any row is written.
    bool begin(Failure& failure) override;
    bool commit(Failure& failure) override;
    bool rollback(Failure& failure) override;
    bool inTransaction() const override;
    void setBusyTimeout(int milliseconds) override;
    // Waits for readers as for a lock; nothing to do with the rollback journal.
    bool checkpoint(Failure& failure) override;
    const Storage& storage() const override { return storage_; }
    bool schemaVersion(int& version, Failure& failure) override;
    const Access& access() const override { return access_; }
    // Through SQLite's backup API, into a file kept with the rollback journal and full sync.
    bool keepCopy(const std::string& copy, Failure& failure) override;
    bool runSchemaStep(const SchemaStep& step, Failure& failure) override;
    Engine engine() const override { return Engine::SQLite; }

    // The engine's own handle, for the engine's tests.
    sqlite3* handle() const { return db_.get(); }

private:
    SqliteDatabase(Connection db, std::string path, Road road, Storage storage);
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
    Storage storage_;
    Access access_;
    struct Statements;
    std::unique_ptr<Statements> statements_;
};

// The tables and columns of the schema with the letter case they were declared with, by their names in
// lower case (a server folds bare names to lower case; what it gives back is shown as declared).
struct DeclaredNames {
    std::unordered_map<std::string, std::string> tables;
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> columns;  // by table
};
const DeclaredNames& declaredNames();

}  // namespace kyt::db
