#include "db/functions.h"
#include "db/c_numbers.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "db/jet_sql.h"
#include "db/native_error.h"

namespace kyt::db {

namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
long daysFromCivil(long y, long m, long d)
{
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool isLeap(long y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(long y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

// A number written as the whole text (surrounding spaces allowed).
std::optional<double> parseNumber(std::string_view text)
{
    std::string s(trimmed(text));
    if (s.empty())
        return std::nullopt;
    char* end = nullptr;
    double v = CStrtod(s.c_str(), &end);
    if (end != s.c_str() + s.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<double> numericArgument(sqlite3_value* value)
{
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        return static_cast<double>(sqlite3_value_int64(value));
    case SQLITE_FLOAT:
        return sqlite3_value_double(value);
    case SQLITE_TEXT:
        return parseNumber(reinterpret_cast<const char*>(sqlite3_value_text(value)));
    default:
        return std::nullopt;
    }
}

void cintFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    std::optional<double> v = numericArgument(argv[0]);
    if (!v) {
        sqlite3_result_error(ctx, kTypeMismatchMessage.data(), static_cast<int>(kTypeMismatchMessage.size()));
        return;
    }
    const double r = roundHalfEven(*v);
    if (r < -32768 || r > 32767) {
        sqlite3_result_error(ctx, "Overflow: CInt takes numbers from -32768 to 32767.", -1);
        return;
    }
    sqlite3_result_int(ctx, static_cast<int>(r));
}

void cdateFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        sqlite3_result_double(ctx, sqlite3_value_double(argv[0]));
        return;
    case SQLITE_TEXT:
        // A date of birth that does not convert leaves that student's age empty rather than failing
        // the whole query.
        if (std::optional<double> day = parseDate(reinterpret_cast<const char*>(sqlite3_value_text(argv[0]))))
            sqlite3_result_double(ctx, *day);
        else
            sqlite3_result_null(ctx);
        return;
    default:
        sqlite3_result_null(ctx);
    }
}

void nowFunction(sqlite3_context* ctx, int, sqlite3_value**)
{
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec;
    sqlite3_result_double(ctx, daySerial(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) + seconds / 86400.0);
}

// `value` with `decimals` decimals as the database we replace formats it, which decides who passes a
// threshold: the value is first taken at 15 significant digits, and that decimal text is then rounded with
// a half going away from zero. So 689/800*100, held as 86.12499999999999, reads 86.1250000000000 and
// gives 86.13 (not 86.12), 1.005 gives 1.01, -0.125 gives -0.13. A result of zero has no sign.
std::string FormatDecimals(double value, int decimals)
{
    if (!std::isfinite(value))
        return FixedText(value, decimals);
    // d.dddddddddddddde±x: the 15 significant digits and the power of ten of the first one.
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific, 14);
    if (ec != std::errc())
        return FixedText(value, decimals);
    std::string digits;
    const char* p = text;
    for (; p != end && *p != 'e'; ++p)
        if (*p != '.')
            digits += *p;
    int exponent = p != end ? std::atoi(p + 1) : 0;

    // Keep the digits down to the last decimal; a first digit dropped of 5 or more adds one to the last kept.
    const long keep = static_cast<long>(exponent) + 1 + decimals;
    if (keep < 0) {
        digits = "0";
        exponent = 0;
    } else if (keep < static_cast<long>(digits.size())) {
        const bool up = digits[static_cast<size_t>(keep)] >= '5';
        digits.resize(static_cast<size_t>(keep));
        if (up) {
            long i = keep - 1;
            for (; i >= 0 && digits[static_cast<size_t>(i)] == '9'; --i)
                digits[static_cast<size_t>(i)] = '0';
            if (i >= 0) {
                ++digits[static_cast<size_t>(i)];
            } else {
                digits.insert(digits.begin(), '1');
                ++exponent;
            }
        }
        if (digits.empty()) {
            digits = "0";
            exponent = 0;
        }
    }

    // The digits placed around the decimal point: the first one stands at 10^exponent.
    std::string whole, fraction;
    for (long position = std::max(exponent, 0); position >= -decimals; --position) {
        const long index = exponent - position;
        const char digit = index >= 0 && index < static_cast<long>(digits.size()) ? digits[static_cast<size_t>(index)] : '0';
        (position >= 0 ? whole : fraction) += digit;
    }
    const bool zero = whole.find_first_not_of('0') == std::string::npos &&
                      fraction.find_first_not_of('0') == std::string::npos;
    return (value < 0 && !zero ? "-" : "") + whole + (decimals > 0 ? "." + fraction : std::string());
}

// format(value, pattern): a numeric pattern (0.00, #,##0.0) rounds the number to the pattern's
// decimals and returns it as a number, so that it still compares and sorts as one; the two-decimal
// display comes from the recordset. Any other pattern returns the value's text.
void formatFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const char* rawPattern = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    std::string_view pattern = rawPattern ? rawPattern : "";
    bool numericPattern = !pattern.empty();
    int decimals = 0;
    bool afterPoint = false;
    for (char c : pattern) {
        if (c == '.')
            afterPoint = true;
        else if (c == '0' || c == '#')
            decimals += afterPoint ? 1 : 0;
        else if (c != ',')
            numericPattern = false;
    }
    std::optional<double> v = numericArgument(argv[0]);
    if (!numericPattern || !v) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    sqlite3_result_double(ctx, CStrtod(FormatDecimals(*v, decimals).c_str()));
}

void likeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    // like(pattern, text[, escape]), as SQLite calls it for `text LIKE pattern [ESCAPE escape]`.
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    char32_t escape = 0;
    if (argc == 3) {
        const char* e = reinterpret_cast<const char*>(sqlite3_value_text(argv[2]));
        std::string_view esc = e ? e : "";
        if (esc.size() != 1) {
            sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
            return;
        }
        escape = static_cast<unsigned char>(esc[0]);
    }
    const char* pattern = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const char* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    sqlite3_result_int(ctx, jet::likeMatches(pattern ? pattern : "", text ? text : "", escape) ? 1 : 0);
}

}  // namespace

double daySerial(int year, int month, int day)
{
    return static_cast<double>(daysFromCivil(year, month, day) - daysFromCivil(1899, 12, 30));
}

std::optional<double> parseDate(std::string_view text)
{
    text = trimmed(text);
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            parts.back() += c;
        } else if (c == '-' || c == '/' || c == '.' || c == ' ') {
            if (parts.back().empty())
                return std::nullopt;
            parts.emplace_back();
        } else {
            return std::nullopt;
        }
    }
    if (parts.size() != 3 || parts[2].empty() || parts[0].size() > 4 || parts[1].size() > 2 || parts[2].size() > 4)
        return std::nullopt;
    long day, month, year;
    if (parts[0].size() == 4) {
        year = std::stol(parts[0]);
        month = std::stol(parts[1]);
        day = std::stol(parts[2]);
        if (parts[2].size() > 2)
            return std::nullopt;
    } else {
        if (parts[0].size() > 2)
            return std::nullopt;
        day = std::stol(parts[0]);
        month = std::stol(parts[1]);
        year = std::stol(parts[2]);
        // Two-digit years as the engine we replace reads them: 00-29 this century, 30-99 the last.
        if (parts[2].size() <= 2)
            year += year < 30 ? 2000 : 1900;
    }
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, static_cast<int>(month)))
        return std::nullopt;
    return daySerial(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day));
}

double roundHalfEven(double value)
{
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(value);
    std::fesetround(mode);
    return r;
}

int registerFunctions(sqlite3* db, Road road)
{
    constexpr int pure = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    struct Definition {
        const char* name;
        int args;
        int flags;
        void (*fn)(sqlite3_context*, int, sqlite3_value**);
    };
    std::vector<Definition> definitions = {
        {"CInt", 1, pure, cintFunction},
        {"CDate", 1, pure, cdateFunction},
        {"Now", 0, SQLITE_UTF8 | SQLITE_INNOCUOUS, nowFunction},
        {"format", 2, pure, formatFunction},
    };
    if (road == Road::Query) {
        definitions.push_back({"like", 2, pure, likeFunction});
        definitions.push_back({"like", 3, pure, likeFunction});
    }
    for (const Definition& d : definitions) {
        int rc = sqlite3_create_function_v2(db, d.name, d.args, d.flags, nullptr, d.fn, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            return rc;
    }
    return 0;
}

}  // namespace kyt::db
