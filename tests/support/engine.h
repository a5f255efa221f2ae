#pragma once
// The engine the tests of this process run on: database files, or - for the cases ctest names
// <case>.server, with KYT_TEST_ENGINE=postgresql - databases of the run's throwaway server
// (scripts/throwaway-server). On the server, each database a test makes is one of this process, copied
// from the template with Kyt installed and emptied when made again, opened as an officer's login.

#include <string>
#include <utility>
#include <vector>

#include "db/failure.h"

namespace kyt::test {

bool onServer();
db::Engine testEngine();

// A fresh database named `name` with these branches: its address on the server (officer login). With
// `schemaVersion`, Kyt is installed only up to that step, as an earlier Kyt left it.
std::string makeServerDatabase(const std::string& name, const std::vector<std::pair<std::string, std::string>>& branches,
                               int schemaVersion = 0);

// The administrator's address of a database of this process that does not exist yet (for init-db).
std::string newServerDatabase(const std::string& name);

// The address of the same database for another login (one made with serverAdmin).
std::string asLogin(const std::string& address, const std::string& login);

// The address of the same database for the server's administrator (kyt-cli init-db and upgrade-db).
std::string asAdministrator(const std::string& address);

// Runs `sql` (one or more statements) as the server's administrator in the database of `address`; false
// with the server's message in `error`.
bool serverAdmin(const std::string& address, const std::string& sql, std::string* error = nullptr);

// A login name of this process, for logins a test makes (logins belong to the whole server).
std::string loginName(const std::string& suffix);

}  // namespace kyt::test
