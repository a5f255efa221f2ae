// kyt-cli save: the query window's Retrieve, then the results window's "Save results to file" with the
// advanced save options given as options. Writes the file whole or not at all.

#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/cli.h"
#include "app/cli_query_options.h"
#include "app/cli_session.h"
#include "db/data_connector.h"
#include "query/save_results.h"
#include "shell/output_guard.h"

namespace kyt::cli {
namespace {

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The result's columns named by --columns, in that order and spelt as the result spells them.
bool chosenColumns(const QCommandLineParser& parser, const query::ResultTable& result,
                   std::vector<std::string>& names, std::string& error)
{
    if (!parser.isSet("columns")) {
        names = result.fields;
        return true;
    }
    for (const QString& part : parser.value("columns").split(',')) {
        const std::string wanted = part.trimmed().toStdString();
        auto found = std::find_if(result.fields.begin(), result.fields.end(),
                                  [&](const std::string& field) { return lower(field) == lower(wanted); });
        if (found == result.fields.end()) {
            std::string known;
            for (const auto& field : result.fields)
                known += (known.empty() ? "" : ", ") + field;
            error = "the result has no column '" + wanted + "' (it has " + known + ")";
            return false;
        }
        if (std::find(names.begin(), names.end(), *found) != names.end()) {
            error = "the column '" + *found + "' is named twice";
            return false;
        }
        names.push_back(*found);
    }
    return true;
}

int saveCommand(const Args& given)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Selects students as the query window does and saves them as the results window does: one table per "
        "branch in a .docx (a new page at each change of branch when the result is ranked by USN and the USN "
        "is saved), or delimited lines; .csv, .txt and .pdf too, by the ending of --out. Exits with 0 when "
        "the file was written, 2 on a refusal, 1 on a failure; a failed save leaves no file behind.");
    addConfigOption(parser);
    addQueryOptions(parser);
    parser.addOption({"out", "The file to write: .docx, .csv, .txt or .pdf.", "FILE"});
    parser.addOption({"columns", "The columns to save, in output order (default: all, as the grid shows them).",
                      "A,B,..."});
    parser.addOption({"delimiter", "Delimited lines instead of tables, with this delimiter.",
                      "Space|Comma|Tab|SemiColon"});
    parser.addOption({"title", "The page title (default: Student List).", "TEXT"});
    parser.addOption({"no-title", "Write the title paragraph empty."});
    parser.addOption({"no-page-breaks", "No new page at a change of branch."});
    int status = 0;
    if (!parse(parser, "save", given, status))
        return status;
    if (!parser.positionalArguments().isEmpty())
        return usageError(parser, "save", "unexpected argument '" + positional(parser).front() + "'");
    const std::string out = value(parser, "out");
    if (out.empty())
        return usageError(parser, "save", "--out FILE is required");
    if (!query::SaveFormatFor(out))
        return usageError(parser, "save", "--out must end in .docx, .csv, .txt or .pdf");
    const std::string delimiter = value(parser, "delimiter");
    if (parser.isSet("delimiter") && delimiter != "Space" && delimiter != "Comma" && delimiter != "Tab" &&
        delimiter != "SemiColon")
        return usageError(parser, "save", "--delimiter must be Space, Comma, Tab or SemiColon");
    if (parser.isSet("title") && parser.isSet("no-title"))
        return usageError(parser, "save", "--title and --no-title exclude each other");
    if (query::SaveFormatFor(out) == query::SaveFormat::Csv) {
        for (const char* option : {"delimiter", "title"})
            if (parser.isSet(option))
                return usageError(parser, "save",
                                  std::string("--") + option + " does not go with a .csv file: its form is fixed (a "
                                  "heading line, then one line per student, separated by commas, no title); use .txt "
                                  "for delimited lines with a title");
    }

    Control control;
    query::RetrieveOutcome outcome;
    // Refused before the query runs: nothing is touched.
    const auto outputRefused = [&out](const Control& session) {
        std::error_code ec;
        const std::string refused = RefusedOutput(session, std::filesystem::absolute(out, ec).string());
        return refused.empty() ? refused : "Information Not Saved. " + refused;
    };
    if (const int failed = retrieveFromOptions(parser, "save", control, outcome, outputRefused))
        return failed;
    const std::string databasePath = control.config.DatabasePath;
    if (outcome.status != query::RetrieveOutcome::Status::Shown)
        return reportRetrieve(outcome, "save");

    std::vector<std::string> names;
    std::string error;
    if (!chosenColumns(parser, outcome.result, names, error)) {
        std::fprintf(stderr, "kyt-cli save: %s\n", error.c_str());
        return kRefused;
    }
    // As the results window sets its fields: breaks only for a result ranked by USN with the USN saved.
    const bool usnSaved = std::find(names.begin(), names.end(), "USN") != names.end();
    query::SaveLayout layout;
    layout.PageTitle = parser.isSet("no-title") ? std::string()
                       : parser.isSet("title")  ? value(parser, "title")
                                                : std::string("Student List");
    layout.NoTables = parser.isSet("delimiter");
    layout.Delimit = layout.NoTables ? delimiter : std::string("Space");
    layout.NoPageBreak = parser.isSet("no-page-breaks") || !outcome.query.rankedByUsn || !usnSaved;

    std::string sql;
    query::ResultTable saved;
    db::Failure failure;
    if (!query::BuildSaveSql(names, outcome.query.condition, sql, error)) {
        std::fprintf(stderr, "kyt-cli save: Information Not Saved. %s\n", error.c_str());
        return kRefused;
    }
    // FreePercent as this query made it, even if another program has run a query since.
    if (!query::RunOverSelection(databasePath, outcome.query.selection(), sql, saved, failure)) {
        std::fprintf(stderr, "kyt-cli save: Information Not Saved. error %d: %s\n", failure.number,
                     failure.description.c_str());
        return kFailed;
    }
    if (!query::WriteResults(saved, layout, out, error)) {
        std::fprintf(stderr, "kyt-cli save: Information Not Saved. %s\n", error.c_str());
        return kFailed;
    }
    std::printf("Information Saved. %ld student%s in %s\n", saved.recordCount(), saved.recordCount() == 1 ? "" : "s",
                out.c_str());
    return 0;
}

}  // namespace

KYT_CLI_COMMAND("save", "save --out FILE [--config FILE] [--columns A,B,...] [--delimiter D] [--title TEXT|--no-title] "
                        "[--no-page-breaks] [criteria...]   save selected students as the results window does",
                saveCommand);

}  // namespace kyt::cli
