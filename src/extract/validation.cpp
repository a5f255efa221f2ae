#include "extract/validation.h"

#include <QChar>
#include <QList>
#include <QString>

#include <charconv>
#include <limits>
#include <string_view>
#include <vector>

namespace kyt {

namespace {

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Byte offset of character `index`; text.size() when the text is shorter. A stray continuation
// byte counts as a character of its own, so no byte is ever skipped.
size_t byteOffset(const std::string& text, size_t index)
{
    size_t at = 0;
    while (index > 0 && at < text.size()) {
        ++at;
        while (at < text.size() && isContinuationByte(text[at]))
            ++at;
        --index;
    }
    return at;
}

std::vector<std::string_view> splitChars(const std::string& text)
{
    std::vector<std::string_view> chars;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = at + 1;
        while (end < text.size() && isContinuationByte(text[end]))
            ++end;
        chars.emplace_back(text.data() + at, end - at);
        at = end;
    }
    return chars;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string trimSpaces(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    const size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

constexpr std::string_view kNoBreakSpace = "\xC2\xA0";

// The text between the blanks that a number may stand among.
std::string_view numberBody(std::string_view text)
{
    for (;;) {
        if (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
            text.remove_prefix(1);
        else if (text.starts_with(kNoBreakSpace))
            text.remove_prefix(kNoBreakSpace.size());
        else
            break;
    }
    for (;;) {
        if (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
            text.remove_suffix(1);
        else if (text.ends_with(kNoBreakSpace))
            text.remove_suffix(kNoBreakSpace.size());
        else
            break;
    }
    return text;
}

bool isPlainDecimal(std::string_view body)
{
    bool digit = false;
    bool point = false;
    for (char c : body) {
        if (isDigit(c))
            digit = true;
        else if (c == '.' && !point)
            point = true;
        else
            return false;
    }
    return digit;
}

}  // namespace

size_t CharCount(const std::string& text)
{
    size_t count = 0;
    for (size_t at = 0; at < text.size(); ++at)
        if (at == 0 || !isContinuationByte(text[at]))
            ++count;
    return count;
}

std::string FirstChars(const std::string& text, size_t n)
{
    return text.substr(0, byteOffset(text, n));
}

std::string MidChars(const std::string& text, size_t start, size_t n)
{
    const size_t from = byteOffset(text, start);
    if (from >= text.size())
        return {};
    if (n == std::string::npos)
        return text.substr(from);
    const std::string rest = text.substr(from);
    return rest.substr(0, byteOffset(rest, n));
}

bool IsNumber(const std::string& text)
{
    return isPlainDecimal(numberBody(text));
}

double NumberValue(const std::string& text)
{
    const std::string_view body = numberBody(text);
    if (!isPlainDecimal(body))
        return 0;
    double value = 0;
    const auto [end, status] = std::from_chars(body.data(), body.data() + body.size(), value,
                                               std::chars_format::fixed);
    if (status == std::errc::result_out_of_range) {
        // Far too many digits before the point overflow; far too many zeros after it underflow.
        const std::string_view whole = body.substr(0, body.find('.'));
        const bool large = whole.find_first_not_of('0') != std::string_view::npos;
        return large ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return value;
}

std::string CleanCellText(std::string& Text)
{
    std::string cleaned;
    cleaned.reserve(Text.size());
    for (char c : Text) {
        if (c == '\r' || c == '\a')
            cleaned += ' ';
        else if (c == '\'')
            cleaned += '`';  // every cell passes here, so cell text can sit between quotes in SQL
        else
            cleaned += c;
    }
    return trimSpaces(cleaned);
}

std::string ProperCase(std::string& Text)
{
    const QList<uint> chars = QString::fromStdString(trimSpaces(Text)).toUcs4();
    std::u32string cased;
    cased.reserve(chars.size());
    bool wordStart = true;
    for (const uint code : chars) {
        const char32_t c = code;
        if (QChar::isLetter(c)) {
            cased += wordStart ? QChar::toTitleCase(c) : QChar::toLower(c);
            wordStart = false;
        } else if (QChar::isMark(c)) {
            cased += c;  // a combining accent belongs to the letter before it: "JOSE" + U+0301
        } else {
            cased += c;
            wordStart = true;
        }
    }
    return QString::fromUcs4(cased.data(), static_cast<qsizetype>(cased.size())).toStdString();
}

std::string CollapseSpaces(std::string& Text)
{
    Text = trimSpaces(Text);
    std::string collapsed;
    collapsed.reserve(Text.size());
    for (size_t at = 0; at < Text.size(); ++at)
        if (at == 0 || Text[at] != ' ' || Text[at - 1] != ' ')
            collapsed += Text[at];
    Text = collapsed;
    return Text;
}

std::string DigitsOnly(std::string& Text)
{
    std::string digits;
    for (char c : Text)
        if (isDigit(c))
            digits += c;
    return digits;
}

std::string PadDatePart(std::string& Text)
{
    std::string padded = DigitsOnly(Text);
    if (CharCount(Text) < 2)
        padded = "0" + padded;
    return padded;
}

std::string FormatDOB(std::string& Day, std::string& Month, std::string& Year)
{
    const std::string day = PadDatePart(Day);
    const std::string month = PadDatePart(Month);
    const std::string year = PadDatePart(Year);
    // A run of digits is above zero exactly when one of them is not 0; no length can overflow this.
    auto positive = [](const std::string& digits) { return digits.find_first_not_of('0') != std::string::npos; };
    if (positive(day) && positive(month))
        return day + "-" + month + "-" + year;
    return "ERR";
}

double ParsePercent(std::string& Text)
{
    if (IsNumber(Text))
        return NumberValue(Text);
    std::string number;
    double result = 0;
    for (char c : Text) {
        if (isDigit(c) || c == '.') {
            number += c;
        } else {
            if (IsNumber(number))
                return NumberValue(number);
            result = -1;  // the digits gathered so far stay: "1.2.3 45%" never turns into 45
        }
    }
    return result;
}

std::string ClassFromPercent(double Percent)
{
    if (Percent < 60)
        return "Second";
    if (Percent < 70)
        return "First";
    return "FCD";
}

std::string WrapText(std::string& Text, int16_t Width, int16_t Tabs)
{
    const std::string indent(Tabs > 0 ? static_cast<size_t>(Tabs) : 0, '\t');
    const size_t first = Text.find_first_not_of(' ');
    const std::string text = first == std::string::npos ? std::string() : Text.substr(first);

    std::string wrapped = indent;
    wrapped.reserve(text.size() + text.size() / 8 + indent.size() * 4);
    long lineStart = 1;
    bool breakPending = false;
    long i = 0;
    for (const std::string_view c : splitChars(text)) {
        ++i;
        const bool carriageReturn = c == "\r";
        if (carriageReturn || breakPending) {
            if (!carriageReturn && c != "\n")
                wrapped += c;
            wrapped += "\r\n";
            wrapped += indent;
            lineStart = i;
            breakPending = false;
        } else if (c != "\n") {
            wrapped += c;
        }
        if (i - lineStart == Width - 1) {
            breakPending = true;
            lineStart = i - 1;
        }
    }
    Text = wrapped;
    return Text;
}

void AddError(Control& control, std::string& Message, int16_t Kind)
{
    if (Kind == kError)
        control.run.DocumentFaults.push_back({control.run.Place, Message});
    if (Kind == kError || Kind == kRemark)
        WrapText(Message, 51, 4);
    control.run.ErrorText += Message;
    control.run.ErrorText += "\r\n";
    if (Kind == kFlush) {
        if (control.run.ErrorLog && control.run.ErrorLog->write(control.run.ErrorText + "\r\n"))
            control.run.ErrorText.clear();
    } else if (Kind == kDiscard) {
        control.run.ErrorText.clear();
    }
    if (Kind == kError) {
        ++control.run.DocumentErrors;
        ++control.run.TotalErrors;
    }
}

void AddError(Control& control, const std::string& Message, int16_t Kind)
{
    std::string message = Message;
    AddError(control, message, Kind);
}

}  // namespace kyt
