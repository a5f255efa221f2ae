#include "extract/error_report.h"

#include "extract/error_log.h"
#include "shell/csv.h"

namespace kyt {

namespace {

// The text on one line: each line break (CR LF, CR or LF) and tab becomes a space; the rest stays as
// it was reported, spacing included.
std::string OneLine(const std::string& text)
{
    std::string line;
    line.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;  // the LF that follows stands for the pair
        line += (c == '\r' || c == '\n' || c == '\t') ? ' ' : c;
    }
    const size_t first = line.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : line.substr(first, line.find_last_not_of(' ') - first + 1);
}

std::string Place(int number)
{
    return number > 0 ? std::to_string(number) : std::string();
}

}  // namespace

std::vector<std::string> ReportValues(const RejectedResume& resume, const Fault& fault)
{
    return {LogSafeName(resume.file), OneLine(resume.usnAsRead), OneLine(resume.nameAsRead),
            Place(fault.place.table), Place(fault.place.row),         Place(fault.place.cell),
            fault.place.field,        OneLine(fault.reason)};
}

std::string ErrorReportCsv(const std::vector<RejectedResume>& rejected)
{
    auto line = [](const std::vector<std::string>& values) {
        std::string text;
        for (size_t c = 0; c < values.size(); ++c)
            text += (c > 0 ? "," : "") + CsvField(values[c]);
        return text + "\r\n";
    };
    std::string csv = "\xEF\xBB\xBF" + line({std::begin(kErrorReportColumns), std::end(kErrorReportColumns)});
    for (const RejectedResume& resume : rejected)
        for (const Fault& fault : resume.faults)
            csv += line(ReportValues(resume, fault));
    return csv;
}

}  // namespace kyt
