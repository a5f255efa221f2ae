#include "extract/batch_driver.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "db/data_connector.h"
#include "db/database.h"
#include "extract/error_log.h"
#include "extract/extract_resume.h"
#include "extract/run_history.h"
#include "extract/validation.h"
#include "shell/atomic_file.h"
#include "shell/long_work.h"
#include "shell/startup.h"
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
    if (!fs::is_directory(folder, ec))
        return false;
    fs::copy_file(source, folder / source.filename(), fs::copy_options::overwrite_existing, ec);
    return !ec;
}

// Two runs on one folder would write one error log at once, and the one that ends without refusals
// would delete the other's. A run holds this lock on the folder itself (nothing is added to it); it goes
// with the process, however that ends.
class FolderLock {
public:
    enum class Result { Held, Busy, Failed };

    Result take(const std::string& folder, std::string& error)
    {
        fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0) {
            error = std::strerror(errno);
            return Result::Failed;
        }
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0)
            return Result::Held;
        const int code = errno;
        error = std::strerror(code);
        // A file system without locks (some network drives) cannot tell; the run goes ahead there.
        return code == EWOULDBLOCK ? Result::Busy : Result::Held;
    }
    ~FolderLock()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

private:
    int fd_ = -1;
};

std::string EnvironmentStopText(const std::string& cause, bool beforeTheFirst)
{
    return "Kyt stopped the extraction because " + cause + "\n\nThis is not a fault of the résumés. " +
           (beforeTheFirst ? "No résumé was touched. Put the problem right, then extract the folder again."
                           : "The résumé being read was not stored and the documents after it were not touched; the "
                             "students stored before it are kept. Put the problem right, then extract the folder "
                             "again to take the rest.");
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

std::string RunCountsText(const Control& control)
{
    const RunState& run = control.run;
    return " New students: " + std::to_string(run.SuccessfulDocuments - run.ReplacedDocuments) +
           "   Replaced: " + std::to_string(run.ReplacedDocuments) + "   Refused: " + std::to_string(run.RefusedDocuments);
}

std::string ExtractedToText(const Control& control)
{
    const std::string text = " The resumes were extracted to " +
        (control.session.Connector ? control.session.Connector->GetSource() : std::string());
    return control.run.ReplaceStored ? text + "\n\n" + RunCountsText(control) : text;
}

void ShowExtractedTo(Control& control)
{
    if (control.session.Messages)
        control.session.Messages->show(ExtractedToText(control), "Kyt Message", MsgIcon::None, MsgButtons::OK);
}

void ShowFinishMessages(Control& control, bool copyErroredResumes, RunOutcome outcome)
{
    if (!control.session.Messages || outcome == RunOutcome::EnvironmentFailed)
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

namespace {

// One run of RunExtraction: prepare, then one document at a time, then finish. Whatever the run set up
// (the folder's lock, the document reader, the error log, the view's progress) is let go in one place,
// the destructor, however the run ends.
class ExtractionRun {
public:
    ExtractionRun(Control& control, ExtractionView& view, const RunOptions& options)
        : control_(control), view_(view), options_(options), clock_(options.clock ? options.clock : SteadySeconds),
          folder_(options.folder), sideFolder_(folder_ / kSideFolderName), logPath_((folder_ / kErrorLogName).string()),
          reportPath_((folder_ / kErrorReportName).string())
    {
    }
    ~ExtractionRun()
    {
        readAhead_.reset();
        control_.run.ErrorLog = nullptr;
        log_.reset();
        hookup_.reset();
        control_.session.WordApp.reset();
        control_.run.RunId = 0;
    }
    ExtractionRun(const ExtractionRun&) = delete;
    ExtractionRun& operator=(const ExtractionRun&) = delete;

    // False when the run cannot start; the result says why.
    bool prepare();
    size_t documents() const { return files_.size(); }
    // False when the run stops at this document.
    bool document(size_t index);
    RunResult finish();
    const RunResult& result() const { return result_; }

private:
    MsgAnswer ask(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons)
    {
        return control_.session.Messages ? control_.session.Messages->show(text, title, icon, buttons) : MsgAnswer::Yes;
    }
    bool refuse(const std::string& text)
    {
        ask(text, "Error.", MsgIcon::Critical, MsgButtons::OK);
        return false;
    }

    Control& control_;
    ExtractionView& view_;
    const RunOptions& options_;
    const std::function<double()> clock_;
    const fs::path folder_;
    const fs::path sideFolder_;
    const std::string logPath_;
    const std::string reportPath_;
    RunResult result_;
    FolderLock folderLock_;
    std::vector<std::string> files_;
    std::vector<std::string> paths_;
    std::unique_ptr<ErrorLogFile> log_;
    std::optional<ProgressHookup> hookup_;
    std::unique_ptr<ReadAheadThread> readAhead_;  // reads paths_: let go first
    std::string caption_;
    int scanned_ = 0;
};

bool ExtractionRun::prepare()
{
    if (!control_.session.Connector || !control_.session.Connector->GetConnectStatus())
        return refuse("Kyt is not connected to its database, so no résumé was touched.");
    if (const std::string refusal = CoordinatorRefusal(control_, "Extracting résumés"); !refusal.empty())
        return refuse(refusal);
    std::string error;
    switch (folderLock_.take(options_.folder, error)) {
    case FolderLock::Result::Held:
        break;
    case FolderLock::Result::Busy:
        return refuse("Another Kyt run is extracting the folder " + options_.folder +
                      " right now, so this one did not start. Wait until that run has finished.");
    case FolderLock::Result::Failed:
        return refuse("Kyt cannot open the folder " + options_.folder + " (" + error + "), so no résumé was touched.");
    }
    error.clear();
    control_.session.WordApp = word::Application::start(error);
    if (!control_.session.WordApp)
        return refuse("Kyt could not start reading documents, so no résumé was touched.\n\n" + error);

    control_.run.DocumentErrors = 0;
    control_.run.TotalErrors = 0;
    control_.run.SuccessfulDocuments = 0;
    control_.run.CopyFailures = 0;
    control_.run.ReplaceStored = options_.replace;
    control_.run.ReplacedDocuments = 0;
    control_.run.RefusedDocuments = 0;
    // A block that an earlier run's log could not take (a full disk) belongs to that run, not to this log.
    control_.run.ErrorText.clear();

    files_ = ResumeFiles(options_.folder);
    if (files_.empty()) {
        result_.outcome = RunOutcome::NoDocuments;
        return refuse("Could not find any Word Document. \n\nPlease make sure the resumes are in the word format "
                      "specified in October 2001 by Corlan");
    }

    // Legacy documents are converted in one go, so the word processor starts once per run; before the
    // log is made, so that an officer who cancels the conversion finds the folder as it was.
    paths_.reserve(files_.size());
    int legacy = 0;
    for (const auto& name : files_) {
        paths_.push_back((folder_ / name).string());
        legacy += word::Application::isLegacyFormat(name) ? 1 : 0;
    }
    if (legacy > 0) {
        view_.showConverting(legacy);
        view_.processEvents();
        word::Application& app = *control_.session.WordApp;
        const bool converted = RunWork(control_, "Converting " + std::to_string(legacy) + " older documents", true,
                                       [&](WorkProgress& work) {
                                           std::atomic<int> done{0};
                                           app.cancelled = [&work] { return work.cancelled(); };
                                           app.fileDone = [&] {
                                               const int now = ++done;
                                               work.set(now * 100 / legacy, "Converted " + std::to_string(now) +
                                                                                " of " + std::to_string(legacy) +
                                                                                " older documents");
                                           };
                                           app.prepare(paths_);
                                       });
        app.cancelled = nullptr;
        app.fileDone = nullptr;
        if (!converted) {
            result_.outcome = RunOutcome::CouldNotStart;  // cancelled: nothing was read or written
            return false;
        }
    }

    log_ = std::make_unique<ErrorLogFile>();
    if (!log_->open(logPath_))
        return refuse("Kyt could not create the error log " + logPath_ + ", so no résumé was touched.\n\n" +
                      log_->lastError() + "\n\nPlease make sure the folder is not read-only and try again.");
    control_.run.ErrorLog = log_.get();
    hookup_.emplace(control_, view_);
    // The report is written whole at the end; until then an older one must not pass for this run's.
    std::error_code ec;
    fs::remove(reportPath_, ec);

    view_.setTotalErrors("0");
    view_.showScannedText(" Documents scanned till now: 0");
    caption_ = view_.caption();
    control_.config.LastResumeFolder = options_.folder;

    AddError(control_, "Errors occured during the extraction of the folder : " + std::string(kCrLf), 4);
    AddError(control_, LogSafeName(options_.folder) + kCrLf + kCrLf, 4);
    AddError(control_, "Filename\t\t\t\t\t Problem", 4);
    AddError(control_, kRule, 4);

    readAhead_ = std::make_unique<ReadAheadThread>(paths_);
    result_.outcome = RunOutcome::Completed;

    // Every run is in the history. A database that cannot take the record (locked, full, read-only) stops
    // the run before its first résumé, as it would have stopped at it.
    std::string recordError;
    control_.run.RunId = OpenRunRecord(control_, options_.folder, options_.replace, recordError);
    result_.runId = control_.run.RunId;
    if (result_.runId == 0) {
        result_.outcome = RunOutcome::EnvironmentFailed;
        result_.stopReason = "the database could not be written: " + recordError;
    }
    return true;
}

bool ExtractionRun::document(size_t index)
{
    const std::string& name = files_[index];
    ++scanned_;
    ++control_.run.SuccessfulDocuments;
    view_.startDocument(name);

    control_.run.DocumentErrors = 0;
    AddError(control_, kCrLf + LogSafeName(name) + "\t\t", 1);

    const double started = clock_();
    ReadAheadThread::Read read = readAhead_->take();
    control_.session.Connector->ClearEnvironmentFailure();
    const int16_t extracted = read.done
                                  ? ExtractResume(control_, paths_[index], std::move(read.document), read.error)
                                  : ExtractResume(control_, paths_[index]);
    const double seconds = clock_() - started;
    if (extracted == kResumeNotRead) {
        // Not this résumé's fault: it is not counted, logged or copied, and the run stops here.
        --scanned_;
        --control_.run.SuccessfulDocuments;
        control_.run.TotalErrors -= control_.run.DocumentErrors;
        control_.run.DocumentErrors = 0;
        AddError(control_, std::string(), kDiscard);
        result_.outcome = RunOutcome::EnvironmentFailed;
        result_.stopReason = "the database could not be written: " + control_.session.Connector->EnvironmentFailure();
        return false;
    }
    control_.config.TotalScanSeconds += seconds;

    const int percent = WholePercent(scanned_, static_cast<int>(files_.size()));
    view_.setWholeProgress(percent);
    view_.setCaption(std::to_string(percent) + " % " + caption_);

    if (extracted == kResumeRejected) {
        ++result_.rejected;
        ++control_.run.RefusedDocuments;
        result_.rejectedResumes.push_back(
            {name, control_.run.UsnAsRead, control_.run.NameAsRead, std::move(control_.run.DocumentFaults)});
        control_.run.DocumentFaults.clear();
        std::string recordError;
        const bool recorded =
            RecordRefusal(control_, control_.run.RunId, scanned_, result_.rejectedResumes.back(), recordError);
        view_.setDocumentErrors(std::to_string(control_.run.DocumentErrors));
        view_.setTotalErrors(std::to_string(control_.run.TotalErrors));
        view_.showNote("Please see " + options_.folder + "/" + kErrorLogName + "  file for description");

        bool goOn = true;
        if (control_.run.TotalErrors != 0 && control_.run.TotalErrors % 10 == 0 && !options_.dontStop) {
            goOn = ask(" There are too many errors occuring frequently. You might want to check : \n\n"
                       "1. That you are trying to extract from the correct folder OR \n"
                       "2. The database path is set properly in Kyt.ini file in *this* program's folder.\n\n"
                       " Do you want to continue anyway? ",
                       "Please Intervene", MsgIcon::None, MsgButtons::YesNo) != MsgAnswer::No;
        }
        if (options_.copyErroredResumes && !CopyInto(paths_[index], sideFolder_))
            --control_.run.CopyFailures;
        --control_.run.SuccessfulDocuments;
        if (!goOn) {
            view_.setWholeProgress(100);
            view_.setCaption("100 % " + caption_);
            AddError(control_, LogSafeName(name) + "-", 4);
            result_.outcome = RunOutcome::Stopped;
            return false;
        }
        AddError(control_, "=-=", 4);
        if (log_->failed()) {
            // The log cannot take the refusal (a full disk): the run cannot go on without losing it.
            result_.outcome = RunOutcome::EnvironmentFailed;
            result_.stopReason = "the error log could not be written: " + log_->lastError();
            return false;
        }
        if (!recorded) {
            // Nor can the history, which the notices to the students are written from.
            result_.outcome = RunOutcome::EnvironmentFailed;
            result_.stopReason = "the history of this run could not be written: " + recordError;
            return false;
        }
    } else {
        AddError(control_, "=-=", 5);
        if (extracted == kResumeReplaced) {
            ++result_.replaced;
            ++control_.run.ReplacedDocuments;
        } else {
            ++result_.added;
        }
    }
    view_.showScannedText(" Documents scanned till now: " + std::to_string(scanned_));
    view_.processEvents();
    return true;
}

RunResult ExtractionRun::finish()
{
    control_.run.ErrorLog = nullptr;
    // A log that could not be written (a full disk) must not pass for a complete account of the run;
    // when nothing was rejected it goes anyway.
    const bool logWritten = log_->close() && !log_->failed();
    if (result_.outcome == RunOutcome::EnvironmentFailed) {
        view_.showNote(EnvironmentStopText(result_.stopReason, scanned_ == 0));
        ask(EnvironmentStopText(result_.stopReason, scanned_ == 0), "Error.", MsgIcon::Critical, MsgButtons::OK);
    } else if (!logWritten && result_.rejected > 0) {
        ask("Some lines of the error log " + logPath_ + " could not be written:\n\n" + log_->lastError() +
                "\n\nThe students were stored as shown; the rejected documents may be missing from the log.",
            "Error.", MsgIcon::Critical, MsgButtons::OK);
    }
    log_.reset();

    // A running total over years of runs: it stops at the largest count rather than turning negative.
    control_.config.TotalDocumentsScanned =
        static_cast<int32_t>(std::min<int64_t>(int64_t{control_.config.TotalDocumentsScanned} + scanned_,
                                               std::numeric_limits<int32_t>::max()));
    if (control_.config.TotalDocumentsScanned == 0)
        control_.config.TotalDocumentsScanned = 1;
    control_.config.AverageScanSeconds = control_.config.TotalScanSeconds / control_.config.TotalDocumentsScanned;

    std::error_code ec;
    if (scanned_ == control_.run.SuccessfulDocuments) {
        fs::permissions(logPath_, fs::perms::owner_write, fs::perm_options::add, ec);
        fs::remove(logPath_, ec);
    } else {
        result_.logPath = logPath_;
        std::string reportError;
        if (WriteFileAtomically(reportPath_, ErrorReportCsv(result_.rejectedResumes), reportError))
            result_.reportPath = reportPath_;
        else
            ask("The report " + reportPath_ + " could not be written:\n\n" + reportError +
                    "\n\nThe students were stored as shown; the error log " + logPath_ + " lists the rejected documents.",
                "Error.", MsgIcon::Critical, MsgButtons::OK);
        if (options_.copyErroredResumes) {
            CopyInto(logPath_, sideFolder_);  // the log stays in the folder itself in any case
            if (!result_.reportPath.empty())
                CopyInto(reportPath_, sideFolder_);
        }
    }

    std::string outcome = result_.outcome == RunOutcome::Completed ? "completed"
                          : result_.outcome == RunOutcome::Stopped ? "stopped by the officer"
                                                                   : "stopped: " + result_.stopReason;
    std::string recordError;
    // After a failing environment stopped the run, its cause was told already.
    if (result_.runId != 0 && !CloseRunRecord(control_, result_.runId, scanned_, outcome, recordError) &&
        result_.outcome != RunOutcome::EnvironmentFailed)
        ask("The end of this run could not be written into the history of runs:\n\n" + recordError +
                "\n\nThe students were stored as shown; the history lists the run as one that did not finish.",
            "Error.", MsgIcon::Critical, MsgButtons::OK);
    control_.run.RunId = 0;

    int16_t finished = kProgressFinished;
    ShowResumeProgress(control_, finished);
    view_.showScanningHeading();
    view_.showScannedText(" Total Documents scanned : " + std::to_string(scanned_));
    view_.showSuccessfulText(" No. of Successfully scanned documents :" +
                             std::to_string(control_.run.SuccessfulDocuments));
    if (options_.replace)
        view_.showCounts(RunCountsText(control_));
    view_.showComplete();

    control_.session.WordApp.reset();
    result_.scanned = scanned_;
    if (control_.run.SuccessfulDocuments > 0)
        BringDatabaseUpToDate(control_);
    return result_;
}

}  // namespace

RunResult RunExtraction(Control& control, ExtractionView& view, const RunOptions& options)
{
    ExtractionRun run(control, view, options);
    if (!run.prepare())
        return run.result();
    // A résumé's writes go to a server together, answered at its commit (ExtractResume reports a failure
    // as the statement's own); nothing else the program writes needs that.
    db::Database* database = control.session.Connector ? control.session.Connector->GetCurrentConnection() : nullptr;
    if (database)
        database->setWritesAhead(true);
    for (size_t index = 0; index < run.documents() && run.result().outcome == RunOutcome::Completed; ++index)
        if (!run.document(index))
            break;
    if (database && database == control.session.Connector->GetCurrentConnection())
        database->setWritesAhead(false);
    return run.finish();
}

}  // namespace kyt
