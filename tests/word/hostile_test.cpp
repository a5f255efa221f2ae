// Files built to hurt a reader: each must fail that one document with a reason, in bounded memory and
// time, or be read safely.

#include <gtest/gtest.h>

#include <cstring>

#include "support/zip_bytes.h"
#include "word/document.h"

using kyt::word::Document;
using kyt::word::ReadLimits;
using namespace kyt::test;

namespace {

const std::string kOle("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
const std::string kOdtType = "application/vnd.oasis.opendocument.text";

// A package whose document part is replaced.
std::string withDocumentPart(const std::string& bytes)
{
    auto entries = docxEntries("");
    entries[2].bytes = bytes;
    return zipBytes(entries);
}

// A package without word/document.xml, whose relationships name the main document with `attributes`.
std::string withMainDocumentAt(const std::string& attributes)
{
    auto entries = docxEntries("");
    entries.pop_back();
    entries[1].bytes =
        R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" )" +
        attributes + "/></Relationships>";
    return zipBytes(entries);
}

std::string withDoctype(const std::string& declarations, const std::string& cellText)
{
    const std::string xml = documentXml(table({{cellText}}));
    return withDocumentPart("<?xml version=\"1.0\"?>\n<!DOCTYPE w:document [ " + declarations + " ]>\n" +
                           xml.substr(xml.find('\n') + 1));
}

// A package whose document part says in both its headers that it unpacks to `declared` bytes.
std::string lyingAboutItsSize(const std::string& documentPart, uint32_t declared)
{
    std::string bytes = withDocumentPart(documentPart);
    const std::string name = "word/document.xml";
    for (const auto& [signature, nameAt, sizeAt] : {std::tuple{"PK\3\4", 30, 22}, std::tuple{"PK\1\2", 46, 24}})
        for (size_t at = bytes.find(signature); at != std::string::npos; at = bytes.find(signature, at + 1))
            if (bytes.compare(at + static_cast<size_t>(nameAt), name.size(), name) == 0)
                std::memcpy(&bytes[at + static_cast<size_t>(sizeAt)], &declared, sizeof declared);
    return bytes;
}

}  // namespace

TEST(HostileDocument, IsRefusedWithItsReason)
{
    ReadLimits small;
    small.maxFileBytes = 1000;
    auto encrypted = docxEntries(table({{"secret"}}));
    encrypted[2].password = "pass";
    auto stored = docxEntries(table({{std::string(3000, 'q')}}));
    stored[2].store = true;
    std::string corrupted = zipBytes(stored);
    corrupted[corrupted.find("qqqqqqqq") + 100] = 'b';  // the checksum no longer matches
    auto many = docxEntries(table({{"a"}}));
    for (int i = 0; i < 1500; ++i)
        many.push_back({"word/media/junk" + std::to_string(i) + ".bin", "x"});
    const std::string whole = docxWithBody(table({{"a"}}));
    // About 20 MiB of blanks inside the document pack into a few kilobytes.
    const std::string inflating = documentXml(table({{"x"}}) + std::string(20u << 20, ' '));
    std::string nested = "<w:p/>";
    for (int i = 0; i < 200; ++i)
        nested = "<w:tbl><w:tr><w:tc>" + nested + "</w:tc></w:tr></w:tbl>";
    const char encryptionInfo[] = "E\0n\0c\0r\0y\0p\0t\0i\0o\0n\0I\0n\0f\0o\0";

    const struct {
        const char* what;
        std::string bytes;
        const char* reason;
        ReadLimits limits;
    } cases[] = {
        {"a letter", "Dear sir, please find my resume attached.", "not a .docx", {}},
        {"nothing", "", "empty", {}},
        {"an older Word document", kOle + std::string(600, '\0'), "older Word document", {}},
        {"Rich Text", "{\\rtf1\\ansi Hello}", "Rich Text", {}},
        {"OpenDocument", zipBytes({{"mimetype", kOdtType, true}, {"content.xml", "<x/>"}}), "OpenDocument", {}},
        {"an encrypted Office file", kOle + std::string(500, '\0') + std::string(encryptionInfo, 28), "password", {}},
        {"encrypted zip entries", zipBytes(encrypted), "encrypted", {}},
        // Found by the fuzzer: a zip signature and hardly anything after it.
        {"a signature only", std::string("PK\x03\x04\0\xDF\xA4\x01\x02\0\0k\x06\0\0oc", 17), "damaged", {}},
        {"half a package", whole.substr(0, whole.size() / 2), "damaged", {}},
        {"corrupted data", corrupted, "damaged", {}},
        {"a document part cut short", withDocumentPart("<w:document><w:body>"), "not readable XML", {}},
        {"HTML as the document part", withDocumentPart("<?xml version=\"1.0\"?><html><body/></html>"), "not a Word document", {}},
        {"a zip of something else", zipBytes({{"readme.txt", "hello"}}), "not a Word document", {}},
        {"a part that inflates past the cap", withDocumentPart(inflating), "larger than 16 MiB", {}},
        {"a part that lies about its size", lyingAboutItsSize(inflating, 1000), "larger than 16 MiB", {}},
        {"a file over the size limit", zipBytes(stored), "larger than", small},
        {"thousands of entries", zipBytes(many), "more than the 1000", {}},
        {"tables nested beyond the depth limit", docxWithBody(nested), "levels deep", {}},
        {"a DOCTYPE with entities",
         withDoctype("<!ENTITY lol \"lol\"><!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">", "&lol2;"), "DOCTYPE",
         {}},
        {"an external entity", withDoctype("<!ENTITY xxe SYSTEM \"file:///etc/passwd\">", "&xxe;"), "DOCTYPE", {}},
        {"an external main document",
         withMainDocumentAt(R"(Target="file:///etc/passwd" TargetMode="External")"), "outside", {}},
        {"a main document name climbing out", withMainDocumentAt(R"(Target="../../etc/passwd")"),
         "unusable name", {}},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(Document::openBytes(c.bytes, error, c.limits), nullptr) << c.what;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
    }
}

TEST(HostileDocument, WhatCannotHurtIsReadSafely)
{
    // A million nested unknown elements: the parser must not recurse on them, the walk skips them.
    std::string junk;
    for (int i = 0; i < 1000000; ++i)
        junk += "<a>";
    for (int i = 0; i < 1000000; ++i)
        junk += "</a>";
    auto hyperlinked = docxEntries(table({{"kept"}}));
    hyperlinked.push_back({"word/_rels/document.xml.rels",
                           R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
                           R"(<Relationship Id="rId9" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink" )"
                           R"(Target="http://127.0.0.1:1/never" TargetMode="External"/></Relationships>)"});
    for (const std::string& bytes : {docxWithBody(table({{"kept"}}) + "<w:p><w:r>" + junk + "</w:r></w:p>"), zipBytes(hyperlinked)}) {
        std::string error;
        auto doc = Document::openBytes(bytes, error);
        ASSERT_TRUE(doc) << error;
        EXPECT_EQ(doc->row(1, 1)->at(0), "kept\r\a");
    }
}

// One rule for text a résumé may not hold, however it is written: the document is refused, naming the
// cell; nothing of it is cut short or replaced.
TEST(HostileDocument, RefusesACellHoldingACharacterTextMayNotHold)
{
    for (const char* bad : {"Ab&#0;cd", "&#x0;", "&#xD800;", "&#55296;", "&#x110000;", "&#99999999999;", "&#1;",
                            "&#x1F;", "a\x01z", "a\x7Fz", "caf\xC3", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC0\xAF"}) {
        std::string error;
        EXPECT_EQ(Document::openBytes(docxWithBody(table({{""}, {"", "", bad}})), error), nullptr) << bad;
        EXPECT_NE(error.find("Table 1, row 2, cell 3 holds a character"), std::string::npos) << bad << ": " << error;
    }
    // What text may hold is read as written.
    std::string error;
    auto doc = Document::openBytes(docxWithBody(table({{"&amp;&lt;&gt;&quot;&apos;&#9;&#x41;&#10;&#233;&#x10FFFF;&bogus;"}})),
                                   error);
    ASSERT_NE(doc, nullptr) << error;
    EXPECT_EQ(doc->row(1, 1)->at(0), "&<>\"'\tA\n\xC3\xA9\xF4\x8F\xBF\xBF&bogus;\r\a");
}

// Before LibreOffice reads an OpenDocument file, its zip package is held to the reader's limits.
TEST(HostileDocument, CheckPackageRefusesBombsAndOversizedPackages)
{
    ReadLimits limits;
    limits.maxPartBytes = 4u << 20;
    limits.maxPackageBytes = 6u << 20;
    const struct {
        std::vector<ZipEntry> entries;
        const char* reason;  // null: accepted
    } cases[] = {
        {{{"mimetype", kOdtType, true}, {"content.xml", std::string(3u << 20, 'a')}}, "times its packed size"},
        {{{"mimetype", kOdtType, true}, {"content.xml", std::string(5u << 20, 'a'), true}}, "larger than 4 MiB"},
        {{{"mimetype", kOdtType, true}, {"a", std::string(3u << 20, 'a'), true}, {"b", std::string(3u << 20, 'b'), true}},
         "unpacks to more than 6 MiB"},
        {{{"mimetype", kOdtType, true}, {"content.xml", "<office/>"}}, nullptr},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(Document::checkPackage(zipBytes(c.entries), error, limits), c.reason == nullptr) << error;
        if (c.reason) {
            EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        }
    }
}
