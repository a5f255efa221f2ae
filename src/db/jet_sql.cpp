#include "db/jet_sql.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace kyt::db::jet {

namespace {

// Length of the literal, quoted identifier or comment starting at `i`, or 0 when none starts there.
size_t quotedLength(std::string_view sql, size_t i)
{
    const char c = sql[i];
    auto until = [&](char close) -> size_t {
        size_t j = i + 1;
        while (j < sql.size()) {
            if (sql[j] == close) {
                // A doubled quote is the quote itself, not the end.
                if (close != ']' && j + 1 < sql.size() && sql[j + 1] == close) {
                    j += 2;
                    continue;
                }
                return j + 1 - i;
            }
            ++j;
        }
        return sql.size() - i;
    };
    switch (c) {
    case '\'':
    case '"':
    case '`':
        return until(c);
    case '[':
        return until(']');
    case '-':
        if (i + 1 < sql.size() && sql[i + 1] == '-') {
            size_t end = sql.find('\n', i);
            return (end == std::string_view::npos ? sql.size() : end + 1) - i;
        }
        return 0;
    case '/':
        if (i + 1 < sql.size() && sql[i + 1] == '*') {
            size_t end = sql.find("*/", i + 2);
            return (end == std::string_view::npos ? sql.size() : end + 2) - i;
        }
        return 0;
    default:
        return 0;
    }
}

bool isWordChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Identifier at `i` (bare or quoted), unquoted; `i` moves past it.
std::string readIdentifier(std::string_view sql, size_t& i)
{
    if (i >= sql.size())
        return {};
    const char c = sql[i];
    if (c == '[' || c == '"' || c == '`') {
        size_t len = quotedLength(sql, i);
        std::string name(sql.substr(i + 1, len >= 2 ? len - 2 : 0));
        i += len;
        return name;
    }
    size_t start = i;
    while (i < sql.size() && isWordChar(sql[i]))
        ++i;
    return std::string(sql.substr(start, i - start));
}

void skipSpace(std::string_view sql, size_t& i)
{
    while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i])))
        ++i;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Length of `DELETE <target> FROM` at the start of `sql` (after its leading blanks), where <target> is `*`,
// a name or a [bracketed name], optionally followed by `.*`; 0 when the statement does not start so.
size_t deleteTargetLength(std::string_view sql, size_t start)
{
    size_t i = start;
    auto word = [&](std::string_view keyword) {
        if (i + keyword.size() > sql.size() || !equalsNoCase(sql.substr(i, keyword.size()), keyword))
            return false;
        i += keyword.size();
        return true;
    };
    // Blanks: space, tab, line breaks, vertical tab, form feed.
    auto blanks = [&] {
        const size_t from = i;
        while (i < sql.size() && isBlank(sql[i]))
            ++i;
        return i > from;
    };
    auto asciiWordChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    if (!word("DELETE") || !blanks() || i >= sql.size())
        return 0;
    if (sql[i] == '*') {
        ++i;
    } else if (sql[i] == '[') {
        const size_t close = sql.find(']', i + 1);
        if (close == std::string_view::npos)
            return 0;
        i = close + 1;
    } else if (asciiWordChar(sql[i])) {
        while (i < sql.size() && asciiWordChar(sql[i]))
            ++i;
    } else {
        return 0;
    }
    if (sql.substr(i, 2) == ".*")
        i += 2;
    if (!blanks() || !word("FROM") || (i < sql.size() && asciiWordChar(sql[i])))
        return 0;
    return i - start;
}

}  // namespace

namespace {

// The program's text with the forms that differ between engines written for one of them: the DELETE
// target dropped, `/` made a division of reals by `division`, bracketed or backquoted names handed to
// `name`.
template <typename Name>
std::string rewrite(std::string_view sql, std::string_view division, Name name)
{
    std::string out;
    out.reserve(sql.size() + 16);
    size_t i = 0;
    while (i < sql.size() && isBlank(sql[i]))
        ++i;
    out.append(sql.substr(0, i));
    // The target before FROM is the engine we stand in for's own form; SQL deletes from the table after FROM.
    if (const size_t length = deleteTargetLength(sql, i)) {
        out += "DELETE FROM";
        i += length;
    }
    while (i < sql.size()) {
        // Text that cannot start a literal, a comment or a division goes across as it is.
        size_t plain = i;
        while (plain < sql.size() && !std::strchr("'\"`[-/", sql[plain]))
            ++plain;
        out.append(sql.substr(i, plain - i));
        i = plain;
        if (i >= sql.size())
            break;
        if (size_t len = quotedLength(sql, i)) {
            if (sql[i] == '[' || sql[i] == '`')
                out += name(sql.substr(i + 1, len >= 2 ? len - 2 : 0), sql.substr(i, len));
            else
                out.append(sql.substr(i, len));
            i += len;
            continue;
        }
        if (sql[i] == '/')
            out += division;
        else
            out += sql[i];
        ++i;
    }
    return out;
}

}  // namespace

