#pragma once
// How the database layer tells a failure: the native error numbers the program's error texts are keyed
// on, and the two roads by which SQL reaches the database. Includes nothing of the layer itself.

#include <cstdint>
#include <string>
#include <utility>

namespace kyt::db {

// The connector road takes the SQL the writers send (LIKE wildcards % and _); the query road takes the
// SQL of query runs, saving and merging (LIKE wildcards *, ?, #, [list], [!list]).
enum class Road { Connector, Query };

// The engines a database can live in: a file of the embedded engine, or a database on a server.
enum class Engine { SQLite, PostgreSQL };

// Native error numbers, as the engine we stand in for reports them (negative, as Jet's are).
inline constexpr int32_t kErrDuplicateKey = -105121349;
inline constexpr int32_t kErrConversion = -539888598;
inline constexpr int32_t kErrRequiredBlank = -541396598;
inline constexpr int32_t kErrFieldTooLong = -68551703;
inline constexpr int32_t kErrInconsistent = -33;
inline constexpr int32_t kErrOther = -1;

struct Failure {
    Failure(int32_t number = 0, std::string description = {}, bool environment = false)
        : number(number), description(std::move(description)), environment(environment)
    {
    }

    int32_t number = 0;       // native error number; 0 when there was no failure
    std::string description;  // what went wrong, in words an administrator can act on
    // The fault lies with the surroundings (a lock, a full disk, a read-only file or folder, an I/O
    // error, a damaged database), not with the values sent: whatever comes next would fail the same way.
    bool environment = false;
    // The statement that failed, when the failure showed only later (writes a server was sent ahead of
    // their answers); empty otherwise.
    std::string statement;
};

}  // namespace kyt::db
