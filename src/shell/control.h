#pragma once
// The program-wide state that every window and procedure reaches, grouped by who owns it: the
// configuration file, what start-up opens, one extraction run, the last query. The application owns
// one Control; tests make their own.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/error_text.h"
#include "shell/message_service.h"
#include "shell/window_registry.h"

namespace kyt {

namespace db {
class DataConnector;
}
namespace word {
class Application;
}
class WorkRunner;

// A college with more branches than this cannot be served: the branch list holds entries 0 to 40.
inline constexpr int kMaxBranches = 40;

// Where AddError's flushes go: the error log of the running extraction.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual bool write(std::string_view text) = 0;
};

// Kyt.ini's nine lines, and where the file is.
struct ConfigState {
    std::string RegionCollegeCode;
    std::string PlacementEmail;
    std::string DatabasePath;
    std::string LastResumeFolder;
    std::string LastFormatFolder;
    std::string ProgramFilePath;
    int32_t TotalDocumentsScanned = 0;
    double TotalScanSeconds = 0;
    double AverageScanSeconds = 0;

    std::string ConfigPath;  // Kyt.ini in use (beside the executable by default)
    // Lines 3 to 5 as Kyt.ini holds them when they are relative to its folder (empty otherwise): the
    // variables hold the resolved paths, and a path still unchanged at the end is written back as it was.
    std::array<std::string, 3> ConfigRelativePaths;
};

// What start-up opens and loads, and the services the running program plugs in. The database error
// table (DbErrorCodes, DbErrorTexts, DbErrorCount) is the inherited part.
struct SessionState : db::DbErrorTable {
    SessionState();
    ~SessionState();
    SessionState(SessionState&&) noexcept;
    SessionState& operator=(SessionState&&) noexcept;

    std::string AppTitle;
    std::unique_ptr<db::DataConnector> Connector;
    std::unique_ptr<word::Application> WordApp;

    std::array<std::string, kMaxBranches + 1> BranchCodes;
    int16_t BranchCount = 0;

    MessageService* Messages = nullptr;
    WorkRunner* Work = nullptr;  // long work off the window thread; none: on the caller's thread
    WindowRegistry Windows;  // the task windows loaded so far, closed with the main menu
};

// Where a fault of a résumé sits on the form, for the report students act on: table, row and cell counted
// from 1 (0 where the fault is not one place), and the field in words.
struct FaultPlace {
    int table = 0;
    int row = 0;
    int cell = 0;
    std::string field;
};

struct Fault {
    FaultPlace place;
    std::string reason;  // the message as reported, before the log wraps it
};

// One extraction run: its counts, the pending error text of the current document, and its log.
struct RunState {
    std::string ErrorText;
    int32_t DocumentErrors = 0;
    int32_t TotalErrors = 0;
    int32_t SuccessfulDocuments = 0;
    int16_t CopyFailures = 0;

    // The branch of the last USN validated (ValidateUSN also returns it).
    int16_t BranchCodeLen = 0;
    std::string BranchName;

    // A résumé whose USN is stored replaces that student when it is valid (re-submission); otherwise it
    // is refused as a duplicate, as always.
    bool ReplaceStored = false;
    int32_t ReplacedDocuments = 0;  // stored documents that replaced a student
    int32_t RefusedDocuments = 0;
    // The run's number in the database's history of runs; 0 outside a run (nothing is recorded).
    int64_t RunId = 0;

    // The current document's faults as AddError records them (kind 2), each at the place the reader had
    // set when it was reported, and the USN and name cells as the document holds them.
    FaultPlace Place;
    std::vector<Fault> DocumentFaults;
    std::string UsnAsRead;
    std::string NameAsRead;

    LogSink* ErrorLog = nullptr;                  // open only during an extraction run
    std::function<void(int16_t)> ResumeProgress;  // shows the current document's progress
};

// The students one query selected: its condition (from " where " to its ranking, as QueryCondition holds
// it) and the SQL of the saved query FreePercent that the condition reads. The results window keeps the
// selection it shows, so that another query or "Generate all résumés" cannot change what it saves and merges.
struct Selection {
    std::string condition;
    std::string aggregate;
};

// The last query's condition, which saving and mail merge rebuild their own queries from.
struct QueryState {
    std::string QueryCondition;
    std::string PercentColumn;
};

struct Control {
    ConfigState config;
    SessionState session;
    RunState run;
    QueryState query;
};

}  // namespace kyt
