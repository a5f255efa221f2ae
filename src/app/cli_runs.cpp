// kyt-cli runs, revert and notices: the history of extraction runs without windows. `runs` lists them,
// `revert RUN` takes one back after the question the history window asks (--yes answers it), `notices`
// writes one notice per résumé a run refused.
//
// Exit status: 0 done; 2 refused (the command line, a run that cannot be taken back, a declined question,
// a notice template with fields a notice does not have); 1 the database or a file failed.

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/cli.h"
#include "app/cli_session.h"
#include "extract/rejection_notices.h"
#include "extract/run_history.h"
#include "shell/startup.h"

namespace kyt::cli {
namespace {

constexpr int kDone = 0;

bool RunNumber(const std::string& text, int64_t& id)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 18)
        return false;
    id = std::stoll(text);
    return id > 0;
}

int runsCommand(const Args& given)
{
    QCommandLineParser parser;
    parser.setApplicationDescription("Lists every extraction run: when, which folder, by whom, what it stored and "
                                     "refused, and whether it was taken back.");
    addConfigOption(parser);
    int status = 0;
    if (!parse(parser, "runs", given, status))
        return status;
    if (!parser.positionalArguments().isEmpty())
        return usageError(parser, "runs", "unexpected argument '" + positional(parser).front() + "'");
    TerminalMessages messages;
    Control control;
    if (const int failed = openSession(parser, "runs", control, messages))
        return failed;
    std::vector<RunSummary> runs;
    db::Failure failure;
    const bool read = ListRuns(*control.session.Connector->GetCurrentConnection(), runs, failure);
    CloseDown(control);
    if (!read) {
        std::fprintf(stderr, "kyt-cli runs: the history could not be read: %s\n", failure.description.c_str());
        return kFailed;
    }
    std::printf("%-5s %-19s %-12s %7s %5s %8s %7s  %-22s %s\n", "Run", "Started", "By", "Scanned", "New", "Replaced",
                "Refused", "State", "Folder");
    for (const RunSummary& run : runs) {
        const std::string state = !run.revertedAt.empty() ? "taken back " + run.revertedAt.substr(0, 10)
                                  : run.finishedAt.empty() ? "did not finish"
                                                           : run.outcome;
        std::printf("%-5lld %-19s %-12s %7d %5d %8d %7d  %-22s %s\n", static_cast<long long>(run.id),
                    run.startedAt.c_str(), run.user.c_str(), run.scanned, run.added, run.replaced, run.refused,
                    state.c_str(), run.folder.c_str());
    }
    return kDone;
}

int revertCommand(const Args& given)
{
    QCommandLineParser parser;
    parser.setApplicationDescription("Takes extraction run RUN back in one transaction: the students it added are "
                                     "deleted, the ones it replaced get their previous résumé back.");
    parser.addPositionalArgument("RUN", "The run's number, as kyt-cli runs lists it.");
    addConfigOption(parser);
    parser.addOption({"yes", "Answer Yes to the question (needed where no terminal can answer it)."});
    int status = 0;
    if (!parse(parser, "revert", given, status))
        return status;
    const Args args = positional(parser);
    int64_t id = 0;
    if (args.size() != 1 || !RunNumber(args[0], id))
        return usageError(parser, "revert", "give the number of one run");
    QuestionMessages messages("revert", parser.isSet("yes"));
    Control control;
    if (const int failed = openSession(parser, "revert", control, messages))
        return failed;
    const RevertResult result = RevertRun(control, id);
    CloseDown(control);
    switch (result.outcome) {
    case RevertOutcome::Reverted:
        std::printf("Run %lld taken back: %d students deleted, %d given their previous résumé back.\n",
                    static_cast<long long>(id), result.removed, result.restored);
        return kDone;
    case RevertOutcome::Declined:
        std::fprintf(stderr, "kyt-cli revert: nothing changed\n");
        return kRefused;
    case RevertOutcome::Refused:
        std::fprintf(stderr, "kyt-cli revert: %s\n", result.description.c_str());
        return kRefused;
    case RevertOutcome::Failed:
        std::fprintf(stderr, "kyt-cli revert: %s\n", result.description.c_str());
        return kFailed;
    }
    return kFailed;
}

int noticesCommand(const Args& given)
{
    QCommandLineParser parser;
    parser.setApplicationDescription("Writes one notice per résumé that extraction run RUN refused, merged from a "
                                     "template whose fields are those of Kyt_errors.csv (File, USN, Name, Table, "
                                     "Row, Cell, Field, Reason) and Faults, each fault on a line of its own.");
    addConfigOption(parser);
    parser.addOption({"run", "The run's number, as kyt-cli runs lists it.", "RUN"});
    parser.addOption({"template", "The notice template (.docx).", "FILE"});
    parser.addOption({"out", "The folder the notices are written to.", "FOLDER"});
    int status = 0;
    if (!parse(parser, "notices", given, status))
        return status;
    if (!parser.positionalArguments().isEmpty())
        return usageError(parser, "notices", "unexpected argument '" + positional(parser).front() + "'");
    int64_t id = 0;
    if (!RunNumber(value(parser, "run"), id))
        return usageError(parser, "notices", "--run RUN is required: the number of one run");
    if (!parser.isSet("template") || !parser.isSet("out"))
        return usageError(parser, "notices", "--template FILE and --out FOLDER are required");
    TerminalMessages messages;
    Control control;
    if (const int failed = openSession(parser, "notices", control, messages))
        return failed;
    namespace fs = std::filesystem;
    const NoticesResult result = WriteRejectionNotices(control, id, fs::absolute(value(parser, "template")).string(),
                                                       fs::absolute(value(parser, "out")).string());
    CloseDown(control);
    switch (result.outcome) {
    case NoticesOutcome::Written:
        std::printf("%zu notices written for run %lld.\n", result.files.size(), static_cast<long long>(id));
        for (const std::string& file : result.files)
            std::printf("  %s\n", file.c_str());
        return kDone;
    case NoticesOutcome::Refused:
        std::fprintf(stderr, "kyt-cli notices: %s\n", result.description.c_str());
        return kRefused;
    case NoticesOutcome::Failed:
        std::fprintf(stderr, "kyt-cli notices: %s\n", result.description.c_str());
        return kFailed;
    }
    return kFailed;
}

}  // namespace

KYT_CLI_COMMAND("runs", "runs [--config FILE]   the history of extraction runs", runsCommand);
KYT_CLI_COMMAND("revert", "revert RUN [--config FILE] [--yes]   takes an extraction run back", revertCommand);
KYT_CLI_COMMAND("notices", "notices --run RUN --template FILE --out FOLDER [--config FILE]   a notice per refused résumé",
                noticesCommand);

}  // namespace kyt::cli
