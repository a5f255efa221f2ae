#pragma once
// The program writes its SQL in the dialect of the engine it was first written for. These helpers
// bridge the few places where SQLite reads the same text differently.

#include <string>
#include <string_view>
#include <vector>

namespace kyt::db::jet {

// The statement as SQLite must read it:
//  - every `/` outside literals becomes `*1.0/`: SQLite divides two integers as integers (7/2 = 3), the
//    program expects 3.5. `*` and `/` share precedence and associate left, so the left operand of the
//    division becomes real and nothing else changes;
//  - `DELETE <table> FROM <table> ...` and `DELETE * FROM ...` become `DELETE FROM ...`.
std::string toSqlite(std::string_view sql);

// The statement as PostgreSQL must read it: as for SQLite, but `/` becomes `*1.0::float8/` (the server
// would divide numerics otherwise, rounding differently from a double), and a [bracketed] or `quoted`
// name becomes the server's lower-case name.
std::string toPostgres(std::string_view sql);

// A result column name as the program wrote it, undoing the division rewrite in names that SQLite
// takes from the expression text.
std::string columnName(std::string_view sqliteName);

// Names given with AS to `format(..., '0.00')` expressions in `sql`, in order of appearance.
std::vector<std::string> twoDecimalAliases(std::string_view sql);

// A name as both engines fold it when it is not quoted: ASCII letters in lower case.
std::string lowerCase(std::string s);

// `text` as an SQL literal: between single quotes, each quote inside doubled.
std::string quoteLiteral(std::string_view text);

// `name` as a quoted identifier ("..." with its quotes doubled).
std::string quoteIdentifier(const std::string& name);

// Whether the statement's first word (after spaces and opening brackets) is `word`, an upper-case
// keyword, in any letter case.
bool startsWithWord(std::string_view sql, std::string_view word);

// A saved query's text without the spaces around it and the semicolons that end it.
std::string trimQuerySql(std::string_view sql);

// The LIKE of the query road: * any run of characters, ? one character, # one digit, [list] one
// character of the list (ranges a-z allowed), [!list] one character not in it; letter case ignored.
// `escape`, when not 0, makes the character after it literal.
bool likeMatches(std::string_view pattern, std::string_view text, char32_t escape = 0);

}  // namespace kyt::db::jet
