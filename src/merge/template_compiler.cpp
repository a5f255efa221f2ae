#include "merge/template_compiler.h"

#include <algorithm>
#include <cstring>

#include "merge/template_package.h"

namespace kyt::merge::detail {

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


CodeNode textNode(std::string text)
{
    CodeNode node;
    node.text = std::move(text);
    return node;
}

bool isRunLike(const Part& part, pugi::xml_node n)
{
    return part.is(n, "r") || part.is(n, "proofErr") || part.is(n, "fldSimple");
}

}  // namespace

Compiler::Compiler(MergeTemplate::Impl& source, CompiledTemplate::Impl& out, std::string open, std::string close)
    : t_(source), out_(out), open_(std::move(open)), close_(std::move(close))
{
}

std::string Compiler::addSlot(Slot slot)
{
    out_.slotList.push_back(std::move(slot));
    return mark(std::to_string(out_.slotList.size() - 1));
}

Segments Compiler::split(const std::string& xml) const
{
    return splitSegments(xml, open_, close_);
}

std::pair<std::string, std::string> Compiler::around(const std::string& xml, const std::string& name) const
{
    const std::string m = mark(name);
    const size_t at = xml.find(m);
    return {xml.substr(0, at), xml.substr(at + m.size())};
}

bool Compiler::writtenPerCopy(size_t story) const
{
    return story == t_.mainPart || story == t_.footnotes || story == t_.endnotes || perRecordOf_.count(story);
}

// An IF field is worked out by the merge when everything in its code is: text, merge fields, record
// numbers and IF fields of the same kind. One holding PAGE or REF stays a field for the reader.
bool Compiler::evaluable(size_t index) const
{
    const std::string keyword = parseFieldCode(t_.fields[index].code).keyword;
    if (isMergeKeyword(keyword) || keyword == "MERGEREC")
        return true;
    if (keyword != "IF")
        return false;
    for (size_t j = index + 1; j < t_.fields.size(); ++j)
        if (t_.fields[j].parent == static_cast<int>(index) && t_.fields[j].inParentCode && !evaluable(j))
            return false;
    return true;
}

CodeNode Compiler::codeOf(size_t index, const std::vector<std::string>& columns) const
{
    const Field& field = t_.fields[index];
    const FieldCode code = parseFieldCode(field.code);
    CodeNode node;
    node.code = code;
    if (isMergeKeyword(code.keyword)) {
        node.kind = CodeNode::Kind::Value;
        node.column = DataSource{columns, {}}.column(code.name);
        return node;
    }
    if (code.keyword == "MERGEREC") {
        node.kind = CodeNode::Kind::RecordNumber;
        return node;
    }
    node.kind = CodeNode::Kind::If;
    if (field.simple) {
        node.pieces.push_back(textNode(field.code));
        return node;
    }
    // The code runs from the field's begin to its separator (or end); nested fields stand whole in it.
    const Part& part = *t_.parts[field.part];
    const pugi::xml_node root = part.xml.document_element();
    pugi::xml_node paragraph;
    int depth = 0;
    bool skip = false;
    for (pugi::xml_node n = nextInOrder(field.begin, root, true, depth); n && n != field.separate && n != field.end;
         n = nextInOrder(n, root, skip, depth)) {
        skip = false;
        size_t nested = SIZE_MAX;
        for (size_t j = index + 1; j < t_.fields.size() && nested == SIZE_MAX; ++j)
            if (t_.fields[j].parent == static_cast<int>(index) && t_.fields[j].inParentCode &&
                (t_.fields[j].simple ? t_.fields[j].simpleNode == n : t_.fields[j].begin == n))
                nested = j;
        if (nested != SIZE_MAX) {
            node.pieces.push_back(codeOf(nested, columns));
            if (!t_.fields[nested].simple)
                n = t_.fields[nested].end;
            skip = true;
        } else if (part.is(n, "instrText")) {
            // A code over several paragraphs keeps its breaks.
            pugi::xml_node p = n;
            while (p && !part.is(p, "p"))
                p = p.parent();
            if (paragraph && p != paragraph)
                node.pieces.push_back(textNode("\n"));
            paragraph = p;
            node.pieces.push_back(textNode(n.text().get()));
        }
    }
    return node;
}

void Compiler::replaceFields(const std::vector<std::string>& columns)
{
    // Merge fields (and NEXT, MERGEREC, and IF fields the merge works out) give way to slots. A field
    // inside one replaced goes with it.
    replaced_.assign(t_.fields.size(), false);
    for (size_t i = 0; i < t_.fields.size(); ++i) {
        Field& field = t_.fields[i];
        bool gone = false;
        for (int up = field.parent; up >= 0; up = t_.fields[static_cast<size_t>(up)].parent)
            if (replaced_[static_cast<size_t>(up)])
                gone = true;
        if (gone)
            continue;
        const FieldCode code = parseFieldCode(field.code);
        Slot slot;
        if (isMergeKeyword(code.keyword)) {
            slot.kind = Slot::Kind::Value;
            slot.column = DataSource{columns, {}}.column(code.name);
        } else if (code.keyword == "MERGEREC") {
            slot.kind = Slot::Kind::RecordNumber;
        } else if (code.keyword == "NEXT") {
            slot.kind = Slot::Kind::Next;
        } else if (code.keyword == "IF" && evaluable(i)) {
            slot.kind = Slot::Kind::If;
            slot.condition = std::make_shared<const CodeNode>(codeOf(i, columns));
        } else {
            continue;
        }
        replaced_[i] = true;
        const Part& part = *t_.parts[field.part];
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
            ++out_.nextsPerCopy;
        const std::string marker = addSlot(std::move(slot));

        if (field.simple) {
            field.simpleNode.parent().insert_child_before(pugi::node_pcdata, field.simpleNode).set_value(marker.c_str());
            field.simpleNode.parent().remove_child(field.simpleNode);
            continue;
        }
        // Every run from the field's begin to its end goes; bookmarks and other marks in between stay.
        std::vector<pugi::xml_node> doomed;
        const pugi::xml_node root = part.xml.document_element();
        int depth = 0;
        for (pugi::xml_node n = field.begin; n;) {
            const bool run = isRunLike(part, n);
            if (run)
                doomed.push_back(n);
            if (n == field.end)
                break;
            n = nextInOrder(n, root, run, depth);
        }
        field.begin.parent().insert_child_before(pugi::node_pcdata, field.begin).set_value(marker.c_str());
        for (pugi::xml_node n : doomed)
            n.parent().remove_child(n);
    }
}

