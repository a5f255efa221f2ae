#include <charconv>
#include <cctype>

#include "db/schema.h"

namespace kyt::db {

bool IsAggregateNotOnRecord(std::string_view column, std::string_view value)
{
    constexpr std::string_view prefix = "one_to_";
    if (column.size() != prefix.size() + 1)
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(column[i])) != prefix[i])
            return false;
    const char semesters = column.back();
    if (semesters < '4' || semesters > '8')
        return false;
    double number = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (ec != std::errc() || end != value.data() + value.size())
        return false;
    return number == (semesters <= '6' ? 2.0 : 0.0);
}

}  // namespace kyt::db
