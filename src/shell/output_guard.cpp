#include "shell/output_guard.h"

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "db/database_files.h"

namespace kyt {

namespace fs = std::filesystem;

namespace {

using FileId = std::pair<dev_t, ino_t>;

std::optional<FileId> idOf(const std::string& path)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileId{st.st_dev, st.st_ino};
}

// The folder a path names its file in, "." for a bare name.
std::string folderOf(const std::string& path)
{
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

// Whether `a` and `b` are, or would be once created, the same file.
bool samePlace(const std::string& a, const std::string& b)
{
    const std::optional<FileId> first = idOf(a), second = idOf(b);
    if (first && second)
        return *first == *second;
    if (first || second)  // one exists, the other does not: different files
        return false;
    const std::optional<FileId> folderA = idOf(folderOf(a)), folderB = idOf(folderOf(b));
    return folderA && folderB && *folderA == *folderB &&
           fs::path(a).filename() == fs::path(b).filename();
}

}  // namespace

std::string RefusedOutput(const Control& control, const std::string& path, const std::string& targetDocument)
{
    const std::string never = "; it is never written over. Choose another file name.";
    if (db::isDatabaseFile(control.config.DatabasePath, path))
        return path + " is the student database or a file the database engine keeps beside it" + never;
    std::vector<std::pair<std::string, std::string>> kept;
    if (!control.config.ConfigPath.empty())
        kept.emplace_back(control.config.ConfigPath, "Kyt's configuration file");
    if (!targetDocument.empty())
        kept.emplace_back(targetDocument, "the target format document");
    for (const auto& [file, what] : kept)
        if (samePlace(path, file))
            return path + " is " + what + never;

    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return path + (S_ISDIR(st.st_mode) ? " is a folder. Give a file name."
                                           : " is not an ordinary file (a pipe or a device). Choose another file name.");
    return {};
}

}  // namespace kyt
