// kyt-cli drive: placement drives without windows. A drive is saved with the students its criteria
// shortlist now; later runs show who is eligible then and may add the newcomers; outcomes are set per
// student; the shortlist is exported as CSV.

#include <QStringList>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "app/cli.h"
#include "app/cli_query_options.h"
#include "app/cli_session.h"
#include "db/data_connector.h"
#include "drives/drive_store.h"
#include "query/criteria_text.h"
#include "query/save_results.h"
#include "shell/atomic_file.h"
#include "shell/output_guard.h"
#include "shell/startup.h"

namespace kyt::cli {
namespace {

void printTable(const query::ResultTable& table)
{
    const std::string out = TabSeparated(table);
    std::fwrite(out.data(), 1, out.size(), stdout);
}

int failed(const db::Failure& failure)
{
    std::fprintf(stderr, "kyt-cli drive: error %d: %s\n", failure.number, failure.description.c_str());
    return 1;
}

// The drive number given as the second argument.
bool driveId(const QCommandLineParser& parser, const Args& args, int& id, int& status)
{
    bool ok = args.size() >= 2;
    id = ok ? QString::fromStdString(args[1]).toInt(&ok) : 0;
    if (!ok || id <= 0)
        status = usageError(parser, "drive", args.size() < 2 ? "no drive number given" : "'" + args[1] + "' is no drive number");
    return ok && id > 0;
}

struct Session {
    Control control;
    TerminalMessages messages;
    ~Session() { CloseDown(control); }
    db::Database& database() { return *control.session.Connector->GetCurrentConnection(); }
};

int add(const QCommandLineParser& parser, Session& session)
{
    drives::Drive drive;
    drive.company = value(parser, "company");
    const std::string date = value(parser, "date");
    drive.date = query::IsoDate(date);
    if (drive.company.find_first_not_of(" \t") == std::string::npos)
        return usageError(parser, "drive", "drive add needs --company NAME");
    if (drive.date.empty())
        return usageError(parser, "drive", date.empty() ? "drive add needs --date DATE" : "'" + date + "' is no date");
    const int year = query::CurrentYear();
    std::string error;
    if (!queryCriteria(parser, session.control, year, drive.criteria, error))
        return usageError(parser, "drive", error);
    const query::RetrieveOutcome outcome = query::Retrieve(session.control, drive.criteria, year);
    if (outcome.status != query::RetrieveOutcome::Status::Shown)
        return reportRetrieve(outcome, "drive");
    const std::vector<drives::ShortlistEntry> shortlist =
        drives::ShortlistOf(outcome.result, outcome.query.PercentColumn, query::BranchList(session.control));
    db::Failure failure;
    if (!drives::SaveDrive(session.database(), drive, shortlist, failure))
        return failed(failure);
    std::printf("Saved drive %d: %s, with %zu student%s shortlisted.\n", drive.id, drive.title().c_str(),
                shortlist.size(), shortlist.size() == 1 ? "" : "s");
    return 0;
}

int list(Session& session)
{
    std::vector<drives::Drive> all;
    db::Failure failure;
    if (!drives::ListDrives(session.database(), all, failure))
        return failed(failure);
    query::ResultTable table;
    table.fields = {"Drive", "Company", "Date", "Shortlisted", "Offers", "Joined", "Criteria"};
    for (const drives::Drive& d : all)
        table.rows.push_back({std::to_string(d.id), d.company, d.date, std::to_string(d.shortlisted),
                              std::to_string(d.offers), std::to_string(d.joined), query::CriteriaSummary(d.criteria)});
    printTable(table);
    return 0;
}

int show(Session& session, int id)
{
    drives::Drive drive;
    std::vector<drives::ShortlistEntry> shortlist;
    db::Failure failure;
    if (!drives::LoadDrive(session.database(), id, drive, &shortlist, failure))
        return failed(failure);
    std::printf("Drive %d: %s\nCriteria: %s\nSaved: %s\nLast run: %s\n\n", drive.id, drive.title().c_str(),
                query::CriteriaSummary(drive.criteria).c_str(), drive.saved.c_str(), drive.lastRun.c_str());
    printTable(drives::ShortlistTable(shortlist));
    return 0;
}

int run(const QCommandLineParser& parser, Session& session, int id)
{
    drives::Drive drive;
    std::vector<drives::ShortlistEntry> shortlist;
    db::Failure failure;
    if (!drives::LoadDrive(session.database(), id, drive, &shortlist, failure))
        return failed(failure);
    const query::RetrieveOutcome outcome = query::Retrieve(session.control, drive.criteria, query::CurrentYear());
    if (outcome.status != query::RetrieveOutcome::Status::Shown)
        return reportRetrieve(outcome, "drive");
    const std::vector<drives::ShortlistEntry> eligible =
        drives::ShortlistOf(outcome.result, outcome.query.PercentColumn, query::BranchList(session.control));
    std::set<std::string> listed;
    for (const drives::ShortlistEntry& e : shortlist)
        listed.insert(QString::fromStdString(e.usn).toUpper().toStdString());
    query::ResultTable table = outcome.result;
    table.fields.push_back("On shortlist");
    size_t newcomers = 0;
    for (size_t r = 0; r < table.rows.size(); ++r) {
        const bool on = listed.count(QString::fromStdString(eligible[r].usn).toUpper().toStdString()) > 0;
        newcomers += on ? 0 : 1;
        table.rows[r].push_back(on ? "yes" : "no");
    }
    printTable(table);
    if (!parser.isSet("add-new")) {
        std::fprintf(stderr, "%zu eligible now, %zu of them not on the shortlist of %zu%s.\n", eligible.size(),
                     newcomers, shortlist.size(), newcomers ? " (--add-new adds them)" : "");
        return 0;
    }
    std::vector<drives::ShortlistEntry> added;
    if (!drives::AddToShortlist(session.database(), id, eligible, added, failure))
        return failed(failure);
    std::fprintf(stderr, "Added %zu student%s to the shortlist of %s.\n", added.size(), added.size() == 1 ? "" : "s",
                 drive.title().c_str());
    return 0;
}

int setOutcome(const QCommandLineParser& parser, Session& session, int id, const Args& args)
{
    if (args.size() != 4)
        return usageError(parser, "drive", "drive set-outcome ID USN OUTCOME");
    const std::optional<drives::Outcome> outcome = drives::ParseOutcome(args[3]);
    if (!outcome)
        return usageError(parser, "drive",
                          "'" + args[3] + "' is no outcome (shortlisted, interviewed, offered, joined, declined)");
    db::Failure failure;
    if (!drives::SetOutcome(session.database(), id, args[2], *outcome, failure))
        return failed(failure);
    return 0;
}

int exportShortlist(const QCommandLineParser& parser, Session& session, int id)
{
    const std::string out = value(parser, "out");
    if (out.empty() || query::SaveFormatFor(out) != query::SaveFormat::Csv)
        return usageError(parser, "drive", "drive export needs --out FILE.csv");
    std::error_code ec;
    if (const std::string refused = RefusedOutput(session.control, std::filesystem::absolute(out, ec).string());
        !refused.empty()) {
        std::fprintf(stderr, "kyt-cli drive: %s\n", refused.c_str());
        return kRefused;
    }
    drives::Drive drive;
    std::vector<drives::ShortlistEntry> shortlist;
    db::Failure failure;
    if (!drives::LoadDrive(session.database(), id, drive, &shortlist, failure))
        return failed(failure);
    std::string error;
    if (!WriteFileAtomically(out, query::ResultsCsv(drives::ShortlistTable(shortlist)), error)) {
        std::fprintf(stderr, "kyt-cli drive: %s\n", error.c_str());
        return 1;
    }
    std::printf("Wrote the shortlist of %s (%zu students) to %s.\n", drive.title().c_str(), shortlist.size(), out.c_str());
    return 0;
}

int driveCommand(const Args& given)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Placement drives: one company's visit on one day with its criteria and the students they shortlisted.\n"
        "  add --company NAME --date DATE [criteria...]   save a drive with the students its criteria select now\n"
        "  list                                          every drive, newest first\n"
        "  show ID                                       a drive's criteria and shortlist with the outcomes\n"
        "  run ID [--add-new]                            who its criteria select now; --add-new puts the newcomers\n"
        "                                                on the shortlist (nobody is taken off it)\n"
        "  set-outcome ID USN OUTCOME                    shortlisted, interviewed, offered, joined or declined\n"
        "                                                (declined: the student turned the offer down)\n"
        "  export ID --out FILE.csv                      the shortlist with the outcomes, for a spreadsheet\n"
        "  delete ID                                     remove a drive and its shortlist\n"
        "The criteria options are those of kyt-cli query. Exit 0 done, 1 a failure of the database, 2 a command "
        "that cannot run as written (or criteria the query window refuses).");
    parser.addPositionalArgument("SUBCOMMAND", "add, list, show, run, set-outcome, export or delete.");
    parser.addPositionalArgument("ARGS", "The drive number, and for set-outcome the USN and the outcome.", "[ARGS...]");
    addConfigOption(parser);
    parser.addOption({"company", "drive add: the company.", "NAME"});
    parser.addOption({"date", "drive add: the day of the drive, 2027-02-12 or 12-02-2027.", "DATE"});
    parser.addOption({"add-new", "drive run: add the students eligible now who are not on the shortlist."});
    parser.addOption({"out", "drive export: the CSV file to write.", "FILE"});
    addQueryOptions(parser);
    int status = 0;
    if (!parse(parser, "drive", given, status))
        return status;
    const Args args = positional(parser);
    if (args.empty())
        return usageError(parser, "drive", "no subcommand given");
    const std::string& sub = args[0];
    const std::set<std::string> known = {"add", "list", "show", "run", "set-outcome", "export", "delete"};
    if (!known.count(sub))
        return usageError(parser, "drive", "unknown subcommand '" + sub + "'");
    // Options that belong to one subcommand are refused elsewhere: a criterion given to "run" would be
    // silently ignored, the drive's own criteria running instead.
    for (const QString& name : parser.optionNames()) {
        const std::string option = name.toStdString();
        const bool fits = option == "config" || (option == "company" || option == "date" ? sub == "add"
                                                 : option == "add-new"                   ? sub == "run"
                                                 : option == "out"                       ? sub == "export"
                                                                                         : sub == "add");
        if (!fits)
            return usageError(parser, "drive", "--" + option + " does not apply to drive " + sub);
    }
    const size_t expected = sub == "add" || sub == "list" ? 1 : sub == "set-outcome" ? 4 : 2;
    if (args.size() != expected && sub != "set-outcome")
        return usageError(parser, "drive", "drive " + sub + (expected == 1 ? " takes no arguments" : " takes one drive number"));
    int id = 0;
    if (expected > 1 && !driveId(parser, args, id, status))
        return status;

    Session session;
    if (const int refused = openSession(parser, "drive", session.control, session.messages))
        return refused;
    if (sub == "add")
        return add(parser, session);
    if (sub == "list")
        return list(session);
    if (sub == "show")
        return show(session, id);
    if (sub == "run")
        return run(parser, session, id);
    if (sub == "set-outcome")
        return setOutcome(parser, session, id, args);
    if (sub == "export")
        return exportShortlist(parser, session, id);
    db::Failure failure;
    if (!drives::DeleteDrive(session.database(), id, failure))
        return failed(failure);
    return 0;
}

}  // namespace

KYT_CLI_COMMAND("drive", "drive add|list|show|run|set-outcome|export|delete ...   placement drives and their shortlists",
                driveCommand);

}  // namespace kyt::cli