std::string toSqlite(std::string_view sql)
{
    return rewrite(sql, "*1.0/", [](std::string_view, std::string_view asWritten) { return std::string(asWritten); });
}

std::string toPostgres(std::string_view sql)
{
    // The server folds bare names to lower case and keeps quoted ones as they are; a bracketed name
    // means the same column as the bare one.
    return rewrite(sql, "*1.0::float8/", [](std::string_view inner, std::string_view) {
        std::string quoted = "\"";
        for (char c : inner) {
            quoted += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (c == '"')
                quoted += '"';
        }
        return quoted + "\"";
    });
}

std::string columnName(std::string_view sqliteName)
{
    constexpr std::string_view inserted = "*1.0/";
    std::string out;
    out.reserve(sqliteName.size());
    for (size_t i = 0; i < sqliteName.size();) {
        if (sqliteName.substr(i, inserted.size()) == inserted) {
            out += '/';
            i += inserted.size();
        } else {
            out += sqliteName[i++];
        }
    }
    return out;
}

std::vector<std::string> twoDecimalAliases(std::string_view sql)
{
    std::vector<std::string> names;
    for (size_t i = 0; i < sql.size();) {
        if (size_t len = quotedLength(sql, i)) {
            i += len;
            continue;
        }
        const bool wordStart = isWordChar(sql[i]) && (i == 0 || !isWordChar(sql[i - 1]));
        if (!wordStart) {
            ++i;
            continue;
        }
        size_t wordEnd = i;
        while (wordEnd < sql.size() && isWordChar(sql[wordEnd]))
            ++wordEnd;
        std::string_view word = sql.substr(i, wordEnd - i);
        size_t j = wordEnd;
        skipSpace(sql, j);
        if (!equalsNoCase(word, "format") || j >= sql.size() || sql[j] != '(') {
            i = wordEnd;
            continue;
        }
        // Find the closing parenthesis and the last top-level comma.
        size_t open = j, depth = 0, lastComma = std::string_view::npos, close = std::string_view::npos;
        for (size_t k = open; k < sql.size();) {
            if (size_t len = quotedLength(sql, k)) {
                k += len;
                continue;
            }
            if (sql[k] == '(')
                ++depth;
            else if (sql[k] == ')' && --depth == 0) {
                close = k;
                break;
            } else if (sql[k] == ',' && depth == 1)
                lastComma = k;
            ++k;
        }
        if (close == std::string_view::npos) {
            i = wordEnd;
            continue;
        }
        i = close + 1;
        if (lastComma == std::string_view::npos || trim(sql.substr(lastComma + 1, close - lastComma - 1)) != "'0.00'")
            continue;
        size_t k = close + 1;
        skipSpace(sql, k);
        if (k + 2 <= sql.size() && equalsNoCase(sql.substr(k, 2), "as") &&
            (k + 2 == sql.size() || !isWordChar(sql[k + 2]))) {
            k += 2;
            skipSpace(sql, k);
            std::string name = readIdentifier(sql, k);
            if (!name.empty())
                names.push_back(std::move(name));
            i = k;
        }
    }
    return names;
}

namespace {

char32_t decodeOne(std::string_view s, size_t& i)
{
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    bool wellFormed = extra > 0 && i + extra < s.size();
    for (int k = 1; wellFormed && k <= extra; ++k)
        wellFormed = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
    if (!wellFormed) {
        // A stray byte stands for itself rather than failing the match.
        ++i;
        return c;
    }
    char32_t cp = extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
    for (int k = 1; k <= extra; ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += 1 + extra;
    return cp;
}

std::u32string decode(std::string_view s)
{
    std::u32string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();)
        out.push_back(decodeOne(s, i));
    return out;
}

// Letter case folded for ASCII and the Latin-1 letters, the ones a name or title here can hold.
char32_t fold(char32_t c)
{
    if (c >= 'A' && c <= 'Z')
        return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 32;
    return c;
}

struct Token {
    enum Kind { Any, One, Digit, Set, Literal };
    Token(Kind k, char32_t c = 0) : kind(k), ch(c) {}

