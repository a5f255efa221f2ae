#pragma once
// The extraction run: every résumé of one folder through ExtractResume, the run's counters, the error log
// Kyt_errors.txt and the side folder Kyt_Resumes_WithErrors, the officer's "go on?" question, the speed
// statistics. What it shows goes to an ExtractionView: the status window, or a terminal.

#include <functional>
#include <string>
#include <vector>

#include "extract/error_report.h"
#include "shell/control.h"

namespace kyt {

inline constexpr const char* kErrorLogName = "Kyt_errors.txt";
inline constexpr const char* kSideFolderName = "Kyt_Resumes_WithErrors";

// What the status window shows. Labels are given their full text; "show" makes a hidden one visible.
class ExtractionView {
public:
    virtual ~ExtractionView() = default;
    // A document starts: its name, its error count "0", and the window shown.
    virtual void startDocument(const std::string& fileName) = 0;
    virtual void setResumeProgress(int percent) = 0;  // the current document, 0 to 100
    virtual void setDocumentErrors(const std::string& count) = 0;
    virtual void setTotalErrors(const std::string& count) = 0;
    virtual void showScannedText(const std::string& text) = 0;
    virtual void setWholeProgress(int percent) = 0;
    virtual std::string caption() const = 0;
    virtual void setCaption(const std::string& caption) = 0;
    virtual void showNote(const std::string& text) = 0;
    virtual void showSuccessfulText(const std::string& text) = 0;
    virtual void showScanningHeading() = 0;
    virtual void showComplete() = 0;
    // Before the first document: `count` older documents (.doc, .rtf, .odt) are being converted, which
    // takes a while.
    virtual void showConverting(int count) { (void)count; }
    // At the end of a run that replaced stored students: new, replaced and refused, in one line.
    virtual void showCounts(const std::string& text) { (void)text; }
    // Between documents: keep a window responsive.
    virtual void processEvents() {}
};

struct RunOptions {
    std::string folder;
    bool copyErroredResumes = false;  // copy rejected documents (and the log) into the side folder
    bool dontStop = false;            // never ask whether to go on
    bool replace = false;             // a valid résumé of a stored USN replaces that student
    // Seconds on a steady clock; tests replace it.
    std::function<double()> clock;
};

enum class RunOutcome {
    Completed,      // every document was read
    Stopped,        // the officer stopped the run after a rejected document
    NoDocuments,    // the folder holds no résumé; nothing was written
    CouldNotStart,  // the document reader or the error log could not be set up, or another run holds
                    // the folder; nothing was touched
    EnvironmentFailed,  // the database or the log could not be written (a lock, a full disk, a read-only
                        // folder, an I/O error): the run stopped; the document being read and the ones
                        // after it were left untouched for the next run
};

struct RunResult {
    RunOutcome outcome = RunOutcome::CouldNotStart;
    int64_t runId = 0;  // the run's number in the history of runs; 0 when it did not start
    int scanned = 0;
    int rejected = 0;
    int added = 0;     // stored as new students
    int replaced = 0;  // stored in place of a student of the same USN
    std::vector<RejectedResume> rejectedResumes;
    std::string logPath;  // the error log, empty when it was removed (nothing rejected)
    std::string reportPath;  // Kyt_errors.csv, empty when nothing was rejected or it could not be written
    std::string stopReason;  // EnvironmentFailed: the cause, in plain words
};

// The résumés of `folder` in the order a run takes them: .docx, .doc, .rtf and .odt in any letter case,
// sorted by name, without the owner files (~$name) the word processor leaves beside open documents.
std::vector<std::string> ResumeFiles(const std::string& folder);

// Runs the extraction of `options.folder`, recorded in the database's history of runs. Needs control.session.Connector connected and control.session.Messages set.
// One run at a time per folder: a run holds an advisory lock on the folder, and a second one is refused.
// control.session.WordApp is started here and released at the end of the run.
RunResult RunExtraction(Control& control, ExtractionView& view, const RunOptions& options);

// Empties the database's write-ahead log into the database file, so that the file alone holds every
// stored student; when another program keeps that from happening, the officer is told. RunExtraction
// does this at its end.
void BringDatabaseUpToDate(Control& control);

// The message that tells where the students were stored ("The resumes were extracted to ..."); after a
// run that replaced stored students, followed by its counts.
std::string ExtractedToText(const Control& control);
// The counts of a run that replaced stored students: new, replaced, refused.
std::string RunCountsText(const Control& control);
void ShowExtractedTo(Control& control);

// What the officer is told when leaving the status window with Finish: where the students went, whether
// rejected documents were copied aside, whether some copies failed. Nothing after a run that a failing
// environment stopped: its cause was told, and a summary would blame the résumés.
void ShowFinishMessages(Control& control, bool copyErroredResumes, RunOutcome outcome);

}  // namespace kyt
