// kyt-cli migrate-db, add-coordinator and remove-coordinator: what an officer does on a server that a
// database file does not need.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/cli.h"
#include "db/database.h"
#include "db/server_admin.h"

namespace {

using kyt::cli::Args;
using kyt::db::Database;
using kyt::db::Failure;

int reportFailure(const Failure& failure)
{
    std::fprintf(stderr, "kyt-cli: error %d: %s\n", failure.number, failure.description.c_str());
    return 1;
}

int migrateDb(const Args& given)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Copies a database file into a database on a server made by init-db and holding no students yet, in one "
        "transaction: branches, students and marks. Counts and sums of both are compared before the copy is kept.");
    parser.addPositionalArgument("FILE", "The database file (.db).");
    parser.addPositionalArgument("ADDRESS", "The server database: postgresql://[login@]server[:port]/database.");
    int status = 0;
    if (!kyt::cli::parse(parser, "migrate-db", given, status))
        return status;
    const Args args = kyt::cli::positional(parser);
    if (args.size() != 2)
        return kyt::cli::usageError(parser, "migrate-db", "a database file and a server address are needed");
    if (kyt::db::engineOf(args[0]) != kyt::db::Engine::SQLite ||
        kyt::db::engineOf(args[1]) != kyt::db::Engine::PostgreSQL)
        return kyt::cli::usageError(parser, "migrate-db", "the file comes first, the postgresql:// address second");
    std::vector<kyt::db::Compared> compared;
    Failure failure;
    const bool copied = kyt::db::migrate(args[0], args[1], compared, failure);
    for (const kyt::db::Compared& c : compared)
        std::printf("%-36s %14s %14s\n", c.what.c_str(), c.file.c_str(), c.server.c_str());
    if (!copied)
        return reportFailure(failure);
    std::printf("Copied %s into %s.\n", args[0].c_str(), kyt::db::withoutPassword(args[1]).c_str());
    return 0;
}

// The database of --db: a server address.
std::unique_ptr<Database> openServer(QCommandLineParser& parser, const char* command, int& status)
{
    const std::string address = kyt::cli::value(parser, "db");
    if (kyt::db::engineOf(address) != kyt::db::Engine::PostgreSQL) {
        status = kyt::cli::usageError(parser, command, "--db postgresql://... is required: coordinators are a server's");
        return nullptr;
    }
    Failure failure;
    std::unique_ptr<Database> db = Database::open(address, kyt::db::Road::Connector, failure);
    if (!db)
        status = reportFailure(failure);
    return db;
}

int addCoordinator(const Args& given)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Makes a server login a coordinator of one or more branches: it then reads, queries, saves and merges the "
        "students of those branches only. The server's administrator makes the login first.");
    parser.addOption({"db", "The server database: postgresql://[officer@]server[:port]/database.", "ADDRESS"});
    parser.addPositionalArgument("LOGIN", "The coordinator's server login.");
    parser.addPositionalArgument("BRANCH", "Branch codes (CS, EC, ...).", "BRANCH...");
    int status = 0;
    if (!kyt::cli::parse(parser, "add-coordinator", given, status))
        return status;
    Args args = kyt::cli::positional(parser);
    if (args.size() < 2)
        return kyt::cli::usageError(parser, "add-coordinator", "a login and at least one branch code are needed");
    std::unique_ptr<Database> db = openServer(parser, "add-coordinator", status);
    if (!db)
        return status;
    std::vector<std::string> branches(args.begin() + 1, args.end());
    for (std::string& code : branches)
        for (char& c : code)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
    Failure failure;
    if (!kyt::db::addCoordinator(*db, args[0], branches, failure))
        return reportFailure(failure);
    std::string codes;
    for (const std::string& code : branches)
        codes += (codes.empty() ? "" : ", ") + code;
    std::printf("%s coordinates %s.\n", args[0].c_str(), codes.c_str());
    return 0;
}

int removeCoordinator(const Args& given)
{
    QCommandLineParser parser;
    parser.setApplicationDescription("Takes every branch, and the coordinator's rights, from a coordinator's login.");
    parser.addOption({"db", "The server database: postgresql://[officer@]server[:port]/database.", "ADDRESS"});
    parser.addPositionalArgument("LOGIN", "The coordinator's server login.");
    int status = 0;
    if (!kyt::cli::parse(parser, "remove-coordinator", given, status))
        return status;
    const Args args = kyt::cli::positional(parser);
    if (args.size() != 1)
        return kyt::cli::usageError(parser, "remove-coordinator", "one login is needed");
    std::unique_ptr<Database> db = openServer(parser, "remove-coordinator", status);
    if (!db)
        return status;
    Failure failure;
    if (!kyt::db::removeCoordinator(*db, args[0], failure))
        return reportFailure(failure);
    std::printf("%s coordinates no branch any more.\n", args[0].c_str());
    return 0;
}

}  // namespace

KYT_CLI_COMMAND("migrate-db", "migrate-db FILE.db postgresql://...   copy a database file onto a server", migrateDb);
KYT_CLI_COMMAND("add-coordinator", "add-coordinator --db postgresql://... LOGIN BRANCH...   a coordinator of branches",
                addCoordinator);
KYT_CLI_COMMAND("remove-coordinator", "remove-coordinator --db postgresql://... LOGIN   no longer a coordinator",
                removeCoordinator);
