#include "db/native_error.h"

#include <sqlite3.h>

namespace kyt::db {

namespace {

bool startsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view s, std::string_view suffix)
{
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// The schema names its CHECK constraints for what they guard: "<Table>.<Column> holds at most N
// characters", "<Table>.<Column> is required", "<Table>.<Column> must be ...".
Failure checkFailure(std::string_view message)
{
    constexpr std::string_view prefix = "CHECK constraint failed: ";
    std::string_view name = startsWith(message, prefix) ? message.substr(prefix.size()) : message;
    const std::string rule(name);
    if (name.find(" holds at most ") != std::string_view::npos)
        return {kErrFieldTooLong, "A value is longer than its field allows: " + rule + "."};
    if (endsWith(name, " is required"))
        return {kErrRequiredBlank, "A required field is blank: " + rule + "."};
    if (name.find(" must be ") != std::string_view::npos)
        return {kErrConversion, "A value does not fit its field: " + rule + "."};
    return {kErrOther, "A value breaks a rule of the database (" + rule + ")."};
}

}  // namespace

namespace {
Failure describe(int extendedCode, std::string_view message, const std::string& path);
}

Failure nativeFailure(int extendedCode, std::string_view message, const std::string& path)
{
    Failure failure = describe(extendedCode, message, path);
    switch (extendedCode & 0xFF) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_FULL:
    case SQLITE_IOERR:
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
    case SQLITE_NOMEM:
        failure.environment = true;
        break;
    default:
        break;
    }
    return failure;
}

namespace {

Failure describe(int extendedCode, std::string_view message, const std::string& path)
{
    const std::string text(message);
    switch (extendedCode) {
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_UNIQUE:
        return {kErrDuplicateKey, "The change would create a duplicate value in a key field (" + text + ")."};
    case SQLITE_CONSTRAINT_NOTNULL:
        return {kErrRequiredBlank, "A required field is blank (" + text + ")."};
    case SQLITE_CONSTRAINT_CHECK:
        return checkFailure(message);
    case SQLITE_CONSTRAINT_DATATYPE:
        return {kErrConversion, "Data type mismatch: " + text + "."};
    default:
        break;
    }
    switch (extendedCode & 0xFF) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return {kErrInconsistent, "The database " + path + " is damaged or is not a database (" + text + ")."};
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return {kErrOther, "The database " + path +
                               " is locked by another user or program. Try again when it is free (" + text + ")."};
    case SQLITE_FULL:
        return {kErrOther, "The disk holding the database " + path + " is full (" + text + ")."};
    case SQLITE_IOERR:
        return {kErrOther, "The database " + path + " could not be read or written (" + text + ")."};
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return {kErrOther, "The database " + path + " cannot be written to (" + text + ")."};
    case SQLITE_CANTOPEN:
        return {kErrOther, "The database " + path + " cannot be opened (" + text + ")."};
    case SQLITE_CONSTRAINT:
        return {kErrOther, "A value breaks a rule of the database (" + text + ")."};
    default:
        break;
    }
    if (startsWith(message, kTypeMismatchMessage))
        return {kErrConversion, text};
    return {kErrOther, text.empty() ? std::string("The database engine reported an unknown failure.") : text};
}

}  // namespace

Failure serverFailure(std::string_view sqlstate, std::string_view message, std::string_view constraint,
                      const std::string& address, bool connectionLost)
{
    const std::string text(message);
    const std::string_view kind = sqlstate.substr(0, 2);
    auto environment = [](Failure failure) {
        failure.environment = true;
        return failure;
    };
    if (connectionLost || kind == "08" || sqlstate == "57P01" || sqlstate == "57P02" || sqlstate == "57P03")
        return environment({kErrOther, "The connection to the server of " + address + " was lost (" +
                                           (text.empty() ? std::string("no answer") : text) + ")."});
    if (sqlstate == "23505")
        return {kErrDuplicateKey, "The change would create a duplicate value in a key field (" + text + ")."};
    if (sqlstate == "23502")
        return {kErrRequiredBlank, "A required field is blank (" + text + ")."};
    if (sqlstate == "23514")
        return checkFailure(constraint.empty() ? message : constraint);
    if (sqlstate == "22001")
        return {kErrFieldTooLong, "A value is longer than its field allows (" + text + ")."};
    if (sqlstate == "22P02" || sqlstate == "22003" || sqlstate == "22018" || sqlstate == "42804" ||
        sqlstate == "22007" || sqlstate == "22008" || sqlstate == "KY002")
        return {kErrConversion, startsWith(message, kTypeMismatchMessage) ? text : "Data type mismatch: " + text + "."};
    if (sqlstate == "42601" && message.find("multiple commands") != std::string_view::npos)
        return {kErrOther, "Only one statement can be run at a time."};
    if (sqlstate == "53100")
        return environment({kErrOther, "The disk of the server holding " + address + " is full (" + text + ")."});
    if (kind == "53")
        return environment({kErrOther, "The server of " + address + " is short of resources (" + text + ")."});
    if (sqlstate == "55P03" || sqlstate == "40P01" || sqlstate == "40001" || sqlstate == "55006")
        return environment({kErrOther, "The database " + address +
                                           " is locked by another user or program. Try again when it is free (" + text +
                                           ")."});
    if (sqlstate == "57014")
        return environment({kErrOther, "The server of " + address + " cancelled the statement (" + text + ")."});
    if (sqlstate == "25006")
        return environment({kErrOther, "The database " + address + " can only be read here (" + text +
                                           "): this server is a standby, or the database is read-only."});
    if (sqlstate == "42501")
        return environment({kErrOther, "Your login may not do this in the database " + address + " (" + text + ")."});
    if (sqlstate == "XX001" || sqlstate == "XX002")
        return environment({kErrInconsistent, "The database " + address + " is damaged (" + text + ")."});
    if (kind == "58")
        return environment({kErrOther, "The server could not read or write the database " + address + " (" + text + ")."});
    return {kErrOther, text.empty() ? std::string("The server reported an unknown failure.") : text};
}

}  // namespace kyt::db
