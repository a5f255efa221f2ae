#include "drives/drive_store.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <set>

#include "db/jet_sql.h"
#include "query/criteria_text.h"

namespace kyt::drives {

using db::jet::quoteLiteral;

namespace {

std::string upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// A number as SQL takes it, whatever the locale: the shortest text that reads back as the same double.
std::string number(double value)
{
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("NULL");
}

std::string now(const char* format)
{
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, format, &local);
    return buffer;
}

// Runs `work` in one transaction on `database`: committed when it succeeds, rolled back otherwise.
template <class Work>
bool inTransaction(db::Database& database, db::Failure& failure, Work work)
{
    if (!database.begin(failure))
        return false;
    if (work() && database.commit(failure))
        return true;
    db::Failure ignored;
    database.rollback(ignored);
    return false;
}

bool readDrive(const db::Recordset& rs, Drive& drive, db::Failure& failure)
{
    drive.id = static_cast<int>(rs.field("DriveId").toInteger());
    drive.company = rs.field("Company").toText();
    drive.date = rs.field("DriveDate").toText();
    drive.saved = rs.field("Saved").toText();
    drive.lastRun = rs.field("LastRun").toText();
    drive.shortlisted = static_cast<int>(rs.field("Shortlisted").toInteger());
    drive.offers = static_cast<int>(rs.field("Offers").toInteger());
    drive.joined = static_cast<int>(rs.field("Joined").toInteger());
    std::string error;
    if (!query::ParseCriteriaText(rs.field("Criteria").toText(), drive.criteria, error)) {
        failure = {db::kErrOther, "The criteria of the drive " + drive.title() + " cannot be read: " + error + "."};
        return false;
    }
    return true;
}

// The drives with their counts; `where` narrows them.
const char* const kDriveSelect =
    "SELECT d.DriveId AS DriveId, d.Company AS Company, d.DriveDate AS DriveDate, d.Criteria AS Criteria, "
    "d.Saved AS Saved, d.LastRun AS LastRun, "
    "(SELECT count(*) FROM Shortlist s WHERE s.DriveId = d.DriveId) AS Shortlisted, "
    "(SELECT count(*) FROM Shortlist s WHERE s.DriveId = d.DriveId AND s.Outcome IN ('offered', 'joined', 'declined')) "
    "AS Offers, "
    "(SELECT count(*) FROM Shortlist s WHERE s.DriveId = d.DriveId AND s.Outcome = 'joined') AS Joined "
    "FROM Drive d";

bool insertEntries(db::Database& database, int id, const std::vector<ShortlistEntry>& entries, db::Failure& failure)
{
    for (const ShortlistEntry& e : entries) {
        const std::string sql =
            "INSERT INTO Shortlist (DriveId, Place, USN, Name, BranchCode, Aggregate, Outcome) VALUES (" +
            std::to_string(id) + ", " + std::to_string(e.place) + ", " + quoteLiteral(e.usn) + ", " +
            quoteLiteral(e.name) + ", " + quoteLiteral(e.branch) + ", " +
            (e.aggregate ? number(*e.aggregate) : std::string("NULL")) + ", " + quoteLiteral(OutcomeName(e.outcome)) +
            ")";
        if (!database.exec(sql, failure))
            return false;
    }
    return true;
}

bool touchLastRun(db::Database& database, int id, db::Failure& failure)
{
    return database.exec("UPDATE Drive SET LastRun = " + quoteLiteral(now("%Y-%m-%d %H:%M")) +
                             " WHERE DriveId = " + std::to_string(id),
                         failure);
}

}  // namespace

const char* OutcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Shortlisted:
        return "shortlisted";
    case Outcome::Interviewed:
        return "interviewed";
    case Outcome::Offered:
        return "offered";
    case Outcome::Joined:
        return "joined";
    case Outcome::Declined:
        return "declined";
    }
    return "shortlisted";
}

std::optional<Outcome> ParseOutcome(std::string_view name)
{
    std::string lower(name);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    for (Outcome outcome : kOutcomes)
        if (lower == OutcomeName(outcome))
            return outcome;
    return std::nullopt;
}

bool HadOffer(Outcome outcome)
{
    return outcome == Outcome::Offered || outcome == Outcome::Joined || outcome == Outcome::Declined;
}

std::string TwoDecimals(double value)
{
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    return ec == std::errc() ? std::string(buffer, end) : std::string();
}

