#pragma once
// Reading a target format document: every part of the package in memory, the stories parsed (body,
// headers, footers) and their fields found in the order the word processor counts them. Shared by the
// steps that compile the template and write its copies.

#include <pugixml.hpp>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "merge/merge_template.h"

namespace kyt::merge::detail {

inline constexpr const char* kDocumentMainType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml";

std::string lowerAscii(std::string_view text);
bool endsWith(std::string_view text, std::string_view tail);
const char* localName(pugi::xml_node node);
const char* localName(pugi::xml_attribute attr);
std::string prefixOf(const char* qualified);
std::string print(pugi::xml_node node);
std::string save(const pugi::xml_document& doc);

// The next node in document order, not entering `node`'s children when `skipChildren`; null after `root`.
pugi::xml_node nextInOrder(pugi::xml_node node, pugi::xml_node root, bool skipChildren, int& depth);

std::string folderOf(const std::string& partName);
std::string relsNameOf(const std::string& partName);
// A relationship target resolved against the folder of its source part; empty when it leaves the package.
std::string resolveTarget(const std::string& sourceFolder, const std::string& target);

// One part of the package.
struct Part {
    std::string name;
    std::string bytes;  // as read; replaced by the writer for parts it changes
    bool story = false;    // body, header, footer, footnotes or endnotes: holds fields
    bool dropped = false;  // never written to the output
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

inline bool isMergeKeyword(const std::string& keyword)
{
    return keyword == "MERGEFIELD";
}

}  // namespace kyt::merge::detail

namespace kyt::merge {

struct MergeTemplate::Impl {
    TemplateLimits limits;
    std::vector<std::unique_ptr<detail::Part>> parts;  // every entry of the package, in stored order
    size_t mainPart = 0;
    size_t mainRels = SIZE_MAX;
    size_t contentTypes = SIZE_MAX;
    size_t settings = SIZE_MAX;
    size_t numbering = SIZE_MAX;
    size_t styles = SIZE_MAX;
    size_t footnotes = SIZE_MAX;
    size_t endnotes = SIZE_MAX;
    std::vector<size_t> stories;  // main part first, then headers and footers, then footnotes and endnotes
    std::map<std::string, std::pair<std::string, std::string>> mainRelations;  // id -> (type, target)
    std::vector<detail::Field> fields;
    bool compiled = false;

    // Parts by name, letter case ignored, as packages require.
    detail::Part* find(const std::string& name);
    size_t indexOf(const std::string& name) const;

    // Leaves the part (and what only its relationships reach) out of the output.
    void drop(size_t index);
    bool parse(detail::Part& part, std::string& error);
    bool findFields(size_t partIndex, std::string& error);
    std::string resolve(const std::string& target) const;
};

// Reads the package; null with a reason in `error`.
std::unique_ptr<MergeTemplate::Impl> readPackage(const std::string& bytes, const TemplateLimits& limits,
                                                 std::string& error);

}  // namespace kyt::merge
