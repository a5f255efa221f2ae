// Files built to hurt a reader: each must fail that one document with a reason, in bounded memory and
// time, or be read safely.

#include <gtest/gtest.h>

#include "docx_builder.h"
#include "word/document.h"

using kyt::word::Document;
using kyt::word::ReadLimits;
using namespace kyt::test;

namespace {

// Opens `bytes` and expects a refusal whose reason mentions `words`.
void expectRefused(const std::string& bytes, const std::string& words, const ReadLimits& limits = {})
{
    std::string error;
    auto doc = Document::openBytes(bytes, error, limits);
    EXPECT_EQ(doc, nullptr);
    EXPECT_NE(error.find(words), std::string::npos) << "reason was: " << error;
}

// The document part without its XML declaration, so a test can put its own prolog in front.
std::string withoutDeclaration(const std::string& xml)
{
    return xml.substr(xml.find('\n') + 1);
}

std::string withDocumentPart(const std::string& xml)
{
    auto entries = docxEntries("");
    entries[2].bytes = xml;
    return zipBytes(entries);
}

}  // namespace

TEST(HostileDocument, RefusesBytesThatAreNotAZip)
{
    expectRefused("Dear sir, please find my resume attached.", "not a .docx");
    expectRefused(std::string(1000, '\0'), "not a .docx");
    expectRefused("", "empty");
}

