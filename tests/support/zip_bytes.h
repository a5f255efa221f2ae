#pragma once
// Zip packages made part by part inside the tests, for what no writer of ours would write: hostile and
// damaged documents, templates with parts of their own. They are built by the test that uses them
// instead of being committed as opaque files.

#include <string>
#include <vector>

namespace kyt::test {

struct ZipEntry {
    std::string name;
    std::string bytes;
    bool store = false;              // no compression
    const char* password = nullptr;  // traditional zip encryption
};

std::string zipBytes(const std::vector<ZipEntry>& entries);

// The document part around body children, with the usual namespaces bound to `prefix`.
std::string documentXml(const std::string& bodyXml, const std::string& prefix = "w");

// The three parts of a minimal package (content types, package relationships, word/document.xml), for
// a test that alters one; docxWithBody zips them as they are.
std::vector<ZipEntry> docxEntries(const std::string& bodyXml);
std::string docxWithBody(const std::string& bodyXml);

// A table of one-paragraph cells, as body XML.
std::string table(const std::vector<std::vector<std::string>>& rows);

}  // namespace kyt::test
