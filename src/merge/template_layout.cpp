// The package around the copies: where one copy ends and the next begins (sections), the parts that
// grow with the copies (body, notes, list instances), and the parts written once.

#include <cstring>
#include <map>

#include "merge/template_compiler.h"
#include "merge/template_package.h"

namespace kyt::merge::detail {

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

// Children of w:pPr that come before w:numPr.
bool precedesNumbering(const char* local)
{
    for (const char* name : {"pStyle", "keepNext", "keepLines", "pageBreakBefore", "framePr", "widowControl"})
        if (std::strcmp(name, local) == 0)
            return true;
    return false;
}

pugi::xml_node childWithValue(const Part& part, pugi::xml_node parent, const char* local, const char* attr,
                              const std::string& value)
{
    for (pugi::xml_node child : parent.children())
        if (part.is(child, local) && value == part.wattr(child, attr).value())
            return child;
    return {};
}

}  // namespace

void Compiler::restartLists()
{
    if (t_.numbering == SIZE_MAX)
        return;
    Part& numbering = *t_.parts[t_.numbering];
    pugi::xml_node definitions = numbering.xml.document_element();
    std::map<long long, pugi::xml_node> nums;
    long long maxNum = 0;
    for (pugi::xml_node num : definitions.children()) {
        if (!numbering.is(num, "num"))
            continue;
        nums[numbering.wattr(num, "numId").as_llong()] = num;
        maxNum = std::max(maxNum, numbering.wattr(num, "numId").as_llong());
    }
    // A paragraph style may number its paragraphs: its list and level, through the styles it is based on.
    struct StyleList {
        long long num = 0;
        int level = -1;
    };
    auto styleList = [&](const std::string& styleId) {
        StyleList found;
        if (t_.styles == SIZE_MAX)
            return found;
        const Part& styles = *t_.parts[t_.styles];
        std::string id = styleId;
        for (int hops = 0; hops < 16 && !id.empty(); ++hops) {
            const pugi::xml_node style = childWithValue(styles, styles.xml.document_element(), "style", "styleId", id);
            const pugi::xml_node numPr = styles.wchild(styles.wchild(style, "pPr"), "numPr");
            if (found.level < 0 && styles.wchild(numPr, "ilvl"))
                found.level = styles.wattr(styles.wchild(numPr, "ilvl"), "val").as_int();
            if (styles.wchild(numPr, "numId")) {
                found.num = styles.wattr(styles.wchild(numPr, "numId"), "val").as_llong();
                break;
            }
            id = styles.wattr(styles.wchild(style, "basedOn"), "val").value();
        }
        return found;
    };
    auto abstractOf = [&](pugi::xml_node num) {
        const std::string id = numbering.wattr(numbering.wchild(num, "abstractNumId"), "val").value();
        pugi::xml_node abstract = childWithValue(numbering, definitions, "abstractNum", "abstractNumId", id);
        // A list defined by a numbering style takes its levels from the style's list.
        if (pugi::xml_node link = numbering.wchild(abstract, "numStyleLink")) {
            const auto linked = nums.find(styleList(numbering.wattr(link, "val").value()).num);
            if (linked != nums.end()) {
                const std::string target = numbering.wattr(numbering.wchild(linked->second, "abstractNumId"), "val").value();
                abstract = childWithValue(numbering, definitions, "abstractNum", "abstractNumId", target);
            }
        }
        return abstract;
    };

    std::map<long long, long long> used;  // list instance -> its place among those copied
    auto numSlot = [&](long long num) {
        Slot slot;
        slot.kind = Slot::Kind::NumId;
        slot.id = num;
        slot.stride = used.emplace(num, static_cast<long long>(used.size())).first->second;
        return addSlot(std::move(slot));
    };
    for (size_t story : {t_.mainPart, t_.footnotes, t_.endnotes}) {
        if (story == SIZE_MAX)
            continue;
        Part& part = *t_.parts[story];
        for (pugi::xpath_node x : part.xml.select_nodes("//*")) {
            const pugi::xml_node p = x.node();
            if (!part.is(p, "p"))
                continue;
            pugi::xml_node pPr = part.wchild(p, "pPr");
            const pugi::xml_node numPr = part.wchild(pPr, "numPr");
            if (numPr) {
                pugi::xml_attribute id = part.wattr(part.wchild(numPr, "numId"), "val");
                if (id && nums.count(id.as_llong()))
                    id.set_value(numSlot(id.as_llong()).c_str());
                continue;
            }
            const pugi::xml_node pStyle = part.wchild(pPr, "pStyle");
            if (!pStyle)
                continue;
            const std::string styleId = part.wattr(pStyle, "val").value();
            StyleList list = styleList(styleId);
            if (!nums.count(list.num))
                continue;
            if (list.level < 0) {
                // The level whose paragraph style this is, as multi-level heading lists are made.
                list.level = 0;
                for (pugi::xml_node lvl : abstractOf(nums[list.num]).children())
                    if (numbering.is(lvl, "lvl") && styleId == numbering.wattr(numbering.wchild(lvl, "pStyle"), "val").value())
                        list.level = numbering.wattr(lvl, "ilvl").as_int();
            }
            pugi::xml_node after;
            for (pugi::xml_node child : pPr.children())
                if (child.type() == pugi::node_element && precedesNumbering(localName(child)))
                    after = child;
            pugi::xml_node own = after ? pPr.insert_child_after(part.tag("numPr").c_str(), after)
                                       : pPr.prepend_child(part.tag("numPr").c_str());
            own.append_child(part.tag("ilvl").c_str()).append_attribute(part.tag("val").c_str()) = list.level;
            own.append_child(part.tag("numId").c_str()).append_attribute(part.tag("val").c_str()) =
                numSlot(list.num).c_str();
        }
    }
    if (used.empty())
        return;

    // From the second copy on, each list instance has a twin that starts every level again.
    std::vector<long long> order(used.size());
    for (const auto& [num, place] : used)
        order[static_cast<size_t>(place)] = num;
    std::string twins;
    for (size_t place = 0; place < order.size(); ++place) {
        const pugi::xml_node num = nums[order[place]];
        pugi::xml_document scratch;
        pugi::xml_node twin = scratch.append_copy(num);
        Slot slot;
        slot.kind = Slot::Kind::NumId;
        slot.id = order[place];
        slot.stride = static_cast<long long>(place);
        numbering.wattr(twin, "numId").set_value(addSlot(std::move(slot)).c_str());
        for (pugi::xml_node lvl : abstractOf(num).children()) {
            if (!numbering.is(lvl, "lvl"))
                continue;
            const std::string level = numbering.wattr(lvl, "ilvl").value();
            pugi::xml_node levelOverride = childWithValue(numbering, twin, "lvlOverride", "ilvl", level);
            if (!levelOverride) {
                levelOverride = twin.append_child(numbering.tag("lvlOverride").c_str());
                levelOverride.append_attribute(numbering.tag("ilvl").c_str()) = level.c_str();
            }
            if (!numbering.wchild(levelOverride, "startOverride")) {
                const pugi::xml_node start = numbering.wchild(lvl, "start");
                levelOverride.prepend_child(numbering.tag("startOverride").c_str())
                    .append_attribute(numbering.tag("val").c_str()) = start ? numbering.wattr(start, "val").value() : "0";
            }
        }
        twins += print(twin);
    }
    // Instances come after the abstract definitions, before the clean-up mark if there is one.
    const pugi::xml_node cleanup = numbering.wchild(definitions, "numIdMacAtCleanup");
    (cleanup ? definitions.insert_child_before(pugi::node_pcdata, cleanup) : definitions.append_child(pugi::node_pcdata))
        .set_value(mark("lists").c_str());
    StreamedPart lists;
    lists.name = numbering.name;
    std::tie(lists.head, lists.tail) = around(save(numbering.xml), "lists");
    lists.each = split(twins);
    lists.fromSecondCopy = true;
    out_.streamed.push_back(std::move(lists));
    out_.firstNewNumId = maxNum + 1;
    out_.numsPerCopy = static_cast<long long>(order.size());
    streamedParts_.insert(t_.numbering);
}