    Kind kind;
    char32_t ch = 0;
    bool negate = false;
    std::vector<std::pair<char32_t, char32_t>> ranges;

    bool matches(char32_t c) const
    {
        switch (kind) {
        case One:
            return true;
        case Digit:
            return c >= '0' && c <= '9';
        case Literal:
            return fold(c) == fold(ch);
        case Set: {
            bool in = false;
            for (auto [lo, hi] : ranges)
                if ((c >= lo && c <= hi) || (fold(c) >= fold(lo) && fold(c) <= fold(hi)))
                    in = true;
            return in != negate;
        }
        case Any:
            break;
        }
        return false;
    }
};

std::vector<Token> parsePattern(const std::u32string& p, char32_t escape)
{
    std::vector<Token> tokens;
    for (size_t i = 0; i < p.size(); ++i) {
        const char32_t c = p[i];
        if (escape && c == escape && i + 1 < p.size()) {
            tokens.emplace_back(Token::Literal, p[++i]);
        } else if (c == '*') {
            if (tokens.empty() || tokens.back().kind != Token::Any)
                tokens.emplace_back(Token::Any);
        } else if (c == '?') {
            tokens.emplace_back(Token::One);
        } else if (c == '#') {
            tokens.emplace_back(Token::Digit);
        } else if (c == '[') {
            size_t close = p.find(']', i + 1);
            if (close == std::u32string::npos) {
                tokens.emplace_back(Token::Literal, c);  // an unclosed bracket stands for itself
                continue;
            }
            Token set(Token::Set);
            size_t k = i + 1;
            if (k < close && p[k] == '!') {
                set.negate = true;
                ++k;
            }
            for (; k < close; ++k) {
                if (k + 2 < close && p[k + 1] == '-') {
                    set.ranges.push_back({std::min(p[k], p[k + 2]), std::max(p[k], p[k + 2])});
                    k += 2;
                } else {
                    set.ranges.push_back({p[k], p[k]});
                }
            }
            i = close;
            if (!set.ranges.empty() || set.negate)
                tokens.push_back(std::move(set));  // [] matches the empty text: no token
        } else {
            tokens.emplace_back(Token::Literal, c);
        }
    }
    return tokens;
}

}  // namespace

bool likeMatches(std::string_view pattern, std::string_view text, char32_t escape)
{
    const std::vector<Token> tokens = parsePattern(decode(pattern), escape);
    const std::u32string s = decode(text);
    // Greedy match with backtracking to the last `*`: every other token takes exactly one character.
    size_t t = 0, c = 0;
    size_t starToken = std::string::npos, starText = 0;
    while (c < s.size()) {
        if (t < tokens.size() && tokens[t].kind == Token::Any) {
            starToken = t++;
            starText = c;
        } else if (t < tokens.size() && tokens[t].matches(s[c])) {
            ++t;
            ++c;
        } else if (starToken != std::string::npos) {
            t = starToken + 1;
            c = ++starText;
        } else {
            return false;
        }
    }
    while (t < tokens.size() && tokens[t].kind == Token::Any)
        ++t;
    return t == tokens.size();
}

bool startsWithWord(std::string_view sql, std::string_view word)
{
    while (!sql.empty() && (std::isspace(static_cast<unsigned char>(sql.front())) || sql.front() == '('))
        sql.remove_prefix(1);
    if (sql.size() < word.size())
        return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(sql[i])) != word[i])
            return false;
    return sql.size() == word.size() ||
           !(std::isalnum(static_cast<unsigned char>(sql[word.size()])) || sql[word.size()] == '_');
}

std::string trimQuerySql(std::string_view sql)
{
    while (!sql.empty() && (std::isspace(static_cast<unsigned char>(sql.back())) || sql.back() == ';'))
        sql.remove_suffix(1);
    while (!sql.empty() && std::isspace(static_cast<unsigned char>(sql.front())))
        sql.remove_prefix(1);
    return std::string(sql);
}

std::string lowerCase(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string quoteLiteral(std::string_view text)
{
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

std::string quoteIdentifier(const std::string& name)
{
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

}  // namespace kyt::db::jet
