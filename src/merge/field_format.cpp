#include "merge/field_format.h"

#include <QDate>
#include <QString>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "db/c_numbers.h"

namespace kyt::merge {

namespace {

std::string firstCap(const std::string& value)
{
    QString text = QString::fromStdString(value);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isLetter()) {
            text[i] = text[i].toUpper();
            break;
        }
    }
    return text.toStdString();
}

std::string caps(const std::string& value)
{
    QString text = QString::fromStdString(value);
    bool wordStart = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isLetter()) {
            if (wordStart)
                text[i] = text[i].toUpper();
            wordStart = false;
        } else if (text[i].isSpace() || text[i] == '-') {
            wordStart = true;
        }
    }
    return text.toStdString();
}

// Reads "12", "012", "2026" and stops at the first non-digit; -1 when there is no digit.
int readNumber(const std::string& text, size_t& i)
{
    int value = -1;
    size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && digits < 4) {
        value = (value < 0 ? 0 : value * 10) + (text[i] - '0');
        ++i;
        ++digits;
    }
    return value;
}

struct DateTime {
    QDate date;  // invalid for a time of day alone
    int hour = 0, minute = 0, second = 0;
};

bool startsWithNoCase(const std::string& text, size_t at, std::string_view word)
{
    if (text.size() - std::min(at, text.size()) < word.size())
        return false;
    for (size_t k = 0; k < word.size(); ++k)
        if (std::tolower(static_cast<unsigned char>(text[at + k])) != word[k])
            return false;
    return true;
}

// A time of day at `i`: 14:05, 14:05:30, 2:05 PM, 2:05pm.
bool parseTime(const std::string& value, size_t& i, DateTime& out)
{
    const int h = readNumber(value, i);
    if (h < 0 || i >= value.size() || value[i] != ':')
        return false;
    ++i;
    const int m = readNumber(value, i);
    int s = 0;
    if (i < value.size() && value[i] == ':') {
        ++i;
        s = readNumber(value, i);
    }
    size_t after = i;
    while (after < value.size() && value[after] == ' ')
        ++after;
    int hour = h;
    if (startsWithNoCase(value, after, "am") || startsWithNoCase(value, after, "pm")) {
        if (h < 1 || h > 12)
            return false;
        hour = h % 12 + (std::tolower(static_cast<unsigned char>(value[after])) == 'p' ? 12 : 0);
        i = after + 2;
    }
    if (hour > 23 || m < 0 || m > 59 || s < 0 || s > 59)
        return false;
    out.hour = hour;
    out.minute = m;
    out.second = s;
    return true;
}

// Dates as the database keeps them: day-month-year (05-11-1982, 5/11/1982, 05.11.1982) or year-month-day
// (1982-11-05), optionally followed by a time; or a time of day alone. Two-digit years 00 to 29 are
// this century's, 30 to 99 the last one's, as the word processor reads them.
bool parseDate(const std::string& value, DateTime& out)
{
    size_t i = 0;
    while (i < value.size() && value[i] == ' ')
        ++i;
    if (size_t at = i; parseTime(value, at, out)) {
        while (at < value.size() && value[at] == ' ')
            ++at;
        return at == value.size();
    }
    const size_t firstStart = i;
    const int first = readNumber(value, i);
    const size_t firstDigits = i - firstStart;
    if (first < 0 || i >= value.size() || (value[i] != '-' && value[i] != '/' && value[i] != '.'))
        return false;
    const char separator = value[i++];
    const int second = readNumber(value, i);
    if (second < 0 || i >= value.size() || value[i] != separator)
        return false;
    ++i;
    const size_t thirdStart = i;
    const int third = readNumber(value, i);
    if (third < 0)
        return false;
    int day, month, year;
    if (firstDigits == 4) {
        year = first;
        month = second;
        day = third;
    } else {
        day = first;
        month = second;
        year = third;
        if (i - thirdStart <= 2)
            year += year < 30 ? 2000 : 1900;
    }
    out.date = QDate(year, month, day);
    if (!out.date.isValid())
        return false;
    if (i < value.size() && (value[i] == ' ' || value[i] == 'T')) {
        ++i;
        DateTime time;
        if (parseTime(value, i, time)) {
            out.hour = time.hour;
            out.minute = time.minute;
            out.second = time.second;
        }
    }
    return true;
}

