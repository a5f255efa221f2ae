// kyt-cli init-db and sql: the installation step and the administrator's window into the database.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/cli.h"
#include "app/cli_session.h"
#include "db/database.h"
#include "db/recordset.h"
#include "db/schema_upgrade.h"
#include "shell/configuration.h"

namespace {

using kyt::cli::Args;
using kyt::db::Database;
using kyt::db::Failure;

int reportFailure(const Failure& failure)
{
    std::fprintf(stderr, "kyt-cli: error %d: %s\n", failure.number, failure.description.c_str());
    return kyt::cli::kFailed;
}

std::string trim(const std::string& s)
{
    const char* blanks = " \t\r\n";
    size_t first = s.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

// Lines "CODE,Full name"; blank lines and lines starting with # are skipped. Codes are kept in upper
// case, as USNs carry them.
bool readBranches(const std::string& file, std::vector<std::pair<std::string, std::string>>& branches,
                  std::string& error)
{
    std::ifstream in(file);
    if (!in) {
        error = "cannot read the branch list " + file;
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0)
            line.erase(0, 3);
        const std::string content = trim(line);
        if (content.empty() || content[0] == '#')
            continue;
        const size_t comma = content.find(',');
        std::string code = comma == std::string::npos ? content : trim(content.substr(0, comma));
        std::string name = comma == std::string::npos ? std::string() : trim(content.substr(comma + 1));
        if (code.empty() || name.empty()) {
            error = file + " line " + std::to_string(number) + ": expected CODE,Full name";
            return false;
        }
        for (char& c : code)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        branches.emplace_back(std::move(code), std::move(name));
    }
    return true;
}

int initDb(const Args& given)
{
    QCommandLineParser parser;
    parser.setApplicationDescription("Makes a new, empty database from Kyt's schema. An existing file is never replaced.");
    parser.addPositionalArgument("PATH", "The database file to make, or a database on a server to install Kyt in "
                                         "(postgresql://[login@]server[:port]/database, as its administrator).");
    parser.addOption({"branches", "Seed the Branch table from FILE, one \"CODE,Full name\" a line.", "FILE"});
    int status = 0;
    if (!kyt::cli::parse(parser, "init-db", given, status))
        return status;
    const Args args = kyt::cli::positional(parser);
    if (args.size() != 1)
        return kyt::cli::usageError(parser, "init-db", args.empty() ? "no database path given" : "one database path only");
    const std::string branchesFile = kyt::cli::value(parser, "branches");
    std::vector<std::pair<std::string, std::string>> branches;
    if (!branchesFile.empty()) {
        std::string error;
        if (!readBranches(branchesFile, branches, error)) {
            std::fprintf(stderr, "kyt-cli: %s\n", error.c_str());
            return kyt::cli::kFailed;
        }
    }
    Failure failure;
    if (!Database::create(args[0], branches, failure))
        return reportFailure(failure);
    std::printf("Created %s with %zu branch%s.\n", kyt::db::withoutPassword(args[0]).c_str(), branches.size(),
                branches.size() == 1 ? "" : "es");
    // Opening puts the new database in the journal mode its disk calls for; say which, and why.
    std::unique_ptr<Database> db = Database::open(args[0], kyt::db::Road::Connector, failure);
    if (!db)
        return reportFailure(failure);
    if (db->engine() == kyt::db::Engine::PostgreSQL)
        std::printf("Stored: %s.\n", db->storage().reason.c_str());
    else
        std::printf("Journal: %s.\n", db->storage().reason.c_str());
    return 0;
}

// One line of output: values separated by tabs, so line breaks and tabs inside a value become blanks.
std::string cell(std::string text)
{
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return text;
}

int sql(const Args& given)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Runs one SQL statement and prints its rows tab-separated, field names first; or, with --saved-query, "
        "replaces the SQL of a saved query.");
    parser.addPositionalArgument("STATEMENT", "One SQL statement.");
    parser.addOption({"db", "The database file, or a server database (postgresql://...).", "PATH"});
    parser.addOption({"road", "connector (LIKE wildcards % and _, the default) or query (* ? # [list]).", "ROAD"});
    parser.addOption({"saved-query", "Replace the SQL of the saved query NAME with STATEMENT.", "NAME"});
    int status = 0;
    if (!kyt::cli::parse(parser, "sql", given, status))
        return status;
    const Args args = kyt::cli::positional(parser);
    const std::string path = kyt::cli::value(parser, "db");
    const std::string road = kyt::cli::value(parser, "road");
    const std::string savedQuery = kyt::cli::value(parser, "saved-query");
    if (path.empty())
        return kyt::cli::usageError(parser, "sql", "--db PATH is required");
    if (args.size() != 1)
        return kyt::cli::usageError(parser, "sql", args.empty() ? "no statement given" : "one statement only");
    if (!road.empty() && road != "query" && road != "connector")
        return kyt::cli::usageError(parser, "sql", "unknown road '" + road + "' (connector or query)");
    // Saved queries belong to the query road, like the query runs that rewrite them.
    const kyt::db::Road chosen =
        road == "query" || !savedQuery.empty() ? kyt::db::Road::Query : kyt::db::Road::Connector;
    Failure failure;
    std::unique_ptr<Database> db = Database::open(path, chosen, failure);
    if (!db)
        return reportFailure(failure);
    if (!db->storage().warning.empty())
        std::fprintf(stderr, "kyt-cli: warning: %s\n", db->storage().warning.c_str());

    if (!savedQuery.empty()) {
        if (!db->setSavedQuery(savedQuery, args[0], failure))
            return reportFailure(failure);
        return 0;
    }

    kyt::db::Recordset rs;
    if (!db->query(args[0], rs, failure))
        return reportFailure(failure);
    if (rs.fieldCount() == 0)
        return 0;
    std::string out;
    for (int i = 0; i < rs.fieldCount(); ++i)
        out += (i ? "\t" : "") + cell(rs.fieldNames()[static_cast<size_t>(i)]);
    out += '\n';
    for (; !rs.isEOF(); rs.MoveNext()) {
        for (int i = 0; i < rs.fieldCount(); ++i)
            out += (i ? "\t" : "") + cell(rs.field(i).toText());
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

int upgradeDb(const Args& given)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Brings a database made by an earlier Kyt up to this Kyt's schema, in one transaction. A database file is "
        "first copied whole beside itself (NAME.vN-copy-DATE-TIME.db), and the copy is kept. Without PATH, the "
        "database the configuration names. Exit 0 when the database is up to date, 1 when it could not be "
        "upgraded (it is then unchanged).");
    parser.addPositionalArgument("PATH", "The database file (default: the configured one).", "[PATH]");
    kyt::cli::addConfigOption(parser);
    int status = 0;
    if (!kyt::cli::parse(parser, "upgrade-db", given, status))
        return status;
    const Args args = kyt::cli::positional(parser);
    if (args.size() > 1)
        return kyt::cli::usageError(parser, "upgrade-db", "one database path only");
    std::string path = args.empty() ? std::string() : args[0];
    if (path.empty()) {
        kyt::Control control;
        const std::string config = kyt::cli::value(parser, "config");
        std::error_code ec;
        control.config.ConfigPath = config.empty() ? kyt::DefaultConfigPath() : std::filesystem::absolute(config, ec).string();
        const kyt::ConfigProblem problem = kyt::LoadConfiguration(control);
        if (problem != kyt::ConfigProblem::None && problem != kyt::ConfigProblem::DatabaseNotFound) {
            std::fprintf(stderr, "kyt-cli upgrade-db: the configuration %s does not name a database\n",
                         control.config.ConfigPath.c_str());
            return kyt::cli::kUsageError;
        }
        path = control.config.DatabasePath;
    }

    Failure failure;
    std::unique_ptr<Database> db = Database::open(path, kyt::db::Road::Connector, failure);
    if (!db)
        return reportFailure(failure);
    kyt::db::SchemaUpgrade plan;
    if (!kyt::db::planUpgrade(*db, plan, failure))
        return reportFailure(failure);
    if (!plan.needed()) {
        std::printf("%s is up to date (schema version %d).\n", path.c_str(), plan.to);
        return 0;
    }
    if (!kyt::db::upgradeSchema(*db, plan, failure)) {
        std::fprintf(stderr, "kyt-cli: %s could not be upgraded; it is unchanged.\n", path.c_str());
        return reportFailure(failure);
    }
    if (!plan.needed()) {
        std::printf("%s is up to date (schema version %d): another Kyt upgraded it meanwhile.\n", path.c_str(), plan.to);
        return 0;
    }
    std::printf("Upgraded %s from schema version %d to %d.\n", path.c_str(), plan.from, plan.to);
    if (!plan.copy.empty())
        std::printf("The database as it was is kept in %s.\n", plan.copy.c_str());
    return 0;
}

}  // namespace

KYT_CLI_COMMAND("upgrade-db", "upgrade-db [PATH] [--config FILE]   bring a database made by an earlier Kyt up to date",
                upgradeDb);
KYT_CLI_COMMAND("init-db", "init-db PATH|postgresql://... [--branches FILE]   make a new, empty database", initDb);
KYT_CLI_COMMAND("sql", "sql --db PATH [--road query] \"STATEMENT\" | --saved-query NAME \"SELECT ...\"", sql);
