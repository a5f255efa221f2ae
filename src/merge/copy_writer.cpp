#include "merge/template_compiler.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>

#include "merge/field_condition.h"
#include "merge/template_package.h"
#include "merge/zip_stream.h"
#include "word/docx_package.h"

namespace kyt::merge {

namespace fs = std::filesystem;
using namespace detail;

namespace {

// Bookmark names longer than this are cut by the word processor.
constexpr size_t kMaxBookmarkName = 40;
// Rendered text goes to the package in pieces of about this size.
constexpr size_t kFlushBytes = 1 << 20;
// A part expected past this size gets room for ZIP64 sizes in its header.
constexpr double kLargePart = 1u << 30;

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

const std::string* valueOf(const DataSource& data, size_t row, int column)
{
    if (row < data.rows.size() && column >= 0 && static_cast<size_t>(column) < data.rows[row].size())
        return &data.rows[row][static_cast<size_t>(column)];
    return nullptr;
}

std::string evaluate(const CodeNode& node, const DataSource& data, size_t row)
{
    switch (node.kind) {
    case CodeNode::Kind::Text:
        return node.text;
    case CodeNode::Kind::Value: {
        const std::string* value = valueOf(data, row, node.column);
        return value ? formatFieldValue(node.code, *value) : std::string();
    }
    case CodeNode::Kind::RecordNumber:
        return formatFieldValue(node.code, std::to_string(row + 1));
    case CodeNode::Kind::If:
        break;
    }
    std::vector<CodePiece> code;
    code.reserve(node.pieces.size());
    for (const CodeNode& piece : node.pieces)
        code.push_back({evaluate(piece, data, row), piece.kind != CodeNode::Kind::Text});
    return evaluateIf(code);
}

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

bool packs(const std::string& name)
{
    const std::string lower = lowerAscii(name);
    return endsWith(lower, ".xml") || endsWith(lower, ".rels");
}

double sizeOf(const Segments& segments)
{
    double size = 0;
    for (const Segment& s : segments)
        size += static_cast<double>(s.text.size()) + (s.slot >= 0 ? 64 : 0);
    return size;
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
        case Slot::Kind::Value:
            if (const std::string* value = valueOf(data, row, slot.column))
                out += runsFor(slot, formatFieldValue(slot.code, *value));
            break;
        case Slot::Kind::RecordNumber:
            out += runsFor(slot, formatFieldValue(slot.code, std::to_string(row + 1)));
            break;
        case Slot::Kind::If:
            out += runsFor(slot, evaluate(*slot.condition, data, row));
            break;
        case Slot::Kind::Next:
            ++row;
            break;
        case Slot::Kind::Id:
            out += std::to_string(slot.id + static_cast<long long>(copy) * slot.stride);
            break;
        case Slot::Kind::NumId:
            out += std::to_string(copy == 0 ? slot.id
                                             : firstNewNumId + static_cast<long long>(copy - 1) * numsPerCopy + slot.stride);
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

bool CompiledTemplate::write(const DataSource& data, size_t first, size_t count, const std::string& path,
                             std::string& error, bool durable) const
{
    const size_t end = std::min(data.rows.size(), first + count);
    const size_t perCopy = 1 + static_cast<size_t>(d->nextsPerCopy);
    const size_t copies = end > first ? (end - first + perCopy - 1) / perCopy : 1;

    // Written beside the target under a name of its own, then renamed into place.
    static std::atomic<unsigned> counter{0};
    TempFile temp;
    temp.path = path + ".kyt-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".tmp";
    ZipStream zip;
    if (!zip.open(temp.path)) {
        error = "Cannot create a file in the folder of " + path + ": " + zip.error();
        return false;
    }
    auto failed = [&] {
        error = "Cannot write " + path + ": " + zip.error();
        return false;
    };

    // The content types come first, as some readers expect; then the relationships of the main part,
    // with those of the copied headers and footers.
    std::string text = d->contentTypesHead;
    for (size_t copy = 1; copy < copies; ++copy)
        for (const PerRecordPart& per : d->perRecord)
            if (!per.contentType.empty())
                text += "<Override PartName=\"/" + word::detail::xmlText(copyName(per.partName, copy)) +
                        "\" ContentType=\"" + word::detail::xmlText(per.contentType) + "\"/>";
    text += d->contentTypesTail;
    if (!zip.add(d->contentTypesName, text, true))
        return failed();
    if (!d->mainRelsName.empty()) {
        text = d->mainRelsHead;
        for (size_t k = 0; k < d->perRecord.size(); ++k) {
            const PerRecordPart& per = d->perRecord[k];
            const size_t slash = per.relTarget.rfind('/');
            const std::string folder = slash == std::string::npos ? std::string() : per.relTarget.substr(0, slash + 1);
            for (size_t copy = 1; copy < copies; ++copy) {
                const std::string name = copyName(per.partName, copy);
                text += "<Relationship Id=\"kytR" + std::to_string(k) + "_" + std::to_string(copy) + "\" Type=\"" +
                        word::detail::xmlText(per.relType) + "\" Target=\"" +
                        word::detail::xmlText(folder + name.substr(name.rfind('/') + 1)) + "\"/>";
            }
        }
        text += d->mainRelsTail;
        if (!zip.add(d->mainRelsName, text, true))
            return failed();
    }

    // The body, notes and lists, copy after copy, each sent on before the buffer grows.
    std::string buffer;
    for (const StreamedPart& part : d->streamed) {
        const bool large = sizeOf(part.each) * static_cast<double>(copies) > kLargePart;
        if (!zip.begin(part.name, large) || !zip.write(part.head))
            return failed();
        buffer.clear();
        for (size_t copy = part.fromSecondCopy ? 1 : 0; copy < copies; ++copy) {
            size_t row = first + copy * perCopy;
            d->render(copy + 1 == copies && !part.last.empty() ? part.last : part.each, data, copy, row, buffer);
            if (buffer.size() >= kFlushBytes) {
                if (!zip.write(buffer))
                    return failed();
                buffer.clear();
            }
        }
        if (!zip.write(buffer) || !zip.write(part.tail) || !zip.end())
            return failed();
    }

    // Headers and footers with fields: the template's own part for the first copy, copies after it.
    for (const PerRecordPart& per : d->perRecord) {
        for (size_t copy = 0; copy < copies; ++copy) {
            size_t row = first + copy * perCopy;
            buffer.clear();
            d->render(per.segments, data, copy, row, buffer);
            const std::string name = copy == 0 ? per.partName : copyName(per.partName, copy);
            if (!zip.add(name, buffer, true))
                return failed();
            if (copy > 0 && !per.relsPart.empty() && !zip.add(relsNameOf(name), per.relsPart, true))
                return failed();
        }
    }
    for (const auto& [name, bytes] : d->fixedParts)
        if (!zip.add(name, bytes, packs(name)))
            return failed();
    if (!zip.finish(durable))
        return failed();
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
