#include "extract/validation.h"

namespace kyt {

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
    const size_t first = cleaned.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    const size_t last = cleaned.find_last_not_of(' ');
    return cleaned.substr(first, last - first + 1);
}

}  // namespace kyt
