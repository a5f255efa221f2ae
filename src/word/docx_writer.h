#pragma once
// Writes a new .docx from paragraphs, tables and page breaks.

#include <string>
#include <vector>

namespace kyt::word {

enum class Align { Left, Centre };

class DocxWriter {
public:
    // `newPage`: the paragraph starts on a new page, as text typed after a page break does.
    void addParagraph(const std::string& text, Align align = Align::Left, bool bold = false, bool newPage = false);
    // The first row is the heading row and is set in bold when `boldHeading`.
    void addTable(const std::vector<std::vector<std::string>>& rows, bool boldHeading = true);
    void addPageBreak();
    bool save(const std::string& path, std::string& error) const;
    // The whole .docx as bytes, for a caller that writes the file itself (atomically, or converted).
    bool bytes(std::string& out, std::string& error) const;
    std::string bodyXml() const { return body_; }

    // Pages turned sideways, for tables of many columns.
    bool landscape = false;
    std::string title;  // the document's title property

private:
    std::string body_;
    bool endsWithTable_ = false;
};

}  // namespace kyt::word
