#include "merge/template_compiler.h"

#include <map>

#include "merge/template_package.h"

namespace kyt::merge {

using namespace detail;

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

}  // namespace kyt::merge
