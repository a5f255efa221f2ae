#pragma once
// Pieces shared by everything that writes .docx files: text made safe for XML and the package around
// a document body.

#include <string>
#include <string_view>

namespace kyt::word::detail {

// The text escaped for XML, with bytes that are not valid UTF-8 replaced by U+FFFD and control
// characters dropped: one bad byte would make a word processor refuse the whole file.
std::string xmlText(std::string_view text);

struct RunStyle {
    bool bold = false;
    bool italic = false;
    int halfPoints = 0;       // 0: the document default
    const char* colour = nullptr;  // "RRGGBB" or null
};

// One or more runs for `text`: tabs become tab marks, line feeds (and CR LF) line breaks.
std::string runsXml(std::string_view text, const RunStyle& style = {});

// Writes a complete package (content types, relationships, styles, properties) around `bodyXml`, the
// children of w:body without the section properties. Landscape pages when `landscape`.
bool writePackage(const std::string& path, const std::string& bodyXml, const std::string& title, bool landscape,
                  std::string& error);
// The same package as bytes in memory, for callers that write the file themselves.
bool packageBytes(const std::string& bodyXml, const std::string& title, bool landscape, std::string& out,
                  std::string& error);

}  // namespace kyt::word::detail
