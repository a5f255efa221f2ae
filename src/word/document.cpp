#include "word/document.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <string_view>

#include "word/utf8.h"
#include "word/zip_reader.h"

namespace kyt::word {

namespace {

using detail::ZipReader;
using detail::ZipStatus;

constexpr std::string_view kWordNamespace = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr std::string_view kStrictWordNamespace = "http://purl.oclc.org/ooxml/wordprocessingml/main";
constexpr std::string_view kOfficeDocumentType = "/officeDocument";
constexpr std::string_view kCellEnd = "\r\a";

bool startsWith(std::string_view text, std::string_view head)
{
    return text.substr(0, head.size()) == head;
}

bool endsWith(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

constexpr std::string_view kOleSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
// An encrypted .docx is an OLE container holding the stream "EncryptionInfo" (a UTF-16 name).
constexpr std::string_view kEncryptionInfo("E\0n\0c\0r\0y\0p\0t\0i\0o\0n\0I\0n\0f\0o\0", 28);
// An OpenDocument package starts with its stored "mimetype" entry (name at byte 30, value after it).
constexpr std::string_view kOdtMimetype = "mimetypeapplication/vnd.oasis.opendocument.text";

// Recognises what people save under a .docx name by mistake, so the reason names the real trouble.
bool describeForeignFile(const std::string& bytes, std::string& error)
{
    if (bytes.empty()) {
        error = "The file is empty.";
        return true;
    }
    switch (Document::sniff(bytes)) {
    case Document::Content::EncryptedDocx:
        error = "The document is protected with a password. Remove the password in the word processor and save it again as .docx.";
        return true;
    case Document::Content::WordBinary:
        error = "The file is an older Word document (.doc format) under a .docx name. Save it as .docx in the word processor.";
        return true;
    case Document::Content::Rtf:
        error = "The file is a Rich Text (.rtf) document under a .docx name. Save it as .docx in the word processor.";
        return true;
    case Document::Content::OpenDocument:
        error = "The file is an OpenDocument (.odt) document under a .docx name. Save it as .docx in the word processor.";
        return true;
    case Document::Content::Docx:
    case Document::Content::Other:
        break;
    }
    return false;
}

std::string statusReason(ZipStatus status, std::string_view part, size_t cap)
{
    switch (status) {
    case ZipStatus::Ok:
        return {};
    case ZipStatus::Missing:
        return "The file has no part " + std::string(part) + ".";
    case ZipStatus::TooLarge:
        return "The part " + std::string(part) + " is larger than " + std::to_string(cap >> 20) +
               " MiB when unpacked; no résumé is that large.";
    case ZipStatus::Encrypted:
        return "The document is encrypted. Remove the password in the word processor and save it again as .docx.";
    case ZipStatus::Unsupported:
        return "The part " + std::string(part) + " is packed with a compression method that cannot be read.";
    case ZipStatus::Damaged:
        break;
    }
    return "The file is damaged: the part " + std::string(part) + " cannot be unpacked.";
}

// Finds the main document part through the package relationships, for packages that do not keep it
// at its usual name. External targets are refused, never followed.
bool locateMainPart(const ZipReader& zip, const ReadLimits& limits, std::string& part, std::string& error)
{
    std::string rels;
    const ZipStatus status = zip.read("_rels/.rels", limits.maxPartBytes, rels);
    if (status != ZipStatus::Ok) {
        if (status == ZipStatus::Missing && zip.has("content.xml") && zip.has("mimetype"))
            error = "The file is an OpenDocument (.odt) document under a .docx name. Save it as .docx in the word processor.";
        else if (status == ZipStatus::Missing)
            error = "The file is a zip package but not a Word document (it has no main document part).";
        else
            error = statusReason(status, "_rels/.rels", limits.maxPartBytes);
        return false;
    }
    pugi::xml_document xml;
    const auto parsed = xml.load_buffer_inplace(rels.data(), rels.size(), pugi::parse_default | pugi::parse_doctype);
    if (!parsed) {
        error = "The file is damaged: its package relationships are not readable XML.";
        return false;
    }
    for (pugi::xml_node node = xml.first_child(); node; node = node.next_sibling()) {
        if (node.type() == pugi::node_doctype) {
            error = "The file's package relationships carry a DOCTYPE declaration; such files are refused.";
            return false;
        }
    }
    for (pugi::xml_node rel : xml.document_element().children()) {
        if (!endsWith(rel.attribute("Type").value(), kOfficeDocumentType))
            continue;
        if (std::strcmp(rel.attribute("TargetMode").value(), "External") == 0) {
            error = "The file's main document points outside the file; it is not followed.";
            return false;
        }
        std::string target = rel.attribute("Target").value();
        while (!target.empty() && target.front() == '/')
            target.erase(0, 1);
        if (target.empty() || target.find("..") != std::string::npos || target.find(':') != std::string::npos) {
            error = "The file's main document has an unusable name.";
            return false;
        }
        part = target;
        return true;
    }
    error = "The file is a zip package but not a Word document (it has no main document part).";
    return false;
}

// Stands for a character that a résumé's text may not hold; no UTF-8 text holds this byte.
constexpr char kBadCharacter = '\xFF';

// A character reference's value as UTF-8, or kBadCharacter for one that text may not hold: NUL and the
// other control characters but tab, line feed and carriage return, surrogates, values past U+10FFFF.
void appendCodePoint(unsigned long value, std::string& out)
{
    const bool control = value < 0x20 && value != '\t' && value != '\n' && value != '\r';
    if (control || value == 0x7F || (value >= 0xD800 && value <= 0xDFFF) || value == 0xFFFE || value == 0xFFFF ||
        value > 0x10FFFF) {
        out.push_back(kBadCharacter);
    } else if (value < 0x80) {
        out.push_back(static_cast<char>(value));
    } else if (value < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (value >> 6)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else if (value < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (value >> 12)));
        out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (value >> 18)));
        out.push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    }
}

