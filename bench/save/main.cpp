// kyt-bench-save: saving a result of 10,000 students (ten branches, listed in USN order, so a page per
// branch) as .docx and as .csv, beside the query alone, all on the same database in the same run. Each
// figure is the best of a few rounds; the save figures include their own query, as the window's does.
//
//   kyt-bench-save [--count 10000] [--rounds 5] [--keep DIR]

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/database.h"
#include "query/retrieve.h"
#include "query/save_results.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char* kCodes[] = {"CS", "EC", "ME", "CV", "EE", "IS", "TE", "IP", "BT", "CH"};

const std::string kSelect = "SELECT USN,Name, Percent1To6 , Email FROM personal, FreePercent ";
const std::string kCondition =
    " where (Percent1To6 >= 0 )  AND ( usn like '*22*') AND (usn = Freepercent.usn_FP)  ORDER BY USN ASC";

bool check(bool ok, const std::string& what, const std::string& why)
{
    if (!ok)
        std::fprintf(stderr, "kyt-bench-save: %s: %s\n", what.c_str(), why.c_str());
    return ok;
}

bool makeDatabase(const std::string& path, int count)
{
    std::vector<std::pair<std::string, std::string>> branches;
    for (const char* code : kCodes)
        branches.emplace_back(code, std::string("Branch ") + code);
    kyt::db::Failure failure;
    if (!check(kyt::db::Database::create(path, branches, failure), "create", failure.description))
        return false;
    auto db = kyt::db::Database::open(path, kyt::db::Road::Connector, failure);
    if (!check(db != nullptr && db->begin(failure), "open", failure.description))
        return false;
    char usn[16];
    for (int i = 0; i < count; ++i) {
        std::snprintf(usn, sizeof usn, "1QP22%s%03d", kCodes[i % 10], i / 10 % 1000);
        const std::string u = usn + std::to_string(i / 10000);  // unique past 10,000 too
        const std::string personal =
            "INSERT INTO Personal (USN, BranchName, Name, dob1, Gender, Email) VALUES ('" + u + "', 'Branch', '" +
            "Student " + std::to_string(i) + ", of the batch', '05-11-2003', 'Female', 's" + std::to_string(i) +
            "@example.com')";
        if (!check(db->exec(personal, failure), "insert", failure.description))
            return false;
        for (int level = 3; level <= 10; ++level) {
            const std::string marks = "INSERT INTO Marks (usn, education_level, obtained, max, PassingYear, Attempts) "
                                      "VALUES ('" + u + "', " + std::to_string(level) + ", " +
                                      std::to_string(500 + (i * 7 + level) % 400) + ", 1000, 'Jun 2024', '1')";
            if (!check(db->exec(marks, failure), "insert", failure.description))
                return false;
        }
    }
    return check(db->commit(failure), "commit", failure.description);
}

double best(int rounds, const std::function<bool()>& work)
{
    double fastest = 1e9;
    for (int r = 0; r < rounds; ++r) {
        const auto started = Clock::now();
        if (!work())
            return -1;
        fastest = std::min(fastest, std::chrono::duration<double>(Clock::now() - started).count());
    }
    return fastest;
}

}  // namespace

int main(int argc, char** argv)
{
    int count = 10000, rounds = 5;
    std::string keep;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--count"))
            count = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--rounds"))
            rounds = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--keep"))
            keep = argv[i + 1];
    }
    std::string folder = keep;
    if (folder.empty()) {
        std::string pattern = (fs::temp_directory_path() / "kyt-bench-save-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            return 1;
        folder = pattern;
    }
    fs::create_directories(folder);
    const std::string database = folder + "/kyt.db";
    fs::remove(database);
    std::printf("Making %d students of ten branches, eight semesters each...\n", count);
    std::fflush(stdout);
    if (!makeDatabase(database, count))
        return 1;

    kyt::query::ResultTable shown;
    kyt::db::Failure failure;
    std::string error;
    const double query = best(rounds, [&] {
        return check(kyt::query::OpenResult(database, kSelect + kCondition, shown, failure), "query",
                     failure.description);
    });
    auto saveAs = [&](const std::string& name) {
        return best(rounds, [&] {
            std::string sql;
            kyt::query::ResultTable saved;
            return check(kyt::query::BuildSaveSql(shown.fields, kCondition, sql, error), "save query", error) &&
                   check(kyt::query::OpenResult(database, sql, saved, failure), "save query", failure.description) &&
                   check(kyt::query::WriteResults(saved, {"Student List", false, false, "Space"}, folder + "/" + name,
                                                  error),
                         "write", error);
        });
    };
    const double docx = saveAs("students.docx");
    const double csv = saveAs("students.csv");
    if (query < 0 || docx < 0 || csv < 0)
        return 1;

    std::printf("%ld students, %d columns, best of %d rounds\n", shown.recordCount(), shown.fieldCount(), rounds);
    std::printf("  query alone                 %8.1f ms\n", query * 1000);
    std::printf("  save as .docx (10 pages)    %8.1f ms  = %.2f x the query  (%.0f KB)\n", docx * 1000, docx / query,
                fs::file_size(folder + "/students.docx") / 1024.0);
    std::printf("  save as .csv                %8.1f ms  = %.2f x the query  (%.0f KB)\n", csv * 1000, csv / query,
                fs::file_size(folder + "/students.csv") / 1024.0);
    std::printf("  target: .docx within 3 x the query\n");
    if (keep.empty())
        fs::remove_all(folder);
    return 0;
}
