#include "db/sqlite_database.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <set>
#include <unordered_map>

#include "db/functions.h"
#include "db/jet_sql.h"
#include "db/native_error.h"
#include "db/schema.h"
#include "db/statement_shape.h"

namespace kyt::db {

using jet::lowerCase;
using jet::quoteIdentifier;
using jet::quoteLiteral;

void CloseConnection::operator()(sqlite3* db) const
{
    sqlite3_close_v2(db);
}

void FinalizeStatement::operator()(sqlite3_stmt* stmt) const
{
    sqlite3_finalize(stmt);
}

namespace {

constexpr int kApplicationId = 1266250785;  // 'Kyt!', set by the schema

Failure failureOf(sqlite3* db, const std::string& path)
{
    return nativeFailure(sqlite3_extended_errcode(db), sqlite3_errmsg(db), path);
}

// True when nothing but blanks, semicolons and comments is left: a second statement may not ride
// along with the first.
bool onlyTrailingNoise(const char* tail)
{
    std::string_view s = tail ? tail : "";
    size_t i = 0;
    while (i < s.size()) {
        if (std::isspace(static_cast<unsigned char>(s[i])) || s[i] == ';') {
            ++i;
        } else if (s.substr(i, 2) == "--") {
            size_t end = s.find('\n', i);
            i = end == std::string_view::npos ? s.size() : end + 1;
        } else if (s.substr(i, 2) == "/*") {
            size_t end = s.find("*/", i + 2);
            i = end == std::string_view::npos ? s.size() : end + 2;
        } else {
            return false;
        }
    }
    return true;
}

// Runs trusted text of our own (pragmas, the schema, savepoints), possibly several statements.
bool runScript(sqlite3* db, const char* sql, const std::string& path, Failure& failure)
{
    char* message = nullptr;
    int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    if (rc == SQLITE_OK)
        return true;
    std::string text = message ? message : sqlite3_errstr(rc);
    sqlite3_free(message);
    failure = nativeFailure(sqlite3_extended_errcode(db), text, path);
    return false;
}

bool isSevere(int code)
{
    const int primary = code & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED || primary == SQLITE_FULL || primary == SQLITE_IOERR ||
           primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

// The journal mode a pragma leaves ("wal", "delete", ...), or empty with the engine's text in `error`.
std::string journalModeAfter(sqlite3* db, const char* pragma, std::string& error)
{
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db, pragma, -1, &raw, nullptr);
    Statement stmt(raw);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(stmt.get());
    if (rc != SQLITE_ROW) {
        error = sqlite3_errmsg(db);
        return {};
    }
    const unsigned char* text = sqlite3_column_text(stmt.get(), 0);
    return lowerCase(text ? reinterpret_cast<const char*>(text) : "");
}

// Puts the database in the journal mode its file system calls for. A write-ahead log that cannot be
// started leaves the rollback journal (slower, as safe). A write-ahead log found on a share that cannot
// be ended (another program has the file open) stays, and the officer is to be told.
Storage applyJournal(sqlite3* db, const std::string& path)
{
    Storage storage;
    storage.fileSystem = fileSystemOf(path);
    const StorageChoice choice = chooseJournal(storage.fileSystem);
    storage.reason = choice.reason;
    std::string error;
    journalModeAfter(db, choice.mode == JournalMode::WriteAheadLog ? "PRAGMA journal_mode=WAL"
                                                                   : "PRAGMA journal_mode=DELETE",
                     error);
    std::string ignored;
    const std::string mode = journalModeAfter(db, "PRAGMA journal_mode", ignored);
    storage.mode = mode == "wal" ? JournalMode::WriteAheadLog : JournalMode::Rollback;
    if (storage.mode == choice.mode)
        return storage;
    const std::string why = error.empty() ? std::string() : " (" + error + ")";
    if (choice.mode == JournalMode::WriteAheadLog) {
        storage.reason = "rollback journal with full sync: the database is on a local disk (" +
                         storage.fileSystem.name + "), but the write-ahead log could not be started" + why;
        return storage;
    }
    storage.reason = "write-ahead log with full sync, though the database is not on a local disk (" +
                     storage.fileSystem.name + "): it could not be switched to the rollback journal" + why;
    storage.warning = "The database " + path + " is kept with a write-ahead log, which is not safe where it is (" +
                      storage.fileSystem.name +
                      ", not a local disk), and Kyt could not switch it to the rollback journal because another "
                      "program is using it" + why +
                      ".\n\nClose Kyt on every other computer that uses this database, then start Kyt again. Until "
                      "then, use the database from this computer only.";
    return storage;
}

bool configureConnection(sqlite3* db, Road road, int busyTimeoutMs, const std::string& path, Storage& storage,
                         Failure& failure)
{
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, busyTimeoutMs);
    if (int rc = registerFunctions(db, road)) {
        failure = {kErrOther, "Cannot prepare the database " + path + " (" + sqlite3_errstr(rc) + ")."};
        return false;
    }
    storage = applyJournal(db, path);
    // Full sync in either mode: a student the officer was told is stored survives a power cut.
    return runScript(db, "PRAGMA synchronous=FULL", path, failure);
}

// Makes the view of one saved query from its SQL and checks that the engine can run it.
bool makeView(sqlite3* db, const std::string& name, std::string_view jetSql, const std::string& path, Failure& failure)
{
    const std::string view = quoteIdentifier(name);
    const std::string create = "CREATE VIEW " + view + " AS " + jet::toSqlite(jetSql);
    if (!runScript(db, ("DROP VIEW IF EXISTS " + view).c_str(), path, failure) ||
        !runScript(db, create.c_str(), path, failure))
        return false;
    // SQLite accepts a view over tables or columns that do not exist; preparing a use of it does not.
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db, ("SELECT * FROM " + view).c_str(), -1, &raw, nullptr);
    Statement check(raw);
    if (rc != SQLITE_OK) {
        failure = failureOf(db, path);
        return false;
    }
    return true;
}

