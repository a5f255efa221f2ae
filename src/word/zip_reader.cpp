#include "word/zip_reader.h"

namespace kyt::word::detail {

bool ZipReader::open(const std::string& bytes, size_t maxEntries, std::string& error)
{
    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &zipError);
    if (!source) {
        error = "The file cannot be read into memory.";
        zip_error_fini(&zipError);
        return false;
    }
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &zipError);
    if (!archive && zip_error_code_zip(&zipError) == ZIP_ER_INCONS) {
        // Packages written by Word Online and .NET (sizes in data descriptors) fail the strict check
        // although Word opens them. Read them anyway: every entry is still bounded by the running cap
        // and its checksum is still verified.
        zip_error_fini(&zipError);
        zip_error_init(&zipError);
        archive = zip_open_from_source(source, ZIP_RDONLY, &zipError);
    }
    if (!archive) {
        zip_source_free(source);
        const int code = zip_error_code_zip(&zipError);
        zip_error_fini(&zipError);
        // A package cut short keeps its leading local header but loses the directory at its end.
        const bool looksLikeZip = bytes.compare(0, 4, "PK\x03\x04", 4) == 0;
        if (code == ZIP_ER_NOZIP && !looksLikeZip)
            error = "The file is not a .docx document (it is not a zip package).";
        else
            error = "The file is damaged or incomplete (its zip directory cannot be read).";
        return false;
    }
    zip_error_fini(&zipError);
    archive_.reset(archive);
    entries_ = zip_get_num_entries(archive, 0);
    if (entries_ < 0 || static_cast<size_t>(entries_) > maxEntries) {
        error = "The file holds " + std::to_string(entries_) + " parts, more than the " + std::to_string(maxEntries) +
                " that a document may hold.";
        archive_.reset();
        return false;
    }
    return true;
}

bool ZipReader::has(const char* name) const
{
    return archive_ && zip_name_locate(archive_.get(), name, ZIP_FL_NOCASE) >= 0;
}

std::string ZipReader::name(zip_int64_t index) const
{
    const char* stored = archive_ ? zip_get_name(archive_.get(), static_cast<zip_uint64_t>(index), ZIP_FL_ENC_GUESS) : nullptr;
    return stored ? std::string(stored) : std::string();
}

ZipStatus ZipReader::read(const char* name, size_t cap, std::string& out) const
{
    out.clear();
    if (!archive_)
        return ZipStatus::Missing;
    const zip_int64_t index = zip_name_locate(archive_.get(), name, ZIP_FL_NOCASE);
    if (index < 0)
        return ZipStatus::Missing;

    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive_.get(), static_cast<zip_uint64_t>(index), 0, &stat) != 0)
        return ZipStatus::Damaged;
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
        return ZipStatus::Encrypted;
    if ((stat.valid & ZIP_STAT_SIZE) && stat.size > cap)
        return ZipStatus::TooLarge;

    ZipFile file(zip_fopen_index(archive_.get(), static_cast<zip_uint64_t>(index), 0));
    if (!file) {
        const int code = zip_error_code_zip(zip_get_error(archive_.get()));
        if (code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_ENCRNOTSUPP)
            return ZipStatus::Encrypted;
        if (code == ZIP_ER_COMPNOTSUPP)
            return ZipStatus::Unsupported;
        return ZipStatus::Damaged;
    }
    // The declared size is only a hint: the running cap below is what bounds memory.
    if (stat.valid & ZIP_STAT_SIZE)
        out.reserve(static_cast<size_t>(stat.size));
    char buffer[64 * 1024];
    for (;;) {
        const zip_int64_t n = zip_fread(file.get(), buffer, sizeof buffer);
        if (n < 0) {
            out.clear();
            return ZipStatus::Damaged;  // includes a failed CRC check at the end of the entry
        }
        if (n == 0)
            break;
        if (out.size() + static_cast<size_t>(n) > cap) {
            out.clear();
            out.shrink_to_fit();
            return ZipStatus::TooLarge;
        }
        out.append(buffer, static_cast<size_t>(n));
    }
    return ZipStatus::Ok;
}

}  // namespace kyt::word::detail
