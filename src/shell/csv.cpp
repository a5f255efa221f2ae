#include "shell/csv.h"

#include <string_view>

namespace kyt {

std::string CsvField(const std::string& text)
{
    std::string field = text;
    // A spreadsheet also runs a formula behind a leading tab or carriage return.
    if (!field.empty() && std::string_view("=+-@\t\r").find(field[0]) != std::string_view::npos)
        field.insert(field.begin(), '\'');
    if (field.find_first_of(",\"\r\n") == std::string::npos)
        return field;
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace kyt