// One schema step, PRAGMA user_version following it (inside the transaction: it is part of the file).
bool runStep(sqlite3* db, const SchemaStep& step, const std::string& path, Failure& failure)
{
    const std::string sql(step.sql);
    const std::string version = "PRAGMA user_version = " + std::to_string(step.version);
    return runScript(db, sql.c_str(), path, failure) && runScript(db, version.c_str(), path, failure);
}

// The schema steps in order, up to `lastVersion`.
bool runSteps(sqlite3* db, int lastVersion, const std::string& path, Failure& failure)
{
    for (const SchemaStep& step : schemaSteps(Engine::SQLite))
        if (step.version <= lastVersion && !runStep(db, step, path, failure))
            return false;
    return true;
}

// A few dozen shapes cover everything a run writes; statements typed by hand must not pile up.
constexpr size_t kMaxKeptStatements = 32;

// One row of a result as the engine gives it; a whole number in a percentage column is a real number
// shown with two decimals.
std::vector<Value> rowOf(sqlite3_stmt* stmt, const std::vector<bool>& twoDecimals)
{
    std::vector<Value> row;
    row.reserve(twoDecimals.size());
    for (int c = 0; c < static_cast<int>(twoDecimals.size()); ++c) {
        switch (sqlite3_column_type(stmt, c)) {
        case SQLITE_INTEGER: {
            const int64_t v = sqlite3_column_int64(stmt, c);
            row.push_back(twoDecimals[c] ? Value::real(static_cast<double>(v), true) : Value::integer(v));
            break;
        }
        case SQLITE_FLOAT:
            row.push_back(Value::real(sqlite3_column_double(stmt, c), twoDecimals[c]));
            break;
        case SQLITE_NULL:
            row.emplace_back();
            break;
        default: {
            const unsigned char* text = sqlite3_column_text(stmt, c);
            const int bytes = sqlite3_column_bytes(stmt, c);
            row.push_back(Value::text(text ? std::string(reinterpret_cast<const char*>(text), bytes) : std::string()));
        }
        }
    }
    return row;
}

}  // namespace

// Compiled statements kept for reuse, by the text of their shape. Each is reset, its values cleared, as
// soon as it has run, so none holds a lock or a value between uses.
struct SqliteDatabase::Statements {
    std::unordered_map<std::string, Statement> byShape;
    std::unordered_map<std::string, Statement> byText;  // queries that only read, by their whole text
    Statement savedQueries;                             // the SQL of every saved query
    // A real number's text read by the engine itself, so that a bound value is the very number the
    // written statement would have stored.
    Statement toReal;
};

