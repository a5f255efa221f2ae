#include "extract/batch_driver.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "db/data_connector.h"
#include "db/database.h"
#include "extract/error_log.h"
#include "extract/extract_resume.h"
#include "extract/validation.h"
#include "word/application.h"

namespace kyt {

namespace fs = std::filesystem;

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr const char* kRule = "==============================================================================";

bool IsResumeName(const std::string& name)
{
    // The word processor leaves owner files (~$name.docx) beside open documents; they are not résumés.
    if (name.rfind("~$", 0) == 0)
        return false;
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return false;
    std::string extension = name.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == "docx" || extension == "doc" || extension == "rtf" || extension == "odt";
}

double SteadySeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// The whole run's percentage, never above 100 even when the folder grew since the run started.
int WholePercent(int scanned, int total)
{
    if (total <= 0)
        return 100;
    const double percent = std::nearbyint(static_cast<double>(scanned) / total * 100);  // half to even
    return static_cast<int>(std::min(100.0, percent));
}

// Copies `source` into `folder` under its own name, replacing a file of that name.
bool CopyInto(const fs::path& source, const fs::path& folder)
{
    std::error_code ec;
    fs::create_directory(folder, ec);
    if (!fs::is_directory(folder))
        return false;
    fs::copy_file(source, folder / source.filename(), fs::copy_options::overwrite_existing, ec);
    return !ec;
}

// While a run lasts, the reader's progress reaches the view.
class ProgressHookup {
public:
    ProgressHookup(Control& control, ExtractionView& view) : control_(control), saved_(control.run.ResumeProgress)
    {
        control_.run.ResumeProgress = [&view](int16_t percent) { view.setResumeProgress(percent); };
    }
    ~ProgressHookup() { control_.run.ResumeProgress = saved_; }

private:
    Control& control_;
    std::function<void(int16_t)> saved_;
};

// While one student is committed (the disk's wait), the next .docx is read on the other core, by one
// thread for the whole run (a thread per document costs the run a thread's start and end each time).
// Reading has no effects; older formats are left to the run, which reads them in turn from their
// conversions. Never more than one document waits, so memory stays flat however large the folder.
class ReadAheadThread {
public:
    struct Read {
        bool done = false;  // false: an older format, for the run to read itself
        std::unique_ptr<word::Document> document;
        std::string error;
    };

    explicit ReadAheadThread(const std::vector<std::string>& paths) : paths_(paths), worker_([this] { work(); }) {}

    ~ReadAheadThread()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }

    ReadAheadThread(const ReadAheadThread&) = delete;
    ReadAheadThread& operator=(const ReadAheadThread&) = delete;

    // The next document, in the order of the paths.
    Read take()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return waiting_.has_value(); });
        Read read = std::move(*waiting_);
        waiting_.reset();
        changed_.notify_all();
        return read;
    }

private:
    void work()
    {
        for (const std::string& path : paths_) {
            {
                // The next one is read only once the one before it is taken.
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [this] { return stop_ || !waiting_.has_value(); });
                if (stop_)
                    return;
            }
            Read read;
            if (!word::Application::isLegacyFormat(path)) {
                read.done = true;
                try {
                    read.document = word::Document::open(path, read.error);
                } catch (const std::exception& e) {
                    read.document.reset();
                    read.error = std::string("The document could not be read: ") + e.what();
                }
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                waiting_ = std::move(read);
            }
            changed_.notify_all();
        }
    }

    const std::vector<std::string>& paths_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<Read> waiting_;
    bool stop_ = false;
    std::thread worker_;  // last: it starts once everything it uses is ready
};

}  // namespace

std::vector<std::string> ResumeFiles(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError))
            continue;
        std::string name = it->path().filename().string();
        if (IsResumeName(name))
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ExtractedToText(const Control& control)
{
    return " The resumes were extracted to " +
        (control.session.Connector ? control.session.Connector->GetSource() : std::string());
}

void ShowExtractedTo(Control& control)
{
    if (control.session.Messages)
        control.session.Messages->show(ExtractedToText(control), "Kyt Message", MsgIcon::None, MsgButtons::OK);
}

