#pragma once
// The history of extraction runs: every run is recorded (when, which folder, by whom, how it ended), each
// student it stored (added, or replaced with the student's previous rows kept) and each fault of the
// résumés it refused. A run can be taken back: in one transaction its added students go and its
// replaced ones get their previous rows back.

#include <cstdint>
#include <string>
#include <vector>

#include "db/data_connector.h"
#include "extract/error_report.h"
#include "shell/control.h"

namespace kyt {

// --- Recording, during a run ---------------------------------------------------------------------------

// Records the start of a run; its number, or 0 with `error` saying why it could not be recorded.
int64_t OpenRunRecord(Control& control, const std::string& folder, bool replace, std::string& error);
// Ends the record: documents scanned and how the run ended, in words.
bool CloseRunRecord(Control& control, int64_t runId, int scanned, const std::string& outcome, std::string& error);
// The faults of the run's `document`-th résumé, which it refused.
bool RecordRefusal(Control& control, int64_t runId, int document, const RejectedResume& resume, std::string& error);

// Inside a résumé's transaction, through the connector (its exec results). Before a stored student is
// replaced: its rows as they are, kept with the run, unless the run stored this USN already (what the run
// found is what a revert gives back). Then, once its rows are written: the student as stored by the run.
int32_t KeepPreviousRows(db::DataConnector& connector, int64_t runId, const std::string& usn);
int32_t RecordStoredStudent(db::DataConnector& connector, int64_t runId, const std::string& usn, bool replaced);

// --- Reading and taking back ---------------------------------------------------------------------------

struct RunSummary {
    int64_t id = 0;
    std::string startedAt;   // local time, 2027-02-12 14:03:09
    std::string finishedAt;  // empty: still running, or the program was stopped during the run
    std::string folder;
    std::string user;
    bool replace = false;
    int scanned = 0;
    int added = 0;
    int replaced = 0;
    int refused = 0;
    std::string outcome;
    std::string revertedAt;  // empty while the run stands
    std::string revertedBy;
};

// Every run, oldest first.
bool ListRuns(db::Database& database, std::vector<RunSummary>& runs, db::Failure& failure);
// The refused résumés of a run with their faults, in the order the run read them.
bool RunRefusals(db::Database& database, int64_t runId, std::vector<RejectedResume>& refused, db::Failure& failure);

enum class RevertOutcome { Reverted, Declined, Refused, Failed };

struct RevertResult {
    RevertOutcome outcome = RevertOutcome::Failed;
    std::string description;  // Refused, Failed: why, in words for the officer
    int removed = 0;          // added students taken out
    int restored = 0;         // replaced students given their previous rows back
};

// Takes run `runId` back after asking the officer (Yes/No, naming the counts) through
// control.session.Messages. Refused, with the reason, when the run is unknown or already taken back, or
// when a later run that still stands stored some of the same students: that one must be taken back first.
RevertResult RevertRun(Control& control, int64_t runId);

}  // namespace kyt
