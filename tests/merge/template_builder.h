#pragma once
// Target format documents made inside the tests: fields as the word processor writes them, and whole
// templates around a body, a header and a footer; and the merge of one into a document to read back.

#include <memory>
#include <string>
#include <vector>

#include "merge/merge_template.h"
#include "merged_docx.h"
#include "support/temp_dir.h"

namespace kyt::test {

// Complex field with its code split over the given runs.
std::string complexField(const std::vector<std::string>& codePieces, const std::string& shown = "«x»",
                         const std::string& rPr = "");
std::string simpleField(const std::string& code);
std::string p(const std::string& runs);

// A part beside the main one, related to it as rId10, rId11 ... in the order given. Short relationship
// and content types ("header") are WordprocessingML's; others are given whole.
struct ExtraPart {
    std::string name;  // "word/header1.xml"
    std::string relType;
    std::string contentType;
    std::string xml;
};
std::string templateWith(const std::string& body, const std::vector<ExtraPart>& parts);
// A WordprocessingML part: its root element (hdr, footnotes, numbering ...) around `children`.
std::string wordXml(const std::string& root, const std::string& children);

// A template with a header (`headerBody`) and a footer (`footerBody`) referenced from the section.
std::string templateWithParts(const std::string& body, const std::string& headerBody, const std::string& footerBody);

struct Merged {
    std::string error;
    std::vector<std::string> unknown;
    std::unique_ptr<MergedDocx> docx;
};

// Loads the template, turns bare names into merge fields, compiles and writes every row into out.docx
// of `dir`.
Merged mergeBytes(const TempDir& dir, const std::string& bytes, const merge::DataSource& data);

}  // namespace kyt::test
