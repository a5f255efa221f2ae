#pragma once
// A compiled template: the serialized parts cut into segments of literal XML and slots, the places
// where each copy writes something of its own (a value, an id, a name). Made by MergeTemplate::compile,
// written by CompiledTemplate::write.

#include <string>
#include <utility>
#include <vector>

#include "merge/field_format.h"
#include "merge/merge_template.h"

namespace kyt::merge::detail {

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

}  // namespace kyt::merge::detail

namespace kyt::merge {

struct CompiledTemplate::Impl {
    std::vector<detail::Slot> slotList;
    std::string head, tail;      // the main part around the body's content
    detail::Segments common;         // the body but its last block
    detail::Segments lastWithBreak;  // the last block ending in a section break (every record but the last)
    detail::Segments lastAtEnd;      // the last block and the body's own section properties
    int nextsPerCopy = 0;
    std::vector<detail::PerRecordPart> perRecord;
    std::string mainName;
    std::string mainRelsName;
    std::string contentTypesName;
    // Parts written unchanged, and the changed relationships, content types and settings.
    std::vector<std::pair<std::string, std::string>> fixedParts;
    std::string mainRelsXml;     // with a placeholder for the relationships of copied parts
    std::string contentTypesXml; // likewise for their overrides
    std::string marker;          // the private-use character that opens a slot marker

    void render(const detail::Segments& segments, const DataSource& data, size_t copy, size_t& row,
                std::string& out) const;
};

}  // namespace kyt::merge