SqliteDatabase::SqliteDatabase(Connection db, std::string path, Road road, Storage storage)
    : Database(std::move(path), road),
      db_(std::move(db)),
      storage_(std::move(storage)),
      statements_(std::make_unique<Statements>())
{
}

SqliteDatabase::~SqliteDatabase()
{
    statements_.reset();
    if (!db_)
        return;
    // A transaction still open here was never committed: it must not be.
    if (!sqlite3_get_autocommit(db_.get()))
        sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    // Closing leaves the database file whole on its own, as the end of a run does. It does not wait:
    // while another program reads or writes, the log stays, as safe, for the last one to close.
    sqlite3_busy_timeout(db_.get(), 0);
    sqlite3_wal_checkpoint_v2(db_.get(), "main", SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
}

std::unique_ptr<SqliteDatabase> SqliteDatabase::open(const std::string& path, Road road, Failure& failure)
{
    failure = {};
    if (path.empty()) {
        failure = {kErrOther, "No database file was given."};
        return nullptr;
    }
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) {
        failure = {kErrOther, "The database file " + path + " does not exist."};
        return nullptr;
    }
    if (std::filesystem::is_directory(status)) {
        failure = {kErrOther, path + " is a folder, not a database file."};
        return nullptr;
    }

    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    Connection db(raw);
    if (rc != SQLITE_OK) {
        failure = db ? failureOf(db.get(), path) : Failure{kErrOther, "Cannot open the database " + path + "."};
        return nullptr;
    }
    if (sqlite3_db_readonly(db.get(), "main") == 1) {
        failure = {kErrOther, "The database " + path + " is read-only; Kyt needs to write to it."};
        return nullptr;
    }
    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_timeout(db.get(), kDefaultBusyTimeoutMs);

    sqlite3_stmt* rawStmt = nullptr;
    rc = sqlite3_prepare_v2(db.get(), "PRAGMA application_id", -1, &rawStmt, nullptr);
    Statement stmt(rawStmt);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(stmt.get());
    if (rc != SQLITE_ROW) {
        failure = failureOf(db.get(), path);
        if ((sqlite3_extended_errcode(db.get()) & 0xFF) == SQLITE_NOTADB)
            failure.description = "The file " + path + " is not a Kyt database (" + sqlite3_errmsg(db.get()) + ").";
        return nullptr;
    }
    if (sqlite3_column_int(stmt.get(), 0) != kApplicationId) {
        failure = {kErrOther, "The file " + path + " is a database, but not a Kyt database."};
        return nullptr;
    }
    stmt.reset();
    Storage storage;
    if (!configureConnection(db.get(), road, kDefaultBusyTimeoutMs, path, storage, failure))
        return nullptr;
    return std::unique_ptr<SqliteDatabase>(new SqliteDatabase(std::move(db), path, road, std::move(storage)));
}

