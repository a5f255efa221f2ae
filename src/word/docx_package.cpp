#include "word/docx_package.h"

#include <zip.h>

#include <memory>
#include <vector>

#include "word/zip_reader.h"

namespace kyt::word::detail {

namespace {

constexpr const char* kContentTypes =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\n"
    R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
    R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
    R"(<Default Extension="xml" ContentType="application/xml"/>)"
    R"(<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>)"
    R"(<Override PartName="/word/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml"/>)"
    R"(<Override PartName="/docProps/core.xml" ContentType="application/vnd.openxmlformats-package.core-properties+xml"/>)"
    R"(<Override PartName="/docProps/app.xml" ContentType="application/vnd.openxmlformats-officedocument.extended-properties+xml"/>)"
    R"(</Types>)";

constexpr const char* kPackageRels =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\n"
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/>)"
    R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties" Target="docProps/core.xml"/>)"
    R"(<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties" Target="docProps/app.xml"/>)"
    R"(</Relationships>)";

constexpr const char* kDocumentRels =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\n"
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>)"
    R"(</Relationships>)";

constexpr const char* kStyles =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\n"
    R"(<w:styles xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main">)"
    R"(<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii="Calibri" w:hAnsi="Calibri" w:eastAsia="Calibri" w:cs="Calibri"/>)"
    R"(<w:sz w:val="20"/><w:szCs w:val="20"/><w:lang w:val="en-IN"/></w:rPr></w:rPrDefault>)"
    R"(<w:pPrDefault><w:pPr><w:spacing w:after="0" w:line="240" w:lineRule="auto"/></w:pPr></w:pPrDefault></w:docDefaults>)"
    R"(<w:style w:type="paragraph" w:default="1" w:styleId="Normal"><w:name w:val="Normal"/><w:qFormat/></w:style>)"
    R"(<w:style w:type="table" w:default="1" w:styleId="TableNormal"><w:name w:val="Normal Table"/><w:uiPriority w:val="99"/>)"
    R"(<w:semiHidden/><w:tblPr><w:tblInd w:w="0" w:type="dxa"/><w:tblCellMar><w:top w:w="0" w:type="dxa"/>)"
    R"(<w:left w:w="108" w:type="dxa"/><w:bottom w:w="0" w:type="dxa"/><w:right w:w="108" w:type="dxa"/></w:tblCellMar></w:tblPr></w:style>)"
    R"(</w:styles>)";

std::string coreProperties(const std::string& title)
{
    return R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
           "\n"
           R"(<cp:coreProperties xmlns:cp="http://schemas.openxmlformats.org/package/2006/metadata/core-properties" )"
           R"(xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:title>)" +
           xmlText(title) + R"(</dc:title><dc:creator>Kyt</dc:creator></cp:coreProperties>)";
}

constexpr const char* kAppProperties =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    "\n"
    R"(<Properties xmlns="http://schemas.openxmlformats.org/officeDocument/2006/extended-properties">)"
    R"(<Application>Kyt</Application></Properties>)";

std::string documentXml(const std::string& body, bool landscape)
{
    // A4, margins of 2 cm. A body must not end with a table: word processors need a paragraph there.
    const char* size = landscape ? R"(<w:pgSz w:w="16838" w:h="11906" w:orient="landscape"/>)"
                                 : R"(<w:pgSz w:w="11906" w:h="16838"/>)";
    return R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
           "\n"
           R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main" )"
           R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><w:body>)" +
           body + "<w:p/><w:sectPr>" + size +
           R"(<w:pgMar w:top="1134" w:right="1134" w:bottom="1134" w:left="1134" w:header="567" w:footer="567" w:gutter="0"/>)"
           R"(</w:sectPr></w:body></w:document>)";
}

// Length of the valid UTF-8 sequence at the start of `s`, or 0.
size_t utf8Length(std::string_view s)
{
    const auto c = static_cast<unsigned char>(s[0]);
    size_t n;
    unsigned min;
    unsigned value;
    if (c < 0x80)
        return 1;
    if ((c & 0xE0) == 0xC0) {
        n = 2;
        min = 0x80;
        value = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3;
        min = 0x800;
        value = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4;
        min = 0x10000;
        value = c & 0x07;
    } else {
        return 0;
    }
    if (s.size() < n)
        return 0;
    for (size_t i = 1; i < n; ++i) {
        const auto d = static_cast<unsigned char>(s[i]);
        if ((d & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (d & 0x3F);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF) || value == 0xFFFE || value == 0xFFFF)
        return 0;
    return n;
}

}  // namespace

std::string xmlText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        const size_t n = utf8Length(text.substr(i));
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        if (n > 1) {
            out.append(text.substr(i, n));
            i += n;
            continue;
        }
        ++i;
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r')
                out += c;
        }
    }
    return out;
}