// Text of the document with its references resolved. The parser is not left to do it: it would cut a
// text at &#0; without a trace. Raw control characters become kBadCharacter too; bytes that are not
// UTF-8 stay as they are, for the check of every cell to find.
void appendText(const char* text, std::string& out)
{
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}};
    const std::string_view rest(text);
    for (size_t at = 0; at < rest.size();) {
        const char c = rest[at];
        if (c != '&') {
            const auto byte = static_cast<unsigned char>(c);
            out.push_back((byte < 0x20 && c != '\t' && c != '\n' && c != '\r') || byte == 0x7F ? kBadCharacter : c);
            ++at;
            continue;
        }
        const std::string_view tail = rest.substr(at + 1);
        bool resolved = false;
        for (const auto& [name, value] : kNamed) {
            if (startsWith(tail, name)) {
                out.push_back(value);
                at += 1 + name.size();
                resolved = true;
                break;
            }
        }
        if (!resolved && startsWith(tail, "#")) {
            const bool hex = startsWith(tail, "#x") || startsWith(tail, "#X");
            size_t k = hex ? 2 : 1;
            unsigned long value = 0;
            const size_t digitsStart = k;
            for (; k < tail.size() && std::isxdigit(static_cast<unsigned char>(tail[k])); ++k) {
                const char d = tail[k];
                if (!hex && !std::isdigit(static_cast<unsigned char>(d)))
                    break;
                const unsigned digit = std::isdigit(static_cast<unsigned char>(d)) ? d - '0' : (std::tolower(d) - 'a' + 10);
                value = std::min<unsigned long>(value * (hex ? 16 : 10) + digit, 0x110000);
            }
            if (k > digitsStart && k < tail.size() && tail[k] == ';') {
                appendCodePoint(value, out);
                at += 1 + k + 1;
                resolved = true;
            }
        }
        if (!resolved) {
            out.push_back('&');  // not a reference: the parser keeps it as written
            ++at;
        }
    }
}

