// Documents that nobody here wrote (../shared/corpus/real-documents, see its SOURCES.md). The expected
// first rows were checked against LibreOffice's own rendering of each file (HTML export), with the
// differences that follow from reading tables as Word numbers them: cells made by gridBefore/gridAfter
// are not cells, text boxes are not body tables, tracked deletions are read as accepted, and a
// footnote mark is not text.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <stdexcept>

#include "word/application.h"
#include "word/document.h"

using kyt::word::Application;
using kyt::word::Document;
namespace fs = std::filesystem;

namespace {

const fs::path kCorpus = KYT_CORPUS_DIR;

// A cell as a reader sees it on screen: paragraph marks and tabs as blanks, blanks collapsed.
std::string plain(const std::string& cell)
{
    static const std::regex blanks("[\r\a\t\n ]+");
    const std::string out = std::regex_replace(cell, blanks, " ");
    const size_t first = out.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : out.substr(first, out.find_last_not_of(' ') + 1 - first);
}

std::vector<std::string> plainRow(const Document& doc, int table, int row)
{
    std::vector<std::string> cells;
    if (const auto* r = doc.row(table, row))
        for (const std::string& c : *r)
            cells.push_back(plain(c));
    return cells;
}

struct Expected {
    const char* file;
    int tables;
    int table;
    std::vector<std::vector<std::string>> firstRows;
    const char* refusal = nullptr;  // words of the reason the file is refused
};

std::vector<std::string> allCorpusFiles()
{
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(kCorpus))
        if (entry.is_regular_file() && entry.path().filename() != "SOURCES.md")
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// One application for the whole suite, so that files converted once stay converted.
Application& sharedApplication()
{
    static std::unique_ptr<Application> app = [] {
        std::string error;
        return Application::start(error);
    }();
    if (!app)
        throw std::runtime_error("cannot start the document application");
    return *app;
}

}  // namespace