constexpr std::array<const char*, 12> kMonths = {"January", "February", "March",     "April",   "May",      "June",
                                                 "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<const char*, 7> kDays = {"Monday", "Tuesday", "Wednesday", "Thursday",
                                              "Friday", "Saturday", "Sunday"};

std::string twoDigits(int n)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d", n);
    return buffer;
}

// Digits of |value| rounded to `decimals` places, as integer part and fraction part; locale-free.
void splitNumber(double value, int decimals, std::string& integerPart, std::string& fraction)
{
    // Halves round away from zero, as the word processor rounds, not to even as printf does.
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(std::fabs(value) * scale) / scale;
    const std::string text = FixedText(rounded, decimals);
    const size_t point = text.find('.');
    integerPart = point == std::string::npos ? text : text.substr(0, point);
    fraction = point == std::string::npos ? std::string() : text.substr(point + 1);
}

}  // namespace

bool numberValue(const std::string& value, double& out)
{
    std::string digits;
    for (char c : value) {
        if (c == ',' || c == ' ')
            continue;  // grouping as people write it
        if (c == '%' && !digits.empty())
            break;
        digits += c;
    }
    if (digits.empty())
        return false;
    // The window program runs under the officer's locale: a point is read as a point whatever it says.
    char* end = nullptr;
    out = CStrtod(digits.c_str(), &end);
    return end && *end == '\0' && std::isfinite(out);
}

