#include "support/engine.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "db/database.h"

namespace kyt::test {

namespace {

struct Finish {
    void operator()(PGconn* conn) const { PQfinish(conn); }
};
using Connection = std::unique_ptr<PGconn, Finish>;

std::string readLine(const std::filesystem::path& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// The administrator's address of the run's server, or empty with the reason it is missing.
std::string adminAddress(std::string* why = nullptr)
{
    const std::filesystem::path dir = KYT_TEST_SERVER_DIR;
    std::string address = readLine(dir / "address");
    if (address.empty() && why) {
        *why = std::filesystem::exists(dir / "unavailable")
                   ? readLine(dir / "unavailable")
                   : "the throwaway server of " + dir.string() + " is not running (run these tests through ctest)";
    }
    return address;
}

std::string quoteIdentifier(const std::string& name)
{
    std::string out = "\"";
    for (char c : name)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string quoteLiteral(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

// postgresql:///DB?host=DIR&user=LOGIN
std::string address(const std::string& database, const std::string& login)
{
    const std::string admin = adminAddress();
    const size_t host = admin.find("?host=");
    const size_t user = admin.find("&user=");
    return "postgresql:///" + database + "?host=" + admin.substr(host + 6, user - host - 6) + "&user=" + login;
}

std::string databaseOf(const std::string& address)
{
    const size_t start = address.find(":///") + 4;
    return address.substr(start, address.find('?') - start);
}

bool run(const std::string& database, const std::string& sql, std::string* error)
{
    Connection conn(PQconnectdb(address(database, "kyt_admin").c_str()));
    if (PQstatus(conn.get()) != CONNECTION_OK) {
        if (error)
            *error = PQerrorMessage(conn.get());
        return false;
    }
    PQsetNoticeProcessor(conn.get(), [](void*, const char*) {}, nullptr);
    std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(conn.get(), sql.c_str()), &PQclear);
    const ExecStatusType status = PQresultStatus(result.get());
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        return true;
    if (error)
        *error = PQresultErrorMessage(result.get());
    return false;
}

// Skips every case of a process meant for the server when there is none to run on (PostgreSQL not
// installed); fails them when the server should be there and is not. Drops what the process made.
class ServerEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (!onServer())
            return;
        std::string why;
        if (adminAddress(&why).empty()) {
            if (std::filesystem::exists(std::filesystem::path(KYT_TEST_SERVER_DIR) / "unavailable"))
                GTEST_SKIP() << why;
            FAIL() << why;
        }
    }
    void TearDown() override
    {
        for (const std::string& database : made())
            run("postgres", "DROP DATABASE IF EXISTS " + quoteIdentifier(database) + " WITH (FORCE)", nullptr);
        for (const std::string& login : logins())
            run("postgres", "DROP ROLE IF EXISTS " + quoteIdentifier(login), nullptr);
    }
    static std::set<std::string>& made()
    {
        static std::set<std::string> databases;
        return databases;
    }
    static std::set<std::string>& logins()
    {
        static std::set<std::string> names;
        return names;
    }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new ServerEnvironment);

}  // namespace

bool onServer()
{
    const char* engine = std::getenv("KYT_TEST_ENGINE");
    return engine && std::string(engine) == "postgresql";
}

db::Engine testEngine()
{
    return onServer() ? db::Engine::PostgreSQL : db::Engine::SQLite;
}

std::string loginName(const std::string& suffix)
{
    return "kyt_test_" + std::to_string(getpid()) + "_" + suffix;
}

namespace {

std::string databaseName(const std::string& name)
{
    std::string database = "kyt_test_" + std::to_string(getpid()) + "_";
    for (char c : name)
        database += std::isalnum(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(c)) : '_';
    return database;
}

}  // namespace

std::string newServerDatabase(const std::string& name)
{
    const std::string database = databaseName(name);
    ServerEnvironment::made().insert(database);
    std::string error;
    if (!run("postgres", "DROP DATABASE IF EXISTS " + quoteIdentifier(database) + " WITH (FORCE)", &error))
        ADD_FAILURE() << "cannot drop " << database << ": " << error;
    return address(database, "kyt_admin");
}

std::string makeServerDatabase(const std::string& name, const std::vector<std::pair<std::string, std::string>>& branches,
                               int schemaVersion)
{
    std::string why;
    if (adminAddress(&why).empty()) {
        ADD_FAILURE() << why;
        return {};
    }
    const std::string database = databaseName(name);
    const std::string officer = loginName("officer");
    std::string error;
    if (schemaVersion > 0) {
        const std::string admin = newServerDatabase(name + "_v" + std::to_string(schemaVersion));
        db::Failure failure;
        if (!db::Database::create(admin, branches, schemaVersion, failure))
            ADD_FAILURE() << "cannot make the test database " << admin << ": " << failure.description;
        if (ServerEnvironment::logins().insert(officer).second &&
            !run("postgres", "CREATE ROLE " + quoteIdentifier(officer) + " LOGIN IN ROLE kyt_officer", &error))
            ADD_FAILURE() << "cannot make the officer login " << officer << ": " << error;
        return asLogin(admin, officer);
    }
    if (ServerEnvironment::made().insert(database).second) {
        if (!run("postgres", "CREATE DATABASE " + quoteIdentifier(database) + " TEMPLATE kyt_template STRATEGY FILE_COPY",
                 &error))
            ADD_FAILURE() << "cannot make the test database " << database << ": " << error;
        if (ServerEnvironment::logins().insert(officer).second &&
            !run("postgres", "CREATE ROLE " + quoteIdentifier(officer) + " LOGIN IN ROLE kyt_officer", &error))
            ADD_FAILURE() << "cannot make the officer login " << officer << ": " << error;
    } else if (!run(database,
                    // every table of every schema step but the saved queries' defaults and the version;
                    // numbering (drives, runs) starts again at 1
                    "DO $$ BEGIN EXECUTE (SELECT 'TRUNCATE ' || string_agg(format('kyt.%I', tablename), ', ') || "
                    "' RESTART IDENTITY' FROM pg_tables WHERE schemaname = 'kyt' AND tablename NOT IN "
                    "('savedquery', 'schemaversion')); END $$; "
                    "DELETE FROM kyt.SavedQuery WHERE Login <> ''",
                    &error)) {
        ADD_FAILURE() << "cannot empty the test database " << database << ": " << error;
    }
    std::string seed;
    for (const auto& [code, branch] : branches)
        seed += "INSERT INTO kyt.Branch VALUES (" + quoteLiteral(code) + ", " + quoteLiteral(branch) + ");";
    if (!seed.empty() && !run(database, seed, &error))
        ADD_FAILURE() << "cannot seed the branches of " << database << ": " << error;
    return address(database, officer);
}

std::string asLogin(const std::string& databaseAddress, const std::string& login)
{
    ServerEnvironment::logins().insert(login);
    return address(databaseOf(databaseAddress), login);
}

std::string asAdministrator(const std::string& databaseAddress)
{
    return address(databaseOf(databaseAddress), "kyt_admin");
}

bool serverAdmin(const std::string& databaseAddress, const std::string& sql, std::string* error)
{
    return run(databaseOf(databaseAddress), sql, error);
}

}  // namespace kyt::test
