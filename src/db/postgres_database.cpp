#include "db/postgres_database.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <set>

#include "db/c_numbers.h"
#include "db/jet_sql.h"
#include "db/native_error.h"
#include "db/schema.h"
#include "db/sqlite_database.h"  // declaredNames: the schema's names as declared, one list for both engines
#include "db/statement_shape.h"

namespace kyt::db {

using jet::lowerCase;
using jet::quoteIdentifier;

void ClearResult::operator()(pg_result* result) const
{
    PQclear(result);
}

namespace {

// Type object ids of the server's built-in types (pg_type.dat).
constexpr Oid kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700, kFloat8 = 701,
              kNumeric = 1700;

constexpr size_t kMaxKeptStatements = 32;

// The shape's `?` as the server's numbered parameters; quoted names and literals are left alone.
std::string numberedParameters(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 16);
    int number = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"' || c == '\'') {
            size_t end = i + 1;
            while (end < text.size() && !(text[end] == c && (end + 1 >= text.size() || text[end + 1] != c)))
                end += text[end] == c ? 2 : 1;
            out.append(text.substr(i, end + 1 - i));
            i = end;
        } else if (c == '?') {
            out += '$' + std::to_string(++number);
        } else {
            out += c;
        }
    }
    return out;
}

// Names given with AS in `sql`, as written: the result columns the statement and the saved queries name.
void addAliases(std::string_view sql, std::unordered_map<std::string, std::string>& names)
{
    auto isWord = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80; };
    for (size_t i = 0; i + 2 < sql.size(); ++i) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            const size_t end = sql.find(c, i + 1);
            if (end == std::string_view::npos)
                return;
            i = end;
            continue;
        }
        if ((i > 0 && isWord(sql[i - 1])) || std::tolower(static_cast<unsigned char>(c)) != 'a' ||
            std::tolower(static_cast<unsigned char>(sql[i + 1])) != 's' || isWord(sql[i + 2]))
            continue;
        size_t k = i + 2;
        while (k < sql.size() && std::isspace(static_cast<unsigned char>(sql[k])))
            ++k;
        size_t end = k;
        while (end < sql.size() && isWord(sql[end]))
            ++end;
        if (end > k) {
            const std::string alias(sql.substr(k, end - k));
            names.emplace(lowerCase(alias), alias);
        }
        i = end > 0 ? end - 1 : i;
    }
}

// The officer's offset from UTC in seconds, for Now() on the server.
long utcOffsetSeconds()
{
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return local.tm_gmtoff;
}

}  // namespace

PostgresDatabase::PostgresDatabase(ServerConnection conn, std::string address, Road road)
    : Database(std::move(address), road), conn_(std::move(conn))
{
}

PostgresDatabase::~PostgresDatabase()
{
    if (!conn_)
        return;
    // A transaction still open was never committed: closing the connection ends it without.
    Failure ignored;
    if (!sent_.empty())
        drainPipeline(ignored);
}

std::unique_ptr<PostgresDatabase> PostgresDatabase::open(const std::string& address, Road road, Failure& failure)
{
    failure = {};
    ServerConnection conn = connectToServer(address, failure);
    if (!conn)
        return nullptr;
    std::unique_ptr<PostgresDatabase> db(new PostgresDatabase(std::move(conn), withoutPassword(address), road));
    if (!db->prepareSession(failure))
        return nullptr;
    return db;
}