void Compiler::prepareSections()
{
    // Each record's first section starts on a new page with its page numbers from 1, and refers to its
    // own copies of the headers and footers that hold fields.
    Part& main = *t_.parts[t_.mainPart];
    const pugi::xml_node body = main.wchild(main.xml.document_element(), "body");
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
    // With one section to a copy, its notes are numbered from 1 as the template's are.
    if (sections.size() == 1) {
        for (const auto& [notes, part] : {std::pair{"footnotePr", t_.footnotes}, std::pair{"endnotePr", t_.endnotes}}) {
            if (part != SIZE_MAX) {
                pugi::xml_node properties = sectionChild(main, sections.front(), notes);
                if (!main.wchild(properties, "numRestart"))
                    properties.append_child(main.tag("numRestart").c_str()).append_attribute(main.tag("val").c_str()) =
                        "eachSect";
            }
        }
    }
    for (pugi::xml_node section : sections) {
        for (pugi::xml_node ref : section.children()) {
            if (!main.is(ref, "headerReference") && !main.is(ref, "footerReference"))
                continue;
            for (pugi::xml_attribute attr = ref.first_attribute(); attr; attr = attr.next_attribute()) {
                if (std::strcmp(localName(attr), "id") != 0 || prefixOf(attr.name()) == main.w)
                    continue;
                auto relation = t_.mainRelations.find(attr.value());
                if (relation == t_.mainRelations.end())
                    break;
                const size_t target = t_.indexOf(t_.resolve(relation->second.second));
                if (auto per = perRecordOf_.find(target); per != perRecordOf_.end()) {
                    Slot slot;
                    slot.kind = Slot::Kind::PartRef;
                    slot.perRecordPart = per->second;
                    attr.set_value(addSlot(std::move(slot)).c_str());
                }
                break;
            }
        }
    }
}

