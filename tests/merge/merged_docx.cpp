#include "merged_docx.h"

#include <cstring>
#include <filesystem>
#include <functional>

#include "support/temp_dir.h"
#include "word/zip_reader.h"

namespace kyt::test {

MergedDocx::MergedDocx(const std::string& path) : bytes_(readFile(path))
{
    word::detail::ZipReader zip;
    std::string error;
    if (!zip.open(bytes_, 100000, error)) {
        ADD_FAILURE() << path << ": " << error;
        return;
    }
    for (zip_int64_t i = 0; i < zip.entryCount(); ++i) {
        const std::string name = zip.name(i);
        EXPECT_FALSE(parts.count(name)) << name << " twice in " << path;
        EXPECT_EQ(zip.read(name.c_str(), 1u << 30, parts[name]), word::detail::ZipStatus::Ok) << name;
    }
    ok = true;
}

const std::string& MergedDocx::part(const std::string& name) const
{
    static const std::string none;
    auto it = parts.find(name);
    return it == parts.end() ? none : it->second;
}

std::string MergedDocx::bodyText() const
{
    pugi::xml_document xml;
    xml.load_string(part("word/document.xml").c_str(), pugi::parse_default | pugi::parse_ws_pcdata);
    std::string out;
    // Text boxes are read where they stand, once (their fallback copy repeats them).
    std::function<void(pugi::xml_node)> collect = [&](pugi::xml_node node) {
        const std::string name = node.name();
        if (name == "mc:Fallback")
            return;
        if (name == "w:t" || name == "w:instrText")
            out += node.text().get();
        out += name == "w:tab" ? "\t" : name == "w:br" ? "\n" : "";
        for (pugi::xml_node child : node.children())
            collect(child);
        out += name == "w:p" ? "\n" : "";
    };
    for (pugi::xpath_node p : xml.select_nodes("/w:document/w:body//w:p[not(ancestor::w:txbxContent)]")) {
        for (pugi::xml_node child : p.node().children())
            collect(child);
        out += '\n';
    }
    return out;
}

int MergedDocx::sectionCount() const
{
    pugi::xml_document xml;
    xml.load_string(part("word/document.xml").c_str());
    return static_cast<int>(xml.select_nodes("/w:document/w:body//w:sectPr[not(ancestor::w:sectPrChange)]").size());
}

void expectValidPackage(const MergedDocx& docx)
{
    ASSERT_TRUE(docx.ok);
    std::set<std::string> drawingIds, bookmarkIds, bookmarkNames;
    for (const auto& [name, bytes] : docx.parts) {
        const bool xmlPart = name.size() > 4 && (name.substr(name.size() - 4) == ".xml" || name.substr(name.size() - 5) == ".rels");
        if (!xmlPart)
            continue;
        pugi::xml_document xml;
        const auto parsed = xml.load_buffer(bytes.data(), bytes.size());
        EXPECT_TRUE(parsed) << name << ": " << parsed.description();
        if (!parsed)
            continue;
        const bool story = name == "word/document.xml" || name.find("header") != std::string::npos ||
                           name.find("footer") != std::string::npos;
        if (!story)
            continue;
        for (pugi::xpath_node n : xml.select_nodes("//wp:docPr"))
            EXPECT_TRUE(drawingIds.insert(n.node().attribute("id").value()).second)
                << "drawing id " << n.node().attribute("id").value() << " twice (" << name << ")";
        for (pugi::xpath_node n : xml.select_nodes("//w:bookmarkStart")) {
            EXPECT_TRUE(bookmarkIds.insert(n.node().attribute("w:id").value()).second)
                << "bookmark id " << n.node().attribute("w:id").value() << " twice (" << name << ")";
            EXPECT_TRUE(bookmarkNames.insert(n.node().attribute("w:name").value()).second)
                << "bookmark " << n.node().attribute("w:name").value() << " twice (" << name << ")";
        }
    }
    // Every internal relationship of the main part leads to a part, and every part has a content type.
    pugi::xml_document rels, types;
    rels.load_string(docx.part("word/_rels/document.xml.rels").c_str());
    types.load_string(docx.part("[Content_Types].xml").c_str());
    std::set<std::string> ids;
    for (pugi::xml_node rel : rels.document_element().children()) {
        EXPECT_TRUE(ids.insert(rel.attribute("Id").value()).second) << "relationship id twice: " << rel.attribute("Id").value();
        if (std::strcmp(rel.attribute("TargetMode").value(), "External") == 0)
            continue;
        std::string target = rel.attribute("Target").value();
        target = target[0] == '/' ? target.substr(1) : "word/" + target;
        target = std::filesystem::path(target).lexically_normal().generic_string();
        EXPECT_TRUE(docx.parts.count(target)) << "relationship to a missing part " << target;
    }
    for (const auto& [name, bytes] : docx.parts) {
        const size_t dot = name.rfind('.');
        const std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
        bool typed = false;
        for (pugi::xml_node t : types.document_element().children()) {
            if (std::string(t.attribute("PartName").value()) == "/" + name)
                typed = true;
            if (strcasecmp(t.attribute("Extension").value(), ext.c_str()) == 0)
                typed = true;
        }
        EXPECT_TRUE(typed) << name << " has no content type";
    }
}

}  // namespace kyt::test
