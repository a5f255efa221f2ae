#pragma once
// One PDF report of a drive or a batch for the principal's meeting: what was selected and how, the
// tables of the statistics, the charts, and for a drive its shortlist with the outcomes.

#include <string>
#include <vector>

#include "drives/drive_store.h"
#include "drives/statistics.h"

namespace kyt::drives {

// Writes the report to `path` (A4 pages). `shortlist` is the drive's, or null for a batch or a query
// result. The file is made whole or not at all; `error` says why not.
bool WriteReport(const Statistics& statistics, const std::vector<ShortlistEntry>* shortlist, const std::string& path,
                 std::string& error);

}  // namespace kyt::drives