bool PostgresDatabase::prepareSession(Failure& failure)
{
    // Only catalogues anyone may read, before anything of Kyt's: a login without rights learns why.
    Recordset who;
    if (!run("SELECT current_user AS login, (SELECT rolsuper FROM pg_roles WHERE rolname = current_user) AS super, "
             "EXISTS (SELECT 1 FROM pg_namespace WHERE nspname = 'kyt') AND "
             "(SELECT count(*) FROM pg_roles WHERE rolname IN ('kyt_officer', 'kyt_coordinator')) = 2 AS kyt, "
             "(SELECT n.nspname FROM pg_extension e JOIN pg_namespace n ON n.oid = e.extnamespace "
             "WHERE e.extname = 'citext') AS citext, current_setting('server_version') AS version",
             {}, &who, failure))
        return false;
    access_.login = who.field("login").toText();
    const bool super = who.field("super").toInteger() != 0;
    if (who.field("kyt").toInteger() == 0 || who.field("citext").isNull()) {
        failure = {kErrOther, "The database " + path() + " is not a Kyt database (make one with kyt-cli init-db)."};
        return false;
    }
    Recordset role;
    if (!run("SELECT pg_has_role('kyt_officer', 'USAGE') AS officer, pg_has_role('kyt_coordinator', 'USAGE') AS "
             "coordinator, pg_has_role('kyt_owner', 'MEMBER') AS owner",
             {}, &role, failure))
        return false;
    const bool officer = role.field("officer").toInteger() != 0;
    const bool coordinator = role.field("coordinator").toInteger() != 0;
    if (!officer && !coordinator) {
        failure = {kErrOther, "The login " + access_.login + " is neither a placement officer nor a coordinator in the "
                                  "database " + path() + ". The administrator makes it one (GRANT kyt_officer TO " +
                                  access_.login + ", or kyt-cli add-coordinator).",
                   true};
        return false;
    }
    access_.write = officer;
    access_.schema = role.field("owner").toInteger() != 0;

    // Our schemas before the server's catalogue: the functions of the program's dialect (and, on the
    // query road, its LIKE) are found before the server's own of the same name.
    const std::string citext = quoteIdentifier(who.field("citext").toText());
    const std::string searchPath = road() == Road::Query ? "kyt_like, kyt, " + citext + ", kyt_fn, pg_catalog"
                                                         : "kyt, " + citext + ", kyt_fn, pg_catalog";
    searchPath_ = searchPath;
    if (!script("SET search_path = " + searchPath + "; SET kyt.utc_offset = '" + std::to_string(utcOffsetSeconds()) +
                    "'; SET lock_timeout = '" + std::to_string(kDefaultBusyTimeoutMs) +
                    "ms'; SET extra_float_digits = 1; SET standard_conforming_strings = on",
                failure))
        return false;

    if (!officer) {
        Recordset codes;
        if (!run("SELECT unnest(kyt.my_branches()) AS code ORDER BY 1", {}, &codes, failure))
            return false;
        for (; !codes.isEOF(); codes.MoveNext())
            access_.branches.push_back(codes.field(0).toText());
    }

    Recordset tables;
    if (!run("SELECT c.oid::int8 AS id, c.relname AS name FROM pg_class c JOIN pg_namespace n ON n.oid = "
             "c.relnamespace WHERE n.nspname = 'kyt' AND c.relkind IN ('r', 'p')",
             {}, &tables, failure))
        return false;
    for (; !tables.isEOF(); tables.MoveNext())
        tables_[static_cast<unsigned>(tables.field(0).toInteger())] = tables.field(1).toText();

    Recordset domains;
    if (!run("SELECT t.oid::int8 AS id, t.typbasetype::int8 AS base FROM pg_type t JOIN pg_namespace n ON n.oid = "
             "t.typnamespace WHERE n.nspname = 'kyt' AND t.typtype = 'd'",
             {}, &domains, failure))
        return false;
    for (; !domains.isEOF(); domains.MoveNext())
        domains_[static_cast<Oid>(domains.field(0).toInteger())] = static_cast<Oid>(domains.field(1).toInteger());

    // The login's own saved queries, or the ones every login starts with.
    Recordset saved;
    if (!run("SELECT Name, SQL FROM kyt.SavedQuery WHERE Login IN (current_user, '') ORDER BY Login = '', Name", {},
             &saved, failure))
        return false;
    for (; !saved.isEOF(); saved.MoveNext()) {
        const std::string name = saved.field(0).toText();
        const bool known = std::any_of(savedQueries_.begin(), savedQueries_.end(),
                                       [&](const SavedQueryText& q) { return lowerCase(q.name) == lowerCase(name); });
        if (!known)
            savedQueries_.push_back({name, saved.field(1).toText()});
    }
    if (!makeViews({}, {}, failure))
        return false;

    const std::string version = who.field("version").toText();
    storage_.reason = "kept by the PostgreSQL " + version + " server of " + path();
    if (super)
        storage_.warning = "Kyt is connected to the database " + path() + " as " + access_.login +
                           ", an administrator of the server, who is not bound by the rules that keep coordinators "
                           "to their own branches. Use an officer's login for daily work.";
    return true;
}