// A cell's text holds only characters a résumé may hold (its paragraph and cell marks aside).
bool cleanCell(std::string_view cell)
{
    for (size_t at = 0; at < cell.size();) {
        if (cell[at] == '\a') {
            ++at;
            continue;
        }
        const size_t next = cell.find('\a', at);
        const std::string_view piece = cell.substr(at, next == std::string_view::npos ? cell.npos : next - at);
        if (!IsCleanText(piece))
            return false;
        at += piece.size();
    }
    return true;
}

// The first cell that holds a character that has no place in a résumé, named for the officer.
bool findBadCell(const std::vector<Document::Table>& tables, std::string& error)
{
    for (size_t t = 0; t < tables.size(); ++t)
        for (size_t r = 0; r < tables[t].rows.size(); ++r)
            for (size_t c = 0; c < tables[t].rows[r].size(); ++c)
                if (!cleanCell(tables[t].rows[r][c])) {
                    error = "Table " + std::to_string(t + 1) + ", row " + std::to_string(r + 1) + ", cell " +
                            std::to_string(c + 1) +
                            " holds a character that text may not hold (a NUL or another control character, or "
                            "bytes that are not UTF-8). Retype that cell in the word processor.";
                    return true;
                }
    return false;
}

// Walks the body the way the word processor numbers tables: top-level tables in order, each row's
// cells in order, each cell's text as its paragraphs, each ended by a carriage return, the last one by
// a carriage return and bell. The walk reads the document as it would be with every tracked change
// accepted, and stops with a reason when elements nest deeper than the limit.
class BodyWalker {
public:
    BodyWalker(std::string prefix, int maxDepth) : prefix_(std::move(prefix)), maxDepth_(maxDepth) {}

    bool tooDeep() const { return tooDeep_; }

    void body(pugi::xml_node node, std::vector<Document::Table>& tables, int depth)
    {
        if (!enter(depth))
            return;
        for (pugi::xml_node child = node.first_child(); child && !tooDeep_; child = child.next_sibling()) {
            const char* name = local(child);
            if (!name)
                continue;
            if (is(name, "tbl")) {
                Document::Table table;
                readTable(child, &table, nullptr, depth + 1);
                if (!table.rows.empty())
                    tables.push_back(std::move(table));
            } else if (is(name, "sdt")) {
                body(child.child(tagName("sdtContent")), tables, depth + 1);
            } else if (is(name, "customXml")) {
                body(child, tables, depth + 1);
            }
            // Body paragraphs cannot hold a table that the word processor counts (text boxes are
            // shapes, not body tables), so they are not read at all.
        }
    }

private:
    bool enter(int depth)
    {
        if (depth > maxDepth_)
            tooDeep_ = true;
        return !tooDeep_;
    }

    const char* local(pugi::xml_node node) const
    {
        if (node.type() != pugi::node_element)
            return nullptr;
        const char* name = node.name();
        if (prefix_.empty())
            return std::strchr(name, ':') ? nullptr : name;
        if (std::strncmp(name, prefix_.data(), prefix_.size()) != 0 || name[prefix_.size()] != ':')
            return nullptr;
        return name + prefix_.size() + 1;
    }

    static bool is(const char* local, const char* want) { return std::strcmp(local, want) == 0; }

    const char* tagName(const char* localName)
    {
        scratch_ = prefix_.empty() ? std::string(localName) : prefix_ + ":" + localName;
        return scratch_.c_str();
    }