std::string BranchOf(const std::string& usn, const std::vector<std::string>& codes)
{
    const auto known = [&codes](const std::string& code) {
        return std::any_of(codes.begin(), codes.end(), [&](const std::string& c) { return upper(c) == code; });
    };
    const std::string two = upper(usn.size() > 5 ? usn.substr(5, 2) : std::string());
    if (known(two))
        return two;
    const std::string three = upper(usn.size() > 5 ? usn.substr(5, 3) : std::string());
    return known(three) ? three : two;
}

bool ListDrives(db::Database& database, std::vector<Drive>& drives, db::Failure& failure)
{
    db::Recordset rs;
    if (!database.openRecordset(std::string(kDriveSelect) + " ORDER BY d.DriveDate DESC, d.Company", rs, failure))
        return false;
    drives.clear();
    for (; !rs.isEOF(); rs.MoveNext()) {
        Drive drive;
        if (!readDrive(rs, drive, failure))
            return false;
        drives.push_back(std::move(drive));
    }
    return true;
}

bool LoadDrive(db::Database& database, int id, Drive& drive, std::vector<ShortlistEntry>* shortlist,
               db::Failure& failure)
{
    db::Recordset rs;
    if (!database.openRecordset(std::string(kDriveSelect) + " WHERE d.DriveId = " + std::to_string(id), rs, failure))
        return false;
    if (rs.isEOF()) {
        failure = {db::kErrOther, "There is no drive number " + std::to_string(id) + " in the database."};
        return false;
    }
    if (!readDrive(rs, drive, failure))
        return false;
    if (!shortlist)
        return true;
    db::Recordset rows;
    if (!database.openRecordset("SELECT Place, USN, Name, BranchCode, Aggregate, Outcome, OutcomeDate FROM Shortlist "
                                "WHERE DriveId = " + std::to_string(id) + " ORDER BY Place",
                                rows, failure))
        return false;
    shortlist->clear();
    for (; !rows.isEOF(); rows.MoveNext()) {
        ShortlistEntry e;
        e.place = static_cast<int>(rows.field("Place").toInteger());
        e.usn = rows.field("USN").toText();
        e.name = rows.field("Name").toText();
        e.branch = rows.field("BranchCode").toText();
        if (!rows.field("Aggregate").isNull())
            e.aggregate = rows.field("Aggregate").toDouble();
        e.outcome = ParseOutcome(rows.field("Outcome").toText()).value_or(Outcome::Shortlisted);
        e.outcomeDate = rows.field("OutcomeDate").toText();
        shortlist->push_back(std::move(e));
    }
    return true;
}

std::vector<ShortlistEntry> ShortlistOf(const query::ResultTable& result, const std::string& percentColumn,
                                        const std::vector<std::string>& branchCodes)
{
    const auto column = [&result](const std::string& name) {
        for (size_t i = 0; i < result.fields.size(); ++i)
            if (upper(result.fields[i]) == upper(name))
                return static_cast<int>(i);
        return -1;
    };
    const int usn = column("USN"), name = column("Name"), percent = column(percentColumn);
    std::vector<ShortlistEntry> entries;
    if (usn < 0)
        return entries;
    for (const auto& row : result.rows) {
        ShortlistEntry e;
        e.place = static_cast<int>(entries.size()) + 1;
        e.usn = row[static_cast<size_t>(usn)];
        e.name = name >= 0 ? row[static_cast<size_t>(name)] : std::string();
        e.branch = BranchOf(e.usn, branchCodes);
        if (percent >= 0) {
            const std::string& text = row[static_cast<size_t>(percent)];
            double value = 0;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
            if (ec == std::errc() && end == text.data() + text.size())
                e.aggregate = value;
        }
        entries.push_back(std::move(e));
    }
    return entries;
}