bool SqliteDatabase::create(const std::string& path, const BranchList& branches, int schemaVersion, Failure& failure)
{
    failure = {};
    if (path.empty()) {
        failure = {kErrOther, "No database file was given."};
        return false;
    }
    if (schemaVersion < 1 || schemaVersion > latestSchemaVersion(Engine::SQLite)) {
        failure = {kErrOther, "Kyt knows no schema version " + std::to_string(schemaVersion) + "."};
        return false;
    }
    // O_EXCL: an existing file, even one appearing at this moment, is never replaced.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::error_code ec;
        failure = {kErrOther, std::filesystem::exists(std::filesystem::symlink_status(path, ec))
                                  ? "The file " + path + " already exists; Kyt does not replace it."
                                  : "Cannot create the database file " + path + "."};
        return false;
    }
    ::close(fd);

    bool ok = false;
    {
        Storage storage;
        sqlite3* raw = nullptr;
        int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
        Connection db(raw);
        if (rc != SQLITE_OK) {
            failure = db ? failureOf(db.get(), path) : Failure{kErrOther, "Cannot open the database " + path + "."};
        } else if (configureConnection(db.get(), Road::Query, kDefaultBusyTimeoutMs, path, storage, failure) &&
                   runScript(db.get(), "BEGIN IMMEDIATE", path, failure) &&
                   runSteps(db.get(), schemaVersion, path, failure)) {
            ok = true;
            // Views from the saved queries' SQL, read back from the table the schema filled.
            std::vector<std::pair<std::string, std::string>> saved;
            sqlite3_stmt* rawStmt = nullptr;
            sqlite3_prepare_v2(db.get(), "SELECT Name, SQL FROM SavedQuery ORDER BY rowid", -1, &rawStmt, nullptr);
            Statement stmt(rawStmt);
            while (stmt && sqlite3_step(stmt.get()) == SQLITE_ROW)
                saved.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0)),
                                   reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 1)));
            stmt.reset();
            for (const auto& [name, sql] : saved)
                ok = ok && makeView(db.get(), name, sql, path, failure);

            sqlite3_stmt* rawInsert = nullptr;
            sqlite3_prepare_v2(db.get(), "INSERT INTO Branch (BranchCode, Branch) VALUES (?, ?)", -1, &rawInsert,
                               nullptr);
            Statement insert(rawInsert);
            for (const auto& [code, name] : branches) {
                if (!ok)
                    break;
                sqlite3_reset(insert.get());
                sqlite3_bind_text(insert.get(), 1, code.c_str(), static_cast<int>(code.size()), SQLITE_TRANSIENT);
                sqlite3_bind_text(insert.get(), 2, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
                if (sqlite3_step(insert.get()) != SQLITE_DONE) {
                    failure = failureOf(db.get(), path);
                    failure.description = "Branch " + code + ": " + failure.description;
                    ok = false;
                }
            }
            insert.reset();
            ok = ok && runScript(db.get(), "COMMIT", path, failure);
        }
    }
    if (!ok) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        for (const char* beside : {"-journal", "-wal", "-shm"})
            std::filesystem::remove(path + beside, ec);
    }
    return ok;
}

bool SqliteDatabase::exec(std::string_view sql, Failure& failure)
{
    return run(sql, nullptr, false, failure);
}

bool SqliteDatabase::openRecordset(std::string_view sql, Recordset& out, Failure& failure)
{
    return run(sql, &out, true, failure);
}

bool SqliteDatabase::query(std::string_view sql, Recordset& out, Failure& failure)
{
    return run(sql, &out, false, failure);
}

void SqliteDatabase::forgetStatements()
{
    statements_->byShape.clear();
    statements_->byText.clear();
    statements_->savedQueries.reset();
}

void SqliteDatabase::stepFailed(sqlite3_stmt* stmt, Failure& failure)
{
    const int code = sqlite3_extended_errcode(db_.get());
    failure = failureOf(db_.get(), path());
    sqlite3_reset(stmt);
    // After a lock, a full disk or an I/O failure the transaction is not to be trusted: end it here,
    // so that nothing of it can be committed later.
    if (isSevere(code) && !sqlite3_get_autocommit(db_.get()))
        sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
}

