#pragma once
// How a selection of students did: per branch the number of students, the mean, median, lowest and
// highest aggregate, the class the aggregate gives, how many clear the common cut-offs, how the
// aggregates spread, and the offers and placements the drives recorded. The selection is a query result
// (the results window, kyt-cli stats), a drive's shortlist or a whole batch.

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "drives/drive_store.h"
#include "query/retrieve.h"

namespace kyt::drives {

// One student of the selection.
struct StudentFigure {
    std::string usn;
    std::string branch;
    std::optional<double> aggregate;  // none: no semester of the range on record
    bool offer = false;
    bool joined = false;
};

inline constexpr std::array<double, 4> kCutOffs = {60, 65, 70, 75};
// Bands of the aggregate, each from its lower bound up to (not including) the next: below 50, 50 to 60,
// ..., 90 to 100 (100 included).
inline constexpr std::array<double, 6> kBandStarts = {0, 50, 60, 70, 80, 90};
std::string BandLabel(size_t band);  // "below 50", "50-60", ..., "90-100"

struct BranchFigures {
    std::string branch;  // the branch code; "All" in the total
    int students = 0;
    int withAggregate = 0;
    double mean = 0, median = 0, lowest = 0, highest = 0;  // over the students with an aggregate
    int second = 0, first = 0, fcd = 0;  // the class the aggregate gives: below 60, 60 to 70, 70 or more
    std::array<int, kCutOffs.size()> clearing{};    // at or above each cut-off
    std::array<int, kBandStarts.size()> bands{};
    int offers = 0, joined = 0;
};

struct Statistics {
    std::string title;     // what was selected: "Acme, 2027-02-12", "Batch 22", the page title
    std::string subtitle;  // the criteria in words
    bool outcomes = false;  // offers and placements belong in the figures (a drive, or outcomes recorded)
    std::vector<BranchFigures> branches;  // in the order of the branch list, then any other code
    BranchFigures total;

    bool empty() const { return total.students == 0; }
};

// The class an aggregate gives, as the semesters' classes are given: "Second", "First" or "FCD".
const char* ClassOf(double aggregate);

Statistics ComputeStatistics(const std::vector<StudentFigure>& students, const std::vector<std::string>& branchOrder);

// The students of a query result (USN and the column `percentColumn`), with what the drives recorded.
std::vector<StudentFigure> FiguresOfResult(const query::ResultTable& result, const std::string& percentColumn,
                                           const std::vector<std::string>& branchCodes,
                                           const std::map<std::string, Placement>& placements);
// The students of a drive's shortlist, with the outcome of that drive.
std::vector<StudentFigure> FiguresOfShortlist(const std::vector<ShortlistEntry>& shortlist);

// The tables, as the statistics window shows them and as CSV writes them (query::ResultsCsv); the last
// row is the total ("All"). Numbers with a decimal point whatever the locale.
query::ResultTable SummaryTable(const Statistics& statistics);       // the figures of each branch
query::ResultTable DistributionTable(const Statistics& statistics);  // students per band of the aggregate
query::ResultTable PlacementTable(const Statistics& statistics);     // offers, joined and their rates

}  // namespace kyt::drives
