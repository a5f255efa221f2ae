// kyt-cli init-db and sql: the installation step and the administrator's window into the database.

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/cli.h"
#include "db/database.h"
#include "db/recordset.h"

namespace {

using kyt::cli::Args;
using kyt::db::Database;
using kyt::db::Failure;

int reportFailure(const Failure& failure)
{
    std::fprintf(stderr, "kyt-cli: error %d: %s\n", failure.number, failure.description.c_str());
    return 1;
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
    Args args = given;
    const std::string branchesFile = kyt::cli::takeOption(args, "--branches");
    if (args.size() != 1 || args[0].rfind("--", 0) == 0) {
        std::fprintf(stderr, "usage: kyt-cli init-db PATH [--branches FILE]\n");
        return 2;
    }
    std::vector<std::pair<std::string, std::string>> branches;
    if (!branchesFile.empty()) {
        std::string error;
        if (!readBranches(branchesFile, branches, error)) {
            std::fprintf(stderr, "kyt-cli: %s\n", error.c_str());
            return 1;
        }
    }
    Failure failure;
    if (!Database::create(args[0], branches, failure))
        return reportFailure(failure);
    std::printf("Created %s with %zu branch%s.\n", args[0].c_str(), branches.size(), branches.size() == 1 ? "" : "es");
    // Opening puts the new database in the journal mode its disk calls for; say which, and why.
    std::unique_ptr<Database> db = Database::open(args[0], kyt::db::Road::Connector, failure);
    if (!db)
        return reportFailure(failure);
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
    Args args = given;
    const std::string path = kyt::cli::takeOption(args, "--db");
    const std::string road = kyt::cli::takeOption(args, "--road");
    const std::string savedQuery = kyt::cli::takeOption(args, "--saved-query");
    if (path.empty() || args.size() != 1 || (!road.empty() && road != "query" && road != "connector")) {
        std::fprintf(stderr,
                     "usage: kyt-cli sql --db PATH [--road query] \"STATEMENT\"\n"
                     "       kyt-cli sql --db PATH --saved-query NAME \"SELECT ...\"\n");
        return 2;
    }
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

}  // namespace

KYT_CLI_COMMAND("init-db", "init-db PATH [--branches FILE]   make a new, empty database", initDb);
KYT_CLI_COMMAND("sql", "sql --db PATH [--road query] \"STATEMENT\" | --saved-query NAME \"SELECT ...\"", sql);