SqliteDatabase::Shaped SqliteDatabase::runShaped(const StatementShape& shape, Failure& failure)
{
    auto found = statements_->byShape.find(shape.text);
    if (found == statements_->byShape.end()) {
        sqlite3_stmt* raw = nullptr;
        const char* tail = nullptr;
        int rc = sqlite3_prepare_v2(db_.get(), shape.text.c_str(), static_cast<int>(shape.text.size()), &raw, &tail);
        Statement stmt(raw);
        // Anything unusual (a string where a name belongs, a value that must be constant) is compiled as
        // written, which also gives the engine's own message for a statement that is wrong.
        if (rc != SQLITE_OK || !stmt || !onlyTrailingNoise(tail) || sqlite3_stmt_readonly(stmt.get()) ||
            sqlite3_column_count(stmt.get()) != 0 ||
            sqlite3_bind_parameter_count(stmt.get()) != static_cast<int>(shape.literals.size()))
            return Shaped::AsWritten;
        if (statements_->byShape.size() >= kMaxKeptStatements)
            statements_->byShape.clear();
        found = statements_->byShape.emplace(shape.text, std::move(stmt)).first;
    }
    sqlite3_stmt* stmt = found->second.get();

    // However the statement ends, it is reset and its values cleared before the literals go away.
    struct Release {
        sqlite3_stmt* stmt;
        ~Release()
        {
            sqlite3_reset(stmt);
            sqlite3_clear_bindings(stmt);
        }
    } release{stmt};

    for (size_t k = 0; k < shape.literals.size(); ++k) {
        const StatementShape::Literal& literal = shape.literals[k];
        const int index = static_cast<int>(k + 1);
        int rc = SQLITE_OK;
        switch (literal.kind) {
        case StatementShape::Literal::Kind::Text:
            rc = sqlite3_bind_text(stmt, index, literal.text.data(), static_cast<int>(literal.text.size()),
                                   SQLITE_STATIC);
            break;
        case StatementShape::Literal::Kind::Integer:
            rc = sqlite3_bind_int64(stmt, index, literal.integer);
            break;
        case StatementShape::Literal::Kind::Real: {
            if (!statements_->toReal) {
                sqlite3_stmt* raw = nullptr;
                sqlite3_prepare_v2(db_.get(), "SELECT CAST(?1 AS REAL)", -1, &raw, nullptr);
                statements_->toReal.reset(raw);
            }
            sqlite3_stmt* toReal = statements_->toReal.get();
            if (!toReal)
                return Shaped::AsWritten;
            sqlite3_bind_text(toReal, 1, literal.text.data(), static_cast<int>(literal.text.size()), SQLITE_STATIC);
            const bool read = sqlite3_step(toReal) == SQLITE_ROW;
            const double value = read ? sqlite3_column_double(toReal, 0) : 0;
            sqlite3_reset(toReal);
            sqlite3_clear_bindings(toReal);
            if (!read)
                return Shaped::AsWritten;
            rc = sqlite3_bind_double(stmt, index, value);
            break;
        }
        }
        if (rc != SQLITE_OK)
            return Shaped::AsWritten;
    }

    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        stepFailed(stmt, failure);
        return Shaped::Failed;
    }
    return Shaped::Done;
}

bool SqliteDatabase::run(std::string_view sql, Recordset* out, bool readOnly, Failure& failure)
{
    failure = {};
    const std::string translated = jet::toSqlite(sql);
    if (!readOnly) {
        if (const std::optional<StatementShape> shape = writeShape(translated)) {
            switch (runShaped(*shape, failure)) {
            case Shaped::Done:
                if (out)
                    *out = Recordset();
                return true;
            case Shaped::Failed:
                return false;
            case Shaped::AsWritten:
                break;
            }
        }
    }
    Statement owned;
    sqlite3_stmt* stmt = compiled(translated, readOnly, owned, failure);
    return stmt && readRows(stmt, sql, out, failure);
}

sqlite3_stmt* SqliteDatabase::compiled(const std::string& translated, bool readOnly, Statement& owned, Failure& failure)
{
    // A query asked for again (the branch of each résumé's seat number) runs on the statement compiled
    // the first time; one compiled here is kept when it only reads and returns rows.
    if (auto kept = statements_->byText.find(translated); kept != statements_->byText.end())
        return kept->second.get();
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(db_.get(), translated.c_str(), static_cast<int>(translated.size()), &raw, &tail);
    owned.reset(raw);
    if (rc != SQLITE_OK) {
        failure = failureOf(db_.get(), path());
        return nullptr;
    }
    if (!owned) {
        failure = {kErrOther, "The statement is empty."};
        return nullptr;
    }
    if (!onlyTrailingNoise(tail)) {
        failure = {kErrOther, "Only one statement can be run at a time."};
        return nullptr;
    }
    const bool reads = sqlite3_stmt_readonly(owned.get());
    if (readOnly && !reads) {
        failure = {kErrOther, "Only a SELECT can be opened as a recordset."};
        return nullptr;
    }
    const bool pragma = jet::startsWithWord(translated, "PRAGMA");
    // A statement that may change the schema or the connection's settings: nothing compiled before it
    // is reused after it.
    if (!reads || pragma)
        forgetStatements();
    if (!reads || pragma || sqlite3_column_count(owned.get()) == 0 || sqlite3_bind_parameter_count(owned.get()) != 0)
        return owned.get();
    if (statements_->byText.size() >= kMaxKeptStatements)
        statements_->byText.clear();
    return statements_->byText.emplace(translated, std::move(owned)).first->second.get();
}

