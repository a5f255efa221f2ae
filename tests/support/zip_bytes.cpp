#include "support/zip_bytes.h"

#include <zip.h>

#include <gtest/gtest.h>

namespace kyt::test {

std::string zipBytes(const std::vector<ZipEntry>& entries)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* memory = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(memory);
    zip_t* archive = zip_open_from_source(memory, ZIP_TRUNCATE, &error);
    if (!archive) {
        ADD_FAILURE() << "cannot make a zip in memory";
        zip_source_free(memory);
        return {};
    }
    for (const ZipEntry& entry : entries) {
        zip_source_t* source = zip_source_buffer(archive, entry.bytes.data(), entry.bytes.size(), 0);
        const zip_int64_t index = zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            ADD_FAILURE() << "cannot add " << entry.name << ": " << zip_strerror(archive);
            continue;
        }
        if (entry.store)
            zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
        if (entry.password &&
            zip_file_set_encryption(archive, static_cast<zip_uint64_t>(index), ZIP_EM_TRAD_PKWARE, entry.password) < 0)
            ADD_FAILURE() << "cannot encrypt " << entry.name << ": " << zip_strerror(archive);
    }
    if (zip_close(archive) != 0) {
        ADD_FAILURE() << "cannot finish the zip: " << zip_strerror(archive);
        zip_discard(archive);
    }
    std::string bytes;
    if (zip_source_open(memory) == 0) {
        char buffer[65536];
        zip_int64_t n;
        while ((n = zip_source_read(memory, buffer, sizeof buffer)) > 0)
            bytes.append(buffer, static_cast<size_t>(n));
        zip_source_close(memory);
    }
    zip_source_free(memory);
    zip_error_fini(&error);
    return bytes;
}

std::string documentXml(const std::string& bodyXml, const std::string& prefix)
{
    return R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
           "\n<" + prefix + ":document xmlns:" + prefix +
           R"(="http://schemas.openxmlformats.org/wordprocessingml/2006/main" )"
           R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" )"
           R"(xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006"><)" +
           prefix + ":body>" + bodyXml + "</" + prefix + ":body></" + prefix + ":document>";
}

std::vector<ZipEntry> docxEntries(const std::string& bodyXml)
{
    return {
        {"[Content_Types].xml",
         R"(<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
         R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
         R"(<Default Extension="xml" ContentType="application/xml"/>)"
         R"(<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>)"},
        {"_rels/.rels",
         R"(<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
         R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/></Relationships>)"},
        {"word/document.xml", documentXml(bodyXml)},
    };
}

std::string docxWithBody(const std::string& bodyXml)
{
    return zipBytes(docxEntries(bodyXml));
}

std::string table(const std::vector<std::vector<std::string>>& rows)
{
    std::string xml = "<w:tbl>";
    for (const auto& cells : rows) {
        xml += "<w:tr>";
        for (const std::string& text : cells)
            xml += "<w:tc><w:p><w:r><w:t xml:space=\"preserve\">" + text + "</w:t></w:r></w:p></w:tc>";
        xml += "</w:tr>";
    }
    return xml + "</w:tbl>";
}

}  // namespace kyt::test
