#pragma once
// UTF-8 as documents, the database and the error log must hold it.

#include <cstddef>
#include <string_view>

namespace kyt::word {

// Length of the valid UTF-8 sequence at the start of `s` (1 to 4), or 0 when it is none: a stray or
// missing continuation byte, an overlong form, a surrogate, a value past U+10FFFF, U+FFFE or U+FFFF
// (which XML does not allow either).
inline size_t Utf8Length(std::string_view s)
{
    if (s.empty())
        return 0;
    const auto c = static_cast<unsigned char>(s[0]);
    size_t n;
    unsigned min;
    unsigned value;
    if (c < 0x80)
        return 1;
    if ((c & 0xE0) == 0xC0) {
        n = 2;
        min = 0x80;
        value = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3;
        min = 0x800;
        value = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4;
        min = 0x10000;
        value = c & 0x07;
    } else {
        return 0;
    }
    if (s.size() < n)
        return 0;
    for (size_t i = 1; i < n; ++i) {
        const auto d = static_cast<unsigned char>(s[i]);
        if ((d & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (d & 0x3F);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF) || value == 0xFFFE || value == 0xFFFF)
        return 0;
    return n;
}

// True when `text` is valid UTF-8 without control characters other than tab, carriage return and
// line feed.
inline bool IsCleanText(std::string_view text)
{
    for (size_t at = 0; at < text.size();) {
        const size_t n = Utf8Length(text.substr(at));
        if (n == 0)
            return false;
        const auto c = static_cast<unsigned char>(text[at]);
        if (n == 1 && ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F))
            return false;
        at += n;
    }
    return true;
}

}  // namespace kyt::word
