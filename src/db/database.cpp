#include "db/database.h"

#include <cctype>

#include "db/postgres_database.h"
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
    if (engineOf(source) == Engine::PostgreSQL)
        return PostgresDatabase::open(source, road, failure);
    return SqliteDatabase::open(source, road, failure);
}

bool Database::create(const std::string& source, Failure& failure)
{
    return create(source, {}, failure);
}

bool Database::create(const std::string& source, const BranchList& branches, Failure& failure)
{
    if (engineOf(source) == Engine::PostgreSQL)
        return PostgresDatabase::create(source, branches, failure);
    return SqliteDatabase::create(source, branches, failure);
}

}  // namespace kyt::db