std::string runsXml(std::string_view text, const RunStyle& style)
{
    std::string props;
    if (style.bold)
        props += "<w:b/><w:bCs/>";
    if (style.italic)
        props += "<w:i/><w:iCs/>";
    if (style.colour)
        props += std::string(R"(<w:color w:val=")") + style.colour + R"("/>)";
    if (style.halfPoints > 0) {
        const std::string v = std::to_string(style.halfPoints);
        props += R"(<w:sz w:val=")" + v + R"("/><w:szCs w:val=")" + v + R"("/>)";
    }
    std::string out = "<w:r>";
    if (!props.empty())
        out += "<w:rPr>" + props + "</w:rPr>";
    std::string pending;
    auto flush = [&] {
        if (!pending.empty())
            out += R"(<w:t xml:space="preserve">)" + xmlText(pending) + "</w:t>";
        pending.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\t') {
            flush();
            out += "<w:tab/>";
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            flush();
            out += "<w:br/>";
        } else {
            pending += c;
        }
    }
    flush();
    out += "</w:r>";
    return out;
}

namespace {

struct Part {
    const char* name;
    std::string bytes;
};

std::vector<Part> packageParts(const std::string& bodyXml, const std::string& title, bool landscape)
{
    return {
        {"[Content_Types].xml", kContentTypes},
        {"_rels/.rels", kPackageRels},
        {"word/document.xml", documentXml(bodyXml, landscape)},
        {"word/_rels/document.xml.rels", kDocumentRels},
        {"word/styles.xml", kStyles},
        {"docProps/core.xml", coreProperties(title)},
        {"docProps/app.xml", kAppProperties},
    };
}

bool addParts(zip_t* archive, const std::vector<Part>& parts, std::string& error)
{
    for (const Part& part : parts) {
        zip_source_t* source = zip_source_buffer(archive, part.bytes.data(), part.bytes.size(), 0);
        if (!source || zip_file_add(archive, part.name, source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
            if (source)
                zip_source_free(source);
            error = zip_strerror(archive);
            return false;
        }
    }
    return true;
}

struct SourceFree {
    void operator()(zip_source_t* source) const { zip_source_free(source); }
};

}  // namespace

bool writePackage(const std::string& path, const std::string& bodyXml, const std::string& title, bool landscape,
                  std::string& error)
{
    const std::vector<Part> parts = packageParts(bodyXml, title, landscape);
    int code = 0;
    ZipArchive archive(zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code));
    if (!archive) {
        zip_error_t zipError;
        zip_error_init_with_code(&zipError, code);
        error = "Cannot create " + path + ": " + zip_error_strerror(&zipError);
        zip_error_fini(&zipError);
        return false;
    }
    if (!addParts(archive.get(), parts, error)) {
        error = "Cannot write " + path + ": " + error;
        return false;
    }
    // zip_close writes a temporary file and renames it, so a failed save leaves no half-written file.
    if (zip_close(archive.get()) != 0) {
        error = "Cannot write " + path + ": " + zip_strerror(archive.get());
        return false;
    }
    archive.release();
    return true;
}

bool packageBytes(const std::string& bodyXml, const std::string& title, bool landscape, std::string& out,
                  std::string& error)
{
    const std::vector<Part> parts = packageParts(bodyXml, title, landscape);
    zip_error_t zipError;
    zip_error_init(&zipError);
    std::unique_ptr<zip_source_t, SourceFree> buffer(zip_source_buffer_create(nullptr, 0, 0, &zipError));
    if (!buffer) {
        error = std::string("Cannot make the document in memory: ") + zip_error_strerror(&zipError);
        zip_error_fini(&zipError);
        return false;
    }
    ZipArchive archive(zip_open_from_source(buffer.get(), ZIP_TRUNCATE, &zipError));
    if (!archive) {
        error = std::string("Cannot make the document in memory: ") + zip_error_strerror(&zipError);
        zip_error_fini(&zipError);
        return false;
    }
    zip_error_fini(&zipError);
    zip_source_keep(buffer.get());  // the archive frees its reference at close; the bytes are read after
    if (!addParts(archive.get(), parts, error)) {
        error = "Cannot make the document in memory: " + error;
        return false;
    }
    if (zip_close(archive.get()) != 0) {
        error = std::string("Cannot make the document in memory: ") + zip_strerror(archive.get());
        return false;
    }
    archive.release();

    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_source_stat(buffer.get(), &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE) ||
        zip_source_open(buffer.get()) != 0) {
        error = "Cannot read back the document made in memory.";
        return false;
    }
    out.assign(static_cast<size_t>(stat.size), '\0');
    const zip_int64_t read = zip_source_read(buffer.get(), out.data(), stat.size);
    zip_source_close(buffer.get());
    if (read != static_cast<zip_int64_t>(stat.size)) {
        error = "Cannot read back the document made in memory.";
        out.clear();
        return false;
    }
    return true;
}

}  // namespace kyt::word::detail
