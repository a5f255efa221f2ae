#pragma once
// Placement drives: one company's visit on one day, the criteria the officer set for it, and the
// students it shortlisted, kept as they were then with the outcome the officer records for each. Read
// and written on the session's database (tables Drive and Shortlist); every value reaches the SQL as a
// quoted literal.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/database.h"
#include "query/query_builder.h"
#include "query/retrieve.h"

namespace kyt::drives {

enum class Outcome { Shortlisted, Interviewed, Offered, Joined, Declined };

inline constexpr Outcome kOutcomes[] = {Outcome::Shortlisted, Outcome::Interviewed, Outcome::Offered, Outcome::Joined,
                                        Outcome::Declined};

// "shortlisted", "interviewed", "offered", "joined", "declined": as stored and as kyt-cli takes them.
const char* OutcomeName(Outcome outcome);
std::optional<Outcome> ParseOutcome(std::string_view name);  // letter case ignored
// An offer was made: offered, joined, or declined (the student turned the offer down).
bool HadOffer(Outcome outcome);

struct Drive {
    int id = 0;
    std::string company;
    std::string date;  // year-month-day
    query::Criteria criteria;
    std::string saved;    // year-month-day hour:minute
    std::string lastRun;  // when its shortlist was last taken or added to
    // Counted from its shortlist (ListDrives and LoadDrive fill them).
    int shortlisted = 0, offers = 0, joined = 0;

    // "Acme, 2027-02-12".
    std::string title() const { return company + ", " + date; }
};

struct ShortlistEntry {
    int place = 0;
    std::string usn, name, branch;
    std::optional<double> aggregate;
    Outcome outcome = Outcome::Shortlisted;
    std::string outcomeDate;  // year-month-day, empty until an outcome other than the first is set
};

// The branch code a USN carries at its 6th character: the two letters there when they are one of
// `codes`, else the three when they are, else the two as written (in upper case).
std::string BranchOf(const std::string& usn, const std::vector<std::string>& codes);

// Every drive, newest date first.
bool ListDrives(db::Database& database, std::vector<Drive>& drives, db::Failure& failure);
// The drive `id` and, when asked, its shortlist in place order. A drive that does not exist is a failure
// that says so.
bool LoadDrive(db::Database& database, int id, Drive& drive, std::vector<ShortlistEntry>* shortlist,
               db::Failure& failure);

// The shortlist a query result gives: USN, Name and the column `percentColumn`, in the result's order.
std::vector<ShortlistEntry> ShortlistOf(const query::ResultTable& result, const std::string& percentColumn,
                                        const std::vector<std::string>& branchCodes);

// Saves a new drive with its shortlist, in one transaction; fills drive.id and drive.saved. A drive of
// the same company on the same date is refused, saying so.
bool SaveDrive(db::Database& database, Drive& drive, const std::vector<ShortlistEntry>& shortlist,
               db::Failure& failure);

// Adds to the drive's shortlist the students of `eligible` not on it yet, after the last place, in one
// transaction; `added` says who. Students already on it keep their place and outcome.
bool AddToShortlist(db::Database& database, int id, const std::vector<ShortlistEntry>& eligible,
                    std::vector<ShortlistEntry>& added, db::Failure& failure);

// Records the outcome of one shortlisted student, dated today.
bool SetOutcome(db::Database& database, int id, const std::string& usn, Outcome outcome, db::Failure& failure);

// Removes the drive and its shortlist, in one transaction.
bool DeleteDrive(db::Database& database, int id, db::Failure& failure);

// The shortlist as a table of texts (Place, USN, Name, Branch, Aggregate, Outcome, Outcome date), as the
// window shows it and kyt-cli exports it (query::ResultsCsv). Numbers never depend on the locale.
query::ResultTable ShortlistTable(const std::vector<ShortlistEntry>& shortlist);

// What the students reached over all drives, by USN in upper case: an offer (offered, joined or
// declined) and whether they joined.
struct Placement {
    bool offer = false;
    bool joined = false;
};
bool Placements(db::Database& database, std::map<std::string, Placement>& byUsn, db::Failure& failure);

// A percentage with two decimals, as the grid shows the aggregate: 72.50. Never the locale's.
std::string TwoDecimals(double value);

}  // namespace kyt::drives
