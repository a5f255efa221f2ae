#include "db/schema_upgrade.h"

#include <filesystem>

namespace kyt::db {

std::string newerSchemaText(const std::string& source, int version, int latest)
{
    return "The database " + source + " was changed by a newer version of Kyt (its schema version is " +
           std::to_string(version) + "; this Kyt knows versions up to " + std::to_string(latest) +
           "), so this Kyt cannot use it safely. Use the newer Kyt, or ask for it to be installed on this computer.";
}

std::string upgradeCopyPath(const std::string& path, int version, std::time_t when)
{
    std::tm local{};
    localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::filesystem::path file(path);
    const std::string extension = file.has_extension() ? file.extension().string() : std::string(".db");
    const std::string name = file.stem().string() + ".v" + std::to_string(version) + "-copy-" + stamp;
    return (file.parent_path() / (name + extension)).string();
}

bool planUpgrade(Database& database, SchemaUpgrade& plan, Failure& failure)
{
    plan = {};
    if (!database.schemaVersion(plan.from, failure))
        return false;
    plan.to = latestSchemaVersion(database.engine());
    if (plan.from > plan.to) {
        failure = {kErrOther, newerSchemaText(database.path(), plan.from, plan.to)};
        return false;
    }
    if (plan.needed() && !database.access().schema) {
        failure = {kErrOther,
                   "The database " + database.path() + " was made by an earlier version of Kyt (schema version " +
                       std::to_string(plan.from) + ") and must be brought up to version " + std::to_string(plan.to) +
                       " before this Kyt can use it. Only the server's administrator may do that: kyt-cli upgrade-db " +
                       "with the administrator's login in the address (take a copy with pg_dump first).",
                   true};
        return false;
    }
    if (!plan.needed() || database.engine() != Engine::SQLite)
        return true;
    // A second upgrade in the same second (or a copy left by hand) gets a name of its own.
    const std::string first = upgradeCopyPath(database.path(), plan.from, std::time(nullptr));
    plan.copy = first;
    std::error_code ec;
    for (int n = 2; std::filesystem::exists(std::filesystem::symlink_status(plan.copy, ec)); ++n) {
        const std::filesystem::path file(first);
        plan.copy = (file.parent_path() / (file.stem().string() + "-" + std::to_string(n) + file.extension().string())).string();
    }
    return true;
}

bool upgradeSchema(Database& database, SchemaUpgrade& plan, Failure& failure)
{
    failure = {};
    if (!plan.needed())
        return true;
    if (!database.begin(failure))
        return false;
    Failure ignored;
    int found = 0;
    if (!database.schemaVersion(found, failure)) {
        database.rollback(ignored);
        return false;
    }
    if (found > plan.to) {
        database.rollback(ignored);
        failure = {kErrOther, newerSchemaText(database.path(), found, plan.to)};
        return false;
    }
    plan.from = found;
    if (!plan.needed())
        return database.commit(failure);

    bool ok = plan.copy.empty() || database.keepCopy(plan.copy, failure);
    const bool copied = ok && !plan.copy.empty();
    for (const SchemaStep& step : schemaSteps(database.engine())) {
        if (!ok)
            break;
        if (step.version > plan.from && step.version <= plan.to && !database.runSchemaStep(step, failure)) {
            failure.description = "Step " + std::to_string(step.version) + " of the schema failed: " + failure.description;
            ok = false;
        }
    }
    ok = ok && database.commit(failure);
    if (!ok) {
        database.rollback(ignored);
        if (copied) {
            // The database is as it was: the copy would only be a second one of the same.
            std::error_code ec;
            std::filesystem::remove(plan.copy, ec);
        }
    }
    return ok;
}

}  // namespace kyt::db
