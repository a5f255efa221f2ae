#pragma once
// Builds .docx packages in memory for tests, so hostile and unusual documents are made by the test
// that uses them instead of being committed as opaque files.

#include <string>
#include <utility>
#include <vector>

namespace kyt::test {

struct ZipEntry {
    std::string name;
    std::string bytes;
    bool store = false;            // no compression
    const char* password = nullptr;  // traditional zip encryption
};

std::string zipBytes(const std::vector<ZipEntry>& entries);

// The document part around body children, with the usual namespaces.
std::string documentXml(const std::string& bodyXml, const std::string& prefix = "w");

// A minimal package: content types, package relationships and word/document.xml.
std::string docxWithBody(const std::string& bodyXml);
std::vector<ZipEntry> docxEntries(const std::string& bodyXml);

// XML pieces: a paragraph of one run, a cell of paragraphs, a row of cells, a table of rows.
std::string para(const std::string& text);
std::string cell(const std::string& text);
std::string row(const std::vector<std::string>& cellTexts);
std::string table(const std::vector<std::vector<std::string>>& rows);

}  // namespace kyt::test
