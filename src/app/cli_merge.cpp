// kyt-cli merge: the résumé generator without windows. The students are those the query options select
// (as `kyt-cli query` takes them), or every student with --all; the target format document is merged
// into one document (--out), one file per student (--per-student, optionally with PDFs), or both.
//
// Exit status: 0 written; 2 refused (the command line, the query's own refusals, the query too long, a
// target without fields, fields that are not columns of the selection, listed before anything is
// written); 1 on any other failure.

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/cli.h"
#include "app/cli_query_options.h"
#include "app/cli_session.h"
#include "merge/generate_resumes.h"
#include "shell/startup.h"

namespace kyt::cli {
namespace {

constexpr int kWritten = 0;

int mergeCommand(const Args& given)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Generates the résumés of the selected students in a company's format: the students the criteria select "
        "(as kyt-cli query takes them), or every student with --all.");
    addConfigOption(parser);
    parser.addOption({"target", "The target format document (.docx, or .doc through LibreOffice).", "FILE"});
    parser.addOption({"out", "The merged document to write.", "FILE"});
    parser.addOption({"all", "Every student, once each, in USN order (no criteria)."});
    parser.addOption({"per-student", "One file per student in FOLDER (with --out, as well as the one document).", "FOLDER"});
    parser.addOption({"pdf", "With --per-student: a PDF of each file too (needs LibreOffice)."});
    addQueryOptions(parser);
    int status = 0;
    if (!parse(parser, "merge", given, status))
        return status;
    if (!parser.positionalArguments().isEmpty())
        return usageError(parser, "merge", "unexpected argument '" + positional(parser).front() + "'");
    if (!parser.isSet("target"))
        return usageError(parser, "merge", "--target FILE is required");
    if (!parser.isSet("out") && !parser.isSet("per-student"))
        return usageError(parser, "merge", "give --out FILE, --per-student FOLDER or both");
    if (parser.isSet("pdf") && !parser.isSet("per-student"))
        return usageError(parser, "merge", "--pdf goes with --per-student");

    TerminalMessages messages;
    Control control;
    if (const int failed = openSession(parser, "merge", control, messages))
        return failed;
    std::optional<Selection> selection;
    if (parser.isSet("all")) {
        control.query.QueryCondition.clear();
    } else {
        const int year = query::CurrentYear();
        query::Criteria criteria;
        std::string error;
        if (!queryCriteria(parser, control, year, criteria, error)) {
            CloseDown(control);
            return usageError(parser, "merge", error);
        }
        const query::RetrieveOutcome outcome = query::Retrieve(control, criteria, year);
        if (outcome.status != query::RetrieveOutcome::Status::Shown) {
            CloseDown(control);
            return reportRetrieve(outcome, "merge");
        }
        selection = outcome.query.selection();
    }

    namespace fs = std::filesystem;
    const fs::path target = fs::absolute(value(parser, "target"));
    GenerateOptions options;
    options.selection = selection;
    if (parser.isSet("out"))
        options.outputFile = fs::absolute(value(parser, "out")).string();
    if (parser.isSet("per-student"))
        options.perStudentFolder = fs::absolute(value(parser, "per-student")).string();
    options.pdf = parser.isSet("pdf");
    const GenerateResult result =
        GenerateResumes(control, target.parent_path().string(), target.filename().string(), GenerateHooks{}, options);
    CloseDown(control);
    switch (result.outcome) {
    case GenerateOutcome::Written: {
        std::string summary = std::to_string(result.records) + " résumés, " + std::to_string(result.files.size()) + " files";
        if (options.pdf)
            summary += ", " + std::to_string(result.pdfs) + " PDF copies";
        std::printf("%s\n", summary.c_str());
        return kWritten;
    }
    case GenerateOutcome::Refused:
    case GenerateOutcome::Cancelled:
        std::fprintf(stderr, "kyt-cli merge: %s\n", result.description.c_str());
        return kRefused;
    case GenerateOutcome::Failed:
        break;
    }
    return kFailed;
}

}  // namespace

KYT_CLI_COMMAND("merge",
                "merge --target FILE [--out FILE] [--per-student FOLDER [--pdf]] (--all | criteria...) [--config FILE]"
                "   generate the selected students' résumés in a company's format",
                mergeCommand);

}  // namespace kyt::cli
