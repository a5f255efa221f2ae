// Kyt installed in a server's database, and its schema brought up to date: as the administrator, in
// one transaction, each step run as kyt_owner.

#include "db/postgres_database.h"

#include <libpq-fe.h>

#include "db/jet_sql.h"
#include "db/schema.h"

namespace kyt::db {

using jet::lowerCase;
using jet::quoteIdentifier;

namespace {

// The database name an address names.
std::string databaseName(const std::string& address)
{
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(address.c_str(), &error);
    PQfreemem(error);
    std::string name;
    for (PQconninfoOption* o = options; o && o->keyword; ++o)
        if (std::string_view(o->keyword) == "dbname" && o->val)
            name = o->val;
    PQconninfoFree(options);
    return name;
}

}  // namespace

bool PostgresDatabase::create(const std::string& address, const BranchList& branches, int schemaVersion,
                              Failure& failure)
{
    failure = {};
    const std::string shown = withoutPassword(address);
    const std::string name = databaseName(address);
    if (name.empty()) {
        failure = {kErrOther, "The address " + shown + " names no database (postgresql://server/DATABASE)."};
        return false;
    }
    // A database the server does not have yet is made here, and dropped again if the installation fails.
    ServerConnection conn = connectToServer(address, failure);
    bool made = false;
    if (!conn && failure.description.find("does not exist") != std::string::npos) {
        ServerConnection maintenance = connectToServer(address, failure, "postgres");
        if (!maintenance)
            return false;
        Result result(PQexec(maintenance.get(), ("CREATE DATABASE " + quoteIdentifier(name)).c_str()));
        if (!result || PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
            failure = {kErrOther, "Cannot make the database " + shown + " (" +
                                      std::string(PQresultErrorMessage(result.get())) + ")."};
            return false;
        }
        made = true;
        conn = connectToServer(address, failure);
    }
    if (!conn)
        return false;

    bool ok = false;
    {
        std::unique_ptr<PostgresDatabase> db(new PostgresDatabase(std::move(conn), shown, Road::Connector));
        Recordset found;
        ok = db->run("SELECT to_regnamespace('kyt') IS NOT NULL AS kyt, (SELECT rolsuper FROM pg_roles WHERE rolname = "
                     "current_user) AS super",
                     {}, &found, failure);
        if (ok && found.field("kyt").toInteger() != 0) {
            failure = {kErrOther, "The database " + shown + " already holds a Kyt database; Kyt does not replace it."};
            ok = false;
        }
        const bool super = ok && found.field("super").toInteger() != 0;
        // The group roles are the server's, shared by its databases: made once, kept.
        ok = ok && db->script("BEGIN; "
                              "DO $roles$ BEGIN "
                              "IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'kyt_owner') THEN CREATE ROLE kyt_owner NOLOGIN; END IF; "
                              "IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'kyt_officer') THEN CREATE ROLE kyt_officer NOLOGIN; END IF; "
                              "IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'kyt_coordinator') THEN CREATE ROLE kyt_coordinator NOLOGIN; END IF; "
                              "END $roles$; "
                              // Officers make coordinators: the admin option is theirs.
                              "GRANT kyt_coordinator TO kyt_officer WITH ADMIN OPTION",
                              failure);
        ok = ok && (super || db->script("GRANT kyt_owner TO CURRENT_USER", failure));
        ok = ok && db->script("CREATE SCHEMA kyt AUTHORIZATION kyt_owner; CREATE SCHEMA kyt_fn AUTHORIZATION kyt_owner; "
                              "CREATE SCHEMA kyt_like AUTHORIZATION kyt_owner; "
                              "CREATE EXTENSION IF NOT EXISTS citext SCHEMA kyt",
                              failure);
        Recordset citext;
        ok = ok && db->run("SELECT n.nspname FROM pg_extension e JOIN pg_namespace n ON n.oid = e.extnamespace WHERE "
                           "e.extname = 'citext'",
                           {}, &citext, failure);
        // The tables, functions and rules belong to kyt_owner, which no one logs in as.
        ok = ok && db->script("SET LOCAL ROLE kyt_owner; SET LOCAL search_path = kyt, " +
                                  quoteIdentifier(citext.field(0).toText()) + ", pg_catalog",
                              failure);
        for (const SchemaStep& step : schemaSteps(Engine::PostgreSQL)) {
            if (step.version > schemaVersion)
                break;
            ok = ok && db->script(std::string(step.sql), failure) &&
                 db->run("INSERT INTO kyt.SchemaVersion (Version) VALUES ($1) ON CONFLICT (One) DO UPDATE SET Version "
                         "= excluded.Version",
                         {std::to_string(step.version)}, nullptr, failure);
        }
        for (const auto& [code, branch] : branches) {
            if (!ok)
                break;
            if (!db->run("INSERT INTO kyt.Branch (BranchCode, Branch) VALUES ($1, $2)", {code, branch}, nullptr,
                         failure)) {
                failure.description = "Branch " + code + ": " + failure.description;
                ok = false;
            }
        }
        ok = ok && db->script("RESET ROLE; COMMIT", failure);
        if (!ok && db->conn_ && PQstatus(db->conn_.get()) == CONNECTION_OK)
            Result(PQexec(db->conn_.get(), "ROLLBACK"));
    }
    if (!ok && made) {
        Failure ignored;
        if (ServerConnection maintenance = connectToServer(address, ignored, "postgres"))
            Result(PQexec(maintenance.get(), ("DROP DATABASE IF EXISTS " + quoteIdentifier(name)).c_str()));
    }
    return ok;
}

bool PostgresDatabase::keepCopy(const std::string& copy, Failure& failure)
{
    failure = {kErrOther, "A database on a server is not copied into a file (" + copy +
                              "); the server's administrator keeps it with pg_dump."};
    return false;
}

bool PostgresDatabase::runSchemaStep(const SchemaStep& step, Failure& failure)
{
    failure = {};
    if (!transaction_) {
        failure = {kErrOther, "A schema step runs inside a transaction."};
        return false;
    }
    if (transaction_ && firstFailure_) {
        failure = *firstFailure_;
        return false;
    }
    // The session's views of its saved queries would keep a step from changing the tables they read:
    // they go first, and come back over the tables as the step left them.
    std::string views;
    for (const SavedQueryText& saved : savedQueries_)
        views += (views.empty() ? "" : ", ") + std::string("pg_temp.") + quoteIdentifier(lowerCase(saved.name));
    if (!views.empty() && !script("DROP VIEW IF EXISTS " + views + " CASCADE", failure))
        return false;
    forgetStatements();
    // The session's search path comes back for whatever the transaction does next.
    const bool ok = script("SET LOCAL ROLE kyt_owner; SET LOCAL search_path = kyt, " +
                               searchPath_.substr(searchPath_.find("kyt, ") + 5),
                           failure) &&
                    script(std::string(step.sql), failure) &&
                    run("INSERT INTO kyt.SchemaVersion (Version) VALUES ($1) ON CONFLICT (One) DO UPDATE SET Version = "
                        "excluded.Version",
                        {std::to_string(step.version)}, nullptr, failure) &&
                    script("RESET ROLE; SET LOCAL search_path = " + searchPath_, failure) &&
                    makeViews({}, {}, failure);
    return ok;
}

}  // namespace kyt::db
