#pragma once
// GenerateResumes: one filled-in résumé per student of the current selection, merged into the company's
// target format document. Everything the officer sees goes through the message service and the hooks
// the windows (or kyt-cli) plug in.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "shell/control.h"

namespace kyt {

// What the windows provide to the generator. Every hook may be empty.
struct GenerateHooks {
    std::function<void(int16_t)> ShowProgress;  // the results window's progress display
    std::function<void()> HideMainMenu;
    std::function<void()> ShowMainMenu;
    std::function<void()> ShowQueryResults;
    // The save dialog; returns the chosen path, or empty when the officer cancelled (which ends the
    // generation quietly).
    std::function<std::string(const std::string& title, const std::string& filter)> AskOutputFile;
};

struct GenerateOptions {
    // The students to merge, with the FreePercent they were selected under (set back for the merge when
    // another query has changed it). Without one, the students of QueryCondition as FreePercent now stands.
    std::optional<Selection> selection = {};
    std::string outputFile = {};        // when set, no save dialog is shown
    std::string perStudentFolder = {};  // when set, one file per student there; with outputFile too, both
    bool pdf = false;                   // with perStudentFolder: a PDF of each file through LibreOffice
};

enum class GenerateOutcome { Written, Refused, Failed, Cancelled };

struct GenerateResult {
    GenerateOutcome outcome = GenerateOutcome::Failed;
    std::string output;               // the document or the folder written (both, when both were)
    std::vector<std::string> files;   // every file written
    size_t records = 0;
    size_t pdfs = 0;                  // PDF copies made
    std::string description;          // why it was refused or failed
};

inline constexpr size_t kMaxMergeSqlLength = 510;
inline constexpr const char* kDefaultMergeOutput = "Selected_Resumes_By_Kyt___.docx";

// The query the merge reads its students from. With a condition: "SELECT * FROM ser, FreePercent "
// and the condition with each "personal." turned into "ser.". Without one: every student exactly once,
// with the aggregate columns where the student has them, in USN order.
std::string MergeSql(const std::string& QueryCondition);

// The file name of one student's résumé: USN and name, characters a file system refuses replaced.
std::string StudentFileName(const std::string& usn, const std::string& name);

// `Folder` is the folder of the target format document, `FileName` its name.
GenerateResult GenerateResumes(Control& control, const std::string& Folder, const std::string& FileName,
                               const GenerateHooks& hooks, const GenerateOptions& options = {});

}  // namespace kyt
