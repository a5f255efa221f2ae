#include "merge/merge_template.h"

#include <unistd.h>
#include <zip.h>

#include <pugixml.hpp>

#include <QString>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "merge/field_format.h"
#include "word/docx_package.h"
#include "word/zip_reader.h"

namespace kyt::merge {

namespace fs = std::filesystem;
using word::detail::ZipArchive;
using word::detail::ZipReader;
using word::detail::ZipStatus;

namespace {

constexpr std::string_view kWordNamespace = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr std::string_view kStrictWordNamespace = "http://purl.oclc.org/ooxml/wordprocessingml/main";
constexpr const char* kDocumentMainType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml";
constexpr unsigned kParseFlags =
    pugi::parse_default | pugi::parse_declaration | pugi::parse_doctype | pugi::parse_ws_pcdata;
// Bookmark names longer than this are cut by the word processor.
constexpr size_t kMaxBookmarkName = 40;

std::string lowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool endsWith(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

const char* localName(pugi::xml_node node)
{
    const char* name = node.name();
    const char* colon = std::strchr(name, ':');
    return colon ? colon + 1 : name;
}

const char* localName(pugi::xml_attribute attr)
{
    const char* name = attr.name();
    const char* colon = std::strchr(name, ':');
    return colon ? colon + 1 : name;
}

std::string prefixOf(const char* qualified)
{
    const char* colon = std::strchr(qualified, ':');
    return colon ? std::string(qualified, colon) : std::string();
}

struct StringWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
};

std::string print(pugi::xml_node node)
{
    StringWriter writer;
    node.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
    return writer.out;
}

std::string save(const pugi::xml_document& doc)
{
    StringWriter writer;
    doc.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return writer.out;
}

// The next node in document order, not entering `node`'s children when `skipChildren`; null after `root`.
pugi::xml_node nextInOrder(pugi::xml_node node, pugi::xml_node root, bool skipChildren, int& depth)
{
    if (!skipChildren && node.first_child()) {
        ++depth;
        return node.first_child();
    }
    while (node && node != root) {
        if (node.next_sibling())
            return node.next_sibling();
        node = node.parent();
        --depth;
    }
    return {};
}

// One part of the package.
struct Part {
    std::string name;
    std::string bytes;  // as read; replaced by the writer for parts it changes
    bool story = false;  // body, header or footer: holds fields
    pugi::xml_document xml;
    std::string w;  // the prefix of the WordprocessingML namespace ("w" as a rule)