std::vector<bool> SqliteDatabase::twoDecimalColumns(std::string_view sql, const std::vector<std::string>& names)
{
    // A percentage made by format(..., '0.00') is a number (it must compare and rank as one) that shows
    // with two decimals. The number loses any mark of that on its way through views and grouping, so its
    // columns are known by the names the statement and the saved queries give them. The saved queries
    // are read while the statement holds its read lock: the same state of the database, and no second
    // round of locking.
    std::set<std::string> twoDecimalNames;
    auto addAliases = [&](std::string_view text) {
        for (std::string name : jet::twoDecimalAliases(text))
            twoDecimalNames.insert(lowerCase(std::move(name)));
    };
    addAliases(sql);
    if (!statements_->savedQueries) {
        sqlite3_stmt* rawSaved = nullptr;
        sqlite3_prepare_v2(db_.get(), "SELECT SQL FROM SavedQuery", -1, &rawSaved, nullptr);
        statements_->savedQueries.reset(rawSaved);
    }
    if (sqlite3_stmt* saved = statements_->savedQueries.get()) {
        while (sqlite3_step(saved) == SQLITE_ROW)
            if (const unsigned char* text = sqlite3_column_text(saved, 0))
                addAliases(reinterpret_cast<const char*>(text));
        sqlite3_reset(saved);
    }
    std::vector<bool> twoDecimals;
    for (const std::string& name : names)
        twoDecimals.push_back(twoDecimalNames.count(lowerCase(name)) > 0);
    return twoDecimals;
}

bool SqliteDatabase::readRows(sqlite3_stmt* stmt, std::string_view sql, Recordset* out, Failure& failure)
{
    // A kept statement is reset however the run ends: one left stepping would hold a read lock.
    struct Reset {
        sqlite3_stmt* stmt;
        ~Reset() { sqlite3_reset(stmt); }
    } reset{stmt};

    const int columns = out ? sqlite3_column_count(stmt) : 0;
    std::vector<std::string> names;
    for (int c = 0; c < columns; ++c) {
        const char* name = sqlite3_column_name(stmt, c);
        names.push_back(jet::columnName(name ? name : ""));
    }
    std::vector<std::vector<Value>> rows;
    std::vector<bool> twoDecimals;
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW && columns > 0)
        twoDecimals = twoDecimalColumns(sql, names);
    for (; rc == SQLITE_ROW; rc = sqlite3_step(stmt))
        if (columns > 0)
            rows.push_back(rowOf(stmt, twoDecimals));
    if (rc != SQLITE_DONE) {
        stepFailed(stmt, failure);
        return false;
    }
    if (out)
        *out = Recordset(std::move(names), std::move(rows));
    return true;
}

