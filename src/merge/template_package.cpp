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
    // A field never closed swallows the rest of its story: the word processor shows nothing of it.
    if (!open.empty()) {
        std::string code = fields[static_cast<size_t>(open.front().field)].code;
        if (code.size() > 60)
            code = code.substr(0, 60) + "...";
        error = "The target document has a field that is never closed (its code: \"" + code +
                "\"), so nothing after it would show. Open the document in the word processor and correct the field.";
        return false;
    }
    return true;
}

namespace {

// Relationships whose parts never reach the output: macros (and the key bindings and toolbars that
// call them), and comments, which are the template author's notes, not the company's text.
bool isDroppedRelation(const std::string& type)
{
    for (const char* tail : {"/vbaProject", "/keyMapCustomizations", "/attachedToolbars", "/comments",
                             "/commentsExtended", "/commentsIds", "/commentsExtensible"})
        if (endsWith(type, tail))
            return true;
    return false;
}

constexpr std::string_view kMacroType = "application/vnd.ms-office.vbaproject";  // as lowerAscii gives it

// What a macro-enabled template carries beyond its relationships: a macro part reached otherwise, and
// the default content type that declares macro parts.
void dropMacroParts(MergeTemplate::Impl& t)
{
    for (size_t i = 0; i < t.parts.size(); ++i) {
        const std::string name = lowerAscii(t.parts[i]->name);
        if (endsWith(name, "vbaproject.bin") || endsWith(name, "vbadata.xml"))
            t.drop(i);
    }
    Part& types = *t.parts[t.contentTypes];
    for (pugi::xml_node entry = types.xml.document_element().first_child(); entry;) {
        pugi::xml_node next = entry.next_sibling();
        if (std::strcmp(localName(entry), "Default") == 0 && lowerAscii(entry.attribute("ContentType").value()) == kMacroType)
            types.xml.document_element().remove_child(entry);
        entry = next;
    }
}

// Comment marks in the stories go with the comments.
void dropCommentAnchors(MergeTemplate::Impl& t)
{
    for (size_t story : t.stories) {
        Part& part = *t.parts[story];
        std::vector<pugi::xml_node> doomed;
        const pugi::xml_node root = part.xml.document_element();
        int depth = 0;
        for (pugi::xml_node n = root; n; n = nextInOrder(n, root, false, depth)) {
            if (part.is(n, "commentRangeStart") || part.is(n, "commentRangeEnd"))
                doomed.push_back(n);
            else if (part.is(n, "commentReference"))
                doomed.push_back(part.is(n.parent(), "r") ? n.parent() : n);
        }
        for (pugi::xml_node n : doomed)
            n.parent().remove_child(n);
    }
}

// A name that would leave the folder it is unpacked into, or mean another file on Windows.
bool unsafeEntryName(const std::string& name)
{
    if (name.find('\\') != std::string::npos || name[0] == '/' || name.find(':') != std::string::npos)
        return true;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos)
            end = name.size();
        if (name.compare(start, end - start, "..") == 0)
            return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

void MergeTemplate::Impl::drop(size_t index)
{
    Part& part = *parts[index];
    if (part.dropped)
        return;
    part.dropped = true;
    Part& types = *parts[contentTypes];
    for (pugi::xml_node entry : types.xml.document_element().children())
        if (lowerAscii(entry.attribute("PartName").value()) == lowerAscii("/" + part.name)) {
            types.xml.document_element().remove_child(entry);
            break;
        }
    // Its own relationships and what only they reach (a macro project's data).
    const size_t rels = indexOf(relsNameOf(part.name));
    if (rels == SIZE_MAX || parts[rels]->dropped)
        return;
    parts[rels]->dropped = true;
    pugi::xml_document xml;
    if (!xml.load_buffer(parts[rels]->bytes.data(), parts[rels]->bytes.size()))
        return;
    for (pugi::xml_node rel : xml.document_element().children()) {
        if (std::strcmp(rel.attribute("TargetMode").value(), "External") == 0)
            continue;
        const std::string target = resolveTarget(folderOf(part.name), rel.attribute("Target").value());
        if (const size_t reached = target.empty() ? SIZE_MAX : indexOf(target); reached != SIZE_MAX && !parts[reached]->story)
            drop(reached);
    }
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
        if (unsafeEntryName(part->name)) {
            error = "The target document holds an entry named \"" + part->name +
                    "\", a name that points outside the document; such documents are refused.";
            return nullptr;
        }
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
        std::vector<pugi::xml_node> doomed;
        std::vector<size_t> notes;
        for (pugi::xml_node rel : rels.xml.document_element().children()) {
            if (std::strcmp(rel.attribute("TargetMode").value(), "External") == 0)
                continue;
            const std::string type = rel.attribute("Type").value();
            const std::string target = impl->resolve(rel.attribute("Target").value());
            const size_t index = target.empty() ? SIZE_MAX : impl->indexOf(target);
            if (isDroppedRelation(type)) {
                doomed.push_back(rel);
                if (index != SIZE_MAX && index != impl->mainPart)
                    impl->drop(index);
                continue;
            }
            impl->mainRelations[rel.attribute("Id").value()] = {type, rel.attribute("Target").value()};
            if (index == SIZE_MAX || index == impl->mainPart)
                continue;
            Part& part = *impl->parts[index];
            const bool story = endsWith(type, "/header") || endsWith(type, "/footer") || endsWith(type, "/footnotes") ||
                               endsWith(type, "/endnotes");
            size_t* known = endsWith(type, "/settings")    ? &impl->settings
                            : endsWith(type, "/numbering") ? &impl->numbering
                            : endsWith(type, "/styles")    ? &impl->styles
                            : endsWith(type, "/footnotes") ? &impl->footnotes
                            : endsWith(type, "/endnotes")  ? &impl->endnotes
                                                           : nullptr;
            if ((!story && !known) || part.story || (known && *known != SIZE_MAX))
                continue;
            if (!impl->parse(part, error))
                return nullptr;
            if (known)
                *known = index;
            if (story) {
                part.story = true;
                (endsWith(type, "notes") ? notes : impl->stories).push_back(index);
            }
        }
        for (pugi::xml_node rel : doomed)
            rels.xml.document_element().remove_child(rel);
        impl->stories.insert(impl->stories.end(), notes.begin(), notes.end());
    }
    dropMacroParts(*impl);
    dropCommentAnchors(*impl);
    for (size_t story : impl->stories)
        if (!impl->findFields(story, error))
            return nullptr;
    return impl;
}

}  // namespace kyt::merge
