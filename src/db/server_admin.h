#pragma once
// What an officer administers on a server that a database file does not have: the department
// coordinators, and the move of a database file onto the server.

#include <string>
#include <vector>

#include "db/database.h"

namespace kyt::db {

// Makes the server login `login` a coordinator of `branches` (codes of the Branch table): it then reads
// the students, marks and branch rows of those branches only. The login is made by the server's
// administrator beforehand. Run by an officer.
bool addCoordinator(Database& database, const std::string& login, const std::vector<std::string>& branches,
                    Failure& failure);
// Takes every branch from the coordinator `login` and the coordinator's rights with them.
bool removeCoordinator(Database& database, const std::string& login, Failure& failure);

// One figure compared between the file and the server before the move is committed.
struct Compared {
    std::string what;
    std::string file;
    std::string server;
};

// Copies the database file `file` into the Kyt database at `address` (installed by init-db, without
// students), in one transaction: its branches, students, marks, drives and shortlists, and the history of
// its extraction runs. Counts and sums of both sides are compared before the commit; when one differs
// nothing is kept. `compared` receives the figures.
bool migrate(const std::string& file, const std::string& address, std::vector<Compared>& compared, Failure& failure);

}  // namespace kyt::db
