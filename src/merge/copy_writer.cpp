#include "merge/template_compiler.h"

#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <atomic>
#include <filesystem>

#include "merge/template_package.h"
#include "word/docx_package.h"
#include "word/zip_reader.h"

namespace kyt::merge {

namespace fs = std::filesystem;
using namespace detail;
using word::detail::ZipArchive;

namespace {

// Bookmark names longer than this are cut by the word processor.
constexpr size_t kMaxBookmarkName = 40;

std::string runsFor(const Slot& slot, const std::string& value)
{
    if (value.empty())
        return {};
    const std::string textTag = slot.w.empty() ? std::string(slot.inCode ? "instrText" : "t")
                                               : slot.w + (slot.inCode ? ":instrText" : ":t");
    const std::string p = slot.w.empty() ? std::string() : slot.w + ":";
    std::string out = slot.runOpen;
    std::string pending;
    auto flush = [&] {
        if (!pending.empty())
            out += "<" + textTag + " xml:space=\"preserve\">" + word::detail::xmlText(pending) + "</" + textTag + ">";
        pending.clear();
    };
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\t' && !slot.inCode) {
            flush();
            out += "<" + p + "tab/>";
        } else if ((c == '\n' || c == '\r') && !slot.inCode) {
            if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
                ++i;
            flush();
            out += "<" + p + "br/>";
        } else {
            pending += c;
        }
    }
    flush();
    out += "</" + p + "r>";
    return out;
}

}  // namespace

