// kyt-cli extract: the extraction run without windows. Progress on the terminal, the status window's
// summary at the end, the run's folder and statistics written back into the configuration.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "app/cli.h"
#include "app/cli_session.h"
#include "extract/batch_driver.h"
#include "shell/configuration.h"
#include "shell/product.h"
#include "shell/startup.h"

namespace kyt::cli {
namespace {

constexpr int kAllStored = 0;
constexpr int kSomeRejected = 1;
constexpr int kCouldNotStart = 2;  // also: the run stopped on a failing environment

// The status window as one line of a terminal: a bar, the percentage, the document being read.
class TerminalView : public ExtractionView {
public:
    TerminalView() : live_(isatty(STDERR_FILENO)) {}

    void startDocument(const std::string& fileName) override { current_ = fileName; }
    void showConverting(int count) override
    {
        std::fprintf(stderr, "Converting %d older documents (.doc, .rtf, .odt) with LibreOffice...\n", count);
    }
    void setResumeProgress(int) override {}
    void setDocumentErrors(const std::string&) override {}
    void setTotalErrors(const std::string& count) override { errors_ = count; }
    void showScannedText(const std::string& text) override { scanned_ = text; }
    void setWholeProgress(int percent) override
    {
        percent_ = percent;
        draw(false);
    }
    std::string caption() const override { return std::string(kAppTitle) + " - Status"; }
    void setCaption(const std::string&) override {}
    void showNote(const std::string& text) override { note_ = text; }
    void showSuccessfulText(const std::string& text) override { successful_ = text; }
    void showCounts(const std::string& text) override { counts_ = text; }
    void showScanningHeading() override {}
    void showComplete() override
    {
        draw(true);
        if (live_)
            std::fprintf(stderr, "\n");
    }

    void printSummary() const
    {
        std::printf("%s\n%s\n", scanned_.c_str(), successful_.c_str());
        if (!counts_.empty())
            std::printf("%s\n", counts_.c_str());
        if (!note_.empty())
            std::printf("%s\n", note_.c_str());
    }

private:
    void draw(bool last)
    {
        if (!live_)
            return;
        // A terminal cannot keep up with a thousand lines a second; ten redraws a second are enough.
        const auto now = std::chrono::steady_clock::now();
        if (!last && percent_ == drawnPercent_ && now - drawnAt_ < std::chrono::milliseconds(100))
            return;
        drawnAt_ = now;
        drawnPercent_ = percent_;
        constexpr int kWidth = 30;
        const int filled = percent_ * kWidth / 100;
        std::string name = current_.size() > 40 ? current_.substr(0, 37) + "..." : current_;
        std::fprintf(stderr, "\r[%s%s] %3d %%  errors %s  %-40s", std::string(static_cast<size_t>(filled), '#').c_str(),
                     std::string(static_cast<size_t>(kWidth - filled), ' ').c_str(), percent_, errors_.c_str(),
                     name.c_str());
        std::fflush(stderr);
    }

    bool live_;
    int percent_ = 0;
    int drawnPercent_ = -1;
    std::chrono::steady_clock::time_point drawnAt_{};
    std::string current_, errors_ = "0", scanned_, successful_, note_, counts_;
};

int extract(const Args& given)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Reads every résumé of FOLDER into the database named by the configuration, logging each rejected "
        "document with its reasons in FOLDER/Kyt_errors.txt.");
    parser.addPositionalArgument("FOLDER", "The folder of résumés.");
    addConfigOption(parser);
    parser.addOption({"copy-errors", "Copy rejected documents into FOLDER/Kyt_Resumes_WithErrors."});
    parser.addOption({"no-stop", "Do not ask whether to go on after every tenth problem."});
    parser.addOption({"replace", "A valid résumé whose USN is stored replaces that student (re-submission); "
                                 "an invalid one leaves the stored student as it was."});
    int status = 0;
    if (!parse(parser, "extract", given, status))
        return status == 0 ? 0 : kCouldNotStart;
    const Args args = positional(parser);
    if (args.size() != 1)
        return usageError(parser, "extract", args.empty() ? "no folder given" : "one folder only");
    RunOptions options;
    options.copyErroredResumes = parser.isSet("copy-errors");
    options.dontStop = parser.isSet("no-stop");
    options.replace = parser.isSet("replace");
    // No call on the path may throw: a path past the system's limits is told like any other.
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::absolute(args[0], ec);
    if (ec || !std::filesystem::is_directory(folder, ec)) {
        std::fprintf(stderr, "kyt-cli extract: %s is not a folder%s%s\n", args[0].c_str(), ec ? ": " : "",
                     ec ? ec.message().c_str() : "");
        return kCouldNotStart;
    }
    options.folder = folder.lexically_normal().string();
    if (options.folder.size() > 1 && options.folder.back() == '/')
        options.folder.pop_back();

    TerminalMessages messages;
    Control control;
    if (openSession(parser, "extract", control, messages) != 0)
        return kCouldNotStart;

    TerminalView view;
    const RunResult result = RunExtraction(control, view, options);
    if (result.outcome == RunOutcome::CouldNotStart || result.outcome == RunOutcome::NoDocuments) {
        CloseDown(control);
        return kCouldNotStart;
    }

    view.printSummary();
    if (result.runId != 0)
        std::printf("Run %lld of the history (kyt-cli runs lists them; kyt-cli revert %lld takes this one back).\n",
                    static_cast<long long>(result.runId), static_cast<long long>(result.runId));
    ShowFinishMessages(control, options.copyErroredResumes, result.outcome);
    CloseDown(control);

    // The window program writes these back when it ends; so does a headless run.
    std::string error;
    if (!WriteConfiguration(control, error))
        std::fprintf(stderr, "kyt-cli extract: the configuration could not be updated: %s\n", error.c_str());

    if (result.outcome == RunOutcome::EnvironmentFailed)
        return kCouldNotStart;
    return result.rejected == 0 ? kAllStored : kSomeRejected;
}

}  // namespace

KYT_CLI_COMMAND("extract", "extract FOLDER [--config FILE] [--copy-errors] [--no-stop] [--replace]", extract);

}  // namespace kyt::cli
