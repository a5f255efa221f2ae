#include "merged_docx.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <filesystem>
#include <functional>
#include <set>
#include <strings.h>

#include "support/temp_dir.h"
#include "word/zip_reader.h"

namespace kyt::test {

MergedDocx::MergedDocx(const std::string& path)
{
    const std::string bytes = readFile(path);
    word::detail::ZipReader zip;
    std::string error;
    if (!zip.open(bytes, 100000, error))
        ADD_FAILURE() << path << ": " << error;
    for (zip_int64_t i = 0; error.empty() && i < zip.entryCount(); ++i) {
        const std::string name = zip.name(i);
        EXPECT_FALSE(parts.count(name)) << name << " twice in " << path;
        EXPECT_EQ(zip.read(name.c_str(), 1u << 30, parts[name]), word::detail::ZipStatus::Ok) << name;
    }
}

std::string MergedDocx::text(const std::string& name) const
{
    pugi::xml_document xml;
    xml.load_string(part(name).c_str(), pugi::parse_default | pugi::parse_ws_pcdata);
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
    for (pugi::xpath_node p : xml.select_nodes("//w:p[not(ancestor::w:txbxContent)]")) {
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
    ASSERT_FALSE(docx.parts.empty());
    std::set<std::string> ids;  // drawing ids, bookmark ids and names, each prefixed by its kind
    pugi::xml_document rels, types;
    rels.load_string(docx.part("word/_rels/document.xml.rels").c_str());
    types.load_string(docx.part("[Content_Types].xml").c_str());
    for (const auto& [name, bytes] : docx.parts) {
        const std::string ext = name.substr(name.rfind('.') + 1);
        bool typed = false;
        for (pugi::xml_node t : types.document_element().children())
            typed = typed || t.attribute("PartName").value() == "/" + name ||
                    strcasecmp(t.attribute("Extension").value(), ext.c_str()) == 0;
        EXPECT_TRUE(typed) << name << " has no content type";
        pugi::xml_document xml;
        if (ext != "xml" && ext != "rels")
            continue;
        const auto parsed = xml.load_buffer(bytes.data(), bytes.size());
        EXPECT_TRUE(parsed) << name << ": " << parsed.description();
        const bool story = name == "word/document.xml" || name.find("header") != std::string::npos ||
                           name.find("footer") != std::string::npos;
        if (!story)
            continue;
        for (const char* id : {"//wp:docPr/@id", "//w:bookmarkStart/@w:id", "//w:bookmarkStart/@w:name"})
            for (pugi::xpath_node n : xml.select_nodes(id))
                EXPECT_TRUE(ids.insert(id + std::string(n.attribute().value())).second)
                    << id << " twice: " << n.attribute().value() << " (" << name << ")";
    }
    // Every internal relationship of the main part leads to a part.
    for (pugi::xml_node rel : rels.document_element().children()) {
        EXPECT_TRUE(ids.insert(std::string("rel") + rel.attribute("Id").value()).second) << rel.attribute("Id").value();
        std::string target = rel.attribute("Target").value();
        target = target[0] == '/' ? target.substr(1) : "word/" + target;
        target = std::filesystem::path(target).lexically_normal().generic_string();
        EXPECT_TRUE(std::string(rel.attribute("TargetMode").value()) == "External" || docx.parts.count(target)) << target;
    }
}

}  // namespace kyt::test