// The table count and first rows of each file, each cell as a reader sees it on screen; or the reason a
// damaged or protected file is refused.
TEST(RealDocuments, FirstRowsReadAsLibreOfficeShowsThemOrTheReasonNot)
{
    if (!fs::is_directory(KYT_CORPUS_DIR))
        GTEST_SKIP() << "no real-world documents here: the folder " KYT_CORPUS_DIR " is absent";
    const Expected cases[] = {
        {"tables/HW002-Table05.docx", 1, 1, {{"This", "is", "a", "test", "of", "Numbers"}}},
        {"tables/HC004-ResumeTemplate.docx", 5, 1, {{"[职务] - [课程或学院名称] [在此处添加简短说明]", "[起止年份]"}}},
        {"tables/tbl-having-tables.docx", 3, 3, {{"", "", "", ""}}},
        // The table in the text box is a shape, not a body table.
        {"tables/testWORD_tableInRunInsideParagraph.docx", 1, 1,
         {{"dolores et"}, {"aliquyam", "aliquyam – aliquyam", "aliquyam"}}},
        {"merged-cells/CA014-Complex-Table.docx", 1, 1,
         {{"1", "Hort merged", "4", "5", "6", "7", "8", "9", "0"},
          {"Vert merged", "b", "c", "d", "e", "f", "g", "h", "i", "j"}}},
        {"nested-tables/WC043-Nested-Table.docx", 1, 1, {{"Before. Nested. After."}}},
        {"content-controls/tika-3816.docx", 1, 1, {{"Note", "Details"}, {"Choose an item.", "Here is just a sample"}}},
        {"content-controls/ContentControlsNested.docx", 1, 1,
         {{"Lorem ipsum dolor sit amet", "Consectetuer adipiscing elit", "Maecenas porttitor congue massa."},
          {"100", "200", "300"}}},
        {"fields-mergefield/EquityMergeFax.Dotx", 3, 2,
         {{"To:", "«GreetingLine»", "From:", "[Type the sender name]"},
          {"Fax:", "«Business Fax»", "Pages:", "[Type number of pages]"}}},
        {"hyperlinks-bookmarks-smarttags/HC010-Test-05.docx", 1, 1,
         {{"Diane White 123 Main St, Seattle, WA 98112 206-555-1212 janice@adventureworks.com"}}},
        // LibreOffice shows the footnote mark "1" in the first cell; it is a mark, not text.
        {"form-fields/form_footnotes.docx", 6, 1,
         {{"",
           "REPÚBLICA FEDERATIVA DO BRASIL MINISTÉRIO DAS RELAÇÕES EXTERIORES CONSULADO-GERAL EM SAN FRANCISCO",
           "Protocol number", "Visa number"}}},
        // LibreOffice adds empty cells for gridBefore/gridAfter; Word has no cells there.
        {"form-fields/014760.docx", 3, 1,
         {{"Crew Name:", "Host Unit/Address:"}, {"IHC Personnel Roster (Name/Working Title):", "NWCG Qualifications"}}},
        {"tracked-changes/006-DeletedTableRow.docx", 1, 1, {{"111", "222"}, {"333", "444"}}},
        // LibreOffice shows the deleted "4" struck through; accepted, the cell is empty.
        {"tracked-changes/RP036-Vert-Merged-Cells.docx", 1, 1, {{"1 4 7", "2", "3"}, {"", "5", "6"}}},
        // Two of the four tables consist of deleted rows only.
        {"tracked-changes/RA001-Tracked-Revisions-01.docx", 2, 1,
         {{"Name of the preparations", "No. of injections", "Purpose"}, {"Blank", "1", "Blank"}}},
        {"legacy-doc/simple-table.doc", 1, 1, {{"Cell 1,1", "Cell 1,2", "Cell 1,3"}}},
        {"other-formats/testRTFTableCellSeparation.rtf", 1, 1, {{"a", "b"}, {"c", "d"}}},
        {"other-formats/testODTStyles2.odt", 1, 1, {{"Publicatie Onbekwaamverklaring tov Belgisch Staatsblad"}}},
        // Only the theme part fails its checksum; the document part is never affected by it.
        {"malformed/clusterfuzz-testcase-minimized-POIXWPFFuzzer-6733884933668864.docx", 0, 1, {}},
        {"malformed/ExternalEntityInText.docx", 0, 0, {}, "DOCTYPE"},
        {"malformed/bug53475-password-is-pass.docx", 0, 0, {}, "password"},
        {"malformed/clusterfuzz-testcase-minimized-POIXWPFFuzzer-5313273089884160.docx", 0, 0, {}, "damaged"},
        {"malformed/corrupted_main_document_part.docx", 0, 0, {}, "not readable XML"},
        {"malformed/testWORD_truncated.docx", 0, 0, {}, "damaged"},
        {"malformed/truncated62886.docx", 0, 0, {}, "damaged"},
        // Legacy files that LibreOffice cannot load.
        {"malformed/PasswordProtected.doc", 0, 0, {}, "save it as .docx"},
        {"malformed/clusterfuzz-testcase-minimized-POIHWPFFuzzer-5074346559012864.doc", 0, 0, {}, "save it as .docx"},
    };
    for (const Expected& e : cases) {
        std::string error;
        const std::string path = (kCorpus / e.file).string();
        if (Application::isLegacyFormat(path) && !Application::libreOfficeAvailable())
            continue;  // LibreOffice is not installed; the file needs it
        auto doc = sharedApplication().open(path, error);
        if (e.refusal) {
            EXPECT_EQ(doc, nullptr) << e.file;
            EXPECT_NE(error.find(e.refusal), std::string::npos) << e.file << ": " << error;
            continue;
        }
        ASSERT_TRUE(doc) << e.file << ": " << error;
        EXPECT_EQ(doc->tableCount(), e.tables) << e.file;
        for (size_t r = 0; r < e.firstRows.size(); ++r)
            EXPECT_EQ(plainRow(*doc, e.table, static_cast<int>(r + 1)), e.firstRows[r]) << e.file << " row " << r + 1;
    }
}

TEST(RealDocuments, EveryFileOpensOrFailsWithAReason)
{
    if (!fs::is_directory(KYT_CORPUS_DIR))
        GTEST_SKIP() << "no real-world documents here: the folder " KYT_CORPUS_DIR " is absent";
    std::string error;
    const auto files = allCorpusFiles();
    ASSERT_GT(files.size(), 70u) << "corpus missing at " << kCorpus;
    sharedApplication().prepare(files);  // one LibreOffice start for every legacy file
    int opened = 0;
    for (const std::string& file : files) {
        auto doc = sharedApplication().open(file, error);
        if (doc) {
            ++opened;
            for (int t = 1; t <= doc->tableCount(); ++t)
                for (const auto& row : doc->table(t)->rows)
                    for (const auto& cell : row)
                        EXPECT_TRUE(cell.size() >= 2 && cell.compare(cell.size() - 2, 2, "\r\a") == 0) << file;
        } else {
            EXPECT_FALSE(error.empty()) << file;
        }
    }
    EXPECT_GT(opened, 50);
}
