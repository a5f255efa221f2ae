#include "query/save_results.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "db/schema.h"
#include "shell/atomic_file.h"
#include "shell/csv.h"
#include "word/application.h"
#include "word/docx_writer.h"

namespace kyt::query {

namespace fs = std::filesystem;

namespace {

constexpr const char* kAgeItem = " CInt((Now()-Cdate(dob1))/365.2) AS Age";
constexpr const char* kLineEnd = "\r\n";

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

int usnColumn(const ResultTable& grid)
{
    // Letter case counts: only the column the query names USN carries the seat number.
    auto it = std::find(grid.fields.begin(), grid.fields.end(), "USN");
    return it == grid.fields.end() ? -1 : static_cast<int>(it - grid.fields.begin());
}

const std::string& value(const std::vector<std::string>& row, size_t column)
{
    static const std::string empty;
    return column < row.size() ? row[column] : empty;
}

std::string delimitedLine(const std::vector<std::string>& values, size_t columns, const std::string& delimiter)
{
    std::string line;
    for (size_t c = 0; c < columns; ++c)
        line += value(values, c) + delimiter;
    return line;
}

bool readWholeFile(const std::string& path, std::string& bytes, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "Cannot read " + path + ".";
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "Cannot read " + path + ".";
        return false;
    }
    return true;
}

bool docxBytes(const ResultTable& grid, const SaveLayout& layout, std::string& bytes, std::string& error)
{
    word::DocxWriter writer;
    writer.title = layout.PageTitle;
    WriteResultsDocument(grid, layout, writer);
    return writer.bytes(bytes, error);
}

bool pdfBytes(const ResultTable& grid, const SaveLayout& layout, const std::string& path, std::string& bytes,
              std::string& error, const std::function<bool()>& cancelled)
{
    if (!word::Application::libreOfficeAvailable()) {
        error = "LibreOffice is not installed, so the results cannot be saved as PDF. "
                "Save them as .docx instead, or install LibreOffice.";
        return false;
    }
    std::string docx;
    if (!docxBytes(grid, layout, docx, error))
        return false;
    std::unique_ptr<word::Application> app = word::Application::start(error);
    if (!app)
        return false;
    app->cancelled = cancelled;
    // LibreOffice names its output after its input, so the document keeps the name chosen for the PDF.
    std::string stem = fs::path(path).stem().string();
    if (stem.empty() || stem[0] == '-')
        stem = "results";
    const std::string docxPath = (fs::path(app->workDir()) / (stem + ".docx")).string();
    if (!WriteFileAtomically(docxPath, docx, error))
        return false;
    std::string pdfPath;
    if (!app->convertToPdf(docxPath, pdfPath, error))
        return false;
    return readWholeFile(pdfPath, bytes, error);
}

}  // namespace

std::optional<SaveFormat> SaveFormatFor(const std::string& path)
{
    const std::string ext = lower(fs::path(path).extension().string());
    if (ext == ".docx")
        return SaveFormat::Docx;
    if (ext == ".csv")
        return SaveFormat::Csv;
    if (ext == ".txt")
        return SaveFormat::Txt;
    if (ext == ".pdf")
        return SaveFormat::Pdf;
    return std::nullopt;
}

std::string DelimiterCharacter(const std::string& Delimit)
{
    if (Delimit == "Comma")
        return ",";
    if (Delimit == "Tab")
        return "\t";
    if (Delimit == "SemiColon")
        return ";";
    return " ";
}

bool BuildSaveSql(const std::vector<std::string>& columnNamesBySequence, const std::string& QueryCondition,
                  std::string& sql, std::string& error)
{
    if (columnNamesBySequence.empty()) {
        error = "No column is chosen for saving.";
        return false;
    }
    std::string text = "SELECT ";
    for (const std::string& name : columnNamesBySequence) {
        if (name.empty()) {
            error = "The column choice for saving is incomplete. Open the advanced save options and press OK.";
            return false;
        }
        text += (lower(name).find("age") != std::string::npos ? std::string(kAgeItem) : name) + ", ";
    }
    text.erase(text.rfind(','));
    sql = text + " FROM Personal, FreePercent " + QueryCondition;
    return true;
}

std::string BranchOfUsn(const std::string& usn)
{
    return usn.size() > 5 ? usn.substr(5, 2) : std::string();
}

std::vector<Page> BranchPages(const ResultTable& grid, bool NoPageBreak)
{
    std::vector<Page> pages{{0, grid.rows.size()}};
    const int usn = usnColumn(grid);
    if (NoPageBreak || usn < 0)
        return pages;
    // The watch looks at each record's USN before any of its values is written, so that a record
    // is never split across two pages when the USN is not its first column.
    std::string remembered;
    for (size_t r = 0; r < grid.rows.size(); ++r) {
        const std::string branch = BranchOfUsn(value(grid.rows[r], static_cast<size_t>(usn)));
        if (remembered.empty()) {
            remembered = branch;
        } else if (branch != remembered) {
            pages.back().end = r;
            pages.push_back({r, grid.rows.size()});
            remembered = branch;
        }
    }
    return pages;
}

