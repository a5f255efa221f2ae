#pragma once
// A database on a PostgreSQL server, reached through libpq: the shared database of a placement office
// where several officers work at once and each department's coordinator reads their own students.
//
// The program's SQL is translated as it goes (db/jet_sql.h), prepared once per shape and run with the
// extended protocol only, so a second statement in one text is refused by the server itself. The
// server's functions and LIKE of the program's dialect live in the schemas kyt_fn and kyt_like; the
// tables in kyt. Saved queries are kept per login and made temporary views of the session.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/database.h"
#include "db/server_login.h"

struct pg_conn;
struct pg_result;

namespace kyt::db {

struct ClearResult {
    void operator()(pg_result* result) const;
};
using Result = std::unique_ptr<pg_result, ClearResult>;

class PostgresDatabase final : public Database {
public:
    // Opens the Kyt database at `address` (postgresql://[user@]host[:port]/dbname[?...]).
    static std::unique_ptr<PostgresDatabase> open(const std::string& address, Road road, Failure& failure);

    // Installs Kyt in the database at `address` (made first when the server has none of that name): the
    // group roles, the schema steps, the functions and the row rules, and the branches, in one
    // transaction. Run as the server's administrator. Refuses a database that already holds Kyt.
    static bool create(const std::string& address, const BranchList& branches, int schemaVersion, Failure& failure);

    ~PostgresDatabase() override;

    bool exec(std::string_view sql, Failure& failure) override;
    bool openRecordset(std::string_view sql, Recordset& out, Failure& failure) override;
    bool query(std::string_view sql, Recordset& out, Failure& failure) override;
    bool setSavedQuery(const std::string& name, std::string_view sql, Failure& failure) override;
    bool savedQuery(const std::string& name, std::string& sql, Failure& failure) override;
    bool begin(Failure& failure) override;
    bool commit(Failure& failure) override;
    bool rollback(Failure& failure) override;
    bool inTransaction() const override;
    // How long a statement waits for a row another session holds (lock_timeout).
    void setBusyTimeout(int milliseconds) override;
    // The server keeps what it committed; nothing to do.
    bool checkpoint(Failure& failure) override;
    const Storage& storage() const override { return storage_; }
    bool schemaVersion(int& version, Failure& failure) override;
    const Access& access() const override { return access_; }
    // A server's database is kept with pg_dump, not by a copy of its files: refused.
    bool keepCopy(const std::string& copy, Failure& failure) override;
    // As kyt_owner, which owns the schema (so only the server's administrator can upgrade it).
    bool runSchemaStep(const SchemaStep& step, Failure& failure) override;
    Engine engine() const override { return Engine::PostgreSQL; }

    // Through libpq's pipeline mode: a résumé's statements cost one round trip, not one each.
    void setWritesAhead(bool on) override { pipelinedWrites_ = on; }

    // Runs trusted text of our own (set-up, installation), possibly several statements.
    bool script(const std::string& sql, Failure& failure);
    // Runs one statement with its values as parameters ($1, $2...); `out` receives its rows when given.
    bool run(const std::string& sql, const std::vector<std::optional<std::string>>& values, Recordset* out,
             Failure& failure);
    // Copies rows into `table` in one COPY, under the table's row rules; values in column order, null as nothing.
    bool copyRows(const std::string& table, const std::vector<std::vector<std::optional<std::string>>>& rows,
                  Failure& failure);

private:
    PostgresDatabase(ServerConnection conn, std::string address, Road road);
    // The session as the program needs it: search path, time, saved queries; who the login is.
    bool prepareSession(Failure& failure);
    // One statement of the program's dialect; rows to `out` when given; `readOnly` refuses a write.
    bool runJet(std::string_view sql, Recordset* out, bool readOnly, Failure& failure);
    // The failure of `result` (or of the connection when there is none), as a native number.
    Failure failureOf(const pg_result* result);
    // Records a failure met inside a transaction: it is the one reported until the rollback.
    bool failed(Failure failure, Failure& out);
    // Waits for the answers of writes sent ahead; false with the first failure among them.
    bool drainPipeline(Failure& failure);
    bool leavePipeline(Failure& failure);
    // The name of the statement prepared for `text`, preparing it now when needed.
    std::optional<std::string> prepared(const std::string& text, int parameters, Failure& failure);
    void forgetStatements();
    // Drops and makes again the saved queries' temporary views, `changed` with its new SQL.
    // Sends `sql` (no values) after the writes sent ahead, entering the pipeline when none are.
    bool sendAhead(const std::string& sql);
    bool makeViews(const std::string& changed, const std::string& changedSql, Failure& failure);
    Recordset recordsetOf(const pg_result* result, std::string_view sql);

    ServerConnection conn_;
    Storage storage_;
    Access access_;
    std::string searchPath_;  // the session's, as prepareSession set it
    bool transaction_ = false;           // between our BEGIN and COMMIT or ROLLBACK
    std::optional<Failure> firstFailure_;  // the failure that spoiled the open transaction
    bool pipelinedWrites_ = false;
    std::vector<std::string> sent_;  // writes sent ahead whose answers are still to be read
    std::string lastAnswered_;       // the command tag of the last of them answered without failing
    struct Prepared {
        std::string name;
        int fields = -1;  // columns of its result, once asked
    };
    std::unordered_map<std::string, Prepared> statements_;  // by their text
    int statementSerial_ = 0;
    struct SavedQueryText {
        std::string name;  // as stored
        std::string sql;   // as the program wrote it
    };
    std::vector<SavedQueryText> savedQueries_;
    std::unordered_map<unsigned, std::string> tables_;  // our tables' object ids -> lower-case name
    std::unordered_map<unsigned, unsigned> domains_;  // our fields' domains -> their base types
};

}  // namespace kyt::db