bool SqliteDatabase::setSavedQuery(const std::string& name, std::string_view sql, Failure& failure)
{
    failure = {};
    forgetStatements();
    std::string storedName;
    {
        sqlite3_stmt* raw = nullptr;
        sqlite3_prepare_v2(db_.get(), "SELECT Name FROM SavedQuery WHERE Name = ?", -1, &raw, nullptr);
        Statement find(raw);
        if (!find) {
            failure = failureOf(db_.get(), path());
            return false;
        }
        sqlite3_bind_text(find.get(), 1, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(find.get()) == SQLITE_ROW)
            storedName = reinterpret_cast<const char*>(sqlite3_column_text(find.get(), 0));
    }
    if (storedName.empty()) {
        failure = {kErrOther, "There is no saved query named " + name + " in the database " + path() + "."};
        return false;
    }

    const std::string text = jet::trimQuerySql(sql);
    {
        // The SQL must be one SELECT; views would accept nothing else either, but say so plainly.
        const std::string translated = jet::toSqlite(text);
        sqlite3_stmt* raw = nullptr;
        const char* tail = nullptr;
        int rc = sqlite3_prepare_v2(db_.get(), translated.c_str(), -1, &raw, &tail);
        Statement check(raw);
        if (rc != SQLITE_OK) {
            failure = failureOf(db_.get(), path());
            return false;
        }
        if (!check || !onlyTrailingNoise(tail) || !sqlite3_stmt_readonly(check.get()) ||
            sqlite3_column_count(check.get()) == 0) {
            failure = {kErrOther, "A saved query must be one SELECT statement."};
            return false;
        }
    }

    if (!runScript(db_.get(), "SAVEPOINT kyt_saved_query", path(), failure))
        return false;
    bool ok = makeView(db_.get(), storedName, text, path(), failure);
    if (ok) {
        sqlite3_stmt* raw = nullptr;
        sqlite3_prepare_v2(db_.get(), "UPDATE SavedQuery SET SQL = ? WHERE Name = ?", -1, &raw, nullptr);
        Statement update(raw);
        sqlite3_bind_text(update.get(), 1, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(update.get(), 2, storedName.c_str(), static_cast<int>(storedName.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(update.get()) != SQLITE_DONE) {
            failure = failureOf(db_.get(), path());
            ok = false;
        }
    }
    if (ok)
        ok = runScript(db_.get(), "RELEASE kyt_saved_query", path(), failure);
    if (!ok) {
        // The old view and its SQL come back.
        sqlite3_exec(db_.get(), "ROLLBACK TO kyt_saved_query; RELEASE kyt_saved_query", nullptr, nullptr, nullptr);
    }
    return ok;
}

bool SqliteDatabase::savedQuery(const std::string& name, std::string& sql, Failure& failure)
{
    failure = {};
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_.get(), "SELECT SQL FROM SavedQuery WHERE Name = ?", -1, &raw, nullptr) != SQLITE_OK) {
        failure = failureOf(db_.get(), path());
        return false;
    }
    Statement find(raw);
    sqlite3_bind_text(find.get(), 1, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    int rc = sqlite3_step(find.get());
    if (rc == SQLITE_ROW) {
        sql = reinterpret_cast<const char*>(sqlite3_column_text(find.get(), 0));
        return true;
    }
    if (rc == SQLITE_DONE)
        failure = {kErrOther, "There is no saved query named " + name + " in the database " + path() + "."};
    else
        failure = failureOf(db_.get(), path());
    return false;
}

bool SqliteDatabase::schemaVersion(int& version, Failure& failure)
{
    failure = {};
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db_.get(), "PRAGMA user_version", -1, &raw, nullptr);
    Statement stmt(raw);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(stmt.get());
    if (rc != SQLITE_ROW) {
        failure = failureOf(db_.get(), path());
        return false;
    }
    version = sqlite3_column_int(stmt.get(), 0);
    return true;
}

bool SqliteDatabase::keepCopy(const std::string& copy, Failure& failure)
{
    failure = {};
    // O_EXCL: an existing file, even one appearing at this moment, is never replaced.
    int fd = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::error_code ec;
        failure = {kErrOther, std::filesystem::exists(std::filesystem::symlink_status(copy, ec))
                                  ? "The file " + copy + " already exists; Kyt does not replace it."
                                  : "Cannot create the copy " + copy + " of the database."};
        failure.environment = true;
        return false;
    }
    ::close(fd);

    bool ok = false;
    {
        sqlite3* raw = nullptr;
        const int rc = sqlite3_open_v2(copy.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
        Connection target(raw);
        // The copy is synced as every commit is: a copy that a power cut could have lost is no copy.
        if (rc != SQLITE_OK) {
            failure = target ? failureOf(target.get(), copy) : Failure{kErrOther, "Cannot open the copy " + copy + "."};
        } else if (runScript(target.get(), "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL", copy, failure)) {
            // A connection that holds the write lock cannot be the source of a backup: a second one reads
            // what was last committed, which is what the transaction sees until it writes. (SQLite keeps
            // the file's locks of this process when that connection closes.)
            Connection reader;
            sqlite3* source = db_.get();
            if (!sqlite3_get_autocommit(db_.get())) {
                sqlite3* rawReader = nullptr;
                sqlite3_open_v2(path().c_str(), &rawReader, SQLITE_OPEN_READONLY, nullptr);
                reader.reset(rawReader);
                if (reader)
                    sqlite3_busy_timeout(reader.get(), kDefaultBusyTimeoutMs);
                source = reader.get();
            }
            sqlite3_backup* backup = source ? sqlite3_backup_init(target.get(), "main", source, "main") : nullptr;
            if (!backup) {
                failure = failureOf(target.get(), copy);
            } else {
                const int stepped = sqlite3_backup_step(backup, -1);
                const int finished = sqlite3_backup_finish(backup);
                ok = stepped == SQLITE_DONE && finished == SQLITE_OK;
                if (!ok)
                    failure = nativeFailure(stepped == SQLITE_DONE ? finished : stepped,
                                            sqlite3_errstr(stepped == SQLITE_DONE ? finished : stepped), copy);
            }
        }
    }
    if (!ok) {
        failure.description = "The copy " + copy + " of the database could not be made: " + failure.description;
        std::error_code ec;
        std::filesystem::remove(copy, ec);
        std::filesystem::remove(copy + "-journal", ec);
    }
    return ok;
}

