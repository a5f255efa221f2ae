#include "merge/zip_stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kyt::merge {

namespace {

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kEnd64Signature = 0x06064b50;
constexpr uint32_t kLocator64Signature = 0x07064b50;
constexpr uint16_t kZip64Tag = 0x0001;
constexpr uint16_t kUtf8Names = 0x0800;
constexpr uint16_t kDeflated = 8;
constexpr uint32_t kMax32 = 0xFFFFFFFFu;
constexpr uint16_t kMax16 = 0xFFFF;
// 1 January 1980, the earliest time a zip entry can carry: the same bytes for the same merge.
constexpr uint16_t kDosDate = (1 << 5) | 1;
constexpr size_t kChunk = 256 * 1024;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kZip64ExtraSize = 20;

struct Bytes {
    std::string out;
    void u16(uint16_t v)
    {
        out += static_cast<char>(v & 0xFF);
        out += static_cast<char>(v >> 8);
    }
    void u32(uint32_t v)
    {
        u16(static_cast<uint16_t>(v & 0xFFFF));
        u16(static_cast<uint16_t>(v >> 16));
    }
    void u64(uint64_t v)
    {
        u32(static_cast<uint32_t>(v & kMax32));
        u32(static_cast<uint32_t>(v >> 32));
    }
};

uint32_t clamp32(uint64_t v)
{
    return v >= kMax32 ? kMax32 : static_cast<uint32_t>(v);
}

}  // namespace

ZipStream::ZipStream() : out_(kChunk) {}

ZipStream::~ZipStream()
{
    if (deflaterReady_)
        deflateEnd(&deflater_);
}

bool ZipStream::fail(const std::string& why)
{
    error_ = why;
    return false;
}

