// kyt-cli stats: how a selection did, by branch: the students the criteria select (a batch with
// --all-branches), or a drive's shortlist. Prints the tables tab-separated; writes them as CSV, the
// charts as PNG or PDF, and the PDF report.

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/cli.h"
#include "app/cli_query_options.h"
#include "app/cli_session.h"
#include "db/data_connector.h"
#include "drives/drive_store.h"
#include "drives/statistics.h"
#include "drives/ui/charts.h"
#include "drives/ui/report.h"
#include "query/criteria_text.h"
#include "query/save_results.h"
#include "shell/atomic_file.h"
#include "shell/output_guard.h"
#include "shell/startup.h"

namespace kyt::cli {
namespace {

std::string tableText(const std::string& heading, const query::ResultTable& table)
{
    return "# " + heading + "\n" + TabSeparated(table);
}

struct Session {
    Control control;
    TerminalMessages messages;
    ~Session() { CloseDown(control); }
    db::Database& database() { return *control.session.Connector->GetCurrentConnection(); }
};

int failed(const std::string& reason)
{
    std::fprintf(stderr, "kyt-cli stats: %s\n", reason.c_str());
    return 1;
}

const char* const kTableFiles[] = {"summary.csv", "distribution.csv", "placements.csv"};

// Why one of the outputs asked for may not be written (the database, the configuration, a folder, a pipe, an
// ending its format does not have), checked before any is; empty when all may.
std::string refusedOutputs(const QCommandLineParser& parser, const Control& control)
{
    std::vector<std::pair<std::string, std::string>> outputs;  // file, the endings its format has
    if (parser.isSet("csv"))
        for (const char* name : kTableFiles)
            outputs.emplace_back(QDir(QString::fromStdString(value(parser, "csv"))).filePath(name).toStdString(), ".csv");
    for (const QString& chart : parser.values("chart"))
        outputs.emplace_back(chart.mid(chart.indexOf('=') + 1).toStdString(), ".png .pdf");
    if (parser.isSet("report"))
        outputs.emplace_back(value(parser, "report"), ".pdf");
    for (const auto& [file, endings] : outputs) {
        const std::string ending = QFileInfo(QString::fromStdString(file)).suffix().toLower().toStdString();
        if (ending.empty() || (" " + endings + " ").find(" ." + ending + " ") == std::string::npos)
            return file + " does not end in " + endings + ", the form it is written in.";
        std::error_code ec;
        if (const std::string refused = RefusedOutput(control, std::filesystem::absolute(file, ec).string());
            !refused.empty())
            return refused;
    }
    return {};
}

// The outputs asked for: CSV tables in a folder, charts, the report.
int write(const QCommandLineParser& parser, const drives::Statistics& statistics,
          const std::vector<drives::ShortlistEntry>* shortlist)
{
    std::string error;
    if (parser.isSet("csv")) {
        const QString folder = QString::fromStdString(value(parser, "csv"));
        if (!QDir().mkpath(folder))
            return failed("cannot make the folder " + folder.toStdString());
        const std::pair<const char*, query::ResultTable> tables[] = {
            {kTableFiles[0], drives::SummaryTable(statistics)},
            {kTableFiles[1], drives::DistributionTable(statistics)},
            {kTableFiles[2], drives::PlacementTable(statistics)}};
        for (const auto& [name, table] : tables)
            if (!WriteFileAtomically(QDir(folder).filePath(name).toStdString(), query::ResultsCsv(table), error))
                return failed(error);
    }
    for (const QString& chart : parser.values("chart")) {
        const qsizetype equals = chart.indexOf('=');
        const std::optional<drives::ChartKind> kind = drives::ParseChartKind(chart.left(equals).toStdString());
        if (!drives::SaveChart(*kind, statistics, chart.mid(equals + 1).toStdString(), error))
            return failed(error);
    }
    if (parser.isSet("report") && !drives::WriteReport(statistics, shortlist, value(parser, "report"), error))
        return failed(error);
    return 0;
}

int statsCommand(const Args& given)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Statistics of a selection by branch: students, mean, median, lowest and highest aggregate, the class the "
        "aggregate gives, how many clear 60/65/70/75 %, the aggregate by bands, and offers and placements recorded "
        "in drives. The selection is what the criteria options select (those of kyt-cli query; a whole batch: "
        "--batch 22 --all-branches), or with --drive a drive's shortlist. Prints the three tables tab-separated. "
        "Exit 0 done, 1 a failure (database, disk), 2 a command that cannot run as written.");
    addConfigOption(parser);
    parser.addOption({"drive", "The shortlist of drive ID instead of a selection.", "ID"});
    parser.addOption({"title", "The title of the charts and the report (default: the batch, or the drive).", "TEXT"});
    parser.addOption({"csv", "Write summary.csv, distribution.csv and placements.csv into FOLDER.", "FOLDER"});
    parser.addOption({"chart", "Write a chart (distribution, classes or placements) to FILE, .png or .pdf; "
                               "may be given more than once.", "NAME=FILE"});
    parser.addOption({"report", "Write the PDF report to FILE.", "FILE"});
    addQueryOptions(parser);
    int status = 0;
    if (!parse(parser, "stats", given, status))
        return status;
    if (!parser.positionalArguments().isEmpty())
        return usageError(parser, "stats", "unexpected argument '" + positional(parser).front() + "'");
    for (const QString& chart : parser.values("chart")) {
        const qsizetype equals = chart.indexOf('=');
        if (equals <= 0 || !drives::ParseChartKind(chart.left(equals).toStdString()) || equals + 1 == chart.size())
            return usageError(parser, "stats", "--chart takes distribution=FILE, classes=FILE or placements=FILE");
    }
    const bool fromDrive = parser.isSet("drive");
    if (fromDrive)
        for (const QString& name : parser.optionNames())
            if (!QStringList{"config", "drive", "title", "csv", "chart", "report"}.contains(name))
                return usageError(parser, "stats", "--" + name.toStdString() + " does not apply with --drive");

