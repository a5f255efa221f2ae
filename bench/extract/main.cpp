// kyt-bench-extract: how fast a folder of résumés goes into the database, end to end (kyt-cli extract),
// beside limits measured in the same run on the same machine: python-docx only reading the same files,
// and the disk's rate of durable SQLite transactions of a résumé's size with each journal (the rollback
// journal kept on network shares, the write-ahead log kept on local disks). Also the memory of runs over
// growing folders, and the rate over legacy .doc files when LibreOffice is installed.
//
// With --server, durable résumé transactions on a PostgreSQL server instead, beside SQLite's write-ahead
// log in the same run: kyt-cli extract of the same folder into a fresh database on a server that flushes
// every commit to the same disk (one writer), and four kyt-cli extract at once, a quarter of the folder
// each, into one such database (four writers).
//
//   kyt-bench-extract [--count 1000] [--rounds 3] [--legacy 200] [--keep DIR] [--server]

#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "word/application.h"
#include "resume-form/resume_form.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char* kBranches =
    "CS,Computer Science\nEC,Electronics\nME,Mechanical\nCV,Civil\nEE,Electrical\nIS,Information Science\n"
    "MCA,Master of Computer Applications\n";

double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

struct ChildRun {
    int status = -1;
    double seconds = 0;
    long maxRssKb = 0;
    double cpuSeconds = 0;  // user and system
};

