#include <gtest/gtest.h>

#include "support/zip_bytes.h"
#include "template_builder.h"

namespace kyt::merge {
namespace {

using namespace test;

std::string run(const std::string& text)
{
    return R"(<w:r><w:t xml:space="preserve">)" + text + "</w:t></w:r>";
}

TEST(TemplatePackage, BareNamesBecomeMergeFieldsButWordProcessorFieldsStay)
{
    const struct { const char* what; std::vector<std::string> codes; int converted; std::vector<bool> mergeAfter; } cases[] = {
        {"first not a merge field: bare names converted, PAGE, DATE, HYPERLINK kept",
         {"Name", " PAGE ", "USN", " DATE \\@ \"d.M.yyyy\" ", " HYPERLINK \"http://x\" ", "dob1"},
         3,
         {true, false, true, false, false, true}},
        {"first and last merge fields: the middle ones stay", {"MERGEFIELD Name", "USN", "MERGEFIELD dob1"}, 0,
         {true, false, true}},
        {"last not a merge field", {"MERGEFIELD Name", "USN"}, 1, {true, true}},
        {"a quoted or switched code is no bare name", {"\"Name\"", "Name \\* Upper", "=A1+1", "page"}, 0,
         {false, false, false, false}},
    };
    for (const auto& c : cases) {
        std::string body;
        for (const auto& code : c.codes)
            body += p(complexField({code}));
        std::string error;
        auto tpl = MergeTemplate::loadBytes(test::docxWithBody(body), error);
        ASSERT_TRUE(tpl) << error;
        ASSERT_EQ(tpl->fieldCount(), static_cast<int>(c.codes.size())) << c.what;
        EXPECT_EQ(tpl->makeMergeFields(), c.converted) << c.what;
        for (size_t i = 0; i < c.codes.size(); ++i)
            EXPECT_EQ(tpl->isMergeField(static_cast<int>(i)), c.mergeAfter[i]) << c.what << ": " << c.codes[i];
    }
}

// Elements nested past the limit are refused with the reason, before they can exhaust the stack.
TEST(TemplatePackage, NestingPastTheLimitIsRefusedWithItsReason)
{
    std::string body = p(complexField({"MERGEFIELD Name"}));
    for (int i = 0; i < 12; ++i)
        body = "<w:customXml>" + body + "</w:customXml>";
    std::string error;
    EXPECT_FALSE(MergeTemplate::loadBytes(test::docxWithBody(body), error, {.maxDepth = 10}));
    EXPECT_NE(error.find("deeper than 10 levels"), std::string::npos) << error;
    EXPECT_TRUE(MergeTemplate::loadBytes(test::docxWithBody(body), error, {.maxDepth = 20})) << error;
}

// Templates that cannot hurt: entries that would land outside a folder they are unpacked into, and a
// field never closed (which hides everything after it), are refused with the reason.
TEST(TemplatePackage, HostileEntryNamesAndUnclosedFieldsAreRefusedWithTheirReason)
{
    const std::string field = p(complexField({"MERGEFIELD Name"}));
    const struct { std::string extra; std::string body; const char* reason; } cases[] = {
        {"../outside.xml", field, "\"../outside.xml\", a name that points outside the document"},
        {"word/../../x.xml", field, "\"word/../../x.xml\", a name that points outside"},
        {"/etc/x.xml", field, "\"/etc/x.xml\", a name that points outside"},
        {"word\\media\\x.png", field, "\"word\\media\\x.png\", a name that points outside"},
        {"", p(run("Dear ")) + p(R"(<w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText> MERGEFIELD Name </w:instrText></w:r>)") +
                 p(run("Your marks")),
         "a field that is never closed (its code: \" MERGEFIELD Name \")"},
    };
    for (const auto& c : cases) {
        std::vector<ZipEntry> entries = docxEntries(c.body);
        if (!c.extra.empty())
            entries.push_back({c.extra, "x"});
        std::string error;
        EXPECT_FALSE(MergeTemplate::loadBytes(zipBytes(entries), error)) << c.reason;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

// The output of a macro-enabled template carries no macros: the project, its data, its relationship
// and its content types go, and the main part becomes a plain document's.
TEST(TemplatePackage, MacrosOfADocmTemplateAreLeftOut)
{
    std::vector<ZipEntry> entries = docxEntries(p(simpleField("MERGEFIELD Name")));
    std::string& types = entries[0].bytes;
    const std::string mainType = "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml";
    types.replace(types.find(mainType), mainType.size(), "application/vnd.ms-word.document.macroEnabled.main+xml");
    types.insert(types.find("</Types>"), R"(<Default Extension="bin" ContentType="application/vnd.ms-office.vbaProject"/>)"
                                         R"(<Override PartName="/word/vbaData.xml" ContentType="application/vnd.ms-word.vbaData+xml"/>)");
    entries.push_back({"word/_rels/document.xml.rels",
                       R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
                       R"(<Relationship Id="rId9" Type="http://schemas.microsoft.com/office/2006/relationships/vbaProject" )"
                       R"(Target="vbaProject.bin"/></Relationships>)"});
    entries.push_back({"word/vbaProject.bin", "Attribute VB_Name = \"AutoOpen\""});
    entries.push_back({"word/_rels/vbaProject.bin.rels",
                       R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
                       R"(<Relationship Id="rId1" Type="http://schemas.microsoft.com/office/2006/relationships/wordVbaData" )"
                       R"(Target="vbaData.xml"/></Relationships>)"});
    entries.push_back({"word/vbaData.xml", "<wne:vbaSuppData xmlns:wne=\"http://schemas.microsoft.com/office/word/2006/wordml\"/>"});
    TempDir dir;
    const Merged m = mergeBytes(dir, zipBytes(entries), DataSource{{"Name"}, {{"Asha"}}});
    ASSERT_TRUE(m.docx) << m.error;
    EXPECT_EQ(m.docx->bodyText(), "Asha\n");
    for (const auto& [name, bytes] : m.docx->parts) {
        EXPECT_EQ(name.find("vba"), std::string::npos) << name;
        EXPECT_EQ(bytes.find("vba"), std::string::npos) << name << ": " << bytes;
        EXPECT_EQ(bytes.find("macroEnabled"), std::string::npos) << name << ": " << bytes;
    }
    EXPECT_NE(m.docx->part("[Content_Types].xml").find(mainType), std::string::npos);
}

}  // namespace
}  // namespace kyt::merge
