#include "merge/merge_template.h"

#include <QString>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "merge/field_format.h"
#include "merge/template_package.h"

namespace kyt::merge {

namespace fs = std::filesystem;
using namespace detail;

int DataSource::column(std::string_view name) const
{
    const QString wanted = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    for (size_t i = 0; i < columns.size(); ++i)
        if (QString::fromStdString(columns[i]).compare(wanted, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

MergeTemplate::MergeTemplate(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
MergeTemplate::~MergeTemplate() = default;

std::unique_ptr<MergeTemplate> MergeTemplate::load(const std::string& path, std::string& error,
                                                   const TemplateLimits& limits)
{
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec) {
        error = "The target document " + path + " cannot be opened.";
        return nullptr;
    }
    if (size > limits.maxFileBytes) {
        error = "The target document " + path + " is larger than " + std::to_string(limits.maxFileBytes >> 20) + " MiB.";
        return nullptr;
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes(static_cast<size_t>(size), '\0');
    if (!in || !in.read(bytes.data(), static_cast<std::streamsize>(size))) {
        error = "The target document " + path + " cannot be read.";
        return nullptr;
    }
    return loadBytes(bytes, error, limits);
}

std::unique_ptr<MergeTemplate> MergeTemplate::loadBytes(const std::string& bytes, std::string& error,
                                                        const TemplateLimits& limits)
{
    auto impl = readPackage(bytes, limits, error);
    if (!impl)
        return nullptr;
    return std::unique_ptr<MergeTemplate>(new MergeTemplate(std::move(impl)));
}

int MergeTemplate::fieldCount() const
{
    return static_cast<int>(d->fields.size());
}

bool MergeTemplate::isMergeField(int index) const
{
    return isMergeKeyword(parseFieldCode(d->fields.at(static_cast<size_t>(index)).code).keyword);
}

std::string MergeTemplate::fieldCode(int index) const
{
    return d->fields.at(static_cast<size_t>(index)).code;
}

int MergeTemplate::makeMergeFields()
{
    const int n = fieldCount();
    if (n == 0 || (isMergeField(0) && isMergeField(n - 1)))
        return 0;
    int changed = 0;
    for (Field& field : d->fields) {
        if (isMergeKeyword(parseFieldCode(field.code).keyword) || !isBareName(field.code))
            continue;
        const Part& part = *d->parts[field.part];
        field.code = "MERGEFIELD " + field.code;
        if (field.simple) {
            part.wattr(field.simpleNode, "instr").set_value(field.code.c_str());
        } else if (!field.instr.empty()) {
            pugi::xml_node first = field.instr.front();
            const std::string text = std::string("MERGEFIELD ") + first.text().get();
            first.text().set(text.c_str());
            if (!first.attribute("xml:space"))
                first.append_attribute("xml:space") = "preserve";
        }
        ++changed;
    }
    return changed;
}

std::vector<std::string> MergeTemplate::unknownFields(const std::vector<std::string>& columns) const
{
    DataSource names{columns, {}};
    std::vector<std::string> unknown;
    std::set<std::string> seen;
    for (const Field& field : d->fields) {
        const FieldCode code = parseFieldCode(field.code);
        if (!isMergeKeyword(code.keyword))
            continue;
        if (names.column(code.name) >= 0)
            continue;
        const std::string key = QString::fromStdString(code.name).toLower().toStdString();
        if (seen.insert(key).second)
            unknown.push_back(code.name.empty() ? std::string("(a merge field without a name)") : code.name);
    }
    return unknown;
}

}  // namespace kyt::merge
