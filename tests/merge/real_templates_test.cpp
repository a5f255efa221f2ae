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

struct RealCase {
    const char* file;
    int mergeFields;      // as counted before any conversion
    size_t rows;
    int sections;         // copies written
};

// A value per column and row that the output must show: "<column>#<row>".
DataSource sourceFor(const std::vector<std::string>& columns, size_t rows)
{
    DataSource data{columns, {}};
    for (size_t r = 0; r < rows; ++r) {
        std::vector<std::string> row;
        for (const auto& c : columns)
            row.push_back(c + "#" + std::to_string(r + 1));
        data.rows.push_back(row);
    }
    return data;
}

TEST(RealTemplates, MergeIntoValidDocumentsThatLibreOfficeConverts)
{
    const RealCase cases[] = {
        {"52449.docx", 7, 3, 3},
        {"EquityMergeFax.Dotx", 2, 3, 3},
        {"MERGEFIELD.docx", 9, 3, 3},
        {"test_empty_field.docx", 0, 2, 2},
        {"test_macword2011.docx", 9, 3, 3},
        {"test_merge_multiple_table_rows.docx", 12, 3, 3},
        {"test_nested_if_inside.docx", 5, 3, 3},
        {"test_next_record.docx", 8, 8, 2},  // three NEXT fields: four records a copy
        {"test_spaces.docx", 3, 3, 3},
        {"test_winword2010.docx", 9, 3, 3},
    };
    test::TempDir dir;
    std::vector<std::string> outputs;
    for (const RealCase& c : cases) {
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

        const std::vector<std::string> columns = tpl->unknownFields({});
        const DataSource data = sourceFor(columns, c.rows);
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
        for (const auto& column : columns) {
            for (size_t r = 0; r < c.rows; ++r) {
                if (c.sections == static_cast<int>(c.rows)) {  // with NEXT fields, not every value has a place
                    EXPECT_NE(text.find(column + "#" + std::to_string(r + 1)), std::string::npos)
                        << column << " of record " << r + 1;
                }
            }
        }
    }

    if (!word::Application::libreOfficeAvailable())
        GTEST_SKIP() << "LibreOffice is not installed: the merged documents were not converted";
    ASSERT_TRUE(test::libreOfficeConvert(outputs, "pdf", dir.path().string(), (dir.path() / "profile").string()));
    for (const auto& out : outputs) {
        const fs::path pdf = fs::path(out).replace_extension(".pdf");
        std::error_code ec;
        EXPECT_GT(fs::file_size(pdf, ec), 1000u) << pdf;
    }
}

TEST(RealTemplates, SwitchesAndLetterCaseOfTheGermanSample)
{
    test::TempDir dir;
    std::string error;
    auto tpl = MergeTemplate::load((kFolder / "MERGEFIELD.docx").string(), error);
    ASSERT_TRUE(tpl) << error;
    const DataSource data{{"Kundenname", "Kundenstrasse", "yourdate", "yournumber"},
                          {{"max Mustermann", "Hauptstr. 1", "05-11-1982", "1234567"}}};
    std::vector<std::string> unknown;
    auto compiled = tpl->compile(data.columns, unknown, error);
    ASSERT_TRUE(compiled) << error;
    ASSERT_TRUE(compiled->write(data, 0, 1, dir.file("out.docx"), error)) << error;
    const std::string text = test::MergedDocx(dir.file("out.docx")).bodyText();
    for (const char* shown : {"max Mustermann", "MAX MUSTERMANN", "Max Mustermann", "max mustermann",
                              "Friday, November 05, 1982", "$1,234,567", "Hauptstr. 1"})
        EXPECT_NE(text.find(shown), std::string::npos) << shown << " in\n" << text;
}

}  // namespace
}  // namespace kyt::merge
