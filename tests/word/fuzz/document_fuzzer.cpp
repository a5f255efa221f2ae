// libFuzzer target for the document reader. The first byte chooses what the rest is: an even byte
// means the whole input is the file as read from disk (zip damage, foreign formats); an odd one means
// the rest is the text of word/document.xml, packed into a valid package here, so that mutations reach
// the XML walk instead of dying at the zip checksum.

#include <cstddef>
#include <cstdint>
#include <string>

#include "support/zip_bytes.h"
#include "word/document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string bytes = (data[0] & 1) ? kyt::test::zipBytes({{"word/document.xml", rest, true}})
                                            : std::string(reinterpret_cast<const char*>(data), size);
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
