#include "template_builder.h"

#include "support/zip_bytes.h"

namespace kyt::test {

std::string complexField(const std::vector<std::string>& codePieces, const std::string& shown, const std::string& rPr)
{
    std::string xml = "<w:r>" + rPr + R"(<w:fldChar w:fldCharType="begin"/></w:r>)";
    for (const auto& piece : codePieces)
        xml += "<w:r>" + rPr + R"(<w:instrText xml:space="preserve">)" + piece + "</w:instrText></w:r>";
    xml += "<w:r>" + rPr + R"(<w:fldChar w:fldCharType="separate"/></w:r><w:r>)" + rPr + "<w:t>" + shown +
           "</w:t></w:r><w:r>" + rPr + R"(<w:fldChar w:fldCharType="end"/></w:r>)";
    return xml;
}

std::string simpleField(const std::string& code)
{
    return R"(<w:fldSimple w:instr=")" + code + R"("><w:r><w:t>«x»</w:t></w:r></w:fldSimple>)";
}

std::string p(const std::string& runs) { return "<w:p>" + runs + "</w:p>"; }

std::string templateWithParts(const std::string& body, const std::string& headerBody, const std::string& footerBody)
{
    const std::string sect = R"(<w:sectPr><w:headerReference w:type="default" r:id="rId7"/>)"
                             R"(<w:footerReference w:type="default" r:id="rId8"/><w:type w:val="continuous"/></w:sectPr>)";
    std::vector<ZipEntry> entries = docxEntries(body + sect);
    const std::string ns = R"(xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main")",
                      type = "application/vnd.openxmlformats-officedocument.wordprocessingml.",
                      rel = R"(<Relationship Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/)";
    std::string& types = entries[0].bytes;
    types.insert(types.find("</Types>"), R"(<Override PartName="/word/header1.xml" ContentType=")" + type + "header+xml\"/>" +
                                             R"(<Override PartName="/word/footer1.xml" ContentType=")" + type + "footer+xml\"/>");
    entries.push_back({"word/_rels/document.xml.rels",
                       R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)" + rel +
                           R"(header" Id="rId7" Target="header1.xml"/>)" + rel + R"(footer" Id="rId8" Target="footer1.xml"/>)"
                           "</Relationships>"});
    entries.push_back({"word/header1.xml", "<w:hdr " + ns + ">" + headerBody + "</w:hdr>"});
    entries.push_back({"word/footer1.xml", "<w:ftr " + ns + ">" + footerBody + "</w:ftr>"});
    return zipBytes(entries);
}

Merged mergeBytes(const TempDir& dir, const std::string& bytes, const merge::DataSource& data)
{
    const std::string out = dir.file("out.docx");
    Merged result;
    auto tpl = merge::MergeTemplate::loadBytes(bytes, result.error);
    if (!tpl)
        return result;
    tpl->makeMergeFields();
    auto compiled = tpl->compile(data.columns, result.unknown, result.error);
    if (!compiled)
        return result;
    if (compiled->write(data, 0, data.rows.size(), out, result.error))
        result.docx = std::make_unique<MergedDocx>(out);
    return result;
}

}  // namespace kyt::test
