#pragma once
// The column choice of the advanced save options: which result columns are saved and in which order,
// checked as the options window's OK checks it. The window reads its boxes into rows, this decides,
// and the window hands an accepted choice to the results window.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "shell/message_service.h"

namespace kyt::query {

inline constexpr int kMaxSaveColumns = 7;
inline constexpr int16_t kSequenceTooLarge = -21;
inline constexpr int16_t kSequenceRepeated = -22;

// Whether a sequence box may hold `text`: blanks around an optional sign, digits with at most one
// decimal point, an optional exponent. Empty text is not numeric.
bool IsNumericText(const std::string& text);

// The number in a sequence box, to the nearest whole number with halves to the even neighbour;
// 0 for empty text.
long long SequenceNumber(const std::string& text);

// One row of the options window: the box of one result column and its sequence number.
struct ColumnRow {
    std::string caption;
    bool ticked = false;
    std::string sequenceText;
};

struct ColumnChoice {
    int16_t result = 0;  // 0 taken over; kSequenceTooLarge or kSequenceRepeated refused

    // When refused: the message to show and where the focus goes (a row's sequence box, or the first
    // row's tick box when no column is ticked).
    std::string text;
    std::string title;
    MsgIcon icon = MsgIcon::Critical;
    int focusRow = -1;
    bool focusOnTick = false;

    // When taken over, the results window's new save fields.
    std::array<int16_t, kMaxSaveColumns> ColumnSelected{};
    std::array<int16_t, kMaxSaveColumns> ColumnSequence{};
    std::array<std::string, kMaxSaveColumns> ColumnNameBySequence;
    int16_t ColumnCount = 0;
    int16_t TotalSelections = 0;
    // The tick of the column captioned exactly "USN", when there is one: without it no page is broken
    // at a change of branch.
    std::optional<bool> usnTicked;
};

// Checks the rows of the result's columns (at most seven). The ticked columns must carry 0 to n - 1,
// each once. Refused before anything is taken over: no column ticked, a number below 0 or above
// n - 1, a number given twice.
ColumnChoice SelectColumns(const std::vector<ColumnRow>& rows);

// The sequence boxes renumbered as a click on a tick box does: every enabled, ticked row in order gets
// the next number (0, 1, ...), every enabled row not ticked empty text; a row not enabled is left
// as it is (none).
std::vector<std::optional<std::string>> RenumberedSequences(const std::vector<bool>& ticked,
                                                            const std::vector<bool>& enabled);

}  // namespace kyt::query