bool SaveDrive(db::Database& database, Drive& drive, const std::vector<ShortlistEntry>& shortlist,
               db::Failure& failure)
{
    failure = {};
    return inTransaction(database, failure, [&] {
        db::Recordset same;
        if (!database.openRecordset("SELECT DriveId FROM Drive WHERE Company = " + quoteLiteral(drive.company) +
                                        " AND DriveDate = " + quoteLiteral(drive.date),
                                    same, failure))
            return false;
        if (!same.isEOF()) {
            failure = {db::kErrDuplicateKey, "A drive of " + drive.title() + " is saved already (number " +
                                                 same.field(0).toText() + ")."};
            return false;
        }
        drive.saved = now("%Y-%m-%d %H:%M");
        if (!database.exec("INSERT INTO Drive (Company, DriveDate, Criteria, Saved, LastRun) VALUES (" +
                               quoteLiteral(drive.company) + ", " + quoteLiteral(drive.date) + ", " +
                               quoteLiteral(query::CriteriaText(drive.criteria)) + ", " +
                               quoteLiteral(drive.saved) + ", " + quoteLiteral(drive.saved) + ")",
                           failure))
            return false;
        db::Recordset made;
        if (!database.openRecordset("SELECT DriveId FROM Drive WHERE Company = " + quoteLiteral(drive.company) +
                                        " AND DriveDate = " + quoteLiteral(drive.date),
                                    made, failure))
            return false;
        drive.id = static_cast<int>(made.field(0).toInteger());
        drive.lastRun = drive.saved;
        return insertEntries(database, drive.id, shortlist, failure);
    });
}

bool AddToShortlist(db::Database& database, int id, const std::vector<ShortlistEntry>& eligible,
                    std::vector<ShortlistEntry>& added, db::Failure& failure)
{
    failure = {};
    added.clear();
    return inTransaction(database, failure, [&] {
        Drive drive;
        std::vector<ShortlistEntry> current;
        if (!LoadDrive(database, id, drive, &current, failure))
            return false;
        std::set<std::string> listed;
        int last = 0;
        for (const ShortlistEntry& e : current) {
            listed.insert(upper(e.usn));
            last = std::max(last, e.place);
        }
        for (ShortlistEntry e : eligible) {
            if (!listed.insert(upper(e.usn)).second)
                continue;
            e.place = ++last;
            e.outcome = Outcome::Shortlisted;
            added.push_back(std::move(e));
        }
        return insertEntries(database, id, added, failure) && touchLastRun(database, id, failure);
    });
}

bool SetOutcome(db::Database& database, int id, const std::string& usn, Outcome outcome, db::Failure& failure)
{
    failure = {};
    return inTransaction(database, failure, [&] {
        db::Recordset found;
        if (!database.openRecordset("SELECT USN FROM Shortlist WHERE DriveId = " + std::to_string(id) +
                                        " AND USN = " + quoteLiteral(usn),
                                    found, failure))
            return false;
        if (found.isEOF()) {
            failure = {db::kErrOther, "The student " + usn + " is not on the shortlist of drive number " +
                                          std::to_string(id) + "."};
            return false;
        }
        return database.exec("UPDATE Shortlist SET Outcome = " + quoteLiteral(OutcomeName(outcome)) +
                                 ", OutcomeDate = " + quoteLiteral(now("%Y-%m-%d")) + " WHERE DriveId = " +
                                 std::to_string(id) + " AND USN = " + quoteLiteral(usn),
                             failure);
    });
}

bool DeleteDrive(db::Database& database, int id, db::Failure& failure)
{
    failure = {};
    return inTransaction(database, failure, [&] {
        Drive drive;
        return LoadDrive(database, id, drive, nullptr, failure) &&
               database.exec("DELETE FROM Shortlist WHERE DriveId = " + std::to_string(id), failure) &&
               database.exec("DELETE FROM Drive WHERE DriveId = " + std::to_string(id), failure);
    });
}

query::ResultTable ShortlistTable(const std::vector<ShortlistEntry>& shortlist)
{
    query::ResultTable table;
    table.fields = {"Place", "USN", "Name", "Branch", "Aggregate", "Outcome", "Outcome date"};
    for (const ShortlistEntry& e : shortlist)
        table.rows.push_back({std::to_string(e.place), e.usn, e.name, e.branch,
                              e.aggregate ? TwoDecimals(*e.aggregate) : std::string(), OutcomeName(e.outcome),
                              e.outcomeDate});
    return table;
}

bool Placements(db::Database& database, std::map<std::string, Placement>& byUsn, db::Failure& failure)
{
    db::Recordset rs;
    if (!database.openRecordset("SELECT USN, Outcome FROM Shortlist", rs, failure))
        return false;
    byUsn.clear();
    for (; !rs.isEOF(); rs.MoveNext()) {
        const std::optional<Outcome> outcome = ParseOutcome(rs.field(1).toText());
        Placement& p = byUsn[upper(rs.field(0).toText())];
        p.offer = p.offer || (outcome && HadOffer(*outcome));
        p.joined = p.joined || outcome == Outcome::Joined;
    }
    return true;
}

}  // namespace kyt::drives
