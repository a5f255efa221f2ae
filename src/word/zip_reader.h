#pragma once
// Reading entries of a zip package held in memory, each through a streaming read with a running cap,
// so that an entry that claims one size and inflates to another cannot take more than the cap.

#include <zip.h>

#include <memory>
#include <string>

namespace kyt::word::detail {

struct ZipDiscard {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct ZipFileClose {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using ZipArchive = std::unique_ptr<zip_t, ZipDiscard>;
using ZipFile = std::unique_ptr<zip_file_t, ZipFileClose>;

enum class ZipStatus { Ok, Missing, TooLarge, Encrypted, Unsupported, Damaged };

class ZipReader {
public:
    // `bytes` must outlive the reader. Fails with a reason when the bytes are not a readable zip.
    bool open(const std::string& bytes, size_t maxEntries, std::string& error);
    bool has(const char* name) const;
    // Reads one entry (name compared without letter case, as packages require) into `out`.
    ZipStatus read(const char* name, size_t cap, std::string& out) const;
    zip_int64_t entryCount() const { return entries_; }
    // The name of entry `index` (0 to entryCount() - 1) as stored; empty when it has none.
    std::string name(zip_int64_t index) const;

private:
    ZipArchive archive_;
    zip_int64_t entries_ = 0;
};

}  // namespace kyt::word::detail
