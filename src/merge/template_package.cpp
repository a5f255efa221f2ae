#include "merge/template_package.h"

#include "word/zip_reader.h"

namespace kyt::merge {

using word::detail::ZipReader;
using word::detail::ZipStatus;

namespace {

constexpr std::string_view kWordNamespace = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr std::string_view kStrictWordNamespace = "http://purl.oclc.org/ooxml/wordprocessingml/main";
constexpr unsigned kParseFlags =
    pugi::parse_default | pugi::parse_declaration | pugi::parse_doctype | pugi::parse_ws_pcdata;

struct StringWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
};

}  // namespace

namespace detail {

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

}  // namespace detail

using namespace detail;

Part* MergeTemplate::Impl::find(const std::string& name)
{
    for (auto& part : parts)
        if (lowerAscii(part->name) == lowerAscii(name))
            return part.get();
    return nullptr;
}

size_t MergeTemplate::Impl::indexOf(const std::string& name) const
{
    for (size_t i = 0; i < parts.size(); ++i)
        if (lowerAscii(parts[i]->name) == lowerAscii(name))
            return i;
    return SIZE_MAX;
}

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

std::unique_ptr<MergeTemplate::Impl> readPackage(const std::string& bytes, const TemplateLimits& limits,
                                                 std::string& error)
{
    auto impl = std::make_unique<MergeTemplate::Impl>();
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
    return impl;
}

}  // namespace kyt::merge