void ShowFinishMessages(Control& control, bool copyErroredResumes)
{
    if (!control.session.Messages)
        return;
    const std::string copiedNote = " NOTE: Resumes with errors were copied to a folder 'Kyt_Resumes_WithErrors' "
                                   "under the folder selected for extraction ";
    if (control.run.SuccessfulDocuments < 1) {
        // Leaving without a word when nothing was stored would look like success.
        control.session.Messages->show(copyErroredResumes ? " All resumes contained critical errors \n\n" + copiedNote
                                                  : std::string(" All resumes contained critical errors "),
                               "Kyt Message", MsgIcon::None, MsgButtons::OK);
    } else if (copyErroredResumes && control.run.TotalErrors > 0) {
        control.session.Messages->show(ExtractedToText(control) + "\n\n" + copiedNote, "Kyt Message", MsgIcon::None,
                               MsgButtons::OK);
    } else {
        ShowExtractedTo(control);
    }
    if (control.run.CopyFailures < 0) {
        control.session.Messages->show("Few resumes with errors were not copied(" +
                                           std::to_string(-control.run.CopyFailures) +
                                           ") to 'Kyt_Resumes_WithErrors' folder\n"
                                           "Please use Kyt_errors.txt for a full list of all errored documents\n"
                                           "This problem occurs because  maybe: \n\n"
                                           " 1. The folder is ReadOnly (folder properties) \n"
                                           " 2. The concerned .doc file already exists in the folder and the file is "
                                           "readonly \n",
                                       "Possible Error", MsgIcon::Information, MsgButtons::OK);
    }
}

void BringDatabaseUpToDate(Control& control)
{
    db::Database* database = control.session.Connector ? control.session.Connector->GetCurrentConnection() : nullptr;
    db::Failure failure;
    if (!database || database->checkpoint(failure) || !control.session.Messages)
        return;
    const std::string& path = database->path();
    control.session.Messages->show("The students of this run are stored, but the database file " + path +
                               " could not be brought up to date yet: they are kept in " + path +
                               "-wal beside it until Kyt closes.\n\nUntil then, copy both files when you make a "
                               "copy of the database.\n\n" + failure.description,
                           "Kyt Message", MsgIcon::Information, MsgButtons::OK);
}