    pugi::xml_node wchild(pugi::xml_node node, const char* localName)
    {
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
            const char* name = local(child);
            if (name && is(name, localName))
                return child;
        }
        return {};
    }

    // The w:val attribute of a property; empty when it has none.
    static const char* val(pugi::xml_node property)
    {
        for (pugi::xml_attribute attr = property.first_attribute(); attr; attr = attr.next_attribute()) {
            const char* colon = std::strchr(attr.name(), ':');
            if (std::strcmp(colon ? colon + 1 : attr.name(), "val") == 0)
                return attr.value();
        }
        return "";
    }

    // "On" unless w:val says otherwise, as every on/off property of the format.
    static bool onOff(pugi::xml_node property)
    {
        if (!property)
            return false;
        const std::string_view v = val(property);
        return !(v == "0" || v == "false" || v == "off");
    }

    // A table at the top level (into `table`) or nested in a cell (its text appended to `text`).
    void readTable(pugi::xml_node tbl, Document::Table* table, std::string* text, int depth)
    {
        if (!enter(depth))
            return;
        for (pugi::xml_node child = tbl.first_child(); child && !tooDeep_; child = child.next_sibling()) {
            const char* name = local(child);
            if (!name)
                continue;
            if (is(name, "tr"))
                readRow(child, table, text, depth + 1);
            else if (is(name, "sdt"))
                readTable(wchild(child, "sdtContent"), table, text, depth + 1);
            else if (is(name, "customXml"))
                readTable(child, table, text, depth + 1);
        }
    }

    void readRow(pugi::xml_node tr, Document::Table* table, std::string* text, int depth)
    {
        if (!enter(depth))
            return;
        if (pugi::xml_node trPr = wchild(tr, "trPr"); trPr && wchild(trPr, "del"))
            return;  // a deleted row
        std::vector<std::string> cells;
        readCells(tr, table ? &cells : nullptr, text, depth + 1);
        if (table)
            table->rows.push_back(std::move(cells));
        else
            text->append(kCellEnd);  // the end-of-row mark of a nested table
    }

    void readCells(pugi::xml_node container, std::vector<std::string>* cells, std::string* text, int depth)
    {
        if (!enter(depth))
            return;
        for (pugi::xml_node child = container.first_child(); child && !tooDeep_; child = child.next_sibling()) {
            const char* name = local(child);
            if (!name)
                continue;
            if (is(name, "tc")) {
                std::string own;
                if (!readCell(child, cells ? own : *text, depth + 1))
                    continue;
                if (cells)
                    cells->push_back(std::move(own));
            } else if (is(name, "sdt")) {
                readCells(wchild(child, "sdtContent"), cells, text, depth + 1);
            } else if (is(name, "customXml")) {
                readCells(child, cells, text, depth + 1);
            }
        }
    }

    // False when the cell is a deleted one and does not count.
    bool readCell(pugi::xml_node tc, std::string& out, int depth)
    {
        if (!enter(depth))
            return false;
        if (pugi::xml_node tcPr = wchild(tc, "tcPr")) {
            if (wchild(tcPr, "cellDel"))
                return false;
            // The older horizontal merge: the cells after the first are part of it, not cells.
            if (pugi::xml_node hMerge = wchild(tcPr, "hMerge"); hMerge && std::strcmp(val(hMerge), "restart") != 0)
                return false;
            // A cell continuing a vertical merge shows nothing of its own: it reads empty so that the
            // columns of a form keep their places.
            if (pugi::xml_node vMerge = wchild(tcPr, "vMerge"); vMerge && std::strcmp(val(vMerge), "restart") != 0) {
                out.append(kCellEnd);
                return true;
            }
        }
        // Fields do not cross cells; a field left open in a broken cell must not hide the next ones.
        std::vector<bool> savedFields;
        savedFields.swap(fields_);
        const size_t start = out.size();
        blocks(tc, out, depth + 1);
        fields_.swap(savedFields);
        if (out.size() == start || out.back() != '\r')
            out.push_back('\r');
        out.push_back('\a');
        return true;
    }

    void blocks(pugi::xml_node container, std::string& out, int depth)
    {
        if (!enter(depth))
            return;
        for (pugi::xml_node child = container.first_child(); child && !tooDeep_; child = child.next_sibling()) {
            const char* name = local(child);
            if (!name)
                continue;
            if (is(name, "p"))
                paragraph(child, out, depth + 1);
            else if (is(name, "tbl"))
                readTable(child, nullptr, &out, depth + 1);
            else if (is(name, "sdt"))
                blocks(wchild(child, "sdtContent"), out, depth + 1);
            else if (is(name, "customXml"))
                blocks(child, out, depth + 1);
        }
    }

    void paragraph(pugi::xml_node p, std::string& out, int depth)
    {
        if (!enter(depth))
            return;
        bool markDeleted = false;
        for (pugi::xml_node child = p.first_child(); child && !tooDeep_; child = child.next_sibling()) {
            const char* name = local(child);
            if (!name)
                continue;
            if (is(name, "pPr")) {
                if (pugi::xml_node rPr = wchild(child, "rPr"))
                    markDeleted = wchild(rPr, "del") || wchild(rPr, "moveFrom");
                continue;
            }
            inline_(child, name, out, depth + 1);
        }
        // A deleted paragraph mark joins this paragraph to the next.
        if (!markDeleted)
            out.push_back('\r');
    }

    void inlines(pugi::xml_node container, std::string& out, int depth)
    {
        if (!enter(depth))
            return;
        for (pugi::xml_node child = container.first_child(); child && !tooDeep_; child = child.next_sibling()) {
            if (const char* name = local(child))
                inline_(child, name, out, depth + 1);
        }
    }

    void inline_(pugi::xml_node node, const char* name, std::string& out, int depth)
    {
        if (is(name, "r")) {
            run(node, out, depth);
        } else if (is(name, "hyperlink") || is(name, "smartTag") || is(name, "customXml") || is(name, "fldSimple") ||
                   is(name, "ins") || is(name, "moveTo") || is(name, "bdo") || is(name, "dir")) {
            inlines(node, out, depth);
        } else if (is(name, "sdt")) {
            inlines(wchild(node, "sdtContent"), out, depth);
        }
        // Deleted and moved-away text, proofing marks, bookmarks and comments show nothing.
    }

    bool visible() const
    {
        for (bool inResult : fields_)
            if (!inResult)
                return false;
        return true;
    }

    void run(pugi::xml_node r, std::string& out, int depth)
    {
        if (!enter(depth))
            return;
        bool hidden = false;  // hidden text is not shown to the student; its field marks still count
        for (pugi::xml_node child = r.first_child(); child; child = child.next_sibling()) {
            const char* name = local(child);
            if (!name)
                continue;
            if (is(name, "t")) {
                if (!hidden && visible())
                    appendText(child.text().get(), out);
            } else if (is(name, "rPr")) {
                hidden = onOff(wchild(child, "vanish"));
            } else if (is(name, "fldChar")) {
                std::string_view type = child.attribute(tagName("fldCharType")).value();
                if (type == "begin") {
                    fields_.push_back(false);
                } else if (type == "separate") {
                    if (!fields_.empty())
                        fields_.back() = true;
                } else if (type == "end") {
                    if (!fields_.empty())
                        fields_.pop_back();
                }
            } else if (hidden || !visible()) {
                continue;  // field codes
            } else if (is(name, "tab") || is(name, "ptab")) {
                out.push_back('\t');
            } else if (is(name, "br") || is(name, "cr")) {
                out.push_back('\r');  // a manual line break reads as a paragraph end
            } else if (is(name, "noBreakHyphen")) {
                out.push_back('-');
            }
        }
    }

    std::string prefix_;
    int maxDepth_;
    bool tooDeep_ = false;
    std::vector<bool> fields_;  // open complex fields: false while in the code, true in the result
    std::string scratch_;
};

