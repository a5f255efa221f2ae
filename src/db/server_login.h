#pragma once
// Reaching a PostgreSQL server: a connection to an address, with the password libpq's password file
// gives, or the one given at the prompt (setPasswordPrompt, db/database.h) once a run.

#include <memory>
#include <string>

#include "db/failure.h"

struct pg_conn;

namespace kyt::db {

struct CloseServerConnection {
    void operator()(pg_conn* conn) const;
};
using ServerConnection = std::unique_ptr<pg_conn, CloseServerConnection>;

// A connection to the database of `address` (or to `database` on its server, when given), with the
// password given earlier in this run or asked for now when the server wants one that libpq's password
// file did not give. Null with `failure` when there is none.
ServerConnection connectToServer(const std::string& address, Failure& failure, const char* database = nullptr);

}  // namespace kyt::db
