#include "db/statement_shape.h"

#include <cctype>
#include <charconv>
#include <cstring>

namespace kyt::db {

namespace {

bool isWordChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != static_cast<unsigned char>(b[i]))
            return false;
    return true;
}

// End of the quoted text (closing quote included) that opens at `i`, a doubled quote standing for itself;
// npos when it is never closed.
size_t closingQuote(std::string_view sql, size_t i, char close)
{
    for (size_t j = i + 1; j < sql.size(); ++j) {
        if (sql[j] != close)
            continue;
        if (close != ']' && j + 1 < sql.size() && sql[j + 1] == close) {
            ++j;
            continue;
        }
        return j + 1;
    }
    return std::string_view::npos;
}

}  // namespace

std::optional<StatementShape> writeShape(std::string_view sql)
{
    size_t i = 0;
    while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i])))
        ++i;
    size_t wordEnd = i;
    while (wordEnd < sql.size() && isWordChar(sql[wordEnd]))
        ++wordEnd;
    const std::string_view first = sql.substr(i, wordEnd - i);
    if (!equalsNoCase(first, "INSERT") && !equalsNoCase(first, "UPDATE") && !equalsNoCase(first, "DELETE") &&
        !equalsNoCase(first, "REPLACE"))
        return std::nullopt;

    StatementShape shape;
    shape.text.reserve(sql.size());
    shape.literals.reserve(40);
    shape.text.append(sql.substr(0, i));
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'') {
            // A string straight after a word is a blob (x'00') or not a value at all.
            if (i > 0 && isWordChar(sql[i - 1]))
                return std::nullopt;
            const size_t end = closingQuote(sql, i, '\'');
            if (end == std::string_view::npos)
                return std::nullopt;
            StatementShape::Literal literal;
            const std::string_view body = sql.substr(i + 1, end - i - 2);
            if (body.find('\'') == std::string_view::npos) {
                literal.text.assign(body);
            } else {
                literal.text.reserve(body.size());
                for (size_t k = 0; k < body.size(); ++k) {
                    literal.text += body[k];
                    if (body[k] == '\'')
                        ++k;  // '' is one quote
                }
            }
            shape.literals.push_back(std::move(literal));
            shape.text += '?';
            i = end;
        } else if (c == '"' || c == '`' || c == '[') {
            const size_t end = closingQuote(sql, i, c == '[' ? ']' : c);
            if (end == std::string_view::npos)
                return std::nullopt;
            shape.text.append(sql.substr(i, end - i));
            i = end;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const size_t newline = sql.find('\n', i);
            const size_t end = newline == std::string_view::npos ? sql.size() : newline + 1;
            shape.text.append(sql.substr(i, end - i));
            i = end;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            const size_t close = sql.find("*/", i + 2);
            if (close == std::string_view::npos)
                return std::nullopt;
            shape.text.append(sql.substr(i, close + 2 - i));
            i = close + 2;
        } else if (isDigit(c) || (c == '.' && i + 1 < sql.size() && isDigit(sql[i + 1]))) {
            // A number as the engine's tokenizer reads it: digits, a fraction, an exponent.
            if (i > 0 && (isWordChar(sql[i - 1]) || sql[i - 1] == '.'))
                return std::nullopt;
            size_t end = i;
            bool real = false;
            while (end < sql.size() && isDigit(sql[end]))
                ++end;
            if (end < sql.size() && sql[end] == '.') {
                real = true;
                ++end;
                while (end < sql.size() && isDigit(sql[end]))
                    ++end;
            }
            if (end < sql.size() && (sql[end] == 'e' || sql[end] == 'E')) {
                size_t k = end + 1;
                if (k < sql.size() && (sql[k] == '+' || sql[k] == '-'))
                    ++k;
                if (k < sql.size() && isDigit(sql[k])) {
                    real = true;
                    end = k;
                    while (end < sql.size() && isDigit(sql[end]))
                        ++end;
                }
            }
            // 0x1F, 12abc, 1.2.3: not a plain number.
            if (end < sql.size() && (isWordChar(sql[end]) || sql[end] == '.'))
                return std::nullopt;
            StatementShape::Literal literal;
            literal.text.assign(sql.substr(i, end - i));
            if (real) {
                literal.kind = StatementShape::Literal::Kind::Real;
            } else {
                // Past 18 digits the engine may read the number as a real; keep to what is exact.
                if (end - i > 18)
                    return std::nullopt;
                literal.kind = StatementShape::Literal::Kind::Integer;
                std::from_chars(sql.data() + i, sql.data() + end, literal.integer);
            }
            shape.literals.push_back(std::move(literal));
            shape.text += '?';
            i = end;
        } else if (isWordChar(c)) {
            size_t end = i;
            while (end < sql.size() && isWordChar(sql[end]))
                ++end;
            const std::string_view word = sql.substr(i, end - i);
            if (c == '$')
                return std::nullopt;  // a parameter of its own
            if (equalsNoCase(word, "SELECT") || equalsNoCase(word, "ORDER") || equalsNoCase(word, "GROUP") ||
                equalsNoCase(word, "RETURNING") || equalsNoCase(word, "WINDOW"))
                return std::nullopt;
            shape.text.append(word);
            i = end;
        } else if (c == '?' || c == ':' || c == '@' || c == '#' || c == '\0') {
            return std::nullopt;  // parameters of its own, or text the engine would stop at
        } else {
            // Blanks, commas, brackets and operators go across as they are, a run at a time.
            size_t end = i + 1;
            while (end < sql.size() && !isWordChar(sql[end]) && !std::strchr("'\"`[-/.?:@#", sql[end]))
                ++end;
            shape.text.append(sql.substr(i, end - i));
            i = end;
        }
    }
    return shape;
}

}  // namespace kyt::db
