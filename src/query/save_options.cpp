#include "query/save_options.h"

#include <charconv>
#include <cmath>

#include "db/functions.h"

namespace kyt::query {

namespace {

std::string trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The number in `text` read without the process locale; none when the text is not numeric.
std::optional<double> numberIn(const std::string& text)
{
    std::string t = trimmed(text);
    // One sign at most; from_chars itself takes a minus only.
    if (!t.empty() && t[0] == '+') {
        t.erase(0, 1);
        if (!t.empty() && t[0] == '-')
            return std::nullopt;
    }
    if (t.empty() || t[0] == '+' || t.find_first_of("xXpPnN") != std::string::npos)  // no hex, inf or nan
        return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value, std::chars_format::general);
    if (ec != std::errc() || end != t.data() + t.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

}  // namespace

bool IsNumericText(const std::string& text)
{
    return numberIn(text).has_value();
}

long long SequenceNumber(const std::string& text)
{
    const std::optional<double> value = numberIn(text);
    if (!value)
        return 0;
    // Far outside any column count either way; kept finite for the comparisons.
    const double clamped = std::fmax(-1e9, std::fmin(1e9, *value));
    return static_cast<long long>(db::roundHalfEven(clamped));
}

ColumnChoice SelectColumns(const std::vector<ColumnRow>& rows)
{
    ColumnChoice choice;
    const int columns = std::min<int>(static_cast<int>(rows.size()), kMaxSaveColumns);
    std::array<long long, kMaxSaveColumns> sequence{};
    int ticked = 0;
    for (int i = 0; i < columns; ++i) {
        choice.ColumnSelected[i] = rows[i].ticked ? 1 : 0;
        choice.ColumnSequence[i] = 999;
        sequence[i] = rows[i].ticked ? SequenceNumber(rows[i].sequenceText) : 999;
        if (rows[i].ticked)
            ++ticked;
        if (rows[i].caption == "USN")
            choice.usnTicked = rows[i].ticked;
    }
    for (int i = columns; i < kMaxSaveColumns; ++i) {
        choice.ColumnSelected[i] = -1;
        choice.ColumnSequence[i] = 999;
    }

    if (ticked == 0) {
        choice.result = kSequenceTooLarge;
        choice.text = "Please select atleast one field";
        choice.focusRow = 0;
        choice.focusOnTick = true;
        return choice;
    }
    const long long highest = ticked - 1;
    std::array<int, kMaxSaveColumns> uses{};
    for (int i = 0; i < columns; ++i) {
        if (!rows[i].ticked)
            continue;
        if (sequence[i] < 0 || sequence[i] > highest) {
            choice.result = kSequenceTooLarge;
            choice.text = "one or more of the sequence number is larger than the number of selected fields\r\n"
                          "Max sequence number for this selection is " +
                          std::to_string(highest);
            choice.focusRow = i;
            return choice;
        }
        if (++uses[static_cast<size_t>(sequence[i])] > 1) {
            choice.result = kSequenceRepeated;
            choice.text = "One or more fields has the same sequence number. please correct it";
            choice.title = "Kyt Error";
            choice.focusRow = i;
            return choice;
        }
    }
    for (int i = 0; i < columns; ++i) {
        if (!rows[i].ticked)
            continue;
        choice.ColumnSequence[i] = static_cast<int16_t>(sequence[i]);
        choice.ColumnNameBySequence[static_cast<size_t>(sequence[i])] = rows[i].caption;
    }
    choice.ColumnCount = static_cast<int16_t>(ticked);
    choice.TotalSelections = static_cast<int16_t>(ticked);
    return choice;
}

std::vector<std::optional<std::string>> RenumberedSequences(const std::vector<bool>& ticked,
                                                            const std::vector<bool>& enabled)
{
    std::vector<std::optional<std::string>> texts(ticked.size());
    int next = 0;
    for (size_t i = 0; i < ticked.size(); ++i) {
        if (i < enabled.size() && !enabled[i])
            continue;
        texts[i] = ticked[i] ? std::to_string(next++) : std::string();
    }
    return texts;
}

}  // namespace kyt::query
