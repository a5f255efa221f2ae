#pragma once
// A word-processing document read the way the word processor shows its tables: top-level body tables
// in order, a row as the list of its cells, each cell's text with its paragraphs separated by a
// carriage return (13) and ending with 13 and 7.

#include <memory>
#include <string>
#include <vector>

namespace kyt::word {

struct ReadLimits {
    size_t maxFileBytes = 10u << 20;
    size_t maxEntries = 1000;
    size_t maxPartBytes = 16u << 20;
    int maxDepth = 64;
    size_t maxPackageBytes = 64u << 20;  // all parts of a package together, unpacked
    // Past this many times its packed size a large part is a zip bomb, not a document.
    unsigned maxPackingRatio = 200;
    size_t ratioFloorBytes = 1u << 20;  // small parts may pack as tightly as they like
};

class Document {
public:
    // Opens a .docx file. Returns null with a reason in `error` for anything it cannot read
    // (not a zip, encrypted, not XML, over a limit, ...). Never throws, never crashes.
    static std::unique_ptr<Document> open(const std::string& path, std::string& error,
                                          const ReadLimits& limits = {});
    // The same from bytes already in memory (tests, fuzzing).
    static std::unique_ptr<Document> openBytes(const std::string& bytes, std::string& error,
                                               const ReadLimits& limits = {});

    // Checks every part of a zip package (an OpenDocument file, before LibreOffice reads it) against the
    // limits: the number of parts, each part's declared and unpacked size, their total, the packing
    // ratio. False with a reason when one is exceeded or the package is damaged.
    static bool checkPackage(const std::string& bytes, std::string& error, const ReadLimits& limits = {});

    // What a file that is not a .docx really holds, judged from its bytes: people rename older
    // documents to .docx, and the word processor opens them all the same.
    enum class Content { Docx, WordBinary, EncryptedDocx, Rtf, OpenDocument, Other };
    static Content sniff(const std::string& bytes);
    static Content sniffFile(const std::string& path);  // reads only as much of the file as it needs

    struct Table {
        std::vector<std::vector<std::string>> rows;  // rows of cells, raw cell text (ends with "\r\a")
    };

    int tableCount() const { return static_cast<int>(tables_.size()); }
    // Tables, rows and cells are counted from 1. Null when there is no such table or row.
    const Table* table(int index) const;
    const std::vector<std::string>* row(int tableIndex, int rowIndex) const;

    explicit Document(std::vector<Table> tables) : tables_(std::move(tables)) {}

private:
    std::vector<Table> tables_;
};

}  // namespace kyt::word