void WriteResultsDocument(const ResultTable& grid, const SaveLayout& layout, word::DocxWriter& writer)
{
    const size_t columns = grid.fields.size();
    const std::vector<Page> pages = BranchPages(grid, layout.NoPageBreak);
    if (layout.NoTables) {
        const std::string delimiter = DelimiterCharacter(layout.Delimit);
        const std::string heading = delimitedLine(grid.fields, columns, delimiter);
        for (size_t p = 0; p < pages.size(); ++p) {
            writer.addParagraph(layout.PageTitle, word::Align::Centre, false, p > 0);
            if (p == 0)
                writer.addParagraph("", word::Align::Centre);
            writer.addParagraph(heading, word::Align::Centre);
            for (size_t r = pages[p].first; r < pages[p].end; ++r)
                writer.addParagraph(delimitedLine(grid.rows[r], columns, delimiter), word::Align::Centre);
        }
        return;
    }
    for (size_t p = 0; p < pages.size(); ++p) {
        writer.addParagraph(layout.PageTitle, word::Align::Centre, false, p > 0);
        writer.addParagraph("", word::Align::Centre);
        std::vector<std::vector<std::string>> rows;
        rows.reserve(pages[p].end - pages[p].first + 2);
        rows.push_back(grid.fields);
        rows.emplace_back(columns);  // the empty row under the headings
        for (size_t r = pages[p].first; r < pages[p].end; ++r)
            rows.push_back(grid.rows[r]);
        writer.addTable(rows, true);
    }
}

std::string ResultsText(const ResultTable& grid, const SaveLayout& layout)
{
    const size_t columns = grid.fields.size();
    const std::string delimiter = DelimiterCharacter(layout.Delimit);
    const std::string heading = delimitedLine(grid.fields, columns, delimiter) + kLineEnd;
    std::string text;
    const std::vector<Page> pages = BranchPages(grid, layout.NoPageBreak);
    for (size_t p = 0; p < pages.size(); ++p) {
        if (p > 0)
            text += '\f';
        text += layout.PageTitle + kLineEnd;
        if (p == 0)
            text += kLineEnd;
        text += heading;
        for (size_t r = pages[p].first; r < pages[p].end; ++r)
            text += delimitedLine(grid.rows[r], columns, delimiter) + kLineEnd;
    }
    return text;
}

std::string ResultsCsv(const ResultTable& grid)
{
    const size_t columns = grid.fields.size();
    auto line = [columns](const std::vector<std::string>& values) {
        std::string text;
        for (size_t c = 0; c < columns; ++c) {
            if (c > 0)
                text += ',';
            text += CsvField(value(values, c));
        }
        return text + kLineEnd;
    };
    std::string text = "\xEF\xBB\xBF" + line(grid.fields);
    for (const auto& row : grid.rows)
        text += line(row);
    return text;
}

bool WriteResults(const ResultTable& results, const SaveLayout& layout, const std::string& path, std::string& error,
                  const std::function<bool()>& cancelled)
{
    const std::optional<SaveFormat> format = SaveFormatFor(path);
    if (!format) {
        error = "Results are saved as .docx, .csv, .txt or .pdf; " + path + " names none of these.";
        return false;
    }
    std::optional<ResultTable> copy;
    const ResultTable& grid = WithoutPlaceholders(results, copy);
    std::string bytes;
    switch (*format) {
    case SaveFormat::Docx:
        if (!docxBytes(grid, layout, bytes, error))
            return false;
        break;
    case SaveFormat::Csv:
        bytes = ResultsCsv(grid);
        break;
    case SaveFormat::Txt:
        bytes = ResultsText(grid, layout);
        break;
    case SaveFormat::Pdf:
        if (!pdfBytes(grid, layout, path, bytes, error, cancelled))
            return false;
        break;
    }
    return WriteFileAtomically(path, bytes, error);
}

const ResultTable& WithoutPlaceholders(const ResultTable& grid, std::optional<ResultTable>& copy)
{
    for (size_t c = 0; c < grid.fields.size(); ++c) {
        for (size_t r = 0; r < grid.rows.size(); ++r) {
            if (c >= grid.rows[r].size() || !db::IsAggregateNotOnRecord(grid.fields[c], grid.rows[r][c]))
                continue;
            if (!copy)
                copy = grid;
            copy->rows[r][c].clear();
        }
    }
    return copy ? *copy : grid;
}

std::string DefaultSaveFileName(const std::string& pageTitle)
{
    std::string name;
    for (unsigned char c : pageTitle)
        name += (c < 0x20 || std::string_view("/\\:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos)
                    ? ' '
                    : static_cast<char>(c);
    const size_t first = name.find_first_not_of(" .");
    name = first == std::string::npos ? std::string() : name.substr(first, name.find_last_not_of(" .") - first + 1);
    return (name.empty() ? std::string("Student List") : name) + ".docx";
}

}  // namespace kyt::query