Failure PostgresDatabase::failureOf(const pg_result* result)
{
    const bool lost = !result || PQstatus(conn_.get()) != CONNECTION_OK;
    auto field = [result](int code) -> std::string_view {
        const char* value = result ? PQresultErrorField(result, code) : nullptr;
        return value ? value : "";
    };
    std::string message(field(PG_DIAG_MESSAGE_PRIMARY));
    if (message.empty()) {
        message = result ? PQresultErrorMessage(result) : PQerrorMessage(conn_.get());
        while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
            message.pop_back();
    }
    return serverFailure(field(PG_DIAG_SQLSTATE), message, field(PG_DIAG_CONSTRAINT_NAME), path(), lost);
}

bool PostgresDatabase::failed(Failure failure, Failure& out)
{
    if (transaction_ && !firstFailure_)
        firstFailure_ = failure;
    // After a failure of the surroundings the transaction cannot be trusted: it ends here, so that
    // nothing of it can be committed later.
    if (failure.environment && transaction_) {
        if (PQstatus(conn_.get()) == CONNECTION_OK)
            Result(PQexec(conn_.get(), "ROLLBACK"));
        transaction_ = false;
        firstFailure_.reset();
    }
    out = std::move(failure);
    return false;
}

bool PostgresDatabase::script(const std::string& sql, Failure& failure)
{
    failure = {};
    if (!sent_.empty() && !leavePipeline(failure))
        return false;
    Result result(PQexec(conn_.get(), sql.c_str()));
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_EMPTY_QUERY)
        return true;
    return failed(failureOf(result.get()), failure);
}

bool PostgresDatabase::run(const std::string& sql, const std::vector<std::optional<std::string>>& values,
                           Recordset* out, Failure& failure)
{
    failure = {};
    if (!sent_.empty() && !leavePipeline(failure))
        return false;
    std::vector<const char*> pointers;
    for (const auto& value : values)
        pointers.push_back(value ? value->c_str() : nullptr);
    Result result(PQexecParams(conn_.get(), sql.c_str(), static_cast<int>(pointers.size()), nullptr, pointers.data(),
                               nullptr, nullptr, 0));
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        return failed(failureOf(result.get()), failure);
    if (out)
        *out = recordsetOf(result.get(), sql);
    return true;
}

bool PostgresDatabase::copyRows(const std::string& table,
                                const std::vector<std::vector<std::optional<std::string>>>& rows, Failure& failure)
{
    // COPY is refused into a table with row rules: the rows go into a temporary copy of the table's
    // columns, and from there into the table under its rules.
    if (!script("CREATE TEMPORARY TABLE kyt_copied (LIKE " + table + ") ON COMMIT DROP", failure))
        return false;
    {
        Result copying(PQexec(conn_.get(), "COPY pg_temp.kyt_copied FROM STDIN"));
        if (!copying || PQresultStatus(copying.get()) != PGRES_COPY_IN)
            return failed(failureOf(copying.get()), failure);
    }
    std::string buffer;
    bool sent = true;
    for (const auto& row : rows) {
        for (size_t c = 0; c < row.size(); ++c) {
            if (c)
                buffer += '\t';
            if (!row[c]) {
                buffer += "\\N";
                continue;
            }
            for (char ch : *row[c]) {
                switch (ch) {
                case '\\': buffer += "\\\\"; break;
                case '\t': buffer += "\\t"; break;
                case '\n': buffer += "\\n"; break;
                case '\r': buffer += "\\r"; break;
                default: buffer += ch;
                }
            }
        }
        buffer += '\n';
        if (buffer.size() > (1 << 16)) {
            sent = sent && PQputCopyData(conn_.get(), buffer.data(), static_cast<int>(buffer.size())) == 1;
            buffer.clear();
        }
    }
    if (!buffer.empty())
        sent = sent && PQputCopyData(conn_.get(), buffer.data(), static_cast<int>(buffer.size())) == 1;
    sent = PQputCopyEnd(conn_.get(), sent ? nullptr : "the copy was not sent whole") == 1 && sent;
    bool ok = true;
    while (Result result{PQgetResult(conn_.get())}) {
        if (PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
            ok = false;
            failed(failureOf(result.get()), failure);
        }
    }
    if (ok && !sent)
        return failed(failureOf(nullptr), failure);
    return ok && script("INSERT INTO " + table + " SELECT * FROM pg_temp.kyt_copied", failure) &&
           script("DROP TABLE pg_temp.kyt_copied", failure);
}