void Compiler::findPerRecordParts()
{
    for (size_t story : t_.stories) {
        if (story == t_.mainPart || story == t_.footnotes || story == t_.endnotes)
            continue;
        bool hasSlots = false;
        for (size_t i = 0; i < t_.fields.size(); ++i)
            if (replaced_[i] && t_.fields[i].part == story)
                hasSlots = true;
        if (!hasSlots)
            continue;
        PerRecordPart per;
        per.part = story;
        per.partName = t_.parts[story]->name;
        for (const auto& [id, relation] : t_.mainRelations) {
            if (t_.resolve(relation.second) == t_.parts[story]->name) {
                per.relId = id;
                per.relType = relation.first;
                per.relTarget = relation.second;
                break;
            }
        }
        if (const size_t rels = t_.indexOf(relsNameOf(t_.parts[story]->name)); rels != SIZE_MAX)
            per.relsPart = t_.parts[rels]->bytes;
        perRecordOf_[story] = out_.perRecord.size();
        out_.perRecord.push_back(std::move(per));
    }
}

void Compiler::numberIds()
{
    // Ids that must stay unique in the whole result: drawings, bookmarks and notes. Paragraph ids go.
    long long maxDrawing = 0, maxBookmark = 0;
    std::map<size_t, long long> maxNote;
    for (size_t story : t_.stories) {
        const Part& part = *t_.parts[story];
        for (pugi::xpath_node x : part.xml.select_nodes("//*")) {
            const pugi::xml_node n = x.node();
            if (std::strcmp(localName(n), "docPr") == 0)
                maxDrawing = std::max(maxDrawing, n.attribute("id").as_llong());
            if (part.is(n, "bookmarkStart") || part.is(n, "bookmarkEnd"))
                maxBookmark = std::max(maxBookmark, part.wattr(n, "id").as_llong());
            if (part.is(n, "footnote") || part.is(n, "endnote"))
                maxNote[story] = std::max(maxNote[story], part.wattr(n, "id").as_llong());
        }
    }
    auto idSlot = [&](pugi::xml_attribute attr, long long stride) {
        Slot slot;
        slot.kind = Slot::Kind::Id;
        slot.id = attr.as_llong();
        slot.stride = stride;
        attr.set_value(addSlot(std::move(slot)).c_str());
    };
    auto nameSlot = [&](pugi::xml_attribute attr) {
        Slot slot;
        slot.kind = Slot::Kind::Name;
        slot.name = attr.value();
        attr.set_value(addSlot(std::move(slot)).c_str());
    };
    for (size_t story : t_.stories) {
        if (!writtenPerCopy(story))
            continue;
        Part& part = *t_.parts[story];
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
                idSlot(n.attribute("id"), maxDrawing + 1);
            } else if (part.is(n, "bookmarkStart") || part.is(n, "bookmarkEnd")) {
                if (pugi::xml_attribute id = part.wattr(n, "id"))
                    idSlot(id, maxBookmark + 1);
                if (pugi::xml_attribute name = part.wattr(n, "name"))
                    nameSlot(name);
            } else if (part.is(n, "hyperlink") && part.wattr(n, "anchor")) {
                nameSlot(part.wattr(n, "anchor"));
            } else if ((part.is(n, "footnoteReference") && t_.footnotes != SIZE_MAX) ||
                       (part.is(n, "endnoteReference") && t_.endnotes != SIZE_MAX)) {
                if (pugi::xml_attribute id = part.wattr(n, "id"))
                    idSlot(id, maxNote[part.is(n, "footnoteReference") ? t_.footnotes : t_.endnotes] + 1);
            } else if ((part.is(n, "footnote") || part.is(n, "endnote")) && n.parent() == root) {
                // Separators are the document's own, once; every note of the text is each copy's.
                const std::string type = part.wattr(n, "type").value();
                if (pugi::xml_attribute id = part.wattr(n, "id"); id && (type.empty() || type == "normal"))
                    idSlot(id, maxNote[story] + 1);
            }
        }
    }
}

}  // namespace kyt::merge::detail

namespace kyt::merge {

using namespace detail;

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
    Compiler compiler(*d, *out, open, close);
    compiler.replaceFields(columns);
    compiler.findPerRecordParts();
    compiler.numberIds();
    compiler.restartLists();
    compiler.prepareSections();
    compiler.splitBody();
    for (size_t notes : {d->footnotes, d->endnotes})
        if (notes != SIZE_MAX)
            compiler.splitNotes(notes);
    compiler.finishPackage();
    return std::make_unique<CompiledTemplate>(std::move(out));
}

}  // namespace kyt::merge