// The prefix bound to the WordprocessingML namespace on the root element ("w" nearly always).
bool wordPrefix(pugi::xml_node root, std::string& prefix)
{
    for (pugi::xml_attribute attr = root.first_attribute(); attr; attr = attr.next_attribute()) {
        std::string_view name = attr.name();
        std::string_view value = attr.value();
        if (value != kWordNamespace && value != kStrictWordNamespace)
            continue;
        if (name == "xmlns") {
            prefix.clear();
            return true;
        }
        if (startsWith(name, "xmlns:")) {
            prefix = std::string(name.substr(6));
            return true;
        }
    }
    return false;
}

std::unique_ptr<Document> readPackage(const std::string& bytes, std::string& error, const ReadLimits& limits)
{
    using Table = Document::Table;
    error.clear();
    if (bytes.size() > limits.maxFileBytes) {
        error = "The file is larger than " + std::to_string(limits.maxFileBytes >> 20) + " MiB; no résumé is that large.";
        return nullptr;
    }
    if (describeForeignFile(bytes, error))
        return nullptr;

    ZipReader zip;
    if (!zip.open(bytes, limits.maxEntries, error))
        return nullptr;

    std::string partName = "word/document.xml";
    if (!zip.has(partName.c_str()) && !locateMainPart(zip, limits, partName, error))
        return nullptr;

    std::string xmlText;
    if (ZipStatus status = zip.read(partName.c_str(), limits.maxPartBytes, xmlText); status != ZipStatus::Ok) {
        error = statusReason(status, partName, limits.maxPartBytes);
        return nullptr;
    }

    pugi::xml_document xml;
    // Without parse_escapes: the walk resolves references itself (appendText).
    const unsigned flags = pugi::parse_cdata | pugi::parse_eol | pugi::parse_ws_pcdata | pugi::parse_doctype;
    const pugi::xml_parse_result parsed = xml.load_buffer_inplace(xmlText.data(), xmlText.size(), flags);
    if (!parsed) {
        error = "The file is damaged: its document text is not readable XML (" + std::string(parsed.description()) +
                " at byte " + std::to_string(parsed.offset) + ").";
        return nullptr;
    }
    for (pugi::xml_node node = xml.first_child(); node; node = node.next_sibling()) {
        if (node.type() == pugi::node_doctype) {
            error = "The document text carries a DOCTYPE declaration, which word processors never write; it is refused.";
            return nullptr;
        }
    }

    pugi::xml_node root = xml.document_element();
    std::string prefix;
    if (!root || !wordPrefix(root, prefix)) {
        error = "The file is not a Word document (its main part is not WordprocessingML).";
        return nullptr;
    }
    const std::string bodyName = prefix.empty() ? "body" : prefix + ":body";
    const std::string documentName = prefix.empty() ? "document" : prefix + ":document";
    if (documentName != root.name()) {
        error = "The file is not a Word document (its main part is not WordprocessingML).";
        return nullptr;
    }

    std::vector<Table> tables;
    BodyWalker walker(prefix, limits.maxDepth);
    walker.body(root.child(bodyName.c_str()), tables, 1);
    if (walker.tooDeep()) {
        error = "The document nests its elements more than " + std::to_string(limits.maxDepth) +
                " levels deep; it is refused.";
        return nullptr;
    }
    if (findBadCell(tables, error))
        return nullptr;
    return std::make_unique<Document>(std::move(tables));
}

}  // namespace

