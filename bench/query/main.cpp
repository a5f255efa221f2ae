// kyt-bench-query: how long the query window's Retrieve takes (FreePercent rewritten, the selection run,
// its rows copied as text, the grid's model filled) over 10,000 students with eight semesters each,
// beside the same two statements written for SQLite and run straight on it, on the same file in the
// same run. Prints the median of each.
//
//   kyt-bench-query [--students 10000] [--rounds 15] [--keep DIR]

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "db/data_connector.h"
#include "query/retrieve.h"
#include "query/ui/result_model.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const std::vector<std::pair<std::string, std::string>> kBranches = {
    {"CS", "Computer Science"}, {"EC", "Electronics"}, {"ME", "Mechanical"}, {"CV", "Civil"},
    {"EE", "Electrical"},       {"IS", "Information Science"}, {"TE", "Telecommunication"}};

double milliseconds(Clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// This process's processor time: on a machine shared with other work, the wall time also counts waiting.
double cpuMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool run(sqlite3* db, const char* sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK)
        return true;
    std::fprintf(stderr, "%s\n  in: %.120s\n", error ? error : "", sql);
    sqlite3_free(error);
    return false;
}

// Students of six batches across the branches, eight semesters each (levels 3 to 10), marks spread so
// that about half reach 60 %.
bool generate(const std::string& path, int students)
{
    kyt::db::Failure failure;
    if (!kyt::db::Database::create(path, kBranches, failure)) {
        std::fprintf(stderr, "%s\n", failure.description.c_str());
        return false;
    }
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* person = nullptr;
    sqlite3_stmt* marks = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO Personal (USN, BranchName, Name, dob1, Gender, CET, Email, hobbies, eca) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?, 'chess', 'debate')",
                       -1, &person, nullptr);
    sqlite3_prepare_v2(db,
                       "INSERT INTO Marks VALUES (?, ?, 'RV College', ?, 600, ?, ?, 'Jun 2024', '1')", -1, &marks,
                       nullptr);
    bool ok = run(db, "BEGIN");
    unsigned seed = 12345;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    for (int i = 0; ok && i < students; ++i) {
        const auto& branch = kBranches[static_cast<size_t>(i) % kBranches.size()];
        char usn[16], name[32], dob[16], email[48], cet[8];
        std::snprintf(usn, sizeof usn, "1QP%02d%s%03d", 18 + i / 1700, branch.first.c_str(), i % 1000);
        std::snprintf(name, sizeof name, "Student %d", i);
        std::snprintf(dob, sizeof dob, "%02u-%02u-%u", 1 + next() % 28, 1 + next() % 12, 1998 + next() % 8);
        std::snprintf(email, sizeof email, "student%d@college.edu", i);
        std::snprintf(cet, sizeof cet, "%u", 1 + next() % 40000);
        const std::vector<std::string> values = {usn, branch.second, name, dob, i % 2 ? "Male" : "Female", cet, email};
        for (size_t v = 0; v < values.size(); ++v)
            sqlite3_bind_text(person, static_cast<int>(v + 1), values[v].c_str(), -1, SQLITE_TRANSIENT);
        ok = sqlite3_step(person) == SQLITE_DONE && sqlite3_reset(person) == SQLITE_OK;
        const unsigned base = 250 + next() % 300;
        for (int level = 3; ok && level <= 10; ++level) {
            const int obtained = static_cast<int>(std::min(600u, base + next() % 60));
            const double percent = obtained / 6.0;
            sqlite3_bind_text(marks, 1, usn, -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(marks, 2, level);
            sqlite3_bind_int(marks, 3, obtained);
            sqlite3_bind_double(marks, 4, percent);
            sqlite3_bind_text(marks, 5, percent >= 70 ? "FCD" : percent >= 60 ? "First" : "Second", -1, SQLITE_STATIC);
            ok = sqlite3_step(marks) == SQLITE_DONE && sqlite3_reset(marks) == SQLITE_OK;
        }
    }
    if (!ok)
        std::fprintf(stderr, "generating failed: %s\n", sqlite3_errmsg(db));
    ok = ok && run(db, "COMMIT");
    sqlite3_finalize(person);
    sqlite3_finalize(marks);
    sqlite3_close(db);
    return ok;
}

