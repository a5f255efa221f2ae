#pragma once
// The criteria window's SQL: criteria in; the selection text, the aggregate text that becomes the saved
// query FreePercent, and the condition kept for saving and merging out, or the refusal that stops
// Retrieve (its message and the control that gets the focus). The criteria window and kyt-cli both
// build their queries here.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "shell/control.h"
#include "shell/message_service.h"

namespace kyt::query {

inline constexpr const char* kNoneElse = "None Else";
inline constexpr const char* kAllBranches = "All Branches";
inline constexpr const char* kAllBatches = "All Batches";

enum class ClassOption { None, FirstClass, FCD };
enum class Comparison { Atleast, Atmost, Exactly };  // the positions of Combo4's items

// The rules a company adds to the aggregate (the window's eligibility group, closed by default): each
// one given is combined with the rest by AND. A student without the figure a rule reads (no 10th row,
// a date of birth that is no date) does not pass it.
struct Eligibility {
    std::string tenthPercent = {};    // 10th (level 1) percentage at least this; empty: no rule
    std::string twelfthPercent = {};  // 12th (level 2) percentage at least this; empty: no rule
    int maxBacklogs = -1;        // at most this many semesters taken in more than one attempt (0: no backlogs); -1: no rule
    std::string bornFrom = {};        // born on or after this date, 2003-06-01 or 01-06-2003; empty: no rule

    bool any() const { return !tenthPercent.empty() || !twelfthPercent.empty() || maxBacklogs >= 0 || !bornFrom.empty(); }
    bool operator==(const Eligibility&) const = default;
};

// The criteria window's controls, as values.
struct Criteria {
    std::string batch;            // Combo7: its selected item, or the text typed into it
    bool batchTyped = false;      // true when Combo7 holds typed text rather than one of its items
    std::array<std::string, 3> branches;  // Combo1 members: a branch code, "None Else" or "All Branches"
    std::string excludeList;      // Text4; used only while a branch box shows "All Branches"
    std::string fromSemester = "1", toSemester = "6";  // cmbFromSem, cmbToSem
    bool strictRange = false;     // Check6
    Comparison comparison = Comparison::Atleast;
    std::string percent;          // Text1
    std::string rankBy = "aggregate";  // Combo5: "aggregate" or "USN"
    bool ascending = false;       // Combo6 position 0
    ClassOption classOption = ClassOption::None;
    bool cetRank = false, gender = false, age = false;  // Check3, Check4, Check5
    bool projectWordsEnabled = false;  // Check1
    std::string projectWords;          // Text2
    bool hobbyWordsEnabled = false;    // Check2
    std::string hobbyWords;            // Text3
    Eligibility eligibility;           // the eligibility group

    bool operator==(const Criteria&) const = default;
};

// Why Retrieve stopped: the message box to show and the control (by its object name) that gets the focus.
struct Refusal {
    int step = 0;  // the Retrieve step that refused: 2, 7, 8, 9 or 12; 13 for an eligibility rule
    std::string text;
    std::string title;
    MsgIcon icon = MsgIcon::Critical;
    std::string focus;
};

struct BuiltQuery {
    // Set once the semester range is accepted, also when a later check refuses.
    std::string PercentColumn;
    bool rankedByUsn = false;
    // The MCA offset (1 when a branch pattern has MCA after the batch) and whether the results window's
    // MCA warning belongs with this query (MCA mixed with other branches). Known once step 10 ran.
    int mcaOffset = 0;
    bool mcaWarning = false;
    std::string select;     // the query that fills the grid
    std::string aggregate;  // the saved query FreePercent's new SQL
    std::string condition;  // from " where " to the ranking direction: QueryCondition
    std::optional<Refusal> refusal;

    bool refused() const { return refusal.has_value(); }
    Selection selection() const { return {condition, aggregate}; }
};

// Combo7's items in `year`: the last two digits of year-5, year-4, year-3, then "yy(4) Or yy(3)" and
// "All Batches". In 2026: 21, 22, 23, "22 Or 23", "All Batches".
std::vector<std::string> BatchItems(int year);

// The criteria window's state right after it loads in `year`, with `branchCodes` in its branch boxes.
Criteria DefaultCriteria(const std::vector<std::string>& branchCodes, int year);

// Items of a branch box: the codes, then "None Else", then "All Branches".
std::vector<std::string> BranchBoxItems(const std::vector<std::string>& branchCodes);
// The item each branch box selects at load; -1 when the list is too short for it.
std::array<int, 3> DefaultBranchIndexes(const std::vector<std::string>& branchCodes);

// Retrieve's checks and texts. `branchCodes` are the codes loaded at start-up (the only ones an exclude
// list may name); `year` the current calendar year.
BuiltQuery BuildQuery(const Criteria& criteria, const std::vector<std::string>& branchCodes, int year);

// The pieces, under the names the window has always used for them.
std::string ConcatToStudentYear(const std::string& Year1, const std::string& Year2, const std::string& Str);
std::string usnlikeString(const std::string& br);
std::string usnnotlikeString(const std::string& br);
// Conditions for the exclude list; a rejected list leaves "-ERRERR" in the result.
std::string VerifyAndGenerateExcludeSQLString(std::string exlist, const std::vector<std::string>& branchCodes);
std::string GetWordRegEx(const std::string& t);

// The number test of the batch and percentage boxes: blanks around, an optional sign, digits with at most
// one decimal point, an optional exponent. Never depends on the locale.
bool IsNumeric(const std::string& text);

// A date as the eligibility rules take it, day-month-year (01-06-2003, 1/6/2003) or year-month-day
// (2003-06-01), written year-month-day; empty when it is no date of the calendar.
std::string IsoDate(const std::string& text);

// The condition the eligibility rules add to the query (empty when none is given); each value a quoted
// literal or a number written without the locale. Reads the view Eligibility of the database.
std::string EligibilityCondition(const Eligibility& eligibility);

// The Help button's text.
std::string QueryHelpText();

}  // namespace kyt::query