TEST(HostileDocument, NamesOtherFormatsSavedUnderADocxName)
{
    expectRefused(std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0'), "older Word document");
    expectRefused("{\\rtf1\\ansi Hello}", "Rich Text");
    auto odt = zipBytes({{"mimetype", "application/vnd.oasis.opendocument.text", true}, {"content.xml", "<x/>"}});
    expectRefused(odt, "OpenDocument");
}

TEST(HostileDocument, RefusesAnEncryptedDocument)
{
    // Office encrypts a .docx into an OLE container that names its EncryptionInfo stream.
    std::string ole = std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(500, '\0');
    const char name[] = "E\0n\0c\0r\0y\0p\0t\0i\0o\0n\0I\0n\0f\0o\0";
    ole += std::string(name, sizeof name - 1) + std::string(500, '\0');
    expectRefused(ole, "password");
}

TEST(HostileDocument, RefusesAZipWhoseEntriesAreEncrypted)
{
    auto entries = docxEntries(table({{"secret"}}));
    entries[2].password = "pass";
    expectRefused(zipBytes(entries), "encrypted");
}

TEST(HostileDocument, RefusesATruncatedZip)
{
    // Found by the fuzzer: a zip signature and hardly anything after it.
    expectRefused(std::string("PK\x03\x04\0\xDF\xA4\x01\x02\0\0k\x06\0\0oc", 17), "damaged");
    const std::string whole = docxWithBody(table({{"a"}}));
    expectRefused(whole.substr(0, whole.size() / 2), "damaged");
    expectRefused(whole.substr(0, whole.size() - 10), "damaged");
}

TEST(HostileDocument, RefusesAPartWhoseDataWasCorrupted)
{
    auto entries = docxEntries(table({{std::string(2000, 'a')}}));
    entries[2].store = true;
    std::string bytes = zipBytes(entries);
    const size_t at = bytes.find("aaaaaaaa");
    ASSERT_NE(at, std::string::npos);
    bytes[at + 100] = 'b';  // the checksum no longer matches
    expectRefused(bytes, "damaged");
}

TEST(HostileDocument, RefusesADocumentPartThatIsNotXml)
{
    expectRefused(withDocumentPart("<w:document><w:body>"), "not readable XML");
    expectRefused(withDocumentPart("\x89PNG binary junk"), "not readable XML");
    expectRefused(withDocumentPart("<?xml version=\"1.0\"?><html><body/></html>"), "not a Word document");
}

TEST(HostileDocument, RefusesAPartThatInflatesPastTheCap)
{
    // About 20 MiB of blanks inside a table cell pack into a few kilobytes.
    const std::string huge = documentXml(table({{"x"}}) + std::string(20u << 20, ' '));
    auto entries = docxEntries("");
    entries[2].bytes = huge;
    const std::string bytes = zipBytes(entries);
    ASSERT_LT(bytes.size(), 1u << 20);
    expectRefused(bytes, "larger than 16 MiB");
}

TEST(HostileDocument, RefusesAFileOverTheSizeLimit)
{
    ReadLimits limits;
    limits.maxFileBytes = 1000;
    auto entries = docxEntries(table({{std::string(3000, 'q')}}));
    entries[2].store = true;
    expectRefused(zipBytes(entries), "larger than", limits);
}

TEST(HostileDocument, RefusesThousandsOfEntries)
{
    auto entries = docxEntries(table({{"a"}}));
    for (int i = 0; i < 1500; ++i)
        entries.push_back({"word/media/junk" + std::to_string(i) + ".bin", "x"});
    expectRefused(zipBytes(entries), "more than the 1000");
}

TEST(HostileDocument, RefusesTablesNestedBeyondTheDepthLimit)
{
    std::string body;
    for (int i = 0; i < 200; ++i)
        body += "<w:tbl><w:tr><w:tc>";
    body += "<w:p/>";
    for (int i = 0; i < 200; ++i)
        body += "</w:tc></w:tr></w:tbl>";
    expectRefused(docxWithBody(body), "levels deep");
}

TEST(HostileDocument, SurvivesDeepNestingOutsideTheTables)
{
    // A million nested unknown elements: the parser must not recurse on them, the walk skips them.
    std::string junk;
    for (int i = 0; i < 1000000; ++i)
        junk += "<a>";
    for (int i = 0; i < 1000000; ++i)
        junk += "</a>";
    std::string error;
    auto doc = Document::openBytes(docxWithBody(table({{"kept"}}) + "<w:p><w:r>" + junk + "</w:r></w:p>"), error);
    ASSERT_TRUE(doc) << error;
    EXPECT_EQ((*doc->row(1, 1))[0], "kept\r\a");
}

TEST(HostileDocument, RefusesADoctypeWithEntities)
{
    const std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE w:document [ <!ENTITY lol \"lol\">"
                            "<!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\"> ]>\n" +
                            withoutDeclaration(documentXml(table({{"&lol2;"}})));
    expectRefused(withDocumentPart(xml), "DOCTYPE");
    const std::string external = "<?xml version=\"1.0\"?>\n<!DOCTYPE w:document [ <!ENTITY xxe SYSTEM \"file:///etc/passwd\"> ]>" +
                                 withoutDeclaration(documentXml(table({{"&xxe;"}})));
    expectRefused(withDocumentPart(external), "DOCTYPE");
}

TEST(HostileDocument, NeverFollowsAnExternalMainDocument)
{
    auto entries = docxEntries("");
    entries.pop_back();  // no word/document.xml: the relationships must be consulted
    entries[1].bytes =
        R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" )"
        R"(Target="file:///etc/passwd" TargetMode="External"/></Relationships>)";
    expectRefused(zipBytes(entries), "outside");
}

TEST(HostileDocument, RefusesAMainDocumentNameThatClimbsOutOfThePackage)
{
    auto entries = docxEntries("");
    entries.pop_back();
    entries[1].bytes =
        R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" )"
        R"(Target="../../etc/passwd"/></Relationships>)";
    expectRefused(zipBytes(entries), "unusable name");
}

TEST(HostileDocument, ExternalHyperlinksInTheDocumentAreJustText)
{
    auto entries = docxEntries(table({{"x"}}));
    entries.push_back({"word/_rels/document.xml.rels",
                       R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
                       R"(<Relationship Id="rId9" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink" )"
                       R"(Target="http://127.0.0.1:1/never" TargetMode="External"/></Relationships>)"});
    std::string error;
    auto doc = Document::openBytes(zipBytes(entries), error);
    ASSERT_TRUE(doc) << error;
    EXPECT_EQ(doc->tableCount(), 1);
}

TEST(HostileDocument, ZipWithoutAWordDocumentIsNotAResume)
{
    expectRefused(zipBytes({{"readme.txt", "hello"}}), "not a Word document");
}

// One rule for text a résumé may not hold, however it is written: the document is refused, naming the
// cell; nothing of it is cut short or replaced.
TEST(HostileDocument, RefusesACellHoldingACharacterTextMayNotHold)
{
    for (const char* bad : {"Ab&#0;cd", "&#x0;", "&#xD800;", "&#55296;", "&#x110000;", "&#99999999999;", "&#1;",
                            "&#x1F;", "a\x01z", "a\x7Fz", "caf\xC3", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC0\xAF"}) {
        const std::string bytes = docxWithBody(table({{"name", "x"}, {"usn", "mail", bad}}));
        std::string error;
        EXPECT_EQ(Document::openBytes(bytes, error), nullptr) << bad;
        EXPECT_NE(error.find("Table 1, row 2, cell 3 holds a character"), std::string::npos) << bad << ": " << error;
    }
    // What text may hold is read as written.
    const std::string good = "&amp;&lt;&gt;&quot;&apos;&#9;&#x41;&#10;&#233;&#x10FFFF;&bogus;";
    std::string error;
    auto doc = Document::openBytes(docxWithBody(table({{good}})), error);
    ASSERT_NE(doc, nullptr) << error;
    EXPECT_EQ(doc->row(1, 1)->at(0), "&<>\"'\tA\n\xC3\xA9\xF4\x8F\xBF\xBF&bogus;\r\a");
}

// Before LibreOffice reads an OpenDocument file, its zip package is held to the reader's limits.
TEST(HostileDocument, CheckPackageRefusesBombsAndOversizedPackages)
{
    const std::string odtHead = "application/vnd.oasis.opendocument.text";
    ReadLimits limits;
    limits.maxPartBytes = 4u << 20;
    limits.maxPackageBytes = 6u << 20;
    struct Case {
        std::vector<ZipEntry> entries;
        const char* reason;
    };
    std::vector<ZipEntry> many{{"mimetype", odtHead, true}};
    for (int k = 0; k < 1001; ++k)
        many.push_back({"p" + std::to_string(k), "x"});
    const Case cases[] = {
        {{{"mimetype", odtHead, true}, {"content.xml", std::string(3u << 20, 'a')}}, "times its packed size"},
        {{{"mimetype", odtHead, true}, {"content.xml", std::string(5u << 20, 'a'), true}}, "larger than 4 MiB"},
        {{{"mimetype", odtHead, true}, {"a", std::string(3u << 20, 'a'), true}, {"b", std::string(3u << 20, 'b'), true}},
         "unpacks to more than 6 MiB"},
        {many, "more than the 1000"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(Document::checkPackage(zipBytes(c.entries), error, limits)) << c.reason;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
    std::string error;
    EXPECT_TRUE(Document::checkPackage(zipBytes({{"mimetype", odtHead, true}, {"content.xml", "<office/>"}}), error,
                                       limits))
        << error;
}
