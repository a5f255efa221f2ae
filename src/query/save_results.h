#pragma once
// Saving a query result to a file: the save query rebuilt from the chosen columns and the shown
// result's condition, the branch pages, and the two layouts (one table per branch, or delimited
// lines) written as .docx, .csv, .txt or .pdf. Nothing here asks the user anything.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "query/retrieve.h"

namespace kyt::word {
class DocxWriter;
}

namespace kyt::query {

// How a result is laid out, from the results window's fields.
struct SaveLayout {
    std::string PageTitle;        // empty: the title paragraph is written empty
    bool NoTables = false;        // delimited lines instead of one table per branch
    bool NoPageBreak = false;     // no new page at a change of branch
    std::string Delimit = "Space";  // "Space", "Comma", "Tab" or "SemiColon"
};

enum class SaveFormat { Docx, Csv, Txt, Pdf };

// The format named by the file name's ending (any letter case); none for other endings.
std::optional<SaveFormat> SaveFormatFor(const std::string& path);

// The character written for a delimiter name; a blank for a name it does not know, as the options
// window offers "Space" first.
std::string DelimiterCharacter(const std::string& Delimit);

// The save query: the columns in output order, " CInt((Now()-Cdate(dob1))/365.2) AS Age" for a column
// whose name contains "Age" in any letter case, from Personal and FreePercent under `QueryCondition`.
// Its result (RunOverSelection) is what is written. Refused (false, reason in `error`) when no column is given or a name is empty.
bool BuildSaveSql(const std::vector<std::string>& columnNamesBySequence, const std::string& QueryCondition,
                  std::string& sql, std::string& error);

// The branch of a student: characters 6 and 7 of the USN, fewer when it is shorter.
std::string BranchOfUsn(const std::string& usn);

// Rows [first, end) of one page of the saved output.
struct Page {
    size_t first = 0;
    size_t end = 0;
};

// The pages of a result: one, or with page breaks allowed and a column captioned exactly "USN", a new
// page at every record whose branch differs from the last branch seen (a USN of at most five
// characters has no branch and only starts the watch again).
std::vector<Page> BranchPages(const ResultTable& grid, bool NoPageBreak);

// The document: for each page the title (centred), an empty paragraph and a table of a bold heading
// row, an empty row and the page's records; or, with NoTables, the title, the heading line and one
// line per record, every value followed by the delimiter.
void WriteResultsDocument(const ResultTable& grid, const SaveLayout& layout, word::DocxWriter& writer);
// The delimited layout as UTF-8 text with CR LF line ends and a form feed where a page starts.
std::string ResultsText(const ResultTable& grid, const SaveLayout& layout);
// RFC 4180 with a byte-order mark and CR LF: one heading line, then the records. A value that a
// spreadsheet would run as a formula (one beginning with = + - @, a tab or a carriage return) gets a
// leading apostrophe.
std::string ResultsCsv(const ResultTable& grid);

// The result with every running aggregate that is still at its starting value (no semester N on
// record) emptied: `copy` holds the changed result when there is one to change.
const ResultTable& WithoutPlaceholders(const ResultTable& grid, std::optional<ResultTable>& copy);

// Writes the result to `path` in the format its ending names, aggregates not on record empty. The
// file is made whole beside its final name and renamed into place: on failure (reason in `error`)
// nothing is left under `path` and an existing file there is untouched.
// `cancelled` is looked at while a PDF is made; true stops it and nothing is written.
bool WriteResults(const ResultTable& grid, const SaveLayout& layout, const std::string& path, std::string& error,
                  const std::function<bool()>& cancelled = {});

// A file name for the save dialog from the page title: characters a file name cannot hold become
// blanks; "Student List" when nothing is left. Ends in .docx.
std::string DefaultSaveFileName(const std::string& pageTitle);

}  // namespace kyt::query