void Compiler::splitBody()
{
    Part& main = *t_.parts[t_.mainPart];
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

    // All blocks but the last, then the last in two forms: ending in a section break (every copy but
    // the last) and followed by the body's own section properties.
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
    StreamedPart document;
    document.name = main.name;
    document.each = split(common + lastWithBreak);
    document.last = split(common + last + sectionXml);

    // The main part around its body.
    for (pugi::xml_node child = body.first_child(); child;) {
        pugi::xml_node next = child.next_sibling();
        body.remove_child(child);
        child = next;
    }
    body.append_child(pugi::node_pcdata).set_value(mark("body").c_str());
    std::tie(document.head, document.tail) = around(save(main.xml), "body");
    out_.streamed.insert(out_.streamed.begin(), std::move(document));
    streamedParts_.insert(t_.mainPart);
}

void Compiler::splitNotes(size_t notesPart)
{
    Part& part = *t_.parts[notesPart];
    pugi::xml_node root = part.xml.document_element();
    std::string each;
    for (pugi::xml_node note = root.first_child(); note;) {
        pugi::xml_node next = note.next_sibling();
        const std::string type = part.wattr(note, "type").value();
        if ((part.is(note, "footnote") || part.is(note, "endnote")) && (type.empty() || type == "normal")) {
            each += print(note);
            root.remove_child(note);
        }
        note = next;
    }
    root.append_child(pugi::node_pcdata).set_value(mark("notes").c_str());
    StreamedPart notes;
    notes.name = part.name;
    std::tie(notes.head, notes.tail) = around(save(part.xml), "notes");
    notes.each = split(each);
    out_.streamed.push_back(std::move(notes));
    streamedParts_.insert(notesPart);
}

void Compiler::finishPackage()
{
    for (PerRecordPart& per : out_.perRecord)
        per.segments = split(save(t_.parts[per.part]->xml));

    // The settings lose the mail-merge link (the result is no main document and must not ask to run a
    // query when opened); a template's main part becomes a document's.
    if (t_.settings != SIZE_MAX) {
        Part& settings = *t_.parts[t_.settings];
        if (pugi::xml_node mailMerge = settings.wchild(settings.xml.document_element(), "mailMerge")) {
            settings.xml.document_element().remove_child(mailMerge);
            settings.bytes = save(settings.xml);
        }
    }
    const std::string mainName = t_.parts[t_.mainPart]->name;
    Part& types = *t_.parts[t_.contentTypes];
    for (pugi::xml_node o : types.xml.document_element().children()) {
        if (lowerAscii(o.attribute("PartName").value()) == lowerAscii("/" + mainName))
            o.attribute("ContentType").set_value(kDocumentMainType);
    }
    for (PerRecordPart& per : out_.perRecord) {
        for (pugi::xml_node o : types.xml.document_element().children())
            if (lowerAscii(o.attribute("PartName").value()) == lowerAscii("/" + t_.parts[per.part]->name))
                per.contentType = o.attribute("ContentType").value();
    }
    types.xml.document_element().append_child(pugi::node_pcdata).set_value(mark("types").c_str());
    std::tie(out_.contentTypesHead, out_.contentTypesTail) = around(save(types.xml), "types");
    out_.contentTypesName = types.name;
    if (t_.mainRels != SIZE_MAX) {
        Part& rels = *t_.parts[t_.mainRels];
        rels.xml.document_element().append_child(pugi::node_pcdata).set_value(mark("rels").c_str());
        std::tie(out_.mainRelsHead, out_.mainRelsTail) = around(save(rels.xml), "rels");
        out_.mainRelsName = rels.name;
    }
    for (size_t i = 0; i < t_.parts.size(); ++i) {
        if (t_.parts[i]->dropped || i == t_.contentTypes || i == t_.mainRels || perRecordOf_.count(i) ||
            streamedParts_.count(i))
            continue;
        out_.fixedParts.emplace_back(t_.parts[i]->name, std::move(t_.parts[i]->bytes));
    }
}

}  // namespace kyt::merge::detail
