#pragma once
// A written .docx read back as one line per body element, so a test compares a document's whole
// structure at a glance:
//   paragraph  "P " + ("c" when centred) + ("^" when it starts on a new page) + "|" + text
//   table      "T " + rows joined by " / ", a row's cells joined by ",", "*" before a row set in bold

#include <pugixml.hpp>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "word/zip_reader.h"

namespace kyt::test {

inline std::string paragraphText(const pugi::xml_node& p, bool* newPage = nullptr, bool* bold = nullptr)
{
    std::string text;
    bool anyRun = false, allBold = true;
    for (pugi::xml_node r : p.children("w:r")) {
        for (pugi::xml_node part : r.children()) {
            const std::string name = part.name();
            if (name == "w:t") {
                text += part.text().get();
                anyRun = true;
                allBold = allBold && r.child("w:rPr").child("w:b");
            } else if (name == "w:tab") {
                text += '\t';
            } else if (name == "w:br" && std::string(part.attribute("w:type").value()) == "page" && newPage) {
                *newPage = true;
            }
        }
    }
    if (bold)
        *bold = anyRun && allBold;
    return text;
}

inline std::vector<std::string> docxOutline(const std::string& path)
{
    const std::string bytes = readFile(path);
    word::detail::ZipReader zip;
    std::string error, xml;
    if (!zip.open(bytes, 100, error) || zip.read("word/document.xml", 64u << 20, xml) != word::detail::ZipStatus::Ok)
        return {"unreadable: " + error};
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.data(), xml.size()))
        return {"not XML"};
    std::vector<std::string> lines;
    for (pugi::xml_node node : doc.child("w:document").child("w:body").children()) {
        const std::string name = node.name();
        if (name == "w:p") {
            bool newPage = false;
            const std::string text = paragraphText(node, &newPage);
            const bool centred = std::string(node.child("w:pPr").child("w:jc").attribute("w:val").value()) == "center";
            lines.push_back(std::string("P ") + (centred ? "c" : "") + (newPage ? "^" : "") + "|" + text);
        } else if (name == "w:tbl") {
            std::string line = "T ";
            bool firstRow = true;
            for (pugi::xml_node tr : node.children("w:tr")) {
                line += firstRow ? "" : " / ";
                firstRow = false;
                std::string cells;
                bool rowBold = true, anyText = false;
                bool firstCell = true;
                for (pugi::xml_node tc : tr.children("w:tc")) {
                    cells += firstCell ? "" : ",";
                    firstCell = false;
                    for (pugi::xml_node p : tc.children("w:p")) {
                        bool bold = false;
                        const std::string text = paragraphText(p, nullptr, &bold);
                        cells += text;
                        if (!text.empty()) {
                            anyText = true;
                            rowBold = rowBold && bold;
                        }
                    }
                }
                line += (anyText && rowBold ? "*" : "") + cells;
            }
            lines.push_back(line);
        }
    }
    return lines;
}

}  // namespace kyt::test
