#pragma once
// Notices to the students whose résumés a run refused: one document per refused résumé, merged from a
// template the office writes, so that each student can be sent what to mend. The merge fields are the
// columns of Kyt_errors.csv; a résumé refused for several faults has one line per fault in the columns
// of a fault (Table, Row, Cell, Field, Reason), and Faults holds each fault as one line of words.

#include <cstdint>
#include <string>
#include <vector>

#include "shell/control.h"

namespace kyt {

enum class NoticesOutcome { Written, Refused, Failed };

struct NoticesResult {
    NoticesOutcome outcome = NoticesOutcome::Failed;
    std::string description;         // Refused, Failed: why, in words for the officer
    std::vector<std::string> files;  // every notice written, in the order the run read the résumés
};

// The merge fields a notice template may use.
std::vector<std::string> NoticeFields();

// Writes the notices of run `runId` into `folder` from the template `templatePath` (.docx), each named
// after the résumé it answers ("a.docx" gives "a - notice.docx"). Refused before anything is written
// when the run is unknown, the folder is the run's own folder of résumés (the next run would read the
// notices as résumés), the template is the database, or the template has fields a notice does not.
NoticesResult WriteRejectionNotices(Control& control, int64_t runId, const std::string& templatePath,
                                    const std::string& folder);

}  // namespace kyt