Recordset PostgresDatabase::recordsetOf(const pg_result* result, std::string_view sql)
{
    const int columns = PQnfields(result);
    // The server gives names in lower case; the grid, saved files and merge fields show them as declared:
    // the statement's own AS names first, then the column of the table it comes from, then the names
    // the saved queries give, then any table's.
    std::unordered_map<std::string, std::string> aliases, savedAliases;
    addAliases(sql, aliases);
    for (const SavedQueryText& saved : savedQueries_)
        addAliases(saved.sql, savedAliases);
    const DeclaredNames& declared = declaredNames();
    std::set<std::string> twoDecimalNames;
    for (std::string name : jet::twoDecimalAliases(sql))
        twoDecimalNames.insert(lowerCase(std::move(name)));
    for (const SavedQueryText& saved : savedQueries_)
        for (std::string name : jet::twoDecimalAliases(saved.sql))
            twoDecimalNames.insert(lowerCase(std::move(name)));

    std::vector<std::string> names;
    std::vector<Oid> types;
    std::vector<bool> twoDecimals;
    for (int c = 0; c < columns; ++c) {
        const std::string given = PQfname(result, c);
        std::string name = given;
        if (auto a = aliases.find(given); a != aliases.end()) {
            name = a->second;
        } else if (auto table = tables_.find(PQftable(result, c)); table != tables_.end() &&
                                                                   declared.columns.count(table->second) &&
                                                                   declared.columns.at(table->second).count(given)) {
            name = declared.columns.at(table->second).at(given);
        } else if (auto s = savedAliases.find(given); s != savedAliases.end()) {
            name = s->second;
        } else {
            for (const char* t : {"personal", "marks", "branch"}) {
                auto found = declared.columns.find(t);
                if (found != declared.columns.end() && found->second.count(given)) {
                    name = found->second.at(given);
                    break;
                }
            }
        }
        names.push_back(name);
        types.push_back(PQftype(result, c));
        twoDecimals.push_back(twoDecimalNames.count(lowerCase(name)) > 0);
    }
    std::vector<std::vector<Value>> rows;
    const int count = PQntuples(result);
    rows.reserve(static_cast<size_t>(count));
    for (int r = 0; r < count; ++r) {
        std::vector<Value> row;
        row.reserve(static_cast<size_t>(columns));
        for (int c = 0; c < columns; ++c) {
            if (PQgetisnull(result, r, c)) {
                row.emplace_back();
                continue;
            }
            const char* text = PQgetvalue(result, r, c);
            switch (types[static_cast<size_t>(c)]) {
            case kInt2:
            case kInt4:
            case kInt8:
            case kOid: {
                const int64_t v = std::strtoll(text, nullptr, 10);
                row.push_back(twoDecimals[static_cast<size_t>(c)] ? Value::real(static_cast<double>(v), true)
                                                                  : Value::integer(v));
                break;
            }
            case kBool:
                row.push_back(Value::integer(text[0] == 't' ? 1 : 0));
                break;
            case kFloat4:
            case kFloat8:
            case kNumeric:
                row.push_back(Value::real(CStrtod(text), twoDecimals[static_cast<size_t>(c)]));
                break;
            default:
                row.push_back(Value::text(std::string(text, static_cast<size_t>(PQgetlength(result, r, c)))));
            }
        }
        rows.push_back(std::move(row));
    }
    return Recordset(std::move(names), std::move(rows));
}