// The same two statements as SQLite's own SQL: the aggregate view replaced (and its text kept, as the
// saved query is), then the selection read whole as text.
bool bare(const std::string& path, long& rows)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return false;
    const char* aggregate =
        "SELECT USN AS USN_FP, count(*) AS SemsCount, round(sum(obtained) * 100.0 / sum(max), 2) AS Percent1To6 "
        "FROM Marks WHERE education_level >= 3 AND education_level <= 8 GROUP BY USN";
    const std::string rewrite = std::string("BEGIN IMMEDIATE; DROP VIEW FreePercent; CREATE VIEW FreePercent AS ") +
                                aggregate + "; UPDATE SavedQuery SET SQL = '" + aggregate +
                                "' WHERE Name = 'FreePercent'; SELECT * FROM FreePercent LIMIT 0;";
    bool ok = run(db, rewrite.c_str());
    sqlite3_stmt* select = nullptr;
    ok = ok && sqlite3_prepare_v2(db,
                                  "SELECT USN, Name, CAST((julianday('now') - julianday(substr(dob1, 7, 4) || '-' || "
                                  "substr(dob1, 4, 2) || '-' || substr(dob1, 1, 2))) / 365.2 AS INTEGER) AS Age, "
                                  "Gender, Percent1To6, Email FROM Personal, FreePercent WHERE Percent1To6 >= 60 AND "
                                  "USN LIKE '%' AND USN = FreePercent.USN_FP ORDER BY Percent1To6 DESC",
                                  -1, &select, nullptr) == SQLITE_OK;
    std::vector<std::vector<std::string>> copy;
    while (ok && sqlite3_step(select) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int c = 0; c < sqlite3_column_count(select); ++c) {
            const unsigned char* text = sqlite3_column_text(select, c);
            row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
        }
        copy.push_back(std::move(row));
    }
    sqlite3_finalize(select);
    ok = ok && run(db, "COMMIT");
    sqlite3_close(db);
    rows = static_cast<long>(copy.size());
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    int students = 10000, rounds = 15;
    std::string keep;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--students")
            students = std::atoi(argv[i + 1]);
        else if (option == "--rounds")
            rounds = std::max(1, std::atoi(argv[i + 1]));
        else if (option == "--keep")
            keep = argv[i + 1];
    }
    const fs::path folder = keep.empty() ? fs::temp_directory_path() / ("kyt-bench-query-" + std::to_string(getpid())) : fs::path(keep);
    fs::create_directories(folder);
    const std::string path = (folder / "kyt.db").string();
    fs::remove(path);
    if (!generate(path, students))
        return 1;

    kyt::Control control;
    control.config.DatabasePath = path;
    for (size_t i = 0; i < kBranches.size(); ++i)
        control.session.BranchCodes[i] = kBranches[i].first;
    control.session.BranchCount = static_cast<int16_t>(kBranches.size());
    kyt::query::Criteria criteria = kyt::query::DefaultCriteria(kyt::query::BranchList(control), 2026);
    criteria.batch = kyt::query::kAllBatches;
    criteria.branches[0] = kyt::query::kAllBranches;
    criteria.percent = "60";
    criteria.gender = criteria.age = true;

    std::vector<double> retrieveMs, bareMs, retrieveCpu, bareCpu;
    long retrieveRows = 0, bareRows = 0;
    for (int round = 0; round < rounds; ++round) {
        auto started = Clock::now();
        double cpu = cpuMilliseconds();
        kyt::query::RetrieveOutcome outcome = kyt::query::Retrieve(control, criteria, 2026);
        kyt::ResultModel grid;
        grid.setResult(std::move(outcome.result));
        retrieveMs.push_back(milliseconds(started));
        retrieveCpu.push_back(cpuMilliseconds() - cpu);
        if (outcome.status != kyt::query::RetrieveOutcome::Status::Shown) {
            std::fprintf(stderr, "Retrieve failed: %s\n", outcome.failure.description.c_str());
            return 1;
        }
        retrieveRows = grid.rowCount();

        started = Clock::now();
        cpu = cpuMilliseconds();
        if (!bare(path, bareRows))
            return 1;
        bareMs.push_back(milliseconds(started));
        bareCpu.push_back(cpuMilliseconds() - cpu);
    }
    if (keep.empty())
        fs::remove_all(folder);

    const double ours = median(retrieveMs), theirs = median(bareMs);
    std::printf("students %d, marks rows %d, rounds %d (median of each)\n", students, students * 8, rounds);
    std::printf("Retrieve (FreePercent rewritten, selection, copy as text, grid model): %8.1f ms (processor %.1f ms), "
                "%ld rows\n", ours, median(retrieveCpu), retrieveRows);
    std::printf("the same two statements straight on SQLite:                        %8.1f ms (processor %.1f ms), "
                "%ld rows\n", theirs, median(bareCpu), bareRows);
    std::printf("ratio %.2f (target at most 1.5; Retrieve under 100 ms)\n", ours / theirs);
    return 0;
}