double cpuOf(const rusage& usage)
{
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs a program with its output thrown away; wall time and peak memory from the kernel.
ChildRun runChild(const std::vector<std::string>& argv, const std::string& output = "/dev/null")
{
    ChildRun run;
    std::fflush(stdout);  // or the child would print it again
    // Files written just before (the generated résumés) would otherwise be flushed by the first fsync
    // of whatever runs next, and charged to it.
    sync();
    const auto started = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (!std::freopen(output.c_str(), "w", stdout) || !std::freopen("/dev/null", "w", stderr))
            _exit(126);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.seconds = seconds(started);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.maxRssKb = usage.ru_maxrss;
    run.cpuSeconds = cpuOf(usage);
    return run;
}

std::string readAll(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool writeText(const fs::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

bool makeDatabase(const fs::path& path)
{
    const fs::path branches = path.string() + ".branches.csv";
    writeText(branches, kBranches);
    return runChild({KYT_CLI, "init-db", path.string(), "--branches", branches.string()}).status == 0;
}

fs::path writeConfig(const fs::path& dir, const fs::path& database)
{
    const fs::path path = dir / (database.stem().string() + ".ini");
    writeText(path, "1QP\r\nplacement@college.edu\r\n" + database.string() + "\r\n" + dir.string() + "\r\n" +
                        dir.string() + "\r\n" + dir.string() + "/kyt\r\n");
    return path;
}

// One extraction run of `folder` into a fresh database.
ChildRun extract(const fs::path& work, const fs::path& folder, const std::string& name)
{
    const fs::path database = work / (name + ".db");
    if (!makeDatabase(database)) {
        std::fprintf(stderr, "kyt-cli init-db failed\n");
        std::exit(1);
    }
    return runChild({KYT_CLI, "extract", folder.string(), "--no-stop", "--config", writeConfig(work, database)});
}

// The processor seconds a server has used: its postmaster's own and those of the children it reaped
// (the backends of finished sessions), and those of its children still running (the writers of its log
// and of its checkpoints, which work for the commits too). 0 where /proc cannot tell. `sessions` gets
// how many of the children serve a client now.
double serverCpuSeconds(pid_t postmaster, int* sessions = nullptr)
{
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    // Fields 14 to 17 of /proc/PID/stat: utime, stime, cutime, cstime; field 4 the parent.
    const auto fields = [](pid_t pid, long& parent, double& own, double& reaped) {
        const std::string stat = readAll("/proc/" + std::to_string(pid) + "/stat");
        const size_t close = stat.rfind(')');
        if (close == std::string::npos)
            return false;
        std::vector<std::string> f;
        std::string field;
        for (char c : stat.substr(close + 2)) {
            if (c == ' ') {
                f.push_back(field);
                field.clear();
            } else {
                field += c;
            }
        }
        if (f.size() < 15)
            return false;
        parent = std::atol(f[1].c_str());
        own = std::atof(f[11].c_str()) + std::atof(f[12].c_str());
        reaped = std::atof(f[13].c_str()) + std::atof(f[14].c_str());
        return true;
    };
    long parent = 0;
    double own = 0, reaped = 0;
    if (!fields(postmaster, parent, own, reaped))
        return 0;
    double total = own + reaped;
    int serving = 0;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const auto pid = static_cast<pid_t>(std::atol(name.c_str()));
        long childParent = 0;
        double childOwn = 0, childReaped = 0;
        if (fields(pid, childParent, childOwn, childReaped) && childParent == postmaster) {
            total += childOwn + childReaped;
            // A client's backend shows its socket: "postgres: officer one_0 [local] idle".
            if (readAll("/proc/" + name + "/cmdline").find("[local]") != std::string::npos)
                ++serving;
        }
    }
    if (sessions)
        *sessions = serving;
    return total / tick;
}

// The server's processor seconds once no session is left (the last backend reaped, its time counted
// once: read again after the wait, not during a reaping).
double serverCpuSecondsIdle(pid_t postmaster)
{
    int serving = 1;
    for (int tries = 0; tries < 500 && serving > 0; ++tries) {
        serverCpuSeconds(postmaster, &serving);
        if (serving > 0)
            usleep(10000);
    }
    usleep(20000);
    return serverCpuSeconds(postmaster);
}

// Kyt.ini naming a server database, in `dir` under `name`.
fs::path writeServerConfig(const fs::path& dir, const std::string& address, const std::string& name)
{
    const fs::path path = dir / (name + ".ini");
    writeText(path, "1QP\r\nplacement@college.edu\r\n" + address + "\r\n" + dir.string() + "\r\n" + dir.string() +
                        "\r\n" + dir.string() + "/kyt\r\n");
    return path;
}

// Extraction runs into one fresh server database, each folder by its own kyt-cli at the same time; the
// wall time from the first start to the last end.
struct ServerRun {
    double seconds = 0;
    double clientCpu = 0;  // the kyt-cli processes'
    double serverCpu = 0;  // the server's, where /proc tells
};

ServerRun extractOnServer(const fs::path& work, const std::string& server, pid_t postmaster,
                          const std::vector<fs::path>& folders, const std::string& name, int& worstStatus)
{
    ServerRun run;
    // The administrator makes the database; an officer extracts, bound by the row rules as in the office.
    const std::string administrator = "postgresql:///" + name + "?host=" + server + "&user=kyt_admin";
    const std::string address = "postgresql:///" + name + "?host=" + server + "&user=officer";
    const fs::path branches = work / "branches.csv";
    writeText(branches, kBranches);
    if (runChild({KYT_CLI, "init-db", administrator, "--branches", branches.string()}).status != 0) {
        std::fprintf(stderr, "kyt-cli init-db %s failed\n", administrator.c_str());
        std::exit(1);
    }
    static bool officerMade = false;  // logins belong to the whole server
    if (!officerMade) {
        if (runChild({KYT_CLI, "sql", "--db", administrator, "CREATE ROLE officer LOGIN IN ROLE kyt_officer"}).status != 0) {
            std::fprintf(stderr, "the officer's login could not be made on %s\n", server.c_str());
            std::exit(1);
        }
        officerMade = true;
    }
    std::fflush(stdout);
    sync();
    const double serverBefore = serverCpuSecondsIdle(postmaster);
    const auto started = Clock::now();
    std::vector<pid_t> children;
    for (size_t k = 0; k < folders.size(); ++k) {
        const fs::path config = writeServerConfig(work, address, name + "-" + std::to_string(k));
        const pid_t pid = fork();
        if (pid == 0) {
            if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr))
                _exit(126);
            execl(KYT_CLI, KYT_CLI, "extract", folders[k].c_str(), "--no-stop", "--config", config.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        run.clientCpu += cpuOf(usage);
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 255;
        worstStatus = std::max(worstStatus, code);
    }
    run.seconds = seconds(started);
    run.serverCpu = serverCpuSecondsIdle(postmaster) - serverBefore;
    return run;
}

// PostgreSQL's own benchmark program, where the server's programs are installed; empty where not.
std::string findPgbench()
{
    std::vector<fs::path> candidates;
    if (const char* path = std::getenv("PATH")) {
        std::string dirs = path;
        for (size_t start = 0, end; start <= dirs.size(); start = end + 1) {
            end = dirs.find(':', start);
            if (end == std::string::npos)
                end = dirs.size();
            candidates.push_back(fs::path(dirs.substr(start, end - start)) / "pgbench");
        }
    }
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec))
        candidates.push_back(entry.path() / "bin" / "pgbench");
    for (const fs::path& candidate : candidates)
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate.string();
    return {};
}

