#pragma once
// The program writes each row as one statement with its values written out ('1QP22CS001', 650, 65.25):
// every statement text is new, and SQLite would compile each one afresh. The shape of a statement is its
// text with every value replaced by a parameter; statements of one shape share one compiled statement,
// the values bound to it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kyt::db {

struct StatementShape {
    struct Literal {
        enum class Kind { Text, Integer, Real };
        Kind kind = Kind::Text;
        std::string text;     // the text of a string (quotes undone), or the digits of a number as written
        int64_t integer = 0;  // the value of an Integer
    };

    std::string text;               // the statement with a `?` where each value was
    std::vector<Literal> literals;  // the values, in the order of their `?`
};

// The shape of one INSERT, UPDATE, DELETE or REPLACE (SQLite's text, after the dialect's rewriting), or
// nothing when its values cannot safely become parameters and it must be compiled as written: it reads
// with SELECT (a number in ORDER BY or GROUP BY names a column, a string in a SELECT list names it),
// returns rows, has parameters of its own, or holds a value the shape would not carry exactly (a blob,
// a hexadecimal or an over-long number, an unterminated string).
std::optional<StatementShape> writeShape(std::string_view sql);

}  // namespace kyt::db