std::unique_ptr<Document> Document::openBytes(const std::string& bytes, std::string& error, const ReadLimits& limits)
{
    // Memory is bounded by the limits; should it still run out, that is this document's failure.
    try {
        return readPackage(bytes, error, limits);
    } catch (const std::bad_alloc&) {
        error = "The document is too large to read.";
        return nullptr;
    }
}

bool Document::checkPackage(const std::string& bytes, std::string& error, const ReadLimits& limits)
{
    error.clear();
    if (bytes.size() > limits.maxFileBytes) {
        error = "The file is larger than " + std::to_string(limits.maxFileBytes >> 20) + " MiB; no résumé is that large.";
        return false;
    }
    ZipReader zip;
    if (!zip.open(bytes, limits.maxEntries, error))
        return false;
    try {
        size_t total = 0;
        std::string content, name;
        for (zip_int64_t index = 0; index < zip.entryCount(); ++index) {
            zip_uint64_t declared = 0, packed = 0;
            const ZipStatus status =
                zip.readAt(static_cast<zip_uint64_t>(index), limits.maxPartBytes, content, &name, &declared, &packed);
            if (status == ZipStatus::Encrypted)
                continue;  // LibreOffice asks for the password and fails the file; nothing is unpacked here
            if (status != ZipStatus::Ok) {
                error = statusReason(status, name, limits.maxPartBytes);
                return false;
            }
            total += content.size();
            if (total > limits.maxPackageBytes) {
                error = "The file unpacks to more than " + std::to_string(limits.maxPackageBytes >> 20) +
                        " MiB; no résumé is that large.";
                return false;
            }
            if (content.size() > limits.ratioFloorBytes && content.size() / std::max<zip_uint64_t>(packed, 1) >
                                                               limits.maxPackingRatio) {
                error = "The part " + name + " unpacks to more than " + std::to_string(limits.maxPackingRatio) +
                        " times its packed size, as only a zip bomb does; the file is refused.";
                return false;
            }
        }
    } catch (const std::bad_alloc&) {
        error = "The document is too large to read.";
        return false;
    }
    return true;
}

