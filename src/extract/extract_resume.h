#pragma once
// Reads one résumé (two tables on the college's fixed form) and stores the student: one Personal row,
// one Marks row per education level, the running semester aggregates and the project titles, all in
// one transaction of the connector. Problems go to the pending error text, never to a window.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "shell/control.h"
#include "word/document.h"

namespace kyt {

inline constexpr int16_t kResumeStored = 1;
// Stored in place of the student of the same USN (control.run.ReplaceStored): the old rows went in the
// same transaction.
inline constexpr int16_t kResumeReplaced = 2;
inline constexpr int16_t kResumeRejected = -1;
// The database could not be written for a reason that is not the résumé's (a lock, a full disk, a
// read-only folder, an I/O error): nothing of it was stored and it was not judged; the run must stop.
// The cause is control.session.Connector->EnvironmentFailure().
inline constexpr int16_t kResumeNotRead = -2;
// The progress value that means "this document is finished" (shown as 100).
inline constexpr int16_t kProgressFinished = 2786;

// 1 when the student was stored and committed, -1 when the résumé was rejected (nothing stored), 2 when
// it replaced a stored student. Its faults are in control.run.DocumentFaults.
// Needs control.session.WordApp started and control.session.Connector connected.
int16_t ExtractResume(Control& control, const std::string& Path);
// The same with the document read already (a run reads the next .docx while the database commits the
// current student). `document` null means it could not be read, for the reason `openError`.
int16_t ExtractResume(Control& control, const std::string& Path, std::unique_ptr<word::Document> document,
                      const std::string& openError);

// The cells of one table row, each cleaned, cell k at position k - 1, empty texts past the row's end.
// False when the table or row is missing or the row has more than 21 cells.
using TableRow = std::array<std::string, 21>;
bool GetTableRow(const word::Document& document, int16_t TableIndex, int16_t RowIndex, TableRow& cells);

// Shows the current document's progress: at most 97 until the finished value, which shows as 100.
// Changes the caller's value as it shows it.
void ShowResumeProgress(Control& control, int16_t& Percent);

// The text of a cell row read "as a number": a decimal number from the start, spaces ignored, stopping at
// the first other character; 0 when there is none. False when the nearest whole number is outside 32 bits.
bool LeadingNumber(const std::string& text, int32_t& value);

}  // namespace kyt
