#pragma once
// Reading back what the merge wrote: its parts, the text of the body as the reader sees it, and the
// checks every merged document must pass whatever its template.

#include <map>
#include <string>

namespace kyt::test {

struct MergedDocx {
    explicit MergedDocx(const std::string& path);

    std::map<std::string, std::string> parts;  // every entry, by name
    const std::string& part(const std::string& name) const { return parts.count(name) ? parts.at(name) : none; }
    // The text of a part: every w:t and w:instrText, paragraphs ended with '\n'.
    std::string text(const std::string& name) const;
    std::string bodyText() const { return text("word/document.xml"); }
    int sectionCount() const;  // w:sectPr elements in the body

private:
    std::string none;
};

// Well-formed parts, unique drawing and bookmark ids, every relationship target present, every part
// with a content type. Adds a failure for each fault found.
void expectValidPackage(const MergedDocx& docx);

}  // namespace kyt::test
