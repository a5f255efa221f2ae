#pragma once
// A zip package written front to back, so that a part of any size passes through a small buffer: an
// entry's bytes are deflated and written as they come, its local header is completed once it ends
// (the file is seekable), and the central directory follows the last entry, in its ZIP64 form when
// the package outgrows the classic one. libzip keeps every source until the archive is closed, which
// held a whole merged document in memory twice.

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kyt::merge {

class ZipStream {
public:
    ZipStream();
    ~ZipStream();
    ZipStream(const ZipStream&) = delete;
    ZipStream& operator=(const ZipStream&) = delete;

    // Creates `path`, which must not exist yet.
    bool open(const std::string& path);
    // A whole entry at once: deflated, or stored (pictures are packed already).
    bool add(std::string_view name, std::string_view bytes, bool deflate);
    // An entry written in pieces and deflated. `large` makes room in its header for sizes past 4 GiB;
    // without it such an entry fails.
    bool begin(std::string_view name, bool large = false);
    bool write(std::string_view bytes);
    bool end();
    // Writes the central directory and closes the file; `durable`: once it has reached the disk.
    bool finish(bool durable = true);

    // Why the last call failed: what the system said about the file, or why the package cannot be made.
    const std::string& error() const { return error_; }

private:
    struct Entry {
        std::string name;
        uint64_t offset = 0;
        uint64_t packed = 0;
        uint64_t size = 0;
        uint32_t crc = 0;
        uint16_t method = 0;
        bool large = false;
    };
    struct FileClose {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    bool put(const void* data, size_t size);
    bool putHeader(const Entry& entry);
    bool deflateInput(const void* data, size_t size, int flush);
    bool fail(const std::string& why);

    std::unique_ptr<std::FILE, FileClose> file_;
    uint64_t position_ = 0;
    std::vector<Entry> entries_;
    bool inEntry_ = false;
    z_stream deflater_{};
    bool deflaterReady_ = false;
    std::vector<unsigned char> out_;
    std::string packed_;
    std::string error_;
};

}  // namespace kyt::merge
