#pragma once
// The database error table: native error numbers and the sentences a placement officer understands.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kyt::db {

struct DbErrorTable {
    std::array<int32_t, 21> DbErrorCodes{};  // entries 1 to 20
    std::array<std::string, 21> DbErrorTexts;
    int DbErrorCount = 0;
};

// Fills entries 1 to 6; the last, the catch-all, sends the officer to `supportContact`.
void FillDbErrorTable(DbErrorTable& table, std::string_view supportContact);

// The officer's sentence for a native database error number, negative or positive. ErrorNumber is
// left holding the absolute value. A number not in the table gets the last entry's text; before the
// table is filled every number gets the catch-all naming `supportContact`.
std::string DbErrorText(const DbErrorTable& table, int32_t& ErrorNumber, std::string_view supportContact);

}  // namespace kyt::db