void PostgresDatabase::forgetStatements()
{
    if (!statements_.empty() && PQstatus(conn_.get()) == CONNECTION_OK && sent_.empty())
        Result(PQexec(conn_.get(), "DEALLOCATE ALL"));
    statements_.clear();
}

std::optional<std::string> PostgresDatabase::prepared(const std::string& text, int parameters, Failure& failure)
{
    if (auto kept = statements_.find(text); kept != statements_.end())
        return kept->second.name;
    if (!sent_.empty() && !leavePipeline(failure))
        return std::nullopt;
    if (statements_.size() >= kMaxKeptStatements)
        forgetStatements();
    const std::string name = "kyt_" + std::to_string(++statementSerial_);
    Result result(PQprepare(conn_.get(), name.c_str(), text.c_str(), parameters, nullptr));
    if (!result || PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
        failure = failureOf(result.get());
        return std::nullopt;
    }
    // A value bound to a field's domain would be read by the domain's own input, which sets the domain's
    // checks up afresh for every value of every run; read as the domain's base type, it is checked by
    // the statement's plan, set up once a run.
    if (parameters > 0 && !domains_.empty()) {
        Result described(PQdescribePrepared(conn_.get(), name.c_str()));
        if (!described || PQresultStatus(described.get()) != PGRES_COMMAND_OK) {
            failure = failureOf(described.get());
            return std::nullopt;
        }
        std::vector<Oid> types;
        bool domain = false;
        for (int i = 0; i < PQnparams(described.get()); ++i) {
            const auto base = domains_.find(PQparamtype(described.get(), i));
            domain = domain || base != domains_.end();
            types.push_back(base != domains_.end() ? base->second : PQparamtype(described.get(), i));
        }
        if (domain) {
            Result dropped(PQexec(conn_.get(), ("DEALLOCATE " + name).c_str()));
            Result again(PQprepare(conn_.get(), name.c_str(), text.c_str(), parameters, types.data()));
            if (!again || PQresultStatus(again.get()) != PGRES_COMMAND_OK) {
                failure = failureOf(again.get());
                return std::nullopt;
            }
        }
    }
    statements_.emplace(text, Prepared{name});
    return name;
}

bool PostgresDatabase::leavePipeline(Failure& failure)
{
    const bool ok = drainPipeline(failure);
    PQexitPipelineMode(conn_.get());
    return ok;
}

bool PostgresDatabase::drainPipeline(Failure& failure)
{
    if (sent_.empty())
        return true;
    lastAnswered_.clear();
    std::optional<Failure> first;
    if (PQpipelineSync(conn_.get()) != 1) {
        first = failureOf(nullptr);
    } else {
        // Each statement's results end with a null; the sync's own comes last.
        size_t index = 0;
        for (;;) {
            PGresult* raw = PQgetResult(conn_.get());
            if (!raw) {
                if (PQstatus(conn_.get()) != CONNECTION_OK) {
                    if (!first)
                        first = failureOf(nullptr);
                    break;
                }
                ++index;
                continue;
            }
            Result result(raw);
            const ExecStatusType status = PQresultStatus(result.get());
            if (status == PGRES_PIPELINE_SYNC)
                break;
            if (status == PGRES_COMMAND_OK)
                lastAnswered_ = PQcmdStatus(result.get());
            if (status == PGRES_FATAL_ERROR && !first) {
                first = failureOf(result.get());
                first->statement = index < sent_.size() ? sent_[index] : std::string();
            }
        }
    }
    sent_.clear();
    if (!first)
        return true;
    return failed(*first, failure);
}