Document::Content Document::sniff(const std::string& bytes)
{
    const std::string_view head(bytes);
    if (startsWith(head, kOleSignature))
        return head.find(kEncryptionInfo) != std::string_view::npos ? Content::EncryptedDocx : Content::WordBinary;
    if (startsWith(head, "{\\rtf"))
        return Content::Rtf;
    if (startsWith(head, "PK\x03\x04"))
        return head.size() >= 30 + kOdtMimetype.size() && head.substr(30, kOdtMimetype.size()) == kOdtMimetype
                   ? Content::OpenDocument
                   : Content::Docx;
    return Content::Other;
}

Document::Content Document::sniffFile(const std::string& path)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return Content::Other;
    std::ifstream in(path, std::ios::binary);
    std::string head(128, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    Content content = sniff(head);
    if (content == Content::WordBinary) {
        // Only the whole container tells an encrypted .docx from an older Word document.
        std::ifstream whole(path, std::ios::binary | std::ios::ate);
        const std::streamoff size = whole.tellg();
        if (size > 0 && static_cast<uint64_t>(size) <= ReadLimits{}.maxFileBytes) {
            std::string bytes(static_cast<size_t>(size), '\0');
            whole.seekg(0);
            whole.read(bytes.data(), size);
            content = sniff(bytes);
        }
    }
    return content;
}

std::unique_ptr<Document> Document::open(const std::string& path, std::string& error, const ReadLimits& limits)
{
    error.clear();
    // Only plain files: a folder has no content, and reading a pipe or a device could wait forever.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = std::filesystem::exists(path, ec) ? "It is not a document file." : "The file cannot be opened.";
        return nullptr;
    }
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        error = "The file cannot be opened.";
        return nullptr;
    }
    const std::streamoff size = in.tellg();
    if (size < 0) {
        error = "The file cannot be read.";
        return nullptr;
    }
    if (static_cast<uint64_t>(size) > limits.maxFileBytes) {
        error = "The file is larger than " + std::to_string(limits.maxFileBytes >> 20) + " MiB; no résumé is that large.";
        return nullptr;
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    in.seekg(0);
    if (!in.read(bytes.data(), size)) {
        error = "The file cannot be read.";
        return nullptr;
    }
    return openBytes(bytes, error, limits);
}

const Document::Table* Document::table(int index) const
{
    if (index < 1 || index > tableCount())
        return nullptr;
    return &tables_[static_cast<size_t>(index - 1)];
}

const std::vector<std::string>* Document::row(int tableIndex, int rowIndex) const
{
    const Table* t = table(tableIndex);
    if (!t || rowIndex < 1 || static_cast<size_t>(rowIndex) > t->rows.size())
        return nullptr;
    return &t->rows[static_cast<size_t>(rowIndex - 1)];
}

}  // namespace kyt::word
