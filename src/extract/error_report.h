#pragma once
// The rejection report students can act on: Kyt_errors.csv beside the error log, one line per fault of
// every rejected résumé (file, USN and name as the student wrote them, where on the form, which field,
// why). The log stays the officer's account of the run; the report is for mailing and spreadsheets.

#include <string>
#include <vector>

#include "shell/control.h"

namespace kyt {

inline constexpr const char* kErrorReportName = "Kyt_errors.csv";

// One rejected résumé and its faults, in the order they were found.
struct RejectedResume {
    std::string file;  // the document's name, without its folder
    std::string usnAsRead;
    std::string nameAsRead;
    std::vector<Fault> faults;
};

// The report's columns, in order; also the merge fields of a notice.
inline constexpr const char* kErrorReportColumns[] = {"File", "USN", "Name", "Table", "Row", "Cell", "Field", "Reason"};

// A fault's values in the report's columns. Line breaks and tabs become spaces, so every fault is one
// line; a place that does not apply (0) is empty.
std::vector<std::string> ReportValues(const RejectedResume& resume, const Fault& fault);

// The whole report: UTF-8 with a byte order mark, the column heading, then one line per fault; CR LF
// after every line.
std::string ErrorReportCsv(const std::vector<RejectedResume>& rejected);

}  // namespace kyt
