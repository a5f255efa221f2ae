#pragma once
// A compiled template: the serialized parts cut into segments of literal XML and slots, the places
// where each copy writes something of its own (a value, an IF field's outcome, an id, a name, a list's
// numbering). Made by MergeTemplate::compile, written by CompiledTemplate::write.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "merge/field_format.h"
#include "merge/merge_template.h"

namespace kyt::merge::detail {

struct Part;

// The code of an IF field: its own text and the fields nested in it, in order.
struct CodeNode {
    enum class Kind { Text, Value, RecordNumber, If } kind = Kind::Text;
    std::string text;  // Text
    int column = -1;   // Value
    FieldCode code;    // Value, RecordNumber: the switches
    std::vector<CodeNode> pieces;  // If
};

struct Slot {
    enum class Kind { Value, RecordNumber, Next, If, Id, Name, PartRef, NumId } kind = Kind::Value;
    int column = -1;
    FieldCode code;
    std::shared_ptr<const CodeNode> condition;  // If
    bool inCode = false;   // in the code of a field the reader still updates
    std::string runOpen;   // "<w:r>" plus the run properties
    std::string w;         // the part's prefix
    long long id = 0;      // Id; NumId: the template's list instance
    long long stride = 0;  // Id; NumId: the instance's place among those copied
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

// A part that grows with the copies (the body, footnotes, endnotes, list instances): written as it is
// rendered, copy after copy, between its head and its tail.
struct StreamedPart {
    std::string name;
    std::string head, tail;
    Segments each;
    Segments last;                // for the last copy instead of `each`, when not empty
    bool fromSecondCopy = false;  // the first copy uses what the template has
};

}  // namespace kyt::merge::detail

namespace kyt::merge {

struct CompiledTemplate::Impl {
    std::vector<detail::Slot> slotList;
    std::vector<detail::StreamedPart> streamed;  // the main part first
    int nextsPerCopy = 0;
    std::vector<detail::PerRecordPart> perRecord;
    std::string mainRelsName;
    std::string contentTypesName;
    // Parts written unchanged, and the changed relationships, content types and settings.
    std::vector<std::pair<std::string, std::string>> fixedParts;
    std::string mainRelsHead, mainRelsTail;          // around the relationships of copied parts
    std::string contentTypesHead, contentTypesTail;  // around their overrides
    long long firstNewNumId = 0;  // list instances made for the second copy on
    long long numsPerCopy = 0;

    void render(const detail::Segments& segments, const DataSource& data, size_t copy, size_t& row,
                std::string& out) const;
};

}  // namespace kyt::merge

namespace kyt::merge::detail {

// The steps of MergeTemplate::compile, on the parsed template (changed as it goes) and the result.
class Compiler {
public:
    Compiler(MergeTemplate::Impl& source, CompiledTemplate::Impl& out, std::string open, std::string close);

    std::string addSlot(Slot slot);
    Segments split(const std::string& xml) const;
    // The text of the serialized `xml` before and after the mark `name` put into it.
    std::pair<std::string, std::string> around(const std::string& xml, const std::string& name) const;
    std::string mark(const std::string& name) const { return open_ + name + close_; }

    // Fields that the merge fills give way to slots.
    void replaceFields(const std::vector<std::string>& columns);
    // Headers and footers with slots are written once per record.
    void findPerRecordParts();
    // Drawing, bookmark and note ids unique in the whole result.
    void numberIds();
    // Numbered lists start again in every copy.
    void restartLists();
    // Each copy's first section on a new page, page numbers from 1, its own headers and footers.
    void prepareSections();
    void splitBody();
    void splitNotes(size_t notesPart);
    void finishPackage();

private:
    bool writtenPerCopy(size_t story) const;
    CodeNode codeOf(size_t field, const std::vector<std::string>& columns) const;
    bool evaluable(size_t field) const;

    MergeTemplate::Impl& t_;
    CompiledTemplate::Impl& out_;
    std::string open_, close_;
    std::vector<bool> replaced_;
    std::map<size_t, size_t> perRecordOf_;  // part index -> perRecord index
    std::map<long long, long long> noteStride_;  // per notes part index: the id stride
    std::set<size_t> streamedParts_;
};

}  // namespace kyt::merge::detail
