#include "db/database.h"

#include <cctype>

#include "db/postgres_database.h"
#include "db/schema_upgrade.h"
#include "db/sqlite_database.h"

namespace kyt::db {

Engine engineOf(std::string_view source)
{
    for (std::string_view scheme : {"postgresql://", "postgres://"}) {
        if (source.size() < scheme.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < scheme.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(source[i])) == scheme[i];
        if (same)
            return Engine::PostgreSQL;
    }
    return Engine::SQLite;
}

std::unique_ptr<Database> Database::open(const std::string& source, Road road, Failure& failure)
{
    std::unique_ptr<Database> database;
    if (engineOf(source) == Engine::PostgreSQL)
        database = PostgresDatabase::open(source, road, failure);
    else
        database = SqliteDatabase::open(source, road, failure);
    if (!database)
        return nullptr;
    // A database a newer Kyt has changed may hold what this one would misread or overwrite.
    int version = 0;
    if (!database->schemaVersion(version, failure))
        return nullptr;
    const int latest = latestSchemaVersion(database->engine());
    if (version > latest) {
        failure = {kErrOther, newerSchemaText(database->path(), version, latest)};
        return nullptr;
    }
    return database;
}

bool Database::create(const std::string& source, Failure& failure)
{
    return create(source, {}, failure);
}

bool Database::create(const std::string& source, const BranchList& branches, Failure& failure)
{
    return create(source, branches, latestSchemaVersion(engineOf(source)), failure);
}

bool Database::create(const std::string& source, const BranchList& branches, int schemaVersion, Failure& failure)
{
    if (engineOf(source) == Engine::PostgreSQL)
        return PostgresDatabase::create(source, branches, schemaVersion, failure);
    return SqliteDatabase::create(source, branches, schemaVersion, failure);
}

}  // namespace kyt::db
