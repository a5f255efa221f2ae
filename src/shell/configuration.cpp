#include "shell/configuration.h"

#include <fnmatch.h>

#include <QCoreApplication>
#include <QString>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "db/database.h"
#include "shell/atomic_file.h"

namespace kyt {
namespace fs = std::filesystem;

namespace {

// Kyt.ini is a few hundred bytes; anything past this cannot be one and is not read.
constexpr std::streamsize kMaxConfigBytes = 1 << 20;

fs::path executablePath()
{
    if (QCoreApplication::instance())
        return fs::path(QCoreApplication::applicationFilePath().toStdString());
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : self;
}

// Lines end at CR LF, at a lone LF (a file edited on Linux) or at a lone CR.
std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    // A byte-order mark left by an editor would otherwise become part of the college code.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        start = 3;
    size_t i = start;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(text.substr(start, i - start));
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
        ++i;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool parseInt32(std::string_view text, int32_t& out)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    int32_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return false;
    out = value;
    return true;
}

bool parseSeconds(std::string_view text, double& out)
{
    text = trimmed(text);
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return false;
    out = value;
    return true;
}

fs::path configFolder(const Control& control)
{
    std::error_code ec;
    fs::path config = fs::absolute(fs::path(control.config.ConfigPath), ec);
    return config.parent_path();
}

// A relative path in lines 3 to 5 names a place beside the configuration file, so that a configuration
// and its database can travel together (the demo, a college's setup on a shared drive).
std::string resolveAgainst(const fs::path& folder, const std::string& line)
{
    // A server address is no path.
    if (line.empty() || !fs::path(line).is_relative() || db::engineOf(line) == db::Engine::PostgreSQL)
        return line;
    fs::path resolved = (folder / line).lexically_normal();
    // "." and "dir/" normalise with a trailing separator; a folder is held without one.
    if (resolved.filename().empty() && resolved.has_relative_path())
        resolved = resolved.parent_path();
    return resolved.string();
}

bool hasWildcard(const std::string& name)
{
    return name.find_first_of("*?") != std::string::npos;
}

}  // namespace

std::string ProgramFile()
{
    return executablePath().string();
}

std::string ProgramFolder()
{
    return executablePath().parent_path().string();
}

std::string DefaultConfigPath()
{
    return (fs::path(ProgramFolder()) / "Kyt.ini").string();
}

bool FileExists(const std::string& Path)
{
    if (Path.empty())
        return false;
    std::error_code ec;
    fs::path path(Path);
    if (fs::is_regular_file(path, ec))
        return true;
    std::string pattern = path.filename().string();
    if (!hasWildcard(pattern))
        return false;
    fs::path folder = path.parent_path();
    if (folder.empty())
        folder = ".";
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        // Dot files are the hidden files of this platform; an ordinary listing leaves them out.
        if (name.front() == '.')
            continue;
        std::error_code typeError;
        if (::fnmatch(pattern.c_str(), name.c_str(), 0) == 0 && fs::is_regular_file(it->path(), typeError))
            return true;
    }
    return false;
}

