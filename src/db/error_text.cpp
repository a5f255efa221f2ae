#include "db/error_text.h"

#include <algorithm>
#include <limits>

namespace kyt::db {
namespace {

struct DbErrorEntry {
    int32_t number;
    const char* text;
};

const DbErrorEntry kDbErrors[] = {
    {105121349, "A resume with the same USN already exists in the database. Maybe the student has entered "
                "someone else's USN."},
    {539888598, "One of the fields in the resume document contained invalid characters example: an apostrophe in "
                "the DOB or marks field has some other character other than '%' character OR contained letters "
                "when only digits were expected ( example DOB field ) "},
    {541396598, "One or more of the required fields is blank in the resume."},
    {68551703, "One or more of the fields in the resume has exceeded the capacity of the database field. Try "
               "reducing the number of characters in a field which has lots of characters."},
    {33, "The data base is inconsistent. Easy way to solve is to delete all records from administration option of "
         "Kyt and rescan the records. "},
    {1, nullptr},  // the catch-all, which names the support contact
};

std::string otherErrorText(std::string_view supportContact)
{
    return "Other database error. Please verify the resume once again. If it still does not resolve the problem, "
           "please contact the author at " +
           std::string(supportContact);
}

}  // namespace

void FillDbErrorTable(DbErrorTable& table, std::string_view supportContact)
{
    int entry = 1;
    for (const DbErrorEntry& e : kDbErrors) {
        table.DbErrorCodes[entry] = e.number;
        table.DbErrorTexts[entry] = e.text ? std::string(e.text) : otherErrorText(supportContact);
        ++entry;
    }
    table.DbErrorCount = entry - 1;
}

std::string DbErrorText(const DbErrorTable& table, int32_t& ErrorNumber, std::string_view supportContact)
{
    // The most negative number has no positive counterpart; it is in no table either.
    if (ErrorNumber != std::numeric_limits<int32_t>::min())
        ErrorNumber = ErrorNumber < 0 ? -ErrorNumber : ErrorNumber;
    if (table.DbErrorCount < 1)
        return otherErrorText(supportContact);
    int count = std::min<int>(table.DbErrorCount, static_cast<int>(table.DbErrorCodes.size()) - 1);
    for (int i = 1; i <= count; ++i) {
        if (table.DbErrorCodes[i] == ErrorNumber)
            return table.DbErrorTexts[i];
    }
    return table.DbErrorTexts[count];
}

}  // namespace kyt::db