bool PostgresDatabase::runJet(std::string_view sql, Recordset* out, bool readOnly, Failure& failure)
{
    failure = {};
    if (transaction_ && firstFailure_) {
        // The server refuses everything after a failure until the rollback; the first failure is the reason.
        failure = *firstFailure_;
        return false;
    }
    std::string text;
    std::vector<std::string> values;
    bool shaped = false;
    if (!readOnly) {
        if (const std::optional<StatementShape> shape = writeShape(sql)) {
            text = numberedParameters(jet::toPostgres(shape->text));
            for (const StatementShape::Literal& literal : shape->literals)
                values.push_back(literal.text);
            shaped = true;
        }
    }
    if (!shaped)
        text = jet::toPostgres(sql);

    // A statement that changes what compiled ones were made for runs once, as it is, after they go.
    if (!readOnly && !shaped && !jet::startsWithWord(text, "SELECT")) {
        forgetStatements();
        if (!sent_.empty() && !leavePipeline(failure))
            return false;
        Result result(PQexecParams(conn_.get(), text.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0));
        const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            return failed(failureOf(result.get()), failure);
        if (out)
            *out = status == PGRES_TUPLES_OK ? recordsetOf(result.get(), sql) : Recordset();
        return true;
    }
    std::optional<std::string> name;
    if (shaped) {
        // The values' types come from where they go. Where the server cannot tell, the statement runs as
        // written; a shape seen for the first time inside a transaction is tried in a savepoint, since a
        // failure would spoil the transaction.
        const bool guard = transaction_ && !statements_.count(text);
        if (guard && !script("SAVEPOINT kyt_shape", failure))
            return false;
        Failure ignored;
        name = prepared(text, static_cast<int>(values.size()), ignored);
        if (guard && !script(name ? "RELEASE kyt_shape" : "ROLLBACK TO kyt_shape; RELEASE kyt_shape", failure))
            return false;
        if (!name) {
            text = jet::toPostgres(sql);
            values.clear();
        }
    }
    if (!name) {
        name = prepared(text, 0, failure);
        if (!name)
            return failed(failure, failure);
    }
    if (readOnly) {
        int& fields = statements_[text].fields;
        if (fields < 0) {
            if (!sent_.empty() && !leavePipeline(failure))
                return false;
            Result described(PQdescribePrepared(conn_.get(), name->c_str()));
            if (!described || PQresultStatus(described.get()) != PGRES_COMMAND_OK)
                return failed(failureOf(described.get()), failure);
            fields = PQnfields(described.get());
        }
        if (fields == 0 || !jet::startsWithWord(text, "SELECT")) {
            failure = {kErrOther, "Only a SELECT can be opened as a recordset."};
            return false;
        }
    }
    std::vector<const char*> pointers;
    for (const std::string& value : values)
        pointers.push_back(value.c_str());
    if (pipelinedWrites_ && transaction_ && !out && !readOnly && shaped) {
        if (sent_.empty() && PQpipelineStatus(conn_.get()) == PQ_PIPELINE_OFF && PQenterPipelineMode(conn_.get()) != 1)
            return failed(failureOf(nullptr), failure);
        if (PQsendQueryPrepared(conn_.get(), name->c_str(), static_cast<int>(pointers.size()), pointers.data(), nullptr,
                                nullptr, 0) != 1)
            return failed(failureOf(nullptr), failure);
        sent_.emplace_back(sql);
        return true;
    }
    if (!sent_.empty() && !leavePipeline(failure))
        return false;
    Result result(PQexecPrepared(conn_.get(), name->c_str(), static_cast<int>(pointers.size()), pointers.data(), nullptr,
                                 nullptr, 0));
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        return failed(failureOf(result.get()), failure);
    if (out)
        *out = status == PGRES_TUPLES_OK ? recordsetOf(result.get(), sql) : Recordset();
    return true;
}

bool PostgresDatabase::exec(std::string_view sql, Failure& failure)
{
    return runJet(sql, nullptr, false, failure);
}

bool PostgresDatabase::openRecordset(std::string_view sql, Recordset& out, Failure& failure)
{
    return runJet(sql, &out, true, failure);
}