    Session session;
    if (const int refused = openSession(parser, "stats", session.control, session.messages))
        return refused;
    if (const std::string refused = refusedOutputs(parser, session.control); !refused.empty()) {
        std::fprintf(stderr, "kyt-cli stats: %s\n", refused.c_str());
        return kRefused;
    }
    const std::vector<std::string> codes = query::BranchList(session.control);
    drives::Statistics statistics;
    std::vector<drives::ShortlistEntry> shortlist;
    db::Failure failure;
    if (fromDrive) {
        bool ok = false;
        const int id = QString::fromStdString(value(parser, "drive")).toInt(&ok);
        drives::Drive drive;
        if (!ok || !drives::LoadDrive(session.database(), id, drive, &shortlist, failure))
            return ok ? failed(failure.description) : usageError(parser, "stats", "--drive takes a drive number");
        statistics = drives::ComputeStatistics(drives::FiguresOfShortlist(shortlist), codes);
        statistics.title = drive.title();
        statistics.subtitle = "Shortlist of the drive: " + query::CriteriaSummary(drive.criteria);
        statistics.outcomes = true;
    } else {
        const int year = query::CurrentYear();
        query::Criteria criteria;
        std::string error;
        if (!queryCriteria(parser, session.control, year, criteria, error))
            return usageError(parser, "stats", error);
        // Taken aside: FreePercent keeps the SQL another program's shown result relies on.
        query::RetrieveOutcome outcome;
        outcome.query = query::BuildQuery(criteria, codes, year);
        outcome.status = outcome.query.refused() ? query::RetrieveOutcome::Status::Refused
                         : query::RunQueryAside(session.control.config.DatabasePath, outcome.query, outcome.result,
                                                outcome.failure)
                             ? query::RetrieveOutcome::Status::Shown
                             : query::RetrieveOutcome::Status::Failed;
        if (outcome.status != query::RetrieveOutcome::Status::Shown)
            return reportRetrieve(outcome, "stats");
        std::map<std::string, drives::Placement> placements;
        if (!drives::Placements(session.database(), placements, failure))
            return failed(failure.description);
        statistics = drives::ComputeStatistics(
            drives::FiguresOfResult(outcome.result, outcome.query.PercentColumn, codes, placements), codes);
        statistics.title = criteria.batch == query::kAllBatches ? std::string("All batches") : "Batch " + criteria.batch;
        statistics.subtitle = query::CriteriaSummary(criteria);
    }
    if (parser.isSet("title"))
        statistics.title = value(parser, "title");

    std::string out = statistics.title + "\n" + statistics.subtitle + "\n\n" +
                      tableText("Aggregates and classes by branch", drives::SummaryTable(statistics)) + "\n" +
                      tableText("Students by band of the aggregate", drives::DistributionTable(statistics)) + "\n" +
                      tableText("Offers and placements by branch", drives::PlacementTable(statistics));
    std::fwrite(out.data(), 1, out.size(), stdout);
    return write(parser, statistics, fromDrive ? &shortlist : nullptr);
}

}  // namespace

KYT_CLI_DRAWING_COMMAND("stats", "stats [--config FILE] [criteria... | --drive ID] [--csv DIR] [--chart NAME=FILE] "
                                 "[--report FILE]   statistics of a selection by branch",
                        statsCommand);

}  // namespace kyt::cli