std::string formatDate(const std::string& value, const std::string& picture)
{
    DateTime when;
    if (!parseDate(value, when))
        return {};
    std::string out;
    size_t i = 0;
    auto run = [&](char c) {
        size_t n = 0;
        while (i + n < picture.size() && picture[i + n] == c)
            ++n;
        return n;
    };
    while (i < picture.size()) {
        const char c = picture[i];
        if (c == '\'') {
            const size_t close = picture.find('\'', i + 1);
            const size_t end = close == std::string::npos ? picture.size() : close;
            out += picture.substr(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        const bool datePart = c == 'd' || c == 'D' || c == 'M' || c == 'y' || c == 'Y';
        if (datePart && !when.date.isValid())
            return {};  // a time alone has no day to show
        if (c == 'd' || c == 'D') {
            size_t n = run(c);
            const int day = when.date.day();
            const char* name = kDays[static_cast<size_t>(when.date.dayOfWeek() - 1)];
            out += n == 1 ? std::to_string(day) : n == 2 ? twoDigits(day) : n == 3 ? std::string(name, 3) : name;
            i += n;
        } else if (c == 'M') {
            size_t n = run(c);
            const int month = when.date.month();
            const char* name = kMonths[static_cast<size_t>(month - 1)];
            out += n == 1 ? std::to_string(month) : n == 2 ? twoDigits(month) : n == 3 ? std::string(name, 3) : name;
            i += n;
        } else if (c == 'y' || c == 'Y') {
            size_t n = run(c);
            out += n <= 2 ? twoDigits(when.date.year() % 100) : std::to_string(when.date.year());
            i += n;
        } else if (c == 'h' || c == 'H') {
            size_t n = run(c);
            int hour = when.hour;
            if (c == 'h')
                hour = hour % 12 == 0 ? 12 : hour % 12;
            out += n == 1 ? std::to_string(hour) : twoDigits(hour);
            i += n;
        } else if (c == 'm') {
            size_t n = run(c);
            out += n == 1 ? std::to_string(when.minute) : twoDigits(when.minute);
            i += n;
        } else if (c == 's' || c == 'S') {
            size_t n = run(c);
            out += n == 1 ? std::to_string(when.second) : twoDigits(when.second);
            i += n;
        } else if (startsWithNoCase(picture, i, "am/pm")) {
            // Printed in the letter case the picture writes them in.
            const size_t at = when.hour < 12 ? i : i + 3;
            out += picture.substr(at, 2);
            i += 5;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

std::string formatNumber(const std::string& value, const std::string& givenPicture)
{
    double number = 0;
    if (!numberValue(value, number))
        return {};
    // positive;negative;zero
    std::vector<std::string> sections;
    size_t start = 0;
    for (size_t i = 0; i <= givenPicture.size(); ++i) {
        if (i == givenPicture.size() || givenPicture[i] == ';') {
            sections.push_back(givenPicture.substr(start, i - start));
            start = i + 1;
        }
    }
    std::string picture = sections[0];
    bool signShown = false;
    if (number < 0 && sections.size() > 1) {
        picture = sections[1];
        signShown = true;  // the negative section writes its own sign or brackets
    } else if (number == 0 && sections.size() > 2) {
        picture = sections[2];
    }

    // The picture's digit places: the first run of 0 # x , . is the number, the rest literal text.
    size_t first = picture.find_first_of("0#x");
    if (first == std::string::npos)
        return picture;
    size_t last = first;
    while (last < picture.size() && std::string_view("0#x,.").find(picture[last]) != std::string_view::npos)
        ++last;
    const std::string prefix = picture.substr(0, first);
    const std::string suffix = picture.substr(last);
    const std::string places = picture.substr(first, last - first);
    const size_t point = places.find('.');
    const std::string integerPlaces = places.substr(0, point);
    const std::string fractionPlaces = point == std::string::npos ? std::string() : places.substr(point + 1);
    int decimals = 0;
    for (char c : fractionPlaces)
        if (c == '0' || c == '#')
            ++decimals;
    std::string integerDigits, fraction;
    splitNumber(number, decimals, integerDigits, fraction);
    // Fraction places written as # drop their trailing zeros.
    for (size_t k = fractionPlaces.size(); k-- > 0 && !fraction.empty();) {
        if (fractionPlaces[k] != '#' || fraction.back() != '0')
            break;
        fraction.pop_back();
    }

    const bool grouping = integerPlaces.find(',') != std::string::npos;
    std::string placeholders;
    for (char c : integerPlaces)
        if (c == '0' || c == '#' || c == 'x')
            placeholders += c;
    const size_t xAt = placeholders.find('x');
    if (xAt != std::string::npos && integerDigits.size() > placeholders.size() - xAt) {
        // x drops the digits to its left.
        integerDigits = integerDigits.substr(integerDigits.size() - (placeholders.size() - xAt));
    }
    if (integerDigits == "0" && placeholders.find('0') == std::string::npos)
        integerDigits.clear();
    std::string grouped;
    for (size_t k = 0; k < integerDigits.size(); ++k) {
        if (grouping && k > 0 && (integerDigits.size() - k) % 3 == 0)
            grouped += ',';
        grouped += integerDigits[k];
    }
    // Places the number does not fill: 0 shows a zero, # a blank.
    std::string padding;
    for (size_t k = integerDigits.size(); k < placeholders.size(); ++k) {
        const char place = placeholders[placeholders.size() - 1 - k];
        padding.insert(padding.begin(), place == '0' ? '0' : place == '#' ? ' ' : '\0');
    }
    padding.erase(std::remove(padding.begin(), padding.end(), '\0'), padding.end());

    std::string out = prefix;
    if (number < 0 && !signShown && std::any_of(integerDigits.begin(), integerDigits.end(), [](char c) { return c != '0'; }))
        out += '-';
    out += padding + grouped;
    if (!fraction.empty())
        out += "." + fraction;
    out += suffix;
    return out;
}

std::string formatFieldValue(const FieldCode& field, const std::string& value)
{
    std::string text = value;
    if (!field.datePicture.empty()) {
        std::string date = formatDate(text, field.datePicture);
        if (!date.empty())
            text = std::move(date);
    }
    if (!field.numberPicture.empty()) {
        std::string number = formatNumber(text, field.numberPicture);
        if (!number.empty())
            text = std::move(number);
    }
    switch (field.textCase) {
    case FieldCode::Case::AsIs: break;
    case FieldCode::Case::Upper: text = upperText(text); break;
    case FieldCode::Case::Lower: text = lowerText(text); break;
    case FieldCode::Case::FirstCap: text = firstCap(text); break;
    case FieldCode::Case::Caps: text = caps(text); break;
    }
    if (!text.empty())
        text = field.before + text + field.after;
    return text;
}

}  // namespace kyt::merge