ConfigProblem LoadConfiguration(Control& control)
{
    control.config.ConfigRelativePaths = {};
    std::ifstream in(control.config.ConfigPath, std::ios::binary);
    if (!in)
        return ConfigProblem::CannotOpen;
    std::string text(static_cast<size_t>(kMaxConfigBytes), '\0');
    in.read(text.data(), kMaxConfigBytes);
    text.resize(static_cast<size_t>(in.gcount()));
    if (in.bad())
        return ConfigProblem::CannotOpen;

    std::vector<std::string> lines = splitLines(text);
    if (lines.size() < 3)
        return ConfigProblem::TooShort;
    fs::path folder = configFolder(control);
    std::string* pathLines[] = {&control.config.DatabasePath, &control.config.LastResumeFolder, &control.config.LastFormatFolder};
    // A hand-edited "1qp " must match the seat numbers all the same, as the setup window would write it.
    control.config.RegionCollegeCode = QString::fromStdString(std::string(trimmed(lines[0]))).toUpper().toStdString();
    control.config.PlacementEmail = lines[1];
    for (size_t i = 0; i < 3; ++i) {
        if (2 + i >= lines.size())
            break;
        const std::string& line = lines[2 + i];
        *pathLines[i] = resolveAgainst(folder, line);
        control.config.ConfigRelativePaths[i] = *pathLines[i] == line ? std::string() : line;
    }
    if (lines.size() > 5)
        control.config.ProgramFilePath = lines[5];
    if (lines.size() > 6)
        parseInt32(lines[6], control.config.TotalDocumentsScanned);
    if (lines.size() > 7)
        parseSeconds(lines[7], control.config.TotalScanSeconds);
    if (lines.size() > 8)
        parseSeconds(lines[8], control.config.AverageScanSeconds);
    // Counts and durations are never negative; a negative line is a damaged one.
    control.config.TotalDocumentsScanned = std::max(control.config.TotalDocumentsScanned, 0);
    control.config.TotalScanSeconds = std::max(control.config.TotalScanSeconds, 0.0);
    control.config.AverageScanSeconds = std::max(control.config.AverageScanSeconds, 0.0);

    if (control.config.RegionCollegeCode.empty())
        return ConfigProblem::EmptyCode;
    if (control.config.DatabasePath.empty())
        return ConfigProblem::EmptyDatabasePath;
    // A server is asked at start-up; its password is never kept here (libpq's password file keeps it).
    if (db::engineOf(control.config.DatabasePath) == db::Engine::PostgreSQL)
        return db::hasPassword(control.config.DatabasePath) ? ConfigProblem::PasswordInAddress : ConfigProblem::None;
    if (!FileExists(control.config.DatabasePath))
        return ConfigProblem::DatabaseNotFound;
    return ConfigProblem::None;
}

std::string ConfigMissingQuestion()
{
    return "Kyt.ini  file not found. It is corrupted or points to an invalid database location. "
           "\n\n"
           "                                      Would you like to create it now ?          ";
}

int16_t ReadConfiguration(Control& control, const std::function<void()>& showSetupWindow)
{
    if (LoadConfiguration(control) == ConfigProblem::None)
        return 1;
    if (control.session.Messages &&
        control.session.Messages->show(ConfigMissingQuestion(), "Error.", MsgIcon::None, MsgButtons::YesNo) ==
            MsgAnswer::Yes &&
        showSetupWindow)
        showSetupWindow();
    return -1;
}

std::string FormatSeconds(double seconds)
{
    if (!std::isfinite(seconds) || seconds == 0)
        return "0.000";
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed, 3);
    if (ec != std::errc())
        return "0.000";
    std::string text(buffer, end);
    return text == "-0.000" ? "0.000" : text;
}

std::string ConfigurationText(const Control& control)
{
    fs::path folder = configFolder(control);
    const std::string* pathLines[] = {&control.config.DatabasePath, &control.config.LastResumeFolder,
                                      &control.config.LastFormatFolder};
    std::string text = control.config.RegionCollegeCode + "\r\n" + control.config.PlacementEmail + "\r\n";
    for (size_t i = 0; i < 3; ++i) {
        const std::string& relative = control.config.ConfigRelativePaths[i];
        bool unchanged = !relative.empty() && resolveAgainst(folder, relative) == *pathLines[i];
        text += unchanged ? relative : *pathLines[i];
        text += "\r\n";
    }
    text += control.config.ProgramFilePath + "\r\n";
    text += std::to_string(control.config.TotalDocumentsScanned) + "\r\n";
    text += FormatSeconds(control.config.TotalScanSeconds) + "\r\n";
    text += FormatSeconds(control.config.AverageScanSeconds) + "\r\n";
    return text;
}

bool WriteConfiguration(const Control& control, std::string& error)
{
    return WriteFileAtomically(control.config.ConfigPath, ConfigurationText(control), error);
}

std::string SetupFileText(const SetupValues& values)
{
    QString code = QString::fromStdString(values.RegionCollegeCode).toUpper();
    QString email = QString::fromStdString(values.PlacementEmail).toLower();
    std::string text;
    for (const std::string& line : {code.toStdString(), email.toStdString(), values.DatabasePath,
                                    values.ProgramFolder, values.ProgramFolder, values.ProgramFile}) {
        text += line;
        text += "\r\n";
    }
    return text;
}

bool WriteSetupFile(const std::string& path, const SetupValues& values, std::string& error)
{
    return WriteFileAtomically(path, SetupFileText(values), error);
}

}  // namespace kyt