bool PostgresDatabase::query(std::string_view sql, Recordset& out, Failure& failure)
{
    return runJet(sql, &out, false, failure);
}

bool PostgresDatabase::begin(Failure& failure)
{
    failure = {};
    if (transaction_) {
        failure = {kErrOther, "A transaction is already open."};
        return false;
    }
    // Where writes go ahead, so does the BEGIN: it is answered with them.
    const bool ahead = pipelinedWrites_ && sent_.empty() && sendAhead("BEGIN");
    if (!ahead && !script("BEGIN", failure))
        return false;
    transaction_ = true;
    firstFailure_.reset();
    return true;
}

bool PostgresDatabase::sendAhead(const std::string& sql)
{
    if (sent_.empty() && PQpipelineStatus(conn_.get()) == PQ_PIPELINE_OFF && PQenterPipelineMode(conn_.get()) != 1)
        return false;
    if (PQsendQueryParams(conn_.get(), sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0) != 1) {
        if (sent_.empty())
            PQexitPipelineMode(conn_.get());
        return false;
    }
    sent_.push_back(sql);
    return true;
}

bool PostgresDatabase::commit(Failure& failure)
{
    failure = {};
    if (!transaction_)
        return true;
    // After writes sent ahead and not failed yet, the COMMIT goes after them: one answer for all.
    const bool commitAhead = !sent_.empty() && !firstFailure_ && sendAhead("COMMIT");
    if (!sent_.empty() && !leavePipeline(failure)) {
        // A write sent ahead failed (the COMMIT after it was not run), or the COMMIT did: nothing of
        // the transaction may be committed.
        Failure ignored;
        rollback(ignored);
        return false;
    }
    if (commitAhead) {
        transaction_ = false;
        firstFailure_.reset();
        if (lastAnswered_ == "COMMIT")
            return true;
        failure = {kErrOther, "The server rolled the transaction back; nothing was saved.", true};
        return false;
    }
    if (firstFailure_) {
        failure = *firstFailure_;
        Failure ignored;
        rollback(ignored);
        return false;
    }
    Result result(PQexec(conn_.get(), "COMMIT"));
    const bool committed = result && PQresultStatus(result.get()) == PGRES_COMMAND_OK &&
                           std::string_view(PQcmdStatus(result.get())) == "COMMIT";
    transaction_ = false;
    firstFailure_.reset();
    if (committed)
        return true;
    failure = failureOf(result.get());
    if (failure.number == 0 || failure.description.empty())
        failure = {kErrOther, "The server rolled the transaction back; nothing was saved.", true};
    return false;
}

bool PostgresDatabase::rollback(Failure& failure)
{
    failure = {};
    if (!transaction_)
        return true;
    Failure ignored;
    if (!sent_.empty())
        leavePipeline(ignored);
    transaction_ = false;
    firstFailure_.reset();
    if (PQstatus(conn_.get()) != CONNECTION_OK)
        return true;  // the server ended the transaction with the connection
    Result result(PQexec(conn_.get(), "ROLLBACK"));
    if (result && PQresultStatus(result.get()) == PGRES_COMMAND_OK)
        return true;
    failure = failureOf(result.get());
    return false;
}

bool PostgresDatabase::inTransaction() const
{
    return transaction_;
}

void PostgresDatabase::setBusyTimeout(int milliseconds)
{
    Failure ignored;
    script("SET lock_timeout = '" + std::to_string(std::max(milliseconds, 1)) + "ms'", ignored);
}

bool PostgresDatabase::checkpoint(Failure& failure)
{
    failure = {};
    if (transaction_) {
        failure = {kErrOther, "The database " + path() + " cannot be brought up to date while a transaction is open."};
        return false;
    }
    return true;
}

bool PostgresDatabase::schemaVersion(int& version, Failure& failure)
{
    Recordset rs;
    if (!run("SELECT Version FROM kyt.SchemaVersion", {}, &rs, failure))
        return false;
    version = rs.isEOF() ? 0 : static_cast<int>(rs.field(0).toInteger());
    return true;
}

}  // namespace kyt::db
