#pragma once
// Numbers in the program's own texts (SQL, Kyt.ini, the error log, generated documents) are written and
// read the same way whatever the user's locale: a window program runs under the officer's locale, and a
// decimal comma there must never reach an SQL text ("one_to_4=72,50").

#include <charconv>
#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace kyt {

// The number with `decimals` decimals, as "%.Nf" writes it in the C locale.
inline std::string FixedText(double value, int decimals)
{
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return result.ec == std::errc() ? std::string(text, result.ptr) : std::string("0");
}

// At most `digits` significant digits, no trailing zeros, as "%.Ng" writes it in the C locale.
inline std::string GeneralText(double value, int digits)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, digits);
    return result.ec == std::errc() ? std::string(text, result.ptr) : std::string("0");
}

// strtod in the C locale: a decimal point is a point whatever the process locale says.
inline double CStrtod(const char* text, char** end = nullptr)
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return strtod_l(text, end, c);
}

}  // namespace kyt
