#include "word/docx_writer.h"

#include <algorithm>
#include <vector>

#include "word/docx_package.h"

namespace kyt::word {

using detail::runsXml;
using detail::RunStyle;

void DocxWriter::addParagraph(const std::string& text, Align align, bool bold, bool newPage)
{
    body_ += "<w:p>";
    if (align == Align::Centre)
        body_ += R"(<w:pPr><w:jc w:val="center"/></w:pPr>)";
    if (newPage)
        body_ += R"(<w:r><w:br w:type="page"/></w:r>)";
    if (!text.empty())
        body_ += runsXml(text, RunStyle{bold});
    body_ += "</w:p>";
    endsWithTable_ = false;
}

void DocxWriter::addTable(const std::vector<std::vector<std::string>>& rows, bool boldHeading)
{
    size_t columns = 0;
    for (const auto& row : rows)
        columns = std::max(columns, row.size());
    if (rows.empty() || columns == 0)
        return;
    // Two tables with nothing between them would be joined into one by the word processor.
    if (endsWithTable_)
        body_ += "<w:p/>";

    const int textWidth = landscape ? 16838 - 2 * 1134 : 11906 - 2 * 1134;
    // Each column gets the page's width in proportion to its longest text (within bounds), so that an
    // e-mail address is not broken mid-word while a column of two-letter codes takes a column's share.
    std::vector<size_t> longest(columns, 0);
    for (const auto& row : rows)
        for (size_t c = 0; c < row.size(); ++c) {
            size_t characters = 0;
            for (unsigned char byte : row[c])
                characters += (byte & 0xC0) != 0x80 ? 1 : 0;
            longest[c] = std::max(longest[c], characters);
        }
    size_t total = 0;
    for (size_t& length : longest)
        total += (length = std::clamp<size_t>(length, 4, 40));
    std::vector<std::string> widths(columns);
    for (size_t c = 0; c < columns; ++c)
        widths[c] = std::to_string(static_cast<size_t>(textWidth) * longest[c] / total);
    body_ += R"(<w:tbl><w:tblPr><w:tblW w:w="0" w:type="auto"/><w:tblBorders>)"
             R"(<w:top w:val="single" w:sz="4" w:space="0" w:color="auto"/>)"
             R"(<w:left w:val="single" w:sz="4" w:space="0" w:color="auto"/>)"
             R"(<w:bottom w:val="single" w:sz="4" w:space="0" w:color="auto"/>)"
             R"(<w:right w:val="single" w:sz="4" w:space="0" w:color="auto"/>)"
             R"(<w:insideH w:val="single" w:sz="4" w:space="0" w:color="auto"/>)"
             R"(<w:insideV w:val="single" w:sz="4" w:space="0" w:color="auto"/>)"
             R"(</w:tblBorders><w:tblLayout w:type="fixed"/><w:tblLook w:val="04A0"/></w:tblPr><w:tblGrid>)";
    for (size_t c = 0; c < columns; ++c)
        body_ += R"(<w:gridCol w:w=")" + widths[c] + R"("/>)";
    body_ += "</w:tblGrid>";
    for (size_t r = 0; r < rows.size(); ++r) {
        const bool heading = r == 0 && boldHeading;
        body_ += "<w:tr>";
        if (heading)
            body_ += "<w:trPr><w:tblHeader/></w:trPr>";
        for (size_t c = 0; c < columns; ++c) {
            body_ += R"(<w:tc><w:tcPr><w:tcW w:w=")" + widths[c] + R"(" w:type="dxa"/></w:tcPr><w:p>)";
            // Every cell needs a paragraph, also an empty one, or Word refuses the file.
            if (c < rows[r].size() && !rows[r][c].empty())
                body_ += runsXml(rows[r][c], RunStyle{heading});
            body_ += "</w:p></w:tc>";
        }
        body_ += "</w:tr>";
    }
    body_ += "</w:tbl>";
    endsWithTable_ = true;
}

void DocxWriter::addPageBreak()
{
    body_ += R"(<w:p><w:r><w:br w:type="page"/></w:r></w:p>)";
    endsWithTable_ = false;
}

bool DocxWriter::save(const std::string& path, std::string& error) const
{
    return detail::writePackage(path, body_, title, landscape, error);
}

bool DocxWriter::bytes(std::string& out, std::string& error) const
{
    return detail::packageBytes(body_, title, landscape, out, error);
}

}  // namespace kyt::word