// What the server itself does with a résumé's statements, from a client that costs nothing: pgbench
// sends the statements one résumé costs (the branch looked up, then in one pipeline a Personal row,
// ten Marks rows, five aggregates, the project titles and the run's record, and the commit), as an
// officer, `clients` at once, into a fresh database. Transactions a second; 0 when it cannot be run.
double serverAlone(const fs::path& work, const std::string& pgbench, const std::string& host, int clients,
                   int transactions, const std::string& name)
{
    const std::string administrator = "postgresql:///" + name + "?host=" + host + "&user=kyt_admin";
    const fs::path branches = work / "branches.csv";
    writeText(branches, kBranches);
    if (runChild({KYT_CLI, "init-db", administrator, "--branches", branches.string()}).status != 0 ||
        runChild({KYT_CLI, "sql", "--db", administrator,
                  "INSERT INTO kyt.ExtractionRun (StartedAt, Folder, UserName, ReplaceStored) VALUES "
                  "('2026-01-01 00:00:00', 'bench', 'officer', 0)"})
                .status != 0)
        return 0;
    std::string script = "\\set n random(1, 9000000000000)\n"
                         "select * from branch where BranchCode = :code;\n"
                         "\\startpipeline\nBEGIN;\nINSERT INTO Personal VALUES(:n";
    for (int column = 2; column <= 28; ++column)
        script += column == 18 || column == 24 ? ", :pin" : column == 5 || column == 6 || column == 8 ? ", :short" : ", :text";
    script += ", :two, :two, :two, :zero, :zero, :e, :e, :e, :e);\n";
    for (int level = 1; level <= 10; ++level) {
        script += "INSERT INTO marks values(:n, " + std::to_string(level) +
                  ", :text, :obtained, :max, :percent, :text, :text, :one);\n";
        if (level >= 6)
            script += "UPDATE personal set one_to_" + std::to_string(level - 2) + "=:percent where USN=:n;\n";
    }
    script += "UPDATE personal set prefinalproject1 = :text, prefinalproject2=:text, finalproject1=:text, "
              "finalproject2=:text  where USN=:n;\n"
              "INSERT INTO RunStudent (RunId, USN, Action) VALUES (:one, :n, :added);\n"
              "COMMIT;\n\\endpipeline\n";
    const fs::path file = work / (name + ".sql");
    writeText(file, script);
    const fs::path output = work / (name + ".out");
    setenv("PGOPTIONS", "-c search_path=kyt,kyt_fn,pg_catalog", 1);
    const std::string each = std::to_string(std::max(1, transactions / clients));
    const ChildRun run = runChild({pgbench, "-n", "-M", "prepared", "-c", std::to_string(clients), "-j",
                                   std::to_string(clients), "-t", each, "-f", file.string(), "-h", host, "-U",
                                   "officer", "-D", "code=CS", "-D", "text=QP_Institute_of_Technology", "-D", "short=25-08-2001", "-D",
                                   "pin=572629", "-D", "two=2", "-D", "zero=0", "-D", "e=e", "-D", "obtained=565",
                                   "-D", "max=750", "-D", "percent=75.33", "-D", "one=1", "-D", "added=added", name},
                                  output.string());
    unsetenv("PGOPTIONS");
    const std::string printed = readAll(output.string());
    const size_t tps = printed.find("tps = ");
    if (run.status != 0 || tps == std::string::npos)
        return 0;
    return std::strtod(printed.c_str() + tps + 6, nullptr);
}

