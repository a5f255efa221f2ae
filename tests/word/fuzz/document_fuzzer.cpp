// libFuzzer target for the document reader. The first byte chooses what the rest is: an even byte
// means the whole input is the file as read from disk (zip damage, foreign formats); an odd one means
// the rest is the text of word/document.xml, packed into a valid package here, so that mutations reach
// the XML walk instead of dying at the zip checksum.

#include <zip.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "word/document.h"

namespace {

std::string packDocumentXml(const std::string& xml)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* memory = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(memory);
    std::string bytes;
    if (zip_t* archive = zip_open_from_source(memory, ZIP_TRUNCATE, &error)) {
        zip_source_t* part = zip_source_buffer(archive, xml.data(), xml.size(), 0);
        const zip_int64_t index = zip_file_add(archive, "word/document.xml", part, 0);
        if (index < 0)
            zip_source_free(part);
        else
            zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
        if (zip_close(archive) != 0)
            zip_discard(archive);
        if (zip_source_open(memory) == 0) {
            char buffer[65536];
            zip_int64_t n;
            while ((n = zip_source_read(memory, buffer, sizeof buffer)) > 0)
                bytes.append(buffer, static_cast<size_t>(n));
            zip_source_close(memory);
        }
    }
    zip_source_free(memory);
    zip_error_fini(&error);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string bytes = (data[0] & 1) ? packDocumentXml(rest) : std::string(reinterpret_cast<const char*>(data), size);
    std::string error;
    auto doc = kyt::word::Document::openBytes(bytes, error);
    if (!doc) {
        if (error.empty())
            __builtin_trap();  // every refusal carries a reason
        return 0;
    }
    size_t total = 0;
    for (int t = 1; t <= doc->tableCount(); ++t)
        for (int r = 1; doc->row(t, r); ++r)
            for (const std::string& cell : *doc->row(t, r)) {
                if (cell.size() < 2 || cell[cell.size() - 2] != '\r' || cell.back() != '\a')
                    __builtin_trap();  // every cell ends with the cell mark
                total += cell.size();
            }
    return static_cast<int>(total & 0);
}
