#pragma once
// Runs LibreOffice directly from tests (to make documents in its own flavour, or to check that it
// accepts ours), with a private profile so a user's running LibreOffice does not interfere.

#include <string>
#include <vector>

namespace kyt::test {

// Converts `files` to `format` ("odt", "docx", "pdf") into `outDir`; false when LibreOffice failed.
bool libreOfficeConvert(const std::vector<std::string>& files, const std::string& format, const std::string& outDir,
                        const std::string& profileDir);

// The text of a PDF as a reader sees it, by pdftotext; empty when pdftotext is not installed.
std::string pdfText(const std::string& pdf);

}  // namespace kyt::test