// The résumés of `from` dealt into `parts` folders (hard links), as four officers would share a pile.
std::vector<fs::path> deal(const fs::path& from, const fs::path& to, int parts)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(from))
        if (entry.path().extension() == ".docx")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<fs::path> folders;
    for (int k = 0; k < parts; ++k) {
        folders.push_back(to / ("part-" + std::to_string(k)));
        fs::create_directories(folders.back());
    }
    for (size_t i = 0; i < files.size(); ++i) {
        std::error_code ec;
        const fs::path target = folders[i % static_cast<size_t>(parts)] / files[i].filename();
        fs::create_hard_link(files[i], target, ec);
        if (ec)
            fs::copy_file(files[i], target);
    }
    return folders;
}

// The server comparison of --server: medians over the rounds.
int serverBench(const fs::path& work, const fs::path& all, int count, int rounds)
{
    // A server that flushes every commit, its data on the same disk as the SQLite databases.
    const fs::path server = work / "server";
    setenv("KYT_DURABLE_SERVER", "1", 1);
    const ChildRun started = runChild({KYT_SERVER_SCRIPT, "start", server.string()});
    if (started.status == 77) {
        std::printf("\nPostgreSQL is not installed: no server to measure.\n");
        return 0;
    }
    if (started.status != 0) {
        std::fprintf(stderr, "the throwaway server did not start (%s)\n", server.c_str());
        return 1;
    }
    // The folder of its socket: `server`, or the one the script chose where `server` would not do.
    std::string host = server.string();
    if (fs::exists(server / "place")) {
        host = readAll((server / "place").string());
        host.erase(host.find_last_not_of('\n') + 1);
    }
    const pid_t postmaster = static_cast<pid_t>(std::atol(readAll(host + "/data/postmaster.pid").c_str()));
    const std::vector<fs::path> quarters = deal(all, work / "quarters", 4);
    struct Round {
        double wal, one, four;
        double walCpu, oneClientCpu, oneServerCpu;  // milliseconds a résumé
    };
    std::vector<Round> measured;
    int worst = 0;
    for (int round = 0; round < rounds; ++round) {
        const ChildRun file = extract(work, all, "wal-" + std::to_string(round));
        worst = std::max(worst, file.status < 0 ? 255 : file.status);
        const ServerRun one = extractOnServer(work, host, postmaster, {all}, "one_" + std::to_string(round), worst);
        const ServerRun four =
            extractOnServer(work, host, postmaster, quarters, "four_" + std::to_string(round), worst);
        measured.push_back({count / file.seconds, count / one.seconds, count / four.seconds,
                            1000 * file.cpuSeconds / count, 1000 * one.clientCpu / count,
                            1000 * one.serverCpu / count});
    }
    // The server alone, as many résumés as a round stores.
    const std::string pgbench = findPgbench();
    double aloneOne = 0, aloneFour = 0;
    if (!pgbench.empty()) {
        aloneOne = serverAlone(work, pgbench, host, 1, count, "alone_one");
        aloneFour = serverAlone(work, pgbench, host, 4, count, "alone_four");
    }
    runChild({KYT_SERVER_SCRIPT, "stop", server.string()});
    const auto median = [&measured](auto value) {
        std::vector<double> values;
        for (const Round& r : measured)
            values.push_back(value(r));
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    std::printf("\n%d résumés, %d rounds (each: kyt-cli extract into a fresh SQLite database with the write-ahead\n"
                "log, then into a fresh server database by one kyt-cli, then by four at once, a quarter each);\n"
                "every commit flushed to disk; the server's writers log in as an officer; medians over the rounds:\n",
                count, rounds);
    std::printf("\n%-56s %10s\n", "", "docs/s");
    std::printf("%-56s %10.0f\n", "SQLite, write-ahead log, one writer", median([](const Round& r) { return r.wal; }));
    std::printf("%-56s %10.0f\n", "server, one writer", median([](const Round& r) { return r.one; }));
    std::printf("%-56s %10.0f\n", "server, four writers at once", median([](const Round& r) { return r.four; }));
    std::printf("%-56s %10.2f   (target >= 0.75)\n", "server one writer / SQLite write-ahead log",
                median([](const Round& r) { return r.one / r.wal; }));
    std::printf("%-56s %10.2f   (target >= 2.00)\n", "server four writers / SQLite one writer",
                median([](const Round& r) { return r.four / r.wal; }));
    // What the processors allow: each résumé costs the kyt-cli that reads it and the server that stores
    // it this much processor time, whoever waits for whom; writers at once cannot store more a second
    // than the machine's processors can give.
    const double walCpu = median([](const Round& r) { return r.walCpu; });
    const double clientCpu = median([](const Round& r) { return r.oneClientCpu; });
    const double serverCpu = median([](const Round& r) { return r.oneServerCpu; });
    const long processors = sysconf(_SC_NPROCESSORS_ONLN);
    std::printf("\n%-56s %10s\n", "processor time a résumé (one writer)", "ms");
    std::printf("%-56s %10.3f\n", "kyt-cli into SQLite (its engine included)", walCpu);
    std::printf("%-56s %10.3f\n", "kyt-cli into the server", clientCpu);
    if (serverCpu > 0) {
        std::printf("%-56s %10.3f\n", "the server", serverCpu);
        std::printf("%-56s %10.0f   (%ld processors)\n", "at most, any number of writers at once (docs/s)",
                    1000.0 * static_cast<double>(processors) / (clientCpu + serverCpu), processors);
    }
    if (aloneOne > 0 && aloneFour > 0) {
        std::printf("\n%-56s %10s\n", "the server alone: a résumé's statements from pgbench", "docs/s");
        std::printf("%-56s %10.0f\n", "one at a time", aloneOne);
        std::printf("%-56s %10.0f\n", "four at once", aloneFour);
    } else {
        std::printf("\n(pgbench %s: the server alone is not measured)\n",
                    pgbench.empty() ? "is not installed" : "failed");
    }
    std::printf("all rounds (SQLite, server one, server four):");
    for (const Round& r : measured)
        std::printf("  %.0f/%.0f/%.0f", r.wal, r.one, r.four);
    std::printf("\n(worst exit status of the runs: %d)\n", worst);
    return worst == 0 ? 0 : 1;
}

struct Finalize {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

enum class Journal { Rollback, WriteAheadLog };

// The physical limit of one durable transaction per résumé: the same statements a résumé costs (a
// Personal row, ten Marks rows, five aggregates, the projects), committed with full sync and the
// journal asked for, on the same disk. The write-ahead log is emptied into the file at the end, as a
// run does.
double durableTransactionsPerSecond(const fs::path& work, int count, int round, Journal journal)
{
    const fs::path path = work / ("durable-" + std::string(journal == Journal::Rollback ? "rollback-" : "wal-") +
                                  std::to_string(round) + ".db");
    if (!makeDatabase(path))
        return 0;
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    // Every statement must succeed, or the reference would time a lighter transaction than a résumé's.
    const auto run = [db](const std::string& sql) {
        char* error = nullptr;
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            std::fprintf(stderr, "durable reference failed: %s\n  in: %.120s\n", error ? error : "", sql.c_str());
            std::exit(1);
        }
    };
    run(journal == Journal::Rollback ? "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;"
                                     : "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;");
    // Text columns 7 to 28 filled as a typical résumé fills them, each within its column's size.
    const auto text = [](int column) {
        switch (column) {
        case 8:
            return std::string(12, '7');  // entrance test rank, at most 14
        case 12:
            return std::string("student.name@example.com");
        case 16:
        case 22:
            return std::string();  // always stored empty
        default:
            return std::string(40, 'x');
        }
    };
    const auto started = Clock::now();
    for (int k = 0; k < count; ++k) {
        char usn[32];
        std::snprintf(usn, sizeof usn, "1QP22CS%04d", k);
        run("BEGIN IMMEDIATE");
        std::string personal = "INSERT INTO Personal VALUES('" + std::string(usn) +
                               "','Computer Science','Student Name','Father Name','05-11-1982','Male'";
        for (int c = 7; c <= 17; ++c)
            personal += ",'" + text(c) + "'";
        personal += ",560003";
        for (int c = 19; c <= 23; ++c)
            personal += ",'" + text(c) + "'";
        personal += ",560003";
        for (int c = 25; c <= 28; ++c)
            personal += ",'" + text(c) + "'";
        personal += ",2,2,2,0,0,'e','e','e','e')";
        run(personal);
        for (int level = 1; level <= 10; ++level)
            run("INSERT INTO Marks VALUES('" + std::string(usn) + "'," + std::to_string(level) +
                ",'R V College of Engineering',650,1000,65,'First','2004','1')");
        for (int n = 4; n <= 8; ++n)
            run("UPDATE Personal SET one_to_" + std::to_string(n) + "=65.25 WHERE USN='" + std::string(usn) + "'");
        run("UPDATE Personal SET prefinalproject1='Library management', prefinalproject2='', "
            "finalproject1='Placement database', finalproject2='' WHERE USN='" + std::string(usn) + "'");
        char* error = nullptr;
        if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, &error) != SQLITE_OK) {
            std::fprintf(stderr, "commit failed: %s\n", error ? error : "");
            sqlite3_free(error);
            break;
        }
    }
    if (journal == Journal::WriteAheadLog)
        run("PRAGMA wal_checkpoint(TRUNCATE)");
    const double elapsed = seconds(started);
    sqlite3_close(db);
    return count / elapsed;
}

