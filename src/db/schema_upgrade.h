#pragma once
// Bringing a database that an earlier Kyt made up to the schema of this one. The missing steps run in
// one transaction, so a failure leaves the database as it was; a database file is first copied whole
// beside itself (through the engine), so that the officer keeps the database as it was even after a
// successful upgrade. A database that a newer Kyt has changed is never opened (Database::open).

#include <ctime>
#include <string>

#include "db/database.h"

namespace kyt::db {

struct SchemaUpgrade {
    int from = 0;      // the version the database had
    int to = 0;        // the version it has after the upgrade (this Kyt's)
    std::string copy;  // the file that keeps the database as it was; empty on a server
    bool needed() const { return from < to; }
};

// Why a database of schema `version` cannot be used by this Kyt, which knows versions up to `latest`.
std::string newerSchemaText(const std::string& source, int version, int latest);

// The file a database file `path` of schema `version` is copied into before its upgrade at `when`:
// beside it, "kyt.db" giving "kyt.v1-copy-20270212-093000.db".
std::string upgradeCopyPath(const std::string& path, int version, std::time_t when);

// What upgrading `database` now would do: the versions, and for a file the name of its copy (one that
// does not exist yet). False when the version cannot be read.
bool planUpgrade(Database& database, SchemaUpgrade& plan, Failure& failure);

// Upgrades `database` as `plan` says (from planUpgrade): takes the write lock, checks the version again
// (another Kyt may have upgraded it meanwhile: then nothing is done and plan.from becomes the version
// found), keeps the copy, runs every missing step and commits. On failure the database is unchanged and
// no copy is left.
bool upgradeSchema(Database& database, SchemaUpgrade& plan, Failure& failure);

}  // namespace kyt::db
