// The mail-merge documents of other word processors and libraries, as their authors wrote them.

#include <gtest/gtest.h>

#include <filesystem>

#include "merge/merge_template.h"
#include "merged_docx.h"
#include "support/temp_dir.h"
#include "word/application.h"
#include "word/libreoffice.h"

namespace kyt::merge {
namespace {

namespace fs = std::filesystem;

const fs::path kFolder = fs::path(KYT_CORPUS_DIR) / "fields-mergefield";

TEST(RealTemplates, MergeIntoValidDocumentsThatLibreOfficeConverts)
{
    if (!fs::is_directory(KYT_CORPUS_DIR))
        GTEST_SKIP() << "no real-world documents here: the folder " KYT_CORPUS_DIR " is absent";
    // Merge fields as counted before any conversion, records, copies written, a value its switches show.
    const struct { const char* file; int mergeFields; size_t rows; int sections; std::vector<std::string> shown = {}; }
        cases[] = {
        {"52449.docx", 7, 3, 3},
        {"EquityMergeFax.Dotx", 2, 3, 3},
        {"MERGEFIELD.docx", 9, 3, 3, {"KUNDENNAME#1", "kundenname#1", "yourdate#1"}},
        {"test_empty_field.docx", 0, 2, 2},
        {"test_macword2011.docx", 9, 3, 3},
        {"test_merge_multiple_table_rows.docx", 12, 3, 3},
        // IF fieldname <> "one" "{IF fieldname = "two" "two" "more: {fieldname}"}" "- one -", worked out.
        {"test_nested_if_inside.docx", 5, 3, 3, {"more: fieldname#1", "more: fieldname#3"}},
        {"test_next_record.docx", 8, 8, 2},  // three NEXT fields: four records a copy
        {"test_spaces.docx", 3, 3, 3},
        {"test_winword2010.docx", 9, 3, 3},
    };
    test::TempDir dir;
    std::vector<std::string> outputs;
    std::vector<std::vector<std::string>> seen;  // what each output must show a reader
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::string error;
        auto tpl = MergeTemplate::load((kFolder / c.file).string(), error);
        ASSERT_TRUE(tpl) << error;
        int merge = 0;
        for (int i = 0; i < tpl->fieldCount(); ++i)
            merge += tpl->isMergeField(i);
        EXPECT_EQ(merge, c.mergeFields);
        // Every field of these documents is a merge field or a word-processor field: nothing to convert.
        EXPECT_EQ(tpl->makeMergeFields(), 0);

        // A value per column and record that the output must show: "<column>#<record>".
        const std::vector<std::string> columns = tpl->unknownFields({});
        DataSource data{columns, std::vector<std::vector<std::string>>(c.rows)};
        for (size_t r = 0; r < c.rows; ++r)
            for (const auto& column : columns)
                data.rows[r].push_back(column + "#" + std::to_string(r + 1));
        std::vector<std::string> unknown;
        auto compiled = tpl->compile(columns, unknown, error);
        ASSERT_TRUE(compiled) << error;
        const std::string out = dir.file(fs::path(c.file).stem().string() + "-merged.docx");
        ASSERT_TRUE(compiled->write(data, 0, data.rows.size(), out, error)) << error;
        outputs.push_back(out);

        test::MergedDocx docx(out);
        test::expectValidPackage(docx);
        EXPECT_EQ(docx.sectionCount(), c.sections);
        const std::string text = docx.bodyText();
        EXPECT_EQ(docx.part("word/document.xml").find("MERGEFIELD"), std::string::npos);
        EXPECT_EQ(docx.part("word/settings.xml").find("mailMerge"), std::string::npos);
        for (const auto& value : c.shown)
            EXPECT_NE(text.find(value), std::string::npos) << value;
        seen.push_back(c.shown);
        // With NEXT fields, not every value has a place.
        for (size_t r = 0; r < c.rows && c.sections == static_cast<int>(c.rows); ++r)
            for (const auto& value : data.rows[r])
                EXPECT_NE(text.find(value), std::string::npos) << value;
    }

    if (!word::Application::libreOfficeAvailable())
        GTEST_SKIP() << "LibreOffice is not installed: the merged documents were not converted";
    ASSERT_TRUE(test::libreOfficeConvert(outputs, "pdf", dir.path().string(), (dir.path() / "profile").string()));
    for (size_t i = 0; i < outputs.size(); ++i) {
        const fs::path pdf = fs::path(outputs[i]).replace_extension(".pdf");
        std::error_code ec;
        EXPECT_GT(fs::file_size(pdf, ec), 1000u) << pdf;
        const std::string text = test::pdfText(pdf.string());
        for (const auto& value : seen[i])
            EXPECT_TRUE(text.empty() || text.find(value) != std::string::npos) << pdf << " shows no " << value << ":\n" << text;
    }
}

}  // namespace
}  // namespace kyt::merge
