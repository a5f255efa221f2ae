#pragma once
// The mail merge itself: a target format document (.docx) read into memory, its fields found as the
// word processor stores them (simple fields, and complex fields whose code may be split over many
// runs, in the body, tables, text boxes, headers, footers, footnotes and endnotes), and one document
// written holding a filled-in copy of the body per record, each copy a section of its own starting on
// a new page, with its own notes and its lists numbered from their start. IF fields are worked out
// as the word processor's merge does. The template file is only read; its styles, pictures, page
// setup, headers and footers are carried into the result; its macros and comments are not.
//
// The steps live apart: template_package (reading the package), template_compiler and template_layout
// (the template cut into segments and slots), field_code, field_format and field_condition (what a
// field shows), copy_writer and zip_stream (the copies written into the package as they are made).

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kyt::merge {

// The records to merge, every value as text.
struct DataSource {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;

    // Position of the column `name`, letter case ignored; -1 when there is none.
    int column(std::string_view name) const;
};

struct TemplateLimits {
    size_t maxFileBytes = 64u << 20;
    size_t maxEntries = 2000;
    size_t maxPartBytes = 64u << 20;
    int maxDepth = 256;
};

class CompiledTemplate;

class MergeTemplate {
public:
    // Reads the document; null with a reason in `error` when it cannot be read.
    static std::unique_ptr<MergeTemplate> load(const std::string& path, std::string& error,
                                               const TemplateLimits& limits = {});
    static std::unique_ptr<MergeTemplate> loadBytes(const std::string& bytes, std::string& error,
                                                    const TemplateLimits& limits = {});
    ~MergeTemplate();

    // Fields in the order the word processor counts them: the body first, then headers and footers.
    int fieldCount() const;
    bool isMergeField(int index) const;  // counted from 0
    std::string fieldCode(int index) const;

    // Fields written with CTRL+F9 and a column name become merge fields, in memory only. That happens
    // when the first or the last field is not a merge field already, and only to fields whose whole
    // code is a bare name: a PAGE or DATE field in a footer stays what it is. Returns how many changed.
    int makeMergeFields();

    // Names of the merge fields that `columns` does not have (each once, as first written).
    std::vector<std::string> unknownFields(const std::vector<std::string>& columns) const;

    // Prepares the writing against `columns`. Fails with the unknown field names in `unknown`, or a
    // reason in `error`. The template cannot be compiled twice.
    std::unique_ptr<CompiledTemplate> compile(const std::vector<std::string>& columns,
                                              std::vector<std::string>& unknown, std::string& error);

    struct Impl;

private:
    explicit MergeTemplate(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

class CompiledTemplate {
public:
    ~CompiledTemplate();

    // Writes rows [first, first + count) of `data` as one document at `path`, each copy going into the
    // file as it is made, so memory stays flat whatever the count. Written beside `path` under a
    // temporary name and renamed into place: a failed write leaves any earlier file untouched.
    // `durable`: the file reaches the disk before it takes its name; a caller writing many files may
    // leave that out and make them durable together.
    bool write(const DataSource& data, size_t first, size_t count, const std::string& path, std::string& error,
               bool durable = true) const;

    struct Impl;
    explicit CompiledTemplate(std::unique_ptr<Impl> impl);

private:
    std::unique_ptr<Impl> d;
};

}  // namespace kyt::merge
