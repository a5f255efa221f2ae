// kyt-cli query: the criteria window's Retrieve without windows. Prints the grid tab-separated, field
// names first; with --sql, the selection and the aggregate text first, one line each.

#include <cstdio>
#include <string>

#include "app/cli.h"
#include "app/cli_query_options.h"
#include "app/cli_session.h"

namespace kyt::cli {
namespace {

// One line of output: tabs and line breaks inside a value become blanks.
std::string cell(std::string text)
{
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return text;
}

int queryCommand(const Args& given)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Selects students as the query window does (FreePercent is rewritten for the semester range) and prints "
        "them tab-separated, field names first. A refusal prints the window's message and exits with 2; a "
        "failure of the database exits with 1.");
    addConfigOption(parser);
    parser.addOption({"sql", "Also print the selection and the aggregate text that ran, one line each."});
    addQueryOptions(parser);
    int status = 0;
    if (!parse(parser, "query", given, status))
        return status;
    if (!parser.positionalArguments().isEmpty())
        return usageError(parser, "query", "unexpected argument '" + positional(parser).front() + "'");

    Control control;
    query::RetrieveOutcome outcome;
    if (const int failed = retrieveFromOptions(parser, "query", control, outcome))
        return failed;
    if (outcome.status != query::RetrieveOutcome::Status::Shown)
        return reportRetrieve(outcome, "query");

    std::string out;
    if (parser.isSet("sql"))
        out += outcome.query.select + "\n" + outcome.query.aggregate + "\n";
    const query::ResultTable& table = outcome.result;
    for (int i = 0; i < table.fieldCount(); ++i)
        out += (i ? "\t" : "") + cell(table.fields[static_cast<size_t>(i)]);
    out += '\n';
    for (const auto& row : table.rows) {
        for (size_t i = 0; i < row.size(); ++i)
            out += (i ? "\t" : "") + cell(row[i]);
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

}  // namespace

KYT_CLI_COMMAND("query", "query [--config FILE] [--sql] [criteria...]   select students as the query window does",
                queryCommand);

}  // namespace kyt::cli
