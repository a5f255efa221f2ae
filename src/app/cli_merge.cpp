// kyt-cli merge: the résumé generator without windows. The students are the selection given by the
// query options, or every student with --all; the target format document is merged into one document
// (--out) or one file per student (--per-student, optionally with PDFs).
//
// Exit status: 0 written; 2 refused (bad options, the query too long, a target without fields, fields
// the data does not have); 1 on any other failure.

#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>
#include <filesystem>

#include "app/cli.h"
#include "merge/generate_resumes.h"
#include "shell/configuration.h"
#include "shell/product.h"

namespace kyt::cli {
namespace {

constexpr int kWritten = 0;
constexpr int kFailed = 1;
constexpr int kRefused = 2;

constexpr const char* kUsage =
    "merge --target FILE (--out FILE | --per-student FOLDER [--pdf]) --all [--config FILE]";

// Messages as lines on the terminal: failures on standard error.
class TerminalMessages : public MessageService {
public:
    MsgAnswer show(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons) override
    {
        std::string flat;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                continue;
            flat += text[i];
        }
        std::FILE* out = icon == MsgIcon::Critical || icon == MsgIcon::Exclamation ? stderr : stdout;
        std::fprintf(out, "%s%s%s\n", title.c_str(), title.empty() ? "" : ": ", flat.c_str());
        return MsgAnswer::OK;
    }
};

int merge(const Args& given)
{
    QCommandLineParser parser;
    parser.setApplicationDescription("Generates the résumés of the selected students in a company's format.");
    const QCommandLineOption target("target", "The target format document (.docx, or .doc through LibreOffice).", "FILE");
    const QCommandLineOption out("out", "The merged document to write.", "FILE");
    const QCommandLineOption all("all", "Every student, once each, in USN order.");
    const QCommandLineOption perStudent("per-student", "One file per student in FOLDER instead of one document.",
                                        "FOLDER");
    const QCommandLineOption pdf("pdf", "With --per-student: a PDF of each file too (needs LibreOffice).");
    const QCommandLineOption config("config", "Use FILE instead of Kyt.ini beside the program.", "FILE");
    parser.addOptions({target, out, all, perStudent, pdf, config});
    const QCommandLineOption help = parser.addHelpOption();

    QStringList arguments{"kyt-cli merge"};
    for (const auto& a : given)
        arguments << QString::fromStdString(a);
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "kyt-cli merge: %s\nusage: kyt-cli %s\n", parser.errorText().toLocal8Bit().constData(),
                     kUsage);
        return kRefused;
    }
    if (parser.isSet(help)) {
        std::printf("%s", parser.helpText().toLocal8Bit().constData());
        return kWritten;
    }
    const bool oneDocument = parser.isSet(out);
    if (!parser.isSet(target) || oneDocument == parser.isSet(perStudent) || !parser.isSet(all) ||
        !parser.positionalArguments().isEmpty() || (parser.isSet(pdf) && !parser.isSet(perStudent))) {
        std::fprintf(stderr, "usage: kyt-cli %s\n", kUsage);
        return kRefused;
    }

    TerminalMessages messages;
    Control control;
    control.AppTitle = std::string(kAppTitle);
    control.Messages = &messages;
    const std::string configPath = parser.value(config).toStdString();
    control.ConfigPath = configPath.empty() ? DefaultConfigPath() : std::filesystem::absolute(configPath).string();
    if (LoadConfiguration(control) != ConfigProblem::None) {
        std::fprintf(stderr, "kyt-cli merge: the configuration %s does not name a usable database\n",
                     control.ConfigPath.c_str());
        return kRefused;
    }
    control.QueryCondition.clear();

    const std::filesystem::path targetPath = std::filesystem::absolute(parser.value(target).toStdString());
    GenerateOptions options;
    if (oneDocument)
        options.outputFile = std::filesystem::absolute(parser.value(out).toStdString()).string();
    else
        options.perStudentFolder = std::filesystem::absolute(parser.value(perStudent).toStdString()).string();
    options.pdf = parser.isSet(pdf);

    const GenerateResult result = GenerateResumes(control, targetPath.parent_path().string(),
                                                  targetPath.filename().string(), GenerateHooks{}, options);
    switch (result.outcome) {
    case GenerateOutcome::Written:
        std::printf("%zu résumés, %zu files%s\n", result.records, result.files.size(),
                    options.pdf ? (", " + std::to_string(result.pdfs) + " PDF copies").c_str() : "");
        return kWritten;
    case GenerateOutcome::Refused:
        std::fprintf(stderr, "kyt-cli merge: %s\n", result.description.c_str());
        return kRefused;
    case GenerateOutcome::Failed:
        break;
    }
    return kFailed;
}

}  // namespace

KYT_CLI_COMMAND("merge", kUsage, merge);

}  // namespace kyt::cli