void generate(const fs::path& folder, int count)
{
    fs::create_directories(folder);
    for (int serial = 0; serial < count; ++serial) {
        const std::string usn = kyt::form::batchUsn(serial);
        std::string error;
        if (!kyt::form::writeResume(kyt::form::sampleResume(serial, usn, kyt::form::Course::BE),
                                          (folder / (usn + ".docx")).string(), error)) {
            std::fprintf(stderr, "cannot write a résumé: %s\n", error.c_str());
            std::exit(1);
        }
    }
}

// The first `count` files of `from` (hard links: no copying).
void subset(const fs::path& from, const fs::path& to, int count)
{
    fs::create_directories(to);
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(from))
        if (entry.path().extension() == ".docx")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (int k = 0; k < count && k < static_cast<int>(files.size()); ++k) {
        std::error_code ec;
        fs::create_hard_link(files[static_cast<size_t>(k)], to / files[static_cast<size_t>(k)].filename(), ec);
        if (ec)
            fs::copy_file(files[static_cast<size_t>(k)], to / files[static_cast<size_t>(k)].filename());
    }
}

}  // namespace

int main(int argc, char** argv)
{
    int count = 1000, legacy = 200, rounds_ = 3;
    std::string keep;
    bool server = false;
    for (int i = 1; i < argc; ++i)
        server = server || std::string(argv[i]) == "--server";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--server") {
            --i;
            continue;
        }
        if (option == "--count")
            count = std::atoi(argv[i + 1]);
        else if (option == "--legacy")
            legacy = std::atoi(argv[i + 1]);
        else if (option == "--rounds")
            rounds_ = std::max(1, std::atoi(argv[i + 1]));
        else if (option == "--keep")
            keep = argv[i + 1];
    }
    fs::path work = keep.empty() ? fs::temp_directory_path() / ("kyt-bench-" + std::to_string(getpid())) : fs::path(keep);
    fs::remove_all(work);
    fs::create_directories(work);

    const fs::path all = work / "resumes";
    auto started = Clock::now();
    generate(all, count);
    std::printf("generated %d résumés in %.1f s (%s)\n", count, seconds(started), all.c_str());

    // Warm the page cache the same way for every reader: everyone reads files already in memory.
    for (const auto& entry : fs::directory_iterator(all))
        readAll(entry.path().string());

    if (server) {
        const int status = serverBench(work, all, count, rounds_);
        if (keep.empty())
            fs::remove_all(work);
        return status;
    }

    // The disk is shared with whatever else runs: each round makes the three measurements one after the
    // other, so that each ratio compares runs made under the same load; the median of each is reported.
    struct Round {
        double kyt, rollback, wal;
        int status;
    };
    std::vector<Round> rounds;
    for (int round = 0; round < rounds_; ++round) {
        const ChildRun full = extract(work, all, "full-" + std::to_string(round));
        sync();
        const double rollback = durableTransactionsPerSecond(work, count, round, Journal::Rollback);
        sync();
        const double wal = durableTransactionsPerSecond(work, count, round, Journal::WriteAheadLog);
        rounds.push_back({count / full.seconds, rollback, wal, full.status});
    }
    const auto median = [&rounds](auto value) {
        std::vector<double> values;
        for (const Round& r : rounds)
            values.push_back(value(r));
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    const double kytRate = median([](const Round& r) { return r.kyt; });
    const double rollbackRate = median([](const Round& r) { return r.rollback; });
    const double walRate = median([](const Round& r) { return r.wal; });
    const double overRollback = median([](const Round& r) { return r.kyt / r.rollback; });
    const double overWal = median([](const Round& r) { return r.kyt / r.wal; });
    int worstStatus = 0;
    for (const Round& r : rounds)
        worstStatus = std::max(worstStatus, r.status == 0 ? 0 : (r.status < 0 ? 255 : r.status));

    const fs::path pythonOut = work / "python.txt";
    const ChildRun python =
        runChild({"/usr/bin/python3", std::string(KYT_BENCH_DIR) + "/read_docx.py", all.string()}, pythonOut.string());
    double pythonRate = 0;
    {
        int files = 0;
        double elapsed = 0;
        if (std::sscanf(readAll(pythonOut.string()).c_str(), "%d %lf", &files, &elapsed) == 2 && elapsed > 0)
            pythonRate = files / elapsed;
    }

    std::printf("\n%d résumés, %d rounds (each: kyt-cli extract into a fresh database, then the durable\n"
                "transactions with each journal); medians over the rounds:\n", count, rounds_);
    std::printf("\n%-56s %10s\n", "", "docs/s");
    std::printf("%-56s %10.0f   (worst exit %d)\n", "kyt-cli extract, end to end, fresh database", kytRate,
                worstStatus);
    std::printf("%-56s %10.0f\n", "durable transactions, rollback journal, full sync", rollbackRate);
    std::printf("%-56s %10.0f\n", "durable transactions, write-ahead log, full sync", walRate);
    std::printf("%-56s %10.2f   (target >= 2.00)\n", "kyt / rollback-journal transactions", overRollback);
    std::printf("%-56s %10.2f   (target >= 0.80)\n", "kyt / write-ahead-log transactions", overWal);
    std::printf("%-56s %10.0f   %s\n", "python-docx, reading every cell only", pythonRate,
                python.status == 0 ? "" : "(python-docx not available)");
    if (pythonRate > 0)
        std::printf("%-56s %10.2f\n", "kyt / python-docx", kytRate / pythonRate);
    std::printf("all rounds (kyt, rollback journal, write-ahead log):");
    for (const Round& r : rounds)
        std::printf("  %.0f/%.0f/%.0f", r.kyt, r.rollback, r.wal);
    std::printf("\n");

    std::printf("\n%-10s %12s %10s\n", "résumés", "max RSS MB", "docs/s");
    for (int size : {count / 4, count / 2, count}) {
        const fs::path folder = work / ("subset-" + std::to_string(size));
        subset(all, folder, size);
        const ChildRun run = extract(work, folder, "subset-" + std::to_string(size));
        std::printf("%-10d %12.1f %10.0f\n", size, run.maxRssKb / 1024.0, size / run.seconds);
    }

    if (legacy <= 0) {
        std::printf("\nlegacy .doc: not asked for\n");
    } else if (kyt::word::Application::libreOfficeAvailable()) {
        const fs::path source = work / "legacy-source";
        const fs::path folder = work / "legacy";
        subset(all, source, legacy);
        fs::create_directories(folder);
        std::vector<std::string> convert{"soffice", "--headless", "--norestore",
                                         "-env:UserInstallation=file://" + (work / "lo-profile").string(),
                                         "--convert-to", "doc", "--outdir", folder.string()};
        for (const auto& entry : fs::directory_iterator(source))
            convert.push_back(entry.path().string());
        const ChildRun converted = runChild(convert);
        int docs = 0;
        for (const auto& entry : fs::directory_iterator(folder))
            docs += entry.path().extension() == ".doc";
        if (converted.status != 0 || docs == 0) {
            std::printf("\nlegacy .doc: could not make the .doc files (soffice exit %d)\n", converted.status);
        } else {
            const ChildRun run = extract(work, folder, "legacy");
            std::printf("\nlegacy .doc, %d files: %.1f docs/s (exit %d, %.1f s, max RSS %.1f MB)\n", docs,
                        docs / run.seconds, run.status, run.seconds, run.maxRssKb / 1024.0);
        }
    } else {
        std::printf("\nlegacy .doc: LibreOffice not installed, not measured\n");
    }

    if (keep.empty())
        fs::remove_all(work);
    return 0;
}