RunResult RunExtraction(Control& control, ExtractionView& view, const RunOptions& options)
{
    RunResult result;
    const auto clock = options.clock ? options.clock : SteadySeconds;
    const fs::path folder = options.folder;
    const fs::path sideFolder = folder / kSideFolderName;
    auto ask = [&](const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons) {
        return control.session.Messages ? control.session.Messages->show(text, title, icon, buttons) : MsgAnswer::Yes;
    };

    if (!control.session.Connector || !control.session.Connector->GetConnectStatus()) {
        ask("Kyt is not connected to its database, so no résumé was touched.", "Error.", MsgIcon::Critical,
            MsgButtons::OK);
        return result;
    }
    std::string error;
    control.session.WordApp = word::Application::start(error);
    if (!control.session.WordApp) {
        ask("Kyt could not start reading documents, so no résumé was touched.\n\n" + error, "Error.",
            MsgIcon::Critical, MsgButtons::OK);
        return result;
    }

    control.run.DocumentErrors = 0;
    control.run.TotalErrors = 0;
    control.run.SuccessfulDocuments = 0;
    control.run.CopyFailures = 0;
    int scanned = 0;

    const std::vector<std::string> files = ResumeFiles(options.folder);
    if (files.empty()) {
        ask("Could not find any Word Document. \n\nPlease make sure the resumes are in the word format specified "
            "in October 2001 by Corlan",
            "Error.", MsgIcon::Critical, MsgButtons::OK);
        result.outcome = RunOutcome::NoDocuments;
        return result;
    }
    const int total = static_cast<int>(files.size());

    const std::string logPath = (folder / kErrorLogName).string();
    auto log = std::make_unique<ErrorLogFile>();
    if (!log->open(logPath)) {
        ask("Kyt could not create the error log " + logPath + ", so no résumé was touched.\n\n" + log->lastError() +
                "\n\nPlease make sure the folder is not read-only and try again.",
            "Error.", MsgIcon::Critical, MsgButtons::OK);
        control.session.WordApp.reset();
        return result;
    }
    control.run.ErrorLog = log.get();
    ProgressHookup hookup(control, view);

    view.setTotalErrors("0");
    view.showScannedText(" Documents scanned till now: 0");
    const std::string caption = view.caption();
    control.config.LastResumeFolder = options.folder;

    // Legacy documents are converted in one go, so the word processor starts once per run.
    std::vector<std::string> paths;
    paths.reserve(files.size());
    int legacy = 0;
    for (const auto& name : files) {
        paths.push_back((folder / name).string());
        legacy += word::Application::isLegacyFormat(name) ? 1 : 0;
    }
    if (legacy > 0) {
        view.showConverting(legacy);
        view.processEvents();
        control.session.WordApp->prepare(paths);
    }

    AddError(control, "Errors occured during the extraction of the folder : " + std::string(kCrLf), 4);
    AddError(control, options.folder + kCrLf + kCrLf, 4);
    AddError(control, "Filename\t\t\t\t\t Problem", 4);
    AddError(control, kRule, 4);

    ReadAheadThread readAhead(paths);

    result.outcome = RunOutcome::Completed;
    for (size_t index = 0; index < files.size(); ++index) {
        const std::string& name = files[index];
        ++scanned;
        ++control.run.SuccessfulDocuments;
        view.startDocument(name);

        control.run.DocumentErrors = 0;
        AddError(control, kCrLf + name + "\t\t", 1);

        const double started = clock();
        ReadAheadThread::Read read = readAhead.take();
        const int16_t extracted = read.done
                                      ? ExtractResume(control, paths[index], std::move(read.document), read.error)
                                      : ExtractResume(control, paths[index]);
        control.config.TotalScanSeconds += clock() - started;

        const int percent = WholePercent(scanned, total);
        view.setWholeProgress(percent);
        view.setCaption(std::to_string(percent) + " % " + caption);

        if (extracted == kResumeRejected) {
            ++result.rejected;
            view.setDocumentErrors(std::to_string(control.run.DocumentErrors));
            view.setTotalErrors(std::to_string(control.run.TotalErrors));
            view.showNote("Please see " + options.folder + "/" + kErrorLogName + "  file for description");

            bool goOn = true;
            if (control.run.TotalErrors != 0 && control.run.TotalErrors % 10 == 0 && !options.dontStop) {
                goOn = ask(" There are too many errors occuring frequently. You might want to check : \n\n"
                           "1. That you are trying to extract from the correct folder OR \n"
                           "2. The database path is set properly in Kyt.ini file in *this* program's folder.\n\n"
                           " Do you want to continue anyway? ",
                           "Please Intervene", MsgIcon::None, MsgButtons::YesNo) != MsgAnswer::No;
            }
            if (options.copyErroredResumes && !CopyInto(paths[index], sideFolder))
                --control.run.CopyFailures;
            --control.run.SuccessfulDocuments;
            if (!goOn) {
                view.setWholeProgress(100);
                view.setCaption("100 % " + caption);
                AddError(control, name + "-", 4);
                result.outcome = RunOutcome::Stopped;
                break;
            }
            AddError(control, "=-=", 4);
        } else {
            AddError(control, "=-=", 5);
        }
        view.showScannedText(" Documents scanned till now: " + std::to_string(scanned));
        view.processEvents();
    }

    control.run.ErrorLog = nullptr;
    // A log that could not be written (a full disk) must not pass for a complete account of the run;
    // when nothing was rejected it goes anyway.
    const bool logWritten = log->close() && !log->failed();
    if (!logWritten && result.rejected > 0)
        ask("Some lines of the error log " + logPath + " could not be written:\n\n" + log->lastError() +
                "\n\nThe students were stored as shown; the rejected documents may be missing from the log.",
            "Error.", MsgIcon::Critical, MsgButtons::OK);
    log.reset();

    control.config.TotalDocumentsScanned += scanned;
    if (control.config.TotalDocumentsScanned == 0)
        control.config.TotalDocumentsScanned = 1;
    control.config.AverageScanSeconds = control.config.TotalScanSeconds / control.config.TotalDocumentsScanned;

    std::error_code ec;
    if (scanned == control.run.SuccessfulDocuments) {
        fs::permissions(logPath, fs::perms::owner_write, fs::perm_options::add, ec);
        fs::remove(logPath, ec);
    } else {
        result.logPath = logPath;
        if (options.copyErroredResumes)
            CopyInto(logPath, sideFolder);  // the log stays in the folder itself in any case
    }

    int16_t finished = kProgressFinished;
    ShowResumeProgress(control, finished);
    view.showScanningHeading();
    view.showScannedText(" Total Documents scanned : " + std::to_string(scanned));
    view.showSuccessfulText(" No. of Successfully scanned documents :" +
                            std::to_string(control.run.SuccessfulDocuments));
    view.showComplete();

    control.session.WordApp.reset();
    result.scanned = scanned;
    BringDatabaseUpToDate(control);
    return result;
}

}  // namespace kyt