CompiledTemplate::CompiledTemplate(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
CompiledTemplate::~CompiledTemplate() = default;

void CompiledTemplate::Impl::render(const Segments& segments, const DataSource& data, size_t copy, size_t& row,
                                    std::string& out) const
{
    for (const Segment& segment : segments) {
        if (segment.slot < 0) {
            out += segment.text;
            continue;
        }
        const Slot& slot = slotList[static_cast<size_t>(segment.slot)];
        switch (slot.kind) {
        case Slot::Kind::Value: {
            const std::string* value = nullptr;
            if (row < data.rows.size() && slot.column >= 0 &&
                static_cast<size_t>(slot.column) < data.rows[row].size())
                value = &data.rows[row][static_cast<size_t>(slot.column)];
            if (value)
                out += runsFor(slot, formatFieldValue(slot.code, *value));
            break;
        }
        case Slot::Kind::RecordNumber:
            out += runsFor(slot, formatFieldValue(slot.code, std::to_string(row + 1)));
            break;
        case Slot::Kind::Next:
            ++row;
            break;
        case Slot::Kind::Id:
            out += std::to_string(slot.id + static_cast<long long>(copy) * slot.stride);
            break;
        case Slot::Kind::Name:
            if (copy == 0) {
                out += word::detail::xmlText(slot.name);
            } else {
                const std::string suffix = "_" + std::to_string(copy + 1);
                std::string name = slot.name.substr(0, kMaxBookmarkName > suffix.size()
                                                           ? std::min(slot.name.size(), kMaxBookmarkName - suffix.size())
                                                           : 0);
                out += word::detail::xmlText(name + suffix);
            }
            break;
        case Slot::Kind::PartRef:
            if (copy == 0)
                out += perRecord[slot.perRecordPart].relId;
            else
                out += "kytR" + std::to_string(slot.perRecordPart) + "_" + std::to_string(copy);
            break;
        }
    }
}

std::string CompiledTemplate::documentXml(const DataSource& data, size_t first, size_t count) const
{
    const size_t end = std::min(data.rows.size(), first + count);
    const size_t perCopy = 1 + static_cast<size_t>(d->nextsPerCopy);
    const size_t copies = end > first ? (end - first + perCopy - 1) / perCopy : 1;
    std::string out;
    size_t estimate = d->head.size() + d->tail.size();
    for (const Segment& s : d->common)
        estimate += s.text.size() + (s.slot >= 0 ? 24 : 0);
    out.reserve(estimate * copies + 4096);
    out += d->head;
    size_t row = first;
    for (size_t copy = 0; copy < copies; ++copy) {
        d->render(d->common, data, copy, row, out);
        d->render(copy + 1 == copies ? d->lastAtEnd : d->lastWithBreak, data, copy, row, out);
        ++row;
    }
    out += d->tail;
    return out;
}

namespace {

struct TempFile {
    std::string path;
    bool keep = false;
    ~TempFile()
    {
        if (!keep && !path.empty()) {
            std::error_code ec;
            fs::remove(path, ec);
        }
    }
};

std::string copyName(const std::string& partName, size_t copy)
{
    const size_t slash = partName.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : partName.substr(0, slash + 1);
    std::string file = slash == std::string::npos ? partName : partName.substr(slash + 1);
    const size_t dot = file.rfind('.');
    const std::string stem = dot == std::string::npos ? file : file.substr(0, dot);
    const std::string ext = dot == std::string::npos ? std::string() : file.substr(dot);
    return folder + "kyt_" + stem + "_" + std::to_string(copy + 1) + ext;
}

std::string replaceMark(const std::string& text, const std::string& mark, const std::string& with)
{
    const size_t at = text.find(mark);
    if (at == std::string::npos)
        return text;
    return text.substr(0, at) + with + text.substr(at + mark.size());
}

}  // namespace

bool CompiledTemplate::write(const DataSource& data, size_t first, size_t count, const std::string& path,
                             std::string& error) const
{
    const size_t end = std::min(data.rows.size(), first + count);
    const size_t perCopy = 1 + static_cast<size_t>(d->nextsPerCopy);
    const size_t copies = end > first ? (end - first + perCopy - 1) / perCopy : 1;

    std::vector<std::pair<std::string, std::string>> entries;
    entries.reserve(d->fixedParts.size() + 4 + copies * d->perRecord.size() * 2);
    entries.emplace_back(d->mainName, documentXml(data, first, count));

    // Headers and footers with fields: the template's own part for the first record, copies after it.
    const std::string closeMark = [&] {
        std::string s = d->marker;
        s.back() = static_cast<char>(s.back() + 1);
        return s;
    }();
    std::string relations, overrides;
    for (size_t k = 0; k < d->perRecord.size(); ++k) {
        const PerRecordPart& per = d->perRecord[k];
        size_t row = first;
        for (size_t copy = 0; copy < copies; ++copy, row += perCopy) {
            std::string xml;
            size_t r = row;
            d->render(per.segments, data, copy, r, xml);
            const std::string partName = copy == 0 ? per.partName : copyName(per.partName, copy);
            entries.emplace_back(partName, std::move(xml));
            if (copy == 0)
                continue;
            const size_t slash = per.relTarget.rfind('/');
            const std::string targetFolder = slash == std::string::npos ? std::string() : per.relTarget.substr(0, slash + 1);
            const std::string targetFile = partName.substr(partName.rfind('/') + 1);
            relations += "<Relationship Id=\"kytR" + std::to_string(k) + "_" + std::to_string(copy) + "\" Type=\"" +
                         word::detail::xmlText(per.relType) + "\" Target=\"" +
                         word::detail::xmlText(targetFolder + targetFile) + "\"/>";
            if (!per.contentType.empty())
                overrides += "<Override PartName=\"/" + word::detail::xmlText(partName) + "\" ContentType=\"" +
                             word::detail::xmlText(per.contentType) + "\"/>";
            if (!per.relsPart.empty())
                entries.emplace_back(relsNameOf(partName), per.relsPart);
        }
    }
    entries.emplace_back(d->contentTypesName, replaceMark(d->contentTypesXml, d->marker + "types" + closeMark, overrides));
    if (!d->mainRelsName.empty())
        entries.emplace_back(d->mainRelsName, replaceMark(d->mainRelsXml, d->marker + "rels" + closeMark, relations));

    // Written beside the target under a name of its own, then renamed into place.
    static std::atomic<unsigned> counter{0};
    TempFile temp;
    temp.path = path + ".kyt-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".tmp";
    int code = 0;
    ZipArchive archive(zip_open(temp.path.c_str(), ZIP_CREATE | ZIP_EXCL, &code));
    if (!archive) {
        zip_error_t zipError;
        zip_error_init_with_code(&zipError, code);
        error = "Cannot create a file in the folder of " + path + ": " + zip_error_strerror(&zipError);
        zip_error_fini(&zipError);
        return false;
    }
    // The content types come first, as some readers expect.
    std::vector<std::pair<const std::string*, const std::string*>> order;
    for (const auto& e : entries)
        order.emplace_back(&e.first, &e.second);
    for (const auto& e : d->fixedParts)
        order.emplace_back(&e.first, &e.second);
    std::stable_partition(order.begin(), order.end(),
                          [](const auto& e) { return *e.first == "[Content_Types].xml"; });
    for (const auto& [namePointer, bytesPointer] : order) {
        const std::string& name = *namePointer;
        const std::string& bytes = *bytesPointer;
        zip_source_t* source = zip_source_buffer(archive.get(), bytes.data(), bytes.size(), 0);
        const zip_int64_t index =
            source ? zip_file_add(archive.get(), name.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            if (source)
                zip_source_free(source);
            error = "Cannot write " + path + ": " + zip_strerror(archive.get());
            return false;
        }
        // Pictures are packed already; the text parts pack well at the fastest level.
        const bool xml = endsWith(lowerAscii(name), ".xml") || endsWith(lowerAscii(name), ".rels");
        zip_set_file_compression(archive.get(), static_cast<zip_uint64_t>(index), xml ? ZIP_CM_DEFLATE : ZIP_CM_STORE,
                                 xml ? 1 : 0);
    }
    if (zip_close(archive.get()) != 0) {
        error = "Cannot write " + path + ": " + zip_strerror(archive.get());
        return false;
    }
    archive.release();
    std::error_code ec;
    fs::rename(temp.path, path, ec);
    if (ec) {
        error = "Cannot save " + path + ": " + ec.message();
        return false;
    }
    temp.keep = true;
    return true;
}

}  // namespace kyt::merge