bool ZipStream::open(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return fail(std::strerror(errno));
    file_.reset(fdopen(fd, "wb"));
    if (!file_) {
        ::close(fd);
        return fail(std::strerror(errno));
    }
    std::setvbuf(file_.get(), nullptr, _IOFBF, kChunk);
    // Raw deflate at the fastest level: the text parts of a document shrink well at it.
    if (deflateInit2(&deflater_, 1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return fail("the compressor cannot start (out of memory)");
    deflaterReady_ = true;
    return true;
}

bool ZipStream::put(const void* data, size_t size)
{
    if (size > 0 && std::fwrite(data, 1, size, file_.get()) != size)
        return fail(std::strerror(errno ? errno : EIO));
    position_ += size;
    return true;
}

bool ZipStream::putHeader(const Entry& entry)
{
    Bytes h;
    h.u32(kLocalSignature);
    h.u16(entry.large ? 45 : 20);
    h.u16(kUtf8Names);
    h.u16(entry.method);
    h.u16(0);
    h.u16(kDosDate);
    h.u32(entry.crc);
    h.u32(entry.large ? kMax32 : static_cast<uint32_t>(entry.packed));
    h.u32(entry.large ? kMax32 : static_cast<uint32_t>(entry.size));
    h.u16(static_cast<uint16_t>(entry.name.size()));
    h.u16(entry.large ? kZip64ExtraSize : 0);
    h.out += entry.name;
    if (entry.large) {
        h.u16(kZip64Tag);
        h.u16(16);
        h.u64(entry.size);
        h.u64(entry.packed);
    }
    return put(h.out.data(), h.out.size());
}

bool ZipStream::add(std::string_view name, std::string_view bytes, bool deflate)
{
    if (deflate && bytes.size() > kChunk * 64)
        return begin(name, bytes.size() >= kMax32 / 2) && write(bytes) && end();
    Entry entry;
    entry.name = name;
    entry.offset = position_;
    entry.size = bytes.size();
    entry.crc = static_cast<uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
    std::string_view data = bytes;
    if (deflate) {
        // A small part is packed in memory and written with its header complete.
        entry.method = kDeflated;
        deflateReset(&deflater_);
        packed_.resize(deflateBound(&deflater_, static_cast<uLong>(bytes.size())));
        deflater_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
        deflater_.avail_in = static_cast<uInt>(bytes.size());
        deflater_.next_out = reinterpret_cast<Bytef*>(packed_.data());
        deflater_.avail_out = static_cast<uInt>(packed_.size());
        if (::deflate(&deflater_, Z_FINISH) != Z_STREAM_END)
            return fail("the compressor failed");
        data = std::string_view(packed_.data(), packed_.size() - deflater_.avail_out);
    } else if (bytes.size() >= kMax32) {
        return fail("the part " + std::string(name) + " is larger than 4 GiB");
    }
    entry.packed = data.size();
    if (!putHeader(entry) || !put(data.data(), data.size()))
        return false;
    entries_.push_back(std::move(entry));
    return true;
}

bool ZipStream::begin(std::string_view name, bool large)
{
    if (name.size() >= kMax16)
        return fail("a part name is too long");
    Entry entry;
    entry.name = name;
    entry.offset = position_;
    entry.method = kDeflated;
    entry.large = large;
    if (!putHeader(entry))
        return false;
    deflateReset(&deflater_);
    entries_.push_back(std::move(entry));
    inEntry_ = true;
    return true;
}

bool ZipStream::deflateInput(const void* data, size_t size, int flush)
{
    Entry& entry = entries_.back();
    const auto* bytes = static_cast<const Bytef*>(data);
    // zlib counts in 32 bits: hand it the input in slices.
    do {
        const size_t slice = std::min<size_t>(size, 1u << 30);
        deflater_.next_in = const_cast<Bytef*>(bytes);
        deflater_.avail_in = static_cast<uInt>(slice);
        const int mode = slice == size ? flush : Z_NO_FLUSH;
        do {
            deflater_.next_out = out_.data();
            deflater_.avail_out = static_cast<uInt>(out_.size());
            const int status = deflate(&deflater_, mode);
            if (status == Z_STREAM_ERROR)
                return fail("the compressor failed");
            const size_t produced = out_.size() - deflater_.avail_out;
            if (!put(out_.data(), produced))
                return false;
            entry.packed += produced;
        } while (deflater_.avail_out == 0);
        entry.crc = static_cast<uint32_t>(crc32_z(entry.crc, bytes, slice));
        entry.size += slice;
        bytes += slice;
        size -= slice;
    } while (size > 0);
    return true;
}

bool ZipStream::write(std::string_view bytes)
{
    return bytes.empty() || deflateInput(bytes.data(), bytes.size(), Z_NO_FLUSH);
}

bool ZipStream::end()
{
    inEntry_ = false;
    if (!deflateInput("", 0, Z_FINISH))
        return false;
    Entry& entry = entries_.back();
    if (!entry.large && (entry.size >= kMax32 || entry.packed >= kMax32))
        return fail("the part " + entry.name + " came out larger than 4 GiB");
    // The header is completed in place; the data after it stays where it is.
    Bytes fix;
    fix.u32(entry.crc);
    fix.u32(entry.large ? kMax32 : static_cast<uint32_t>(entry.packed));
    fix.u32(entry.large ? kMax32 : static_cast<uint32_t>(entry.size));
    if (std::fflush(file_.get()) != 0)
        return fail(std::strerror(errno));
    const int fd = fileno(file_.get());
    auto patch = [&](const std::string& bytes, uint64_t at) {
        return pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(at)) == static_cast<ssize_t>(bytes.size());
    };
    if (!patch(fix.out, entry.offset + 14))
        return fail(std::strerror(errno));
    if (entry.large) {
        Bytes sizes;
        sizes.u64(entry.size);
        sizes.u64(entry.packed);
        if (!patch(sizes.out, entry.offset + kLocalHeaderSize + entry.name.size() + 4))
            return fail(std::strerror(errno));
    }
    return true;
}

bool ZipStream::finish(bool durable)
{
    if (inEntry_ && !end())
        return false;
    const uint64_t directoryStart = position_;
    bool zip64 = entries_.size() >= kMax16;
    Bytes d;
    for (const Entry& entry : entries_) {
        Bytes extra;
        if (entry.size >= kMax32)
            extra.u64(entry.size);
        if (entry.packed >= kMax32)
            extra.u64(entry.packed);
        if (entry.offset >= kMax32)
            extra.u64(entry.offset);
        const bool needs64 = !extra.out.empty();
        zip64 = zip64 || needs64;
        d.u32(kCentralSignature);
        const uint16_t version = needs64 || entry.large ? 45 : 20;  // as the local header says
        d.u16(static_cast<uint16_t>((3 << 8) | version));       // made on Unix
        d.u16(version);
        d.u16(kUtf8Names);
        d.u16(entry.method);
        d.u16(0);
        d.u16(kDosDate);
        d.u32(entry.crc);
        d.u32(clamp32(entry.packed));
        d.u32(clamp32(entry.size));
        d.u16(static_cast<uint16_t>(entry.name.size()));
        d.u16(needs64 ? static_cast<uint16_t>(4 + extra.out.size()) : 0);
        d.u16(0);
        d.u16(0);
        d.u16(0);
        d.u32(0100644u << 16);  // a regular file, rw-r--r--
        d.u32(clamp32(entry.offset));
        d.out += entry.name;
        if (needs64) {
            d.u16(kZip64Tag);
            d.u16(static_cast<uint16_t>(extra.out.size()));
            d.out += extra.out;
        }
        if (d.out.size() >= kChunk) {
            if (!put(d.out.data(), d.out.size()))
                return false;
            d.out.clear();
        }
    }
    if (!put(d.out.data(), d.out.size()))
        return false;
    const uint64_t directorySize = position_ - directoryStart;
    zip64 = zip64 || directoryStart >= kMax32 || directorySize >= kMax32;
    Bytes e;
    if (zip64) {
        const uint64_t end64 = position_;
        e.u32(kEnd64Signature);
        e.u64(44);
        e.u16((3 << 8) | 45);
        e.u16(45);
        e.u32(0);
        e.u32(0);
        e.u64(entries_.size());
        e.u64(entries_.size());
        e.u64(directorySize);
        e.u64(directoryStart);
        e.u32(kLocator64Signature);
        e.u32(0);
        e.u64(end64);
        e.u32(1);
    }
    const uint16_t count = entries_.size() >= kMax16 ? kMax16 : static_cast<uint16_t>(entries_.size());
    e.u32(kEndSignature);
    e.u16(0);
    e.u16(0);
    e.u16(count);
    e.u16(count);
    e.u32(clamp32(directorySize));
    e.u32(clamp32(directoryStart));
    e.u16(0);
    if (!put(e.out.data(), e.out.size()))
        return false;
    std::FILE* file = file_.release();
    if (std::fflush(file) != 0 || (durable && fsync(fileno(file)) != 0)) {
        const int code = errno;
        std::fclose(file);
        return fail(std::strerror(code));
    }
    if (std::fclose(file) != 0)
        return fail(std::strerror(errno));
    return true;
}

}  // namespace kyt::merge
