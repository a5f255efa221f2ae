#include "db/server_admin.h"

#include <charconv>
#include <cmath>
#include <optional>

#include "db/postgres_database.h"

namespace kyt::db {

namespace {

std::string quoteIdentifier(const std::string& name)
{
    std::string out = "\"";
    for (char c : name)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

PostgresDatabase* officersServer(Database& database, Failure& failure)
{
    auto* server = dynamic_cast<PostgresDatabase*>(&database);
    if (!server) {
        failure = {kErrOther, "Coordinators belong to a database on a server; " + database.path() + " is a file."};
        return nullptr;
    }
    if (!database.access().write) {
        failure = {kErrOther, "Only a placement officer manages the coordinators of " + database.path() + "."};
        return nullptr;
    }
    return server;
}

// A value as COPY reads it back as the same value: numbers in the C locale, reals exactly.
std::optional<std::string> copyText(const Value& value)
{
    switch (value.type()) {
    case Value::Type::Null:
        return std::nullopt;
    case Value::Type::Integer:
        return std::to_string(value.toInteger());
    case Value::Type::Real: {
        char text[64];
        const auto result = std::to_chars(text, text + sizeof text, value.toDouble());
        return std::string(text, result.ptr);
    }
    case Value::Type::Text:
        break;
    }
    return value.toText();
}

}  // namespace

bool addCoordinator(Database& database, const std::string& login, const std::vector<std::string>& branches,
                    Failure& failure)
{
    failure = {};
    PostgresDatabase* server = officersServer(database, failure);
    if (!server)
        return false;
    if (login.empty() || branches.empty()) {
        failure = {kErrOther, "A coordinator is a login and at least one branch code."};
        return false;
    }
    Recordset found;
    if (!server->run("SELECT rolcanlogin AS login, pg_has_role(oid, 'kyt_officer', 'MEMBER') AS officer FROM pg_roles "
                     "WHERE rolname = $1",
                     {login}, &found, failure))
        return false;
    if (found.isEOF() || found.field("login").toInteger() == 0) {
        failure = {kErrOther, "There is no login " + login + " on the server of " + database.path() +
                                  ". The server's administrator makes it first (CREATE ROLE " + quoteIdentifier(login) +
                                  " LOGIN PASSWORD '...')."};
        return false;
    }
    if (found.field("officer").toInteger() != 0) {
        failure = {kErrOther, login + " is a placement officer, who reads every branch already."};
        return false;
    }
    for (const std::string& code : branches) {
        Recordset branch;
        if (!server->run("SELECT BranchCode FROM kyt.Branch WHERE BranchCode = $1", {code}, &branch, failure))
            return false;
        if (branch.isEOF()) {
            failure = {kErrOther, "There is no branch " + code + " in the database " + database.path() + "."};
            return false;
        }
    }
    if (!server->begin(failure))
        return false;
    bool ok = true;
    for (const std::string& code : branches)
        ok = ok && server->run("INSERT INTO kyt.Coordinator (Login, BranchCode) SELECT $1, BranchCode FROM kyt.Branch "
                               "WHERE BranchCode = $2 ON CONFLICT DO NOTHING",
                               {login, code}, nullptr, failure);
    ok = ok && server->script("GRANT kyt_coordinator TO " + quoteIdentifier(login), failure);
    if (!ok) {
        Failure ignored;
        server->rollback(ignored);
        return false;
    }
    return server->commit(failure);
}

bool removeCoordinator(Database& database, const std::string& login, Failure& failure)
{
    failure = {};
    PostgresDatabase* server = officersServer(database, failure);
    if (!server)
        return false;
    Recordset found;
    if (!server->run("SELECT count(*) AS n FROM kyt.Coordinator WHERE Login = $1", {login}, &found, failure))
        return false;
    if (found.field("n").toInteger() == 0) {
        failure = {kErrOther, login + " is not a coordinator of " + database.path() + "."};
        return false;
    }
    if (!server->begin(failure))
        return false;
    if (!server->run("DELETE FROM kyt.Coordinator WHERE Login = $1", {login}, nullptr, failure) ||
        !server->script("REVOKE kyt_coordinator FROM " + quoteIdentifier(login), failure)) {
        Failure ignored;
        server->rollback(ignored);
        return false;
    }
    return server->commit(failure);
}

bool migrate(const std::string& file, const std::string& address, std::vector<Compared>& compared, Failure& failure)
{
    failure = {};
    compared.clear();
    if (engineOf(file) != Engine::SQLite || engineOf(address) != Engine::PostgreSQL) {
        failure = {kErrOther, "migrate-db copies a database file (first) into a database on a server (second)."};
        return false;
    }
    std::unique_ptr<Database> source = Database::open(file, Road::Connector, failure);
    if (!source)
        return false;
    int version = 0;
    if (!source->schemaVersion(version, failure))
        return false;
    if (version < latestSchemaVersion(Engine::SQLite)) {
        failure = {kErrOther, "The database " + file + " was made by an earlier Kyt: bring it up to date first "
                                                      "(kyt-cli upgrade-db " + file + ")."};
        return false;
    }
    std::unique_ptr<Database> opened = Database::open(address, Road::Connector, failure);
    if (!opened)
        return false;
    auto* target = dynamic_cast<PostgresDatabase*>(opened.get());
    if (!target->access().write) {
        failure = {kErrOther, "Only a placement officer's login can fill the database " + address + "."};
        return false;
    }
    Recordset students;
    if (!target->run("SELECT (SELECT count(*) FROM kyt.Personal) + (SELECT count(*) FROM kyt.Marks) + "
                     "(SELECT count(*) FROM kyt.Drive) + (SELECT count(*) FROM kyt.Shortlist) + "
                     "(SELECT count(*) FROM kyt.ExtractionRun) AS n",
                     {}, &students, failure))
        return false;
    if (students.field(0).toInteger() != 0) {
        failure = {kErrOther, "The database " + target->path() +
                                  " already holds students; migrate-db fills only a database without any."};
        return false;
    }

    // Figures asked of both sides with the same statement.
    const std::pair<const char*, const char*> checks[] = {
        {"branches", "SELECT count(*) AS v FROM Branch"},
        {"students", "SELECT count(*) AS v FROM Personal"},
        {"marks rows", "SELECT count(*) AS v FROM Marks"},
        {"marks obtained, summed", "SELECT sum(obtained) AS v FROM Marks"},
        {"maximum marks, summed", "SELECT sum(max) AS v FROM Marks"},
        {"PIN codes, summed", "SELECT sum(Pin) AS v FROM Personal"},
        {"aggregates 1 to 6, summed", "SELECT format(sum(one_to_6), '0.00') AS v FROM Personal"},
        {"characters of names and addresses", "SELECT sum(length(Name) + length(Address1)) AS v FROM Personal"},
        {"characters of institutions", "SELECT sum(length(Institution)) AS v FROM Marks"},
        {"drives", "SELECT count(*) AS v FROM Drive"},
        {"shortlisted students", "SELECT count(*) AS v FROM Shortlist"},
        {"extraction runs", "SELECT count(*) AS v FROM ExtractionRun"},
        {"students of the runs", "SELECT count(*) AS v FROM RunStudent"},
        {"replaced students kept", "SELECT count(*) AS v FROM RunPersonal"},
        {"replaced marks rows kept", "SELECT count(*) AS v FROM RunMarks"},
        {"faults of refused documents", "SELECT count(*) AS v FROM RunFault"},
        {"characters of the faults", "SELECT sum(length(Reason)) AS v FROM RunFault"},
    };
    auto figure = [&](Database& db, const char* sql, std::string& out) {
        Recordset rs;
        if (!db.openRecordset(sql, rs, failure))
            return false;
        out = rs.field(0).toText();
        return true;
    };

    if (!target->begin(failure))
        return false;
    bool ok = target->run("DELETE FROM kyt.Branch", {}, nullptr, failure);
    for (const char* table : {"Branch", "Personal", "Marks", "Drive", "Shortlist", "ExtractionRun", "RunStudent",
                              "RunPersonal", "RunMarks", "RunFault"}) {
        Recordset rows;
        ok = ok && source->openRecordset(std::string("SELECT * FROM ") + table, rows, failure);
        if (!ok)
            break;
        std::vector<std::vector<std::optional<std::string>>> copied;
        copied.reserve(static_cast<size_t>(rows.RecordCount()));
        for (; !rows.isEOF(); rows.MoveNext()) {
            auto& row = copied.emplace_back();
            for (int c = 0; c < rows.fieldCount(); ++c)
                row.push_back(copyText(rows.field(c)));
        }
        ok = target->copyRows(std::string("kyt.") + table, copied, failure);
    }
    // New drives and runs are numbered after the ones copied.
    ok = ok && target->run("SELECT setval(pg_get_serial_sequence('kyt.drive', 'driveid'), coalesce(max(DriveId), 0) + 1, "
                           "false) FROM kyt.Drive",
                           {}, nullptr, failure);
    ok = ok && target->run("SELECT setval(pg_get_serial_sequence('kyt.extractionrun', 'runid'), "
                           "coalesce(max(RunId), 0) + 1, false) FROM kyt.ExtractionRun",
                           {}, nullptr, failure);
    for (const auto& [what, sql] : checks) {
        if (!ok)
            break;
        Compared c{what, {}, {}};
        ok = figure(*source, sql, c.file) && figure(*target, sql, c.server);
        compared.push_back(c);
        if (ok && c.file != c.server) {
            failure = {kErrOther, std::string("The copy differs from the file in its ") + what + " (" + c.file +
                                      " in the file, " + c.server + " on the server); nothing was kept."};
            ok = false;
        }
    }
    if (!ok) {
        Failure ignored;
        target->rollback(ignored);
        return false;
    }
    return target->commit(failure);
}

}  // namespace kyt::db