bool SqliteDatabase::runSchemaStep(const SchemaStep& step, Failure& failure)
{
    failure = {};
    forgetStatements();
    if (sqlite3_get_autocommit(db_.get())) {
        failure = {kErrOther, "A schema step runs only inside a transaction."};
        return false;
    }
    return runStep(db_.get(), step, path(), failure);
}

bool SqliteDatabase::begin(Failure& failure)
{
    failure = {};
    if (!sqlite3_get_autocommit(db_.get())) {
        failure = {kErrOther, "A transaction is already open."};
        return false;
    }
    // IMMEDIATE takes the write lock now, so a database locked by someone else shows before any row
    // is written.
    return runScript(db_.get(), "BEGIN IMMEDIATE", path(), failure);
}

bool SqliteDatabase::commit(Failure& failure)
{
    failure = {};
    if (sqlite3_get_autocommit(db_.get()))
        return true;
    if (runScript(db_.get(), "COMMIT", path(), failure))
        return true;
    // A commit that did not happen must not stay pending, to be committed later with other work.
    if (!sqlite3_get_autocommit(db_.get()))
        sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
}

bool SqliteDatabase::rollback(Failure& failure)
{
    failure = {};
    if (sqlite3_get_autocommit(db_.get()))
        return true;
    return runScript(db_.get(), "ROLLBACK", path(), failure);
}

bool SqliteDatabase::inTransaction() const
{
    return !sqlite3_get_autocommit(db_.get());
}

void SqliteDatabase::setBusyTimeout(int milliseconds)
{
    sqlite3_busy_timeout(db_.get(), milliseconds);
}

bool SqliteDatabase::checkpoint(Failure& failure)
{
    failure = {};
    if (!sqlite3_get_autocommit(db_.get())) {
        failure = {kErrOther, "The database " + path() + " cannot be brought up to date while a transaction is open."};
        return false;
    }
    // Nothing to do, and no error, when the database keeps a rollback journal.
    if (sqlite3_wal_checkpoint_v2(db_.get(), "main", SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr) != SQLITE_OK) {
        failure = failureOf(db_.get(), path());
        return false;
    }
    return true;
}

const DeclaredNames& declaredNames()
{
    // The schema made in memory and asked for its names: one list of names for both engines.
    static const DeclaredNames names = [] {
        DeclaredNames out;
        sqlite3* raw = nullptr;
        sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        Connection db(raw);
        Failure ignored;
        if (!db || !runSteps(db.get(), latestSchemaVersion(Engine::SQLite), ":memory:", ignored))
            return out;
        std::vector<std::string> tables;
        sqlite3_stmt* rawStmt = nullptr;
        sqlite3_prepare_v2(db.get(), "SELECT name FROM sqlite_schema WHERE type = 'table'", -1, &rawStmt, nullptr);
        Statement list(rawStmt);
        while (list && sqlite3_step(list.get()) == SQLITE_ROW)
            tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(list.get(), 0)));
        for (const std::string& table : tables) {
            out.tables[lowerCase(table)] = table;
            auto& columns = out.columns[lowerCase(table)];
            rawStmt = nullptr;
            sqlite3_prepare_v2(db.get(), ("SELECT name FROM pragma_table_info(" + quoteLiteral(table) + ")").c_str(), -1,
                               &rawStmt, nullptr);
            Statement info(rawStmt);
            while (info && sqlite3_step(info.get()) == SQLITE_ROW) {
                const std::string column = reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 0));
                columns[lowerCase(column)] = column;
            }
        }
        return out;
    }();
    return names;
}

}  // namespace kyt::db