    std::string tag(const char* local) const { return w.empty() ? std::string(local) : w + ":" + local; }
    bool is(pugi::xml_node node, const char* local) const
    {
        if (node.type() != pugi::node_element)
            return false;
        const char* name = node.name();
        if (w.empty())
            return std::strcmp(name, local) == 0;
        return std::strncmp(name, w.c_str(), w.size()) == 0 && name[w.size()] == ':' &&
               std::strcmp(name + w.size() + 1, local) == 0;
    }
    pugi::xml_attribute wattr(pugi::xml_node node, const char* local) const { return node.attribute(tag(local).c_str()); }
    pugi::xml_node wchild(pugi::xml_node node, const char* local) const { return node.child(tag(local).c_str()); }
};

struct Field {
    size_t part = 0;
    bool simple = false;
    pugi::xml_node simpleNode;             // w:fldSimple
    pugi::xml_node begin, separate, end;   // runs holding the fldChar marks
    std::vector<pugi::xml_node> instr;     // w:instrText elements of this field's own code
    std::string code;
    int parent = -1;            // the field this one sits in
    bool inParentCode = false;  // in that field's code rather than its result
};

bool isMergeKeyword(const std::string& keyword)
{
    return keyword == "MERGEFIELD";
}

// Where a slot's marker stands: text from the compiled part up to the next marker.
struct Slot {
    enum class Kind { Value, RecordNumber, Next, Id, Name, PartRef } kind = Kind::Value;
    int column = -1;
    FieldCode code;
    bool inCode = false;
    std::string runOpen;   // "<w:r>" plus the run properties
    std::string w;         // the part's prefix
    long long id = 0;
    long long stride = 0;
    std::string name;
    size_t perRecordPart = 0;
};

struct Segment {
    std::string text;
    int slot = -1;  // -1: literal
};

using Segments = std::vector<Segment>;

// A header or footer that holds merge fields: written once per record.
struct PerRecordPart {
    size_t part = 0;
    std::string partName;
    std::string relId;
    std::string relType;
    std::string relTarget;
    std::string contentType;  // of its override, or empty when a default covers it
    std::string relsPart;     // its own relationships, if any
    Segments segments;
};

}  // namespace

int DataSource::column(std::string_view name) const
{
    const QString wanted = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    for (size_t i = 0; i < columns.size(); ++i)
        if (QString::fromStdString(columns[i]).compare(wanted, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

struct MergeTemplate::Impl {
    TemplateLimits limits;
    std::vector<std::unique_ptr<Part>> parts;  // every entry of the package, in stored order
    size_t mainPart = 0;
    size_t mainRels = SIZE_MAX;
    size_t contentTypes = SIZE_MAX;
    size_t settings = SIZE_MAX;
    std::vector<size_t> stories;  // main part first, then headers and footers
    std::map<std::string, std::pair<std::string, std::string>> mainRelations;  // id -> (type, target)
    std::vector<Field> fields;
    bool compiled = false;

    Part* find(const std::string& name)
    {
        for (auto& part : parts)
            if (lowerAscii(part->name) == lowerAscii(name))
                return part.get();
        return nullptr;
    }
    size_t indexOf(const std::string& name) const
    {
        for (size_t i = 0; i < parts.size(); ++i)
            if (lowerAscii(parts[i]->name) == lowerAscii(name))
                return i;
        return SIZE_MAX;
    }

    bool parse(Part& part, std::string& error);
    bool findFields(size_t partIndex, std::string& error);
    std::string resolve(const std::string& target) const;
};

namespace {

std::string folderOf(const std::string& partName)
{
    const size_t slash = partName.rfind('/');
    return slash == std::string::npos ? std::string() : partName.substr(0, slash + 1);
}

std::string relsNameOf(const std::string& partName)
{
    const size_t slash = partName.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : partName.substr(0, slash + 1);
    const std::string file = slash == std::string::npos ? partName : partName.substr(slash + 1);
    return folder + "_rels/" + file + ".rels";
}

// A relationship target resolved against the folder of its source part; empty when it leaves the package.
std::string resolveTarget(const std::string& sourceFolder, const std::string& target)
{
    if (target.empty() || target.find(':') != std::string::npos)
        return {};
    std::string path = target[0] == '/' ? target.substr(1) : sourceFolder + target;
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string piece = path.substr(start, end - start);
        if (piece == "..") {
            if (pieces.empty())
                return {};
            pieces.pop_back();
        } else if (!piece.empty() && piece != ".") {
            pieces.push_back(piece);
        }
        start = end + 1;
    }
    std::string out;
    for (const auto& piece : pieces)
        out += (out.empty() ? "" : "/") + piece;
    return out;
}

}  // namespace

std::string MergeTemplate::Impl::resolve(const std::string& target) const
{
    return resolveTarget(folderOf(parts[mainPart]->name), target);
}

bool MergeTemplate::Impl::parse(Part& part, std::string& error)
{
    const auto result = part.xml.load_buffer(part.bytes.data(), part.bytes.size(), kParseFlags);
    if (!result) {
        error = "The part " + part.name + " of the target document is not readable XML (" + result.description() + ").";
        return false;
    }
    for (pugi::xml_node node = part.xml.first_child(); node; node = node.next_sibling()) {
        if (node.type() == pugi::node_doctype) {
            error = "The part " + part.name + " of the target document carries a DOCTYPE declaration; such files are refused.";
            return false;
        }
    }
    const pugi::xml_node root = part.xml.document_element();
    part.w = prefixOf(root.name());
    for (pugi::xml_attribute attr = root.first_attribute(); attr; attr = attr.next_attribute()) {
        const std::string_view value = attr.value();
        if (value != kWordNamespace && value != kStrictWordNamespace)
            continue;
        const std::string name = attr.name();
        if (name == "xmlns")
            part.w.clear();
        else if (name.rfind("xmlns:", 0) == 0)
            part.w = name.substr(6);
        break;
    }
    return true;
}

bool MergeTemplate::Impl::findFields(size_t partIndex, std::string& error)
{
    Part& part = *parts[partIndex];
    struct Open {
        int field;
        bool inResult = false;
    };
    std::vector<Open> open;
    const pugi::xml_node root = part.xml.document_element();
    int depth = 0;
    // Simple fields are containers: remember where each ends to pop it.
    std::vector<std::pair<pugi::xml_node, int>> simpleOpen;
    auto currentParent = [&](int& parent, bool& inCode) {
        parent = -1;
        inCode = false;
        int best = -1;
        if (!open.empty())
            best = open.back().field;
        if (!simpleOpen.empty() && simpleOpen.back().second > best) {
            parent = simpleOpen.back().second;
            inCode = false;
            return;
        }
        if (!open.empty()) {
            parent = open.back().field;
            inCode = !open.back().inResult;
        }
    };
    for (pugi::xml_node node = root; node;) {
        if (depth > limits.maxDepth) {
            error = "The target document nests its elements deeper than " + std::to_string(limits.maxDepth) + " levels.";
            return false;
        }
        // Leave simple fields whose subtree the walk has passed.
        while (!simpleOpen.empty()) {
            bool inside = false;
            for (pugi::xml_node up = node; up; up = up.parent())
                if (up == simpleOpen.back().first) {
                    inside = true;
                    break;
                }
            if (inside)
                break;
            simpleOpen.pop_back();
        }
        if (part.is(node, "fldSimple")) {
            Field field;
            field.part = partIndex;
            field.simple = true;
            field.simpleNode = node;
            field.code = part.wattr(node, "instr").value();
            currentParent(field.parent, field.inParentCode);
            fields.push_back(std::move(field));
            simpleOpen.emplace_back(node, static_cast<int>(fields.size() - 1));
        } else if (part.is(node, "fldChar")) {
            const std::string type = part.wattr(node, "fldCharType").value();
            const pugi::xml_node run = node.parent();
            if (type == "begin") {
                Field field;
                field.part = partIndex;
                field.begin = run;
                currentParent(field.parent, field.inParentCode);
                fields.push_back(std::move(field));
                open.push_back({static_cast<int>(fields.size() - 1)});
            } else if (type == "separate" && !open.empty()) {
                fields[static_cast<size_t>(open.back().field)].separate = run;
                open.back().inResult = true;
            } else if (type == "end" && !open.empty()) {
                fields[static_cast<size_t>(open.back().field)].end = run;
                open.pop_back();
            }
        } else if (part.is(node, "instrText") && !open.empty() && !open.back().inResult) {
            Field& field = fields[static_cast<size_t>(open.back().field)];
            field.instr.push_back(node);
            field.code += node.text().get();
        }
        node = nextInOrder(node, root, false, depth);
    }
    // A field left open is not one the word processor shows; forget it and what hangs on it.
    for (const Open& o : open)
        fields[static_cast<size_t>(o.field)].begin = pugi::xml_node();
    return true;
}

MergeTemplate::MergeTemplate(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
MergeTemplate::~MergeTemplate() = default;

std::unique_ptr<MergeTemplate> MergeTemplate::load(const std::string& path, std::string& error,
                                                   const TemplateLimits& limits)
{
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec) {
        error = "The target document " + path + " cannot be opened.";
        return nullptr;
    }
    if (size > limits.maxFileBytes) {
        error = "The target document " + path + " is larger than " + std::to_string(limits.maxFileBytes >> 20) + " MiB.";
        return nullptr;
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes(static_cast<size_t>(size), '\0');
    if (!in || !in.read(bytes.data(), static_cast<std::streamsize>(size))) {
        error = "The target document " + path + " cannot be read.";
        return nullptr;
    }
    return loadBytes(bytes, error, limits);
}

std::unique_ptr<MergeTemplate> MergeTemplate::loadBytes(const std::string& bytes, std::string& error,
                                                        const TemplateLimits& limits)
{
    auto impl = std::make_unique<Impl>();
    impl->limits = limits;
    ZipReader zip;
    if (bytes.size() > limits.maxFileBytes) {
        error = "The target document is too large.";
        return nullptr;
    }
    if (!zip.open(bytes, limits.maxEntries, error)) {
        error = "The target document is not a .docx document: " + error;
        return nullptr;
    }
    size_t total = 0;
    for (zip_int64_t i = 0; i < zip.entryCount(); ++i) {
        auto part = std::make_unique<Part>();
        part->name = zip.name(i);
        if (part->name.empty() || part->name.back() == '/')
            continue;  // folders carry nothing
        const ZipStatus status = zip.read(part->name.c_str(), limits.maxPartBytes, part->bytes);
        if (status != ZipStatus::Ok) {
            error = status == ZipStatus::Encrypted
                        ? "The target document is protected with a password."
                        : "The part " + part->name + " of the target document cannot be read (damaged or too large).";
            return nullptr;
        }
        total += part->bytes.size();
        if (total > limits.maxFileBytes * 4) {
            error = "The target document unpacks to more than " + std::to_string(limits.maxFileBytes * 4 >> 20) + " MiB.";
            return nullptr;
        }
        impl->parts.push_back(std::move(part));
    }

    // The main part, through the package relationships.
    Part* packageRels = impl->find("_rels/.rels");
    Part* contentTypes = impl->find("[Content_Types].xml");
    if (!packageRels || !contentTypes) {
        error = "The target document is a zip package but not a Word document.";
        return nullptr;
    }
    if (!impl->parse(*packageRels, error) || !impl->parse(*contentTypes, error))
        return nullptr;
    impl->contentTypes = impl->indexOf("[Content_Types].xml");
    std::string mainName;
    for (pugi::xml_node rel : packageRels->xml.document_element().children()) {
        if (endsWith(rel.attribute("Type").value(), "/officeDocument") &&
            std::strcmp(rel.attribute("TargetMode").value(), "External") != 0) {
            mainName = resolveTarget("", rel.attribute("Target").value());
            break;
        }
    }
    impl->mainPart = mainName.empty() ? SIZE_MAX : impl->indexOf(mainName);
    if (impl->mainPart == SIZE_MAX) {
        error = "The target document has no main document part.";
        return nullptr;
    }
    Part& main = *impl->parts[impl->mainPart];
    if (!impl->parse(main, error))
        return nullptr;
    if (!main.is(main.xml.document_element(), "document") || !main.wchild(main.xml.document_element(), "body")) {
        error = "The target document's main part holds no document body.";
        return nullptr;
    }
    main.story = true;
    impl->stories.push_back(impl->mainPart);

    impl->mainRels = impl->indexOf(relsNameOf(main.name));
    if (impl->mainRels != SIZE_MAX) {
        Part& rels = *impl->parts[impl->mainRels];
        if (!impl->parse(rels, error))
            return nullptr;
        for (pugi::xml_node rel : rels.xml.document_element().children()) {
            if (std::strcmp(rel.attribute("TargetMode").value(), "External") == 0)
                continue;
            const std::string type = rel.attribute("Type").value();
            impl->mainRelations[rel.attribute("Id").value()] = {type, rel.attribute("Target").value()};
            const std::string target = impl->resolve(rel.attribute("Target").value());
            const size_t index = target.empty() ? SIZE_MAX : impl->indexOf(target);
            if (index == SIZE_MAX || index == impl->mainPart)
                continue;
            Part& part = *impl->parts[index];
            if ((endsWith(type, "/header") || endsWith(type, "/footer")) && !part.story) {
                if (!impl->parse(part, error))
                    return nullptr;
                part.story = true;
                impl->stories.push_back(index);
            } else if (endsWith(type, "/settings") && impl->settings == SIZE_MAX) {
                if (!impl->parse(part, error))
                    return nullptr;
                impl->settings = index;
            }
        }
    }
    for (size_t story : impl->stories)
        if (!impl->findFields(story, error))
            return nullptr;
    // Fields left open are dropped (their begin was cleared).
    std::vector<Field> kept;
    std::vector<int> renumber(impl->fields.size(), -1);
    for (size_t i = 0; i < impl->fields.size(); ++i) {
        const Field& f = impl->fields[i];
        if (f.simple || (f.begin && f.end)) {
            renumber[i] = static_cast<int>(kept.size());
            kept.push_back(f);
        }
    }
    for (Field& f : kept)
        f.parent = f.parent >= 0 ? renumber[static_cast<size_t>(f.parent)] : -1;
    impl->fields = std::move(kept);
    return std::unique_ptr<MergeTemplate>(new MergeTemplate(std::move(impl)));
}

int MergeTemplate::fieldCount() const
{
    return static_cast<int>(d->fields.size());
}

bool MergeTemplate::isMergeField(int index) const
{
    return isMergeKeyword(parseFieldCode(d->fields.at(static_cast<size_t>(index)).code).keyword);
}

std::string MergeTemplate::fieldCode(int index) const
{
    return d->fields.at(static_cast<size_t>(index)).code;
}

int MergeTemplate::makeMergeFields()
{
    const int n = fieldCount();
    if (n == 0 || (isMergeField(0) && isMergeField(n - 1)))
        return 0;
    int changed = 0;
    for (Field& field : d->fields) {
        if (isMergeKeyword(parseFieldCode(field.code).keyword) || !isBareName(field.code))
            continue;
        const Part& part = *d->parts[field.part];
        field.code = "MERGEFIELD " + field.code;
        if (field.simple) {
            part.wattr(field.simpleNode, "instr").set_value(field.code.c_str());
        } else if (!field.instr.empty()) {
            pugi::xml_node first = field.instr.front();
            const std::string text = std::string("MERGEFIELD ") + first.text().get();
            first.text().set(text.c_str());
            if (!first.attribute("xml:space"))
                first.append_attribute("xml:space") = "preserve";
        }
        ++changed;
    }
    return changed;
}

std::vector<std::string> MergeTemplate::unknownFields(const std::vector<std::string>& columns) const
{
    DataSource names{columns, {}};
    std::vector<std::string> unknown;
    std::set<std::string> seen;
    for (const Field& field : d->fields) {
        const FieldCode code = parseFieldCode(field.code);
        if (!isMergeKeyword(code.keyword))
            continue;
        if (names.column(code.name) >= 0)
            continue;
        const std::string key = QString::fromStdString(code.name).toLower().toStdString();
        if (seen.insert(key).second)
            unknown.push_back(code.name.empty() ? std::string("(a merge field without a name)") : code.name);
    }
    return unknown;
}

// ---------------------------------------------------------------------------------------------------

struct CompiledTemplate::Impl {
    std::vector<Slot> slotList;
    std::string head, tail;      // the main part around the body's content
    Segments common;             // the body but its last block
    Segments lastWithBreak;      // the last block ending in a section break (every record but the last)
    Segments lastAtEnd;          // the last block and the body's own section properties
    int nextsPerCopy = 0;
    std::vector<PerRecordPart> perRecord;
    std::string mainName;
    std::string mainRelsName;
    std::string contentTypesName;
    // Parts written unchanged, and the changed relationships, content types and settings.
    std::vector<std::pair<std::string, std::string>> fixedParts;
    std::string mainRelsXml;     // with a placeholder for the relationships of copied parts
    std::string contentTypesXml; // likewise for their overrides
    std::string marker;          // the private-use character that opens a slot marker

    void render(const Segments& segments, const DataSource& data, size_t copy, size_t& row, std::string& out) const;
};

CompiledTemplate::CompiledTemplate(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
CompiledTemplate::~CompiledTemplate() = default;

namespace {

// Order of the children of w:sectPr, which word processors insist on.
constexpr const char* kSectionOrder[] = {"headerReference", "footerReference", "footnotePr", "endnotePr", "type",
                                         "pgSz", "pgMar", "paperSrc", "pgBorders", "lnNumType", "pgNumType", "cols",
                                         "formProt", "vAlign", "noEndnote", "titlePg", "textDirection", "bidi",
                                         "rtlGutter", "docGrid", "printerSettings", "sectPrChange"};

int sectionRank(const char* local)
{
    for (size_t i = 0; i < std::size(kSectionOrder); ++i)
        if (std::strcmp(kSectionOrder[i], local) == 0)
            return static_cast<int>(i);
    return static_cast<int>(std::size(kSectionOrder));
}

// The child `local` of a section, made in its place when missing.
pugi::xml_node sectionChild(const Part& part, pugi::xml_node sectPr, const char* local)
{
    if (pugi::xml_node existing = part.wchild(sectPr, local))
        return existing;
    const int rank = sectionRank(local);
    for (pugi::xml_node child = sectPr.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && sectionRank(localName(child)) > rank)
            return sectPr.insert_child_before(part.tag(local).c_str(), child);
    }
    return sectPr.append_child(part.tag(local).c_str());
}

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

namespace {

// Splits serialized XML at the slot markers "<marker>N<end>".
Segments splitSegments(const std::string& text, const std::string& marker, const std::string& end)
{
    Segments out;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(marker, start);
        if (at == std::string::npos)
            break;
        const size_t close = text.find(end, at + marker.size());
        if (close == std::string::npos)
            break;
        out.push_back({text.substr(start, at - start), -1});
        out.push_back({{}, std::stoi(text.substr(at + marker.size(), close - at - marker.size()))});
        start = close + end.size();
    }
    out.push_back({text.substr(start), -1});
    return out;
}

// Private-use characters that no part of the template holds, to mark slotList with.
bool chooseMarkers(const std::vector<const std::string*>& texts, std::string& open, std::string& close)
{
    for (unsigned cp = 0xE000; cp < 0xE100; cp += 2) {
        auto utf8 = [](unsigned c) {
            std::string s;
            s += static_cast<char>(0xE0 | (c >> 12));
            s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (c & 0x3F));
            return s;
        };
        open = utf8(cp);
        close = utf8(cp + 1);
        bool used = false;
        for (const std::string* text : texts)
            if (text->find(open) != std::string::npos || text->find(close) != std::string::npos)
                used = true;
        if (!used)
            return true;
    }
    return false;
}

}  // namespace

std::unique_ptr<CompiledTemplate> MergeTemplate::compile(const std::vector<std::string>& columns,
                                                         std::vector<std::string>& unknown, std::string& error)
{
    unknown = unknownFields(columns);
    if (!unknown.empty()) {
        error = "The target document has merge fields that the data does not have.";
        return nullptr;
    }
    if (d->compiled) {
        error = "The target document was prepared already.";
        return nullptr;
    }
    d->compiled = true;
    auto out = std::make_unique<CompiledTemplate::Impl>();
    std::vector<const std::string*> texts;
    for (const auto& part : d->parts)
        texts.push_back(&part->bytes);
    std::string open, close;
    if (!chooseMarkers(texts, open, close)) {
        error = "The target document holds characters that leave no room for merge marks.";
        return nullptr;
    }
    out->marker = open;
    const DataSource names{columns, {}};
    auto addSlot = [&](Slot slot) {
        out->slotList.push_back(std::move(slot));
        return open + std::to_string(out->slotList.size() - 1) + close;
    };

    // Merge fields (and NEXT, MERGEREC) give way to slotList. A field inside one replaced goes with it.
    std::vector<bool> replaced(d->fields.size(), false);
    for (size_t i = 0; i < d->fields.size(); ++i) {
        Field& field = d->fields[i];
        bool gone = false;
        for (int up = field.parent; up >= 0; up = d->fields[static_cast<size_t>(up)].parent)
            if (replaced[static_cast<size_t>(up)])
                gone = true;
        if (gone)
            continue;
        const FieldCode code = parseFieldCode(field.code);
        Slot slot;
        if (isMergeKeyword(code.keyword)) {
            slot.kind = Slot::Kind::Value;
            slot.column = names.column(code.name);
        } else if (code.keyword == "MERGEREC") {
            slot.kind = Slot::Kind::RecordNumber;
        } else if (code.keyword == "NEXT") {
            slot.kind = Slot::Kind::Next;
        } else {
            continue;
        }
        replaced[i] = true;
        const Part& part = *d->parts[field.part];
        slot.code = code;
        slot.w = part.w;
        slot.inCode = field.inParentCode;

        // The result keeps the formatting of the field's result with MERGEFORMAT, else of its code.
        pugi::xml_node formatRun;
        if (field.simple) {
            formatRun = field.simpleNode.find_node([&](pugi::xml_node n) { return part.is(n, "r"); });
        } else {
            if (code.mergeFormat && field.separate) {
                int depth = 0;
                for (pugi::xml_node n = field.separate; n && n != field.end;
                     n = nextInOrder(n, part.xml.document_element(), false, depth)) {
                    if (part.is(n, "r") && part.wchild(n, "t")) {
                        formatRun = n;
                        break;
                    }
                }
            }
            if (!formatRun && !field.instr.empty())
                formatRun = field.instr.front().parent();
            if (!formatRun)
                formatRun = field.begin;
        }
        slot.runOpen = "<" + part.tag("r") + ">";
        if (pugi::xml_node rPr = formatRun ? part.wchild(formatRun, "rPr") : pugi::xml_node())
            slot.runOpen += print(rPr);
        if (code.keyword == "NEXT")
            ++out->nextsPerCopy;
        const std::string mark = addSlot(std::move(slot));

        if (field.simple) {
            field.simpleNode.parent().insert_child_before(pugi::node_pcdata, field.simpleNode).set_value(mark.c_str());
            field.simpleNode.parent().remove_child(field.simpleNode);
            continue;
        }
        // Every run from the field's begin to its end goes; bookmarks and other marks in between stay.
        std::vector<pugi::xml_node> doomed;
        const pugi::xml_node root = part.xml.document_element();
        int depth = 0;
        for (pugi::xml_node n = field.begin; n;) {
            const bool isRun = part.is(n, "r") || part.is(n, "proofErr") || part.is(n, "fldSimple");
            if (isRun)
                doomed.push_back(n);
            if (n == field.end)
                break;
            n = nextInOrder(n, root, isRun, depth);
        }
        field.begin.parent().insert_child_before(pugi::node_pcdata, field.begin).set_value(mark.c_str());
        for (pugi::xml_node n : doomed)
            n.parent().remove_child(n);
    }
    if (d->stories.empty())
        return nullptr;

    // Which headers and footers hold slotList: those are written once per record.
    std::map<size_t, size_t> perRecordOf;  // part index -> perRecord index
    for (size_t story : d->stories) {
        if (story == d->mainPart)
            continue;
        bool hasSlots = false;
        for (size_t i = 0; i < d->fields.size(); ++i)
            if (replaced[i] && d->fields[i].part == story)
                hasSlots = true;
        if (!hasSlots)
            continue;
        PerRecordPart per;
        per.part = story;
        per.partName = d->parts[story]->name;
        for (const auto& [id, relation] : d->mainRelations) {
            if (d->resolve(relation.second) == d->parts[story]->name) {
                per.relId = id;
                per.relType = relation.first;
                per.relTarget = relation.second;
                break;
            }
        }
        if (const size_t rels = d->indexOf(relsNameOf(d->parts[story]->name)); rels != SIZE_MAX)
            per.relsPart = d->parts[rels]->bytes;
        perRecordOf[story] = out->perRecord.size();
        out->perRecord.push_back(std::move(per));
    }

    // Ids that must stay unique in the whole result: drawings and bookmarks. Paragraph ids go.
    long long maxDrawing = 0, maxBookmark = 0;
    for (size_t story : d->stories) {
        const Part& part = *d->parts[story];
        for (pugi::xpath_node x : part.xml.select_nodes("//*")) {
            const pugi::xml_node n = x.node();
            if (std::strcmp(localName(n), "docPr") == 0)
                maxDrawing = std::max(maxDrawing, n.attribute("id").as_llong());
            if (part.is(n, "bookmarkStart") || part.is(n, "bookmarkEnd"))
                maxBookmark = std::max(maxBookmark, part.wattr(n, "id").as_llong());
        }
    }
    for (size_t story : d->stories) {
        if (story != d->mainPart && !perRecordOf.count(story))
            continue;
        Part& part = *d->parts[story];
        const pugi::xml_node root = part.xml.document_element();
        int depth = 0;
        for (pugi::xml_node n = root; n; n = nextInOrder(n, root, false, depth)) {
            if (n.type() != pugi::node_element)
                continue;
            for (pugi::xml_attribute attr = n.first_attribute(); attr;) {
                pugi::xml_attribute nextAttr = attr.next_attribute();
                const std::string name = attr.name();
                if (name == "w14:paraId" || name == "w14:textId" || name == "wp14:anchorId" || name == "wp14:editId")
                    n.remove_attribute(attr);
                attr = nextAttr;
            }
            if (std::strcmp(localName(n), "docPr") == 0 && n.attribute("id")) {
                Slot slot;
                slot.kind = Slot::Kind::Id;
                slot.id = n.attribute("id").as_llong();
                slot.stride = maxDrawing + 1;
                n.attribute("id").set_value(addSlot(std::move(slot)).c_str());
            } else if (part.is(n, "bookmarkStart") || part.is(n, "bookmarkEnd")) {
                if (pugi::xml_attribute id = part.wattr(n, "id")) {
                    Slot slot;
                    slot.kind = Slot::Kind::Id;
                    slot.id = id.as_llong();
                    slot.stride = maxBookmark + 1;
                    id.set_value(addSlot(std::move(slot)).c_str());
                }
                if (pugi::xml_attribute name = part.wattr(n, "name")) {
                    Slot slot;
                    slot.kind = Slot::Kind::Name;
                    slot.name = name.value();
                    name.set_value(addSlot(std::move(slot)).c_str());
                }
            } else if (part.is(n, "hyperlink") && part.wattr(n, "anchor")) {
                Slot slot;
                slot.kind = Slot::Kind::Name;
                slot.name = part.wattr(n, "anchor").value();
                part.wattr(n, "anchor").set_value(addSlot(std::move(slot)).c_str());
            }
        }
    }

    // Sections: each record's first section starts on a new page with its page numbers from 1, and
    // refers to its own copies of the headers and footers that hold fields.
    Part& main = *d->parts[d->mainPart];
    pugi::xml_node body = main.wchild(main.xml.document_element(), "body");
    pugi::xml_node bodySection;
    for (pugi::xml_node child = body.last_child(); child; child = child.previous_sibling()) {
        if (child.type() != pugi::node_element)
            continue;
        if (main.is(child, "sectPr"))
            bodySection = child;
        break;
    }
    if (!bodySection)
        bodySection = body.append_child(main.tag("sectPr").c_str());
    std::vector<pugi::xml_node> sections;
    for (pugi::xpath_node x : body.select_nodes(".//*")) {
        if (main.is(x.node(), "sectPr") && !main.is(x.node().parent(), "sectPrChange") &&
            !main.is(x.node().parent(), "pPrChange"))
            sections.push_back(x.node());
    }
    if (!sections.empty()) {
        pugi::xml_node first = sections.front();
        pugi::xml_node type = main.wchild(first, "type");
        const std::string kind = type ? main.wattr(type, "val").value() : "";
        if (type && (kind == "continuous" || kind == "nextColumn"))
            main.wattr(type, "val").set_value("nextPage");
        pugi::xml_node numbers = sectionChild(main, first, "pgNumType");
        if (!main.wattr(numbers, "start"))
            numbers.append_attribute(main.tag("start").c_str()) = "1";
    }
    for (pugi::xml_node section : sections) {
        for (pugi::xml_node ref : section.children()) {
            if (!main.is(ref, "headerReference") && !main.is(ref, "footerReference"))
                continue;
            for (pugi::xml_attribute attr = ref.first_attribute(); attr; attr = attr.next_attribute()) {
                if (std::strcmp(localName(attr), "id") != 0 || prefixOf(attr.name()) == main.w)
                    continue;
                auto relation = d->mainRelations.find(attr.value());
                if (relation == d->mainRelations.end())
                    break;
                const size_t target = d->indexOf(d->resolve(relation->second.second));
                if (auto per = perRecordOf.find(target); per != perRecordOf.end()) {
                    Slot slot;
                    slot.kind = Slot::Kind::PartRef;
                    slot.perRecordPart = per->second;
                    attr.set_value(addSlot(std::move(slot)).c_str());
                }
                break;
            }
        }
    }

    // The body: all blocks but the last, then the last in two forms.
    std::vector<pugi::xml_node> blocks;
    for (pugi::xml_node child = body.first_child(); child; child = child.next_sibling())
        if (child != bodySection)
            blocks.push_back(child);
    while (!blocks.empty() && blocks.back().type() != pugi::node_element)
        blocks.pop_back();
    std::string common;
    for (size_t i = 0; i + 1 < blocks.size(); ++i)
        common += print(blocks[i]);
    const std::string sectionXml = print(bodySection);
    std::string last = blocks.empty() ? std::string() : print(blocks.back());
    std::string lastWithBreak;
    pugi::xml_node lastBlock = blocks.empty() ? pugi::xml_node() : blocks.back();
    if (lastBlock && main.is(lastBlock, "p") &&
        !(main.wchild(lastBlock, "pPr") && main.wchild(main.wchild(lastBlock, "pPr"), "sectPr"))) {
        pugi::xml_document scratch;
        pugi::xml_node copy = scratch.append_copy(lastBlock);
        pugi::xml_node pPr = main.wchild(copy, "pPr");
        if (!pPr)
            pPr = copy.prepend_child(main.tag("pPr").c_str());
        pugi::xml_node change = main.wchild(pPr, "pPrChange");
        if (change)
            pPr.insert_copy_before(bodySection, change);
        else
            pPr.append_copy(bodySection);
        lastWithBreak = print(copy);
    } else {
        lastWithBreak = last + "<" + main.tag("p") + "><" + main.tag("pPr") + ">" + sectionXml + "</" +
                        main.tag("pPr") + "></" + main.tag("p") + ">";
    }
    out->common = splitSegments(common, open, close);
    out->lastWithBreak = splitSegments(lastWithBreak, open, close);
    out->lastAtEnd = splitSegments(last + sectionXml, open, close);

    // The main part around its body.
    for (pugi::xml_node child = body.first_child(); child;) {
        pugi::xml_node next = child.next_sibling();
        body.remove_child(child);
        child = next;
    }
    body.append_child(pugi::node_pcdata).set_value((open + "body" + close).c_str());
    const std::string skeleton = save(main.xml);
    const size_t at = skeleton.find(open + "body" + close);
    out->head = skeleton.substr(0, at);
    out->tail = skeleton.substr(at + open.size() + 4 + close.size());
    out->mainName = main.name;

    for (PerRecordPart& per : out->perRecord)
        per.segments = splitSegments(save(d->parts[per.part]->xml), open, close);

    // The settings lose the mail-merge link (the result is no main document and must not ask to run a
    // query when opened); a template's main part becomes a document's.
    if (d->settings != SIZE_MAX) {
        Part& settings = *d->parts[d->settings];
        if (pugi::xml_node mailMerge = settings.wchild(settings.xml.document_element(), "mailMerge")) {
            settings.xml.document_element().remove_child(mailMerge);
            settings.bytes = save(settings.xml);
        }
    }
    Part& types = *d->parts[d->contentTypes];
    for (pugi::xml_node o : types.xml.document_element().children()) {
        if (lowerAscii(o.attribute("PartName").value()) == lowerAscii("/" + main.name))
            o.attribute("ContentType").set_value(kDocumentMainType);
    }
    for (PerRecordPart& per : out->perRecord) {
        for (pugi::xml_node o : types.xml.document_element().children())
            if (lowerAscii(o.attribute("PartName").value()) == lowerAscii("/" + d->parts[per.part]->name))
                per.contentType = o.attribute("ContentType").value();
    }
    types.xml.document_element().append_child(pugi::node_pcdata).set_value((open + "types" + close).c_str());
    out->contentTypesXml = save(types.xml);
    out->contentTypesName = types.name;
    if (d->mainRels != SIZE_MAX) {
        Part& rels = *d->parts[d->mainRels];
        rels.xml.document_element().append_child(pugi::node_pcdata).set_value((open + "rels" + close).c_str());
        out->mainRelsXml = save(rels.xml);
        out->mainRelsName = rels.name;
    }
    for (size_t i = 0; i < d->parts.size(); ++i) {
        if (i == d->mainPart || i == d->contentTypes || i == d->mainRels || perRecordOf.count(i))
            continue;
        out->fixedParts.emplace_back(d->parts[i]->name, std::move(d->parts[i]->bytes));
    }
    return std::make_unique<CompiledTemplate>(std::move(out));
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
