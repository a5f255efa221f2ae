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

std::string templateWith(const std::string& body, const std::vector<ExtraPart>& parts)
{
    std::vector<ZipEntry> entries = docxEntries(body);
    std::string types = entries[0].bytes;
    std::string rels = R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
    for (size_t i = 0; i < parts.size(); ++i) {
        const ExtraPart& part = parts[i];
        types.insert(types.find("</Types>"), R"(<Override PartName="/)" + part.name + R"(" ContentType=")" +
                                                 (part.contentType.find('/') == std::string::npos
                                                      ? "application/vnd.openxmlformats-officedocument.wordprocessingml." +
                                                            part.contentType + "+xml"
                                                      : part.contentType) +
                                                 "\"/>");
        const std::string type = part.relType.find('/') == std::string::npos
                                     ? "http://schemas.openxmlformats.org/officeDocument/2006/relationships/" + part.relType
                                     : part.relType;
        rels += R"(<Relationship Id="rId)" + std::to_string(10 + i) + R"(" Type=")" + type + R"(" Target=")" +
                part.name.substr(part.name.find('/') + 1) + "\"/>";
        entries.push_back({part.name, part.xml});
    }
    entries[0].bytes = types;
    entries.push_back({"word/_rels/document.xml.rels", rels + "</Relationships>"});
    return zipBytes(entries);
}

std::string wordXml(const std::string& root, const std::string& children)
{
    return "<w:" + root + R"( xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main">)" + children +
           "</w:" + root + ">";
}

std::string templateWithParts(const std::string& body, const std::string& headerBody, const std::string& footerBody)
{
    const std::string sect = R"(<w:sectPr><w:headerReference w:type="default" r:id="rId10"/>)"
                             R"(<w:footerReference w:type="default" r:id="rId11"/><w:type w:val="continuous"/></w:sectPr>)";
    return templateWith(body + sect, {{"word/header1.xml", "header", "header", wordXml("hdr", headerBody)},
                                      {"word/footer1.xml", "footer", "footer", wordXml("ftr", footerBody)}});
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
