#pragma once
// The student database, whichever engine holds it. Every engine accepts the SQL the program sends,
// unchanged (the Jet forms of db/jet_sql.h, on the two roads of db/failure.h), reports failures as the
// native error numbers the error texts are keyed on, keeps saved queries that can be rewritten and used
// as tables, and gives exact record counts.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/failure.h"
#include "db/recordset.h"
#include "db/schema.h"
#include "db/storage.h"

namespace kyt::db {

using BranchList = std::vector<std::pair<std::string, std::string>>;  // (code, full name)

// The engine a source names: a server address (postgresql://...) or a database file.
Engine engineOf(std::string_view source);

// A server address with any password taken out, fit to show and to keep in Kyt.ini; a file path as it is.
std::string withoutPassword(const std::string& source);
// Whether a server address carries a password (which Kyt.ini must not keep).
bool hasPassword(const std::string& source);

// What the one who opened a database may do. A file: everything. A server: what its login's role allows.
struct Access {
    bool write = true;                  // may store students and administer records (an officer)
    bool schema = true;                 // may upgrade the schema (a file; on a server, kyt_owner's members)
    std::string login;                  // the server login; empty for a file
    std::vector<std::string> branches;  // a coordinator's branch codes: all they may read
};

// A server that asks for a password which libpq's password file does not give: the answer of the
// prompt (the login box), asked once per address and login for the whole run; nothing when the officer
// cancels. Without a prompt, such a server cannot be opened.
using PasswordPrompt = std::function<std::optional<std::string>(const std::string& address, const std::string& login)>;
void setPasswordPrompt(PasswordPrompt prompt);

class Database {
public:
    // Opens an existing database made by `kyt-cli init-db`; never creates one. `source` is a file path or
    // a server address. Returns null and fills `failure` (its description names the source) when that is
    // not possible.
    static std::unique_ptr<Database> open(const std::string& source, Road road, Failure& failure);

    // Makes a new database from the schema, the Branch table seeded from `branches`. Refuses to replace
    // an existing one; nothing is left behind on failure.
    static bool create(const std::string& source, Failure& failure);
    static bool create(const std::string& source, const BranchList& branches, Failure& failure);
    // The same at an older schema version, as an earlier Kyt made it (what upgrading starts from).
    static bool create(const std::string& source, const BranchList& branches, int schemaVersion, Failure& failure);

    static constexpr int kDefaultBusyTimeoutMs = 5000;

    virtual ~Database() = default;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Runs exactly one statement; a result set, if any, is discarded.
    virtual bool exec(std::string_view sql, Failure& failure) = 0;

    // Runs one SELECT and reads its whole result. A statement that would write is refused.
    virtual bool openRecordset(std::string_view sql, Recordset& out, Failure& failure) = 0;
    // Runs exactly one statement of any kind; `out` receives its rows (none for a statement that writes).
    virtual bool query(std::string_view sql, Recordset& out, Failure& failure) = 0;

    // Replaces the SQL of a saved query (FreePercent, MergeQuery, ser). The engine checks the SQL:
    // when it rejects it, the old query stays and `failure` carries the engine's description.
    virtual bool setSavedQuery(const std::string& name, std::string_view sql, Failure& failure) = 0;
    virtual bool savedQuery(const std::string& name, std::string& sql, Failure& failure) = 0;

    // Write transactions. A lock held elsewhere shows at begin, before any row is written.
    virtual bool begin(Failure& failure) = 0;
    virtual bool commit(Failure& failure) = 0;
    virtual bool rollback(Failure& failure) = 0;
    virtual bool inTransaction() const = 0;

    // How long a statement waits for another program's lock before it fails.
    virtual void setBusyTimeout(int milliseconds) = 0;

    // Makes every committed student safe in the database itself (for a file: empties the write-ahead
    // log into it, so that the file alone can be copied as a backup). Refused inside a transaction.
    virtual bool checkpoint(Failure& failure) = 0;

    // How the database is kept and why, decided when it was opened.
    virtual const Storage& storage() const = 0;

    // The number of the last schema step the database has had (db/schema.h).
    virtual bool schemaVersion(int& version, Failure& failure) = 0;

    // What the one who opened the database may do.
    virtual const Access& access() const = 0;

    // Writes inside a transaction may be sent without waiting for each answer (a server answers them
    // together at the next read or the commit, whose failure then names the statement that failed:
    // Failure::statement). A file answers each statement at once: nothing to send ahead.
    virtual void setWritesAhead(bool /*on*/) {}
    // Keeps the database as it is now, whole, in the new file `copy` (never replaced), before a change
    // that cannot be undone. Inside a transaction that has written nothing yet, the copy is what it
    // sees. Only the engine reads the database's files, so the copy is made through it.
    virtual bool keepCopy(const std::string& copy, Failure& failure) = 0;
    // Runs one schema step (several statements of the engine's own dialect) inside the open transaction,
    // and records its version.
    virtual bool runSchemaStep(const SchemaStep& step, Failure& failure) = 0;

    virtual Engine engine() const = 0;
    Road road() const { return road_; }
    // The file path or the server address (never with a password) the database was opened from.
    const std::string& path() const { return path_; }

protected:
    Database(std::string path, Road road) : path_(std::move(path)), road_(road) {}

private:
    std::string path_;
    Road road_;
};

}  // namespace kyt::db
