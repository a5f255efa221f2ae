#include "word/application.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace kyt::word {

namespace fs = std::filesystem;

namespace {

// Each LibreOffice holds a couple of hundred megabytes; past a few, the disk is the limit anyway.
constexpr unsigned kMaxConversionProcesses = 4;
// Two LibreOffice starts side by side are slower than one, which a second process wins back only
// from about eight files each: on two idle cores, eight files took as long with one process as with
// two, sixteen about 0.2 s less with two.
constexpr size_t kFilesPerConversionProcess = 8;

std::string lowerExtension(const std::string& path)
{
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

bool executable(const fs::path& file)
{
    std::error_code ec;
    return fs::is_regular_file(file, ec) && access(file.c_str(), X_OK) == 0;
}

// The LibreOffice program: KYT_SOFFICE when set (empty means "none"), else soffice or libreoffice on
// the PATH.
std::string findLibreOffice()
{
    if (const char* forced = std::getenv("KYT_SOFFICE"))
        return *forced && executable(forced) ? std::string(forced) : std::string();
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        const fs::path dir = dirs.substr(start, end - start);
        for (const char* name : {"soffice", "libreoffice"})
            if (!dir.empty() && executable(dir / name))
                return (dir / name).string();
        start = end + 1;
    }
    return {};
}

enum class RunResult { Finished, Crashed, TimedOut, NotStarted };

// Runs a program in its own process group, so that on a timeout the whole group (LibreOffice starts
// helper processes) can be ended, and nothing of it is left behind.
RunResult runWithTimeLimit(const std::vector<std::string>& argv, std::chrono::seconds limit, const std::string& logPath)
{
    std::vector<char*> cargv;
    for (const std::string& a : argv)
        cargv.push_back(const_cast<char*>(a.c_str()));
    cargv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0)
        return RunResult::NotStarted;
    if (pid == 0) {
        setpgid(0, 0);
        const int devnull = ::open("/dev/null", O_RDONLY);
        const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (devnull >= 0)
            dup2(devnull, 0);
        if (log >= 0) {
            dup2(log, 1);
            dup2(log, 2);
        }
        execv(cargv[0], cargv.data());
        _exit(127);
    }
    setpgid(pid, pid);  // also here, so the group exists whichever process runs first

    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            return RunResult::Crashed;
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
            return RunResult::TimedOut;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(-pid, SIGKILL);  // helpers that outlived the main process, if any
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        return RunResult::NotStarted;
    return WIFEXITED(status) ? RunResult::Finished : RunResult::Crashed;
}

}  // namespace

std::unique_ptr<Application> Application::start(std::string& error)
{
    std::error_code ec;
    fs::path temp = fs::temp_directory_path(ec);
    if (ec)
        temp = "/tmp";
    std::string pattern = (temp / "kyt-word-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        error = "Cannot make a working folder in " + temp.string() + ".";
        return nullptr;
    }
    std::unique_ptr<Application> app(new Application());
    app->workDir_ = pattern;
    app->maxConversionProcesses = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxConversionProcesses);
    return app;
}

Application::~Application()
{
    std::error_code ec;
    if (!workDir_.empty())
        fs::remove_all(workDir_, ec);
}

bool Application::isLegacyFormat(const std::string& path)
{
    const std::string ext = lowerExtension(path);
    return ext == ".doc" || ext == ".rtf" || ext == ".odt";
}

bool Application::libreOfficeAvailable()
{
    return !findLibreOffice().empty();
}

namespace {

// Older formats saved under a .docx name, which the word processor opens all the same.
bool disguisedLegacy(const std::string& path)
{
    const Document::Content content = Document::sniffFile(path);
    return content == Document::Content::WordBinary || content == Document::Content::Rtf ||
           content == Document::Content::OpenDocument;
}

// The extension LibreOffice is shown, from what the file holds rather than what it is called.
std::string conversionExtension(const std::string& path)
{
    switch (Document::sniffFile(path)) {
    case Document::Content::WordBinary: return ".doc";
    case Document::Content::Rtf: return ".rtf";
    case Document::Content::OpenDocument: return ".odt";
    default: break;
    }
    const std::string ext = lowerExtension(path);
    return ext.empty() ? ".doc" : ext;
}

struct Conversion {
    std::string source;
    fs::path link;    // the numbered name LibreOffice is given
    fs::path output;  // where LibreOffice writes its .docx
};

std::string conversionFailure(RunResult result, std::chrono::seconds limit)
{
    switch (result) {
    case RunResult::TimedOut:
        return "LibreOffice did not finish converting the document within " + std::to_string(limit.count()) +
               " seconds. Save it as .docx in the word processor.";
    case RunResult::NotStarted:
        return "LibreOffice could not be started to convert the document. Save it as .docx in the word processor.";
    case RunResult::Finished:
    case RunResult::Crashed:
        break;
    }
    return "LibreOffice could not convert the document (it may be damaged or protected by a password). "
           "Open it in the word processor and save it as .docx.";
}

// Converts `items` with one LibreOffice start on the profile `profile`. LibreOffice converts its files
// in the order given, so when it dies, the first file without an output is the one it died on: that
// file fails, and the files after it are converted in a new start. Gives, for each item, an empty
// string when it was converted, else why not.
std::vector<std::string> convertInOneProcess(const std::string& soffice, const fs::path& profile,
                                             const fs::path& outDir, const std::vector<Conversion>& items,
                                             std::chrono::seconds limit, const fs::path& logPath,
                                             const std::string& filter = "docx:MS Word 2007 XML")
{
    std::vector<std::string> failures(items.size());
    std::vector<bool> done(items.size(), false);
    size_t next = 0;
    while (next < items.size()) {
        std::vector<std::string> argv = {soffice,
                                         "-env:UserInstallation=file://" + profile.string(),
                                         "--headless", "--invisible", "--nologo", "--norestore", "--nolockcheck",
                                         "--convert-to", filter, "--outdir", outDir.string()};
        for (size_t k = next; k < items.size(); ++k)
            if (!done[k])
                argv.push_back(items[k].link.string());
        const RunResult result = runWithTimeLimit(argv, limit, logPath.string());

        size_t firstMissing = items.size();
        for (size_t k = next; k < items.size(); ++k) {
            std::error_code sizeError;
            if (!done[k] && fs::file_size(items[k].output, sizeError) > 0 && !sizeError)
                done[k] = true;
            else if (!done[k] && firstMissing == items.size())
                firstMissing = k;
        }
        if (firstMissing == items.size())
            break;

        const std::string reason = conversionFailure(result, limit);
        if (result != RunResult::Crashed) {
            for (size_t k = next; k < items.size(); ++k)
                if (!done[k])
                    failures[k] = reason;
            break;
        }
        for (size_t k = next; k <= firstMissing; ++k)
            if (!done[k])
                failures[k] = reason;
        // Outputs written after the file that failed belong to files converted already; retry the rest.
        next = firstMissing + 1;
        while (next < items.size() && done[next])
            ++next;
    }
    return failures;
}

}  // namespace

void Application::prepare(const std::vector<std::string>& paths)
{
    std::vector<std::string> pending;
    for (const std::string& path : paths) {
        if (converted_.count(path) || failed_.count(path) ||
            std::find(pending.begin(), pending.end(), path) != pending.end())
            continue;
        if (!isLegacyFormat(path) && !disguisedLegacy(path))
            continue;
        std::error_code ec;
        if (!fs::is_regular_file(path, ec)) {
            failed_[path] = "The file cannot be opened.";
            continue;
        }
        pending.push_back(path);
    }
    if (pending.empty())
        return;

    const std::string soffice = findLibreOffice();
    if (soffice.empty()) {
        for (const std::string& path : pending)
            failed_[path] = "This is a " + conversionExtension(path) +
                            " document, which Kyt reads only through LibreOffice, and LibreOffice is not installed. "
                            "Open it in the word processor and save it as .docx, or install LibreOffice.";
        return;
    }

    // The files are linked under short numbered names: two files of one name in different folders
    // cannot then overwrite each other's output, and odd names never reach LibreOffice's command line.
    const fs::path batchDir = fs::path(workDir_) / ("batch" + std::to_string(batches_++));
    const fs::path inDir = batchDir / "in";
    const fs::path outDir = batchDir / "out";
    std::error_code ec;
    fs::create_directories(inDir, ec);
    fs::create_directories(outDir, ec);
    std::vector<Conversion> items;
    for (size_t k = 0; k < pending.size(); ++k) {
        const std::string stem = std::to_string(k + 1);
        const fs::path link = inDir / (stem + conversionExtension(pending[k]));
        std::error_code linkError;
        fs::create_symlink(fs::absolute(pending[k], linkError), link, linkError);
        if (linkError) {
            linkError.clear();
            fs::copy_file(pending[k], link, linkError);
        }
        if (linkError) {
            failed_[pending[k]] = "The file cannot be opened.";
            continue;
        }
        items.push_back({pending[k], link, outDir / (stem + ".docx")});
    }

    // One LibreOffice per core, each started once with its own profile: LibreOffice hands its files
    // to a process already running on the same profile, so a shared one would serialise them.
    const size_t processes =
        std::clamp<size_t>(items.size() / kFilesPerConversionProcess, 1, std::max(1u, maxConversionProcesses));
    // Dealt out in turn rather than in runs, so that a stretch of large files is shared out too.
    std::vector<std::vector<Conversion>> shares(processes);
    for (size_t k = 0; k < items.size(); ++k)
        shares[k % processes].push_back(items[k]);

    std::vector<std::vector<std::string>> failures(processes);
    auto convertShare = [&, this](size_t p) {
        const fs::path profile = fs::path(workDir_) / (p == 0 ? std::string("profile") : "profile" + std::to_string(p));
        failures[p] = convertInOneProcess(soffice, profile, outDir, shares[p], conversionTimeLimit,
                                          batchDir / ("libreoffice" + std::to_string(p) + ".log"));
    };
    std::vector<std::thread> others;
    std::vector<size_t> withoutThread;
    for (size_t p = 1; p < processes; ++p) {
        try {
            others.emplace_back(convertShare, p);
        } catch (const std::system_error&) {
            withoutThread.push_back(p);  // converted in turn here instead
        }
    }
    convertShare(0);
    for (size_t p : withoutThread)
        convertShare(p);
    for (std::thread& thread : others)
        thread.join();

    for (size_t p = 0; p < processes; ++p) {
        for (size_t k = 0; k < shares[p].size(); ++k) {
            if (failures[p][k].empty())
                converted_[shares[p][k].source] = shares[p][k].output.string();
            else
                failed_[shares[p][k].source] = failures[p][k];
        }
    }
    for (const Conversion& item : items)
        fs::remove(item.link, ec);
}

std::vector<std::string> Application::convertToPdf(const std::vector<std::string>& paths, const std::string& outDir)
{
    std::vector<std::string> failures(paths.size());
    const std::string soffice = findLibreOffice();
    if (soffice.empty()) {
        for (auto& failure : failures)
            failure = "LibreOffice is not installed, so no PDF can be made.";
        return failures;
    }
    const fs::path batchDir = fs::path(workDir_) / ("pdf" + std::to_string(batches_++));
    const fs::path inDir = batchDir / "in";
    const fs::path convertedDir = batchDir / "out";
    std::error_code ec;
    fs::create_directories(inDir, ec);
    fs::create_directories(convertedDir, ec);
    std::vector<Conversion> items;
    std::vector<size_t> itemOf;  // position in `paths` of each item
    for (size_t k = 0; k < paths.size(); ++k) {
        const std::string stem = std::to_string(k + 1);
        const fs::path link = inDir / (stem + ".docx");
        std::error_code linkError;
        fs::create_symlink(fs::absolute(paths[k], linkError), link, linkError);
        if (linkError) {
            failures[k] = "The file cannot be opened.";
            continue;
        }
        items.push_back({paths[k], link, convertedDir / (stem + ".pdf")});
        itemOf.push_back(k);
    }
    const size_t processes =
        std::clamp<size_t>(items.size() / kFilesPerConversionProcess, 1, std::max(1u, maxConversionProcesses));
    std::vector<std::vector<Conversion>> shares(processes);
    std::vector<std::vector<size_t>> shareIndex(processes);
    for (size_t k = 0; k < items.size(); ++k) {
        shares[k % processes].push_back(items[k]);
        shareIndex[k % processes].push_back(itemOf[k]);
    }
    std::vector<std::vector<std::string>> results(processes);
    auto convertShare = [&, this](size_t p) {
        const fs::path profile = fs::path(workDir_) / ("pdfprofile" + std::to_string(p));
        results[p] = convertInOneProcess(soffice, profile, convertedDir, shares[p], conversionTimeLimit,
                                         batchDir / ("libreoffice" + std::to_string(p) + ".log"), "pdf");
    };
    std::vector<std::thread> others;
    std::vector<size_t> withoutThread;
    for (size_t p = 1; p < processes; ++p) {
        try {
            others.emplace_back(convertShare, p);
        } catch (const std::system_error&) {
            withoutThread.push_back(p);
        }
    }
    if (processes > 0 && !items.empty())
        convertShare(0);
    for (size_t p : withoutThread)
        convertShare(p);
    for (std::thread& thread : others)
        thread.join();
    for (size_t p = 0; p < processes; ++p) {
        for (size_t k = 0; k < shares[p].size(); ++k) {
            const size_t at = shareIndex[p][k];
            if (k < results[p].size() && !results[p][k].empty()) {
                failures[at] = "LibreOffice could not make a PDF of the document.";
                continue;
            }
            const fs::path target = fs::path(outDir) / fs::path(paths[at]).filename().replace_extension(".pdf");
            std::error_code moveError;
            fs::rename(shares[p][k].output, target, moveError);
            if (moveError) {
                moveError.clear();
                fs::copy_file(shares[p][k].output, target, fs::copy_options::overwrite_existing, moveError);
            }
            if (moveError)
                failures[at] = "The PDF cannot be saved as " + target.string() + ": " + moveError.message();
        }
    }
    fs::remove_all(batchDir, ec);
    return failures;
}

std::string Application::convertedDocx(const std::string& path, std::string& error)
{
    error.clear();
    if (!converted_.count(path) && !failed_.count(path))
        prepare({path});
    if (auto failed = failed_.find(path); failed != failed_.end()) {
        error = failed->second;
        return {};
    }
    auto converted = converted_.find(path);
    if (converted == converted_.end()) {
        error = "The document could not be converted.";
        return {};
    }
    return converted->second;
}

std::unique_ptr<Document> Application::open(const std::string& path, std::string& error)
{
    error.clear();
    if (!isLegacyFormat(path)) {
        auto document = Document::open(path, error);
        if (document || !disguisedLegacy(path))
            return document;
        // An older document under a .docx name: read it as the word processor would, converted.
        if (!converted_.count(path) && !failed_.count(path))
            prepare({path});
        if (!converted_.count(path))
            return nullptr;  // keep the reason that names the real format
        return Document::open(converted_[path], error);
    }
    if (!converted_.count(path) && !failed_.count(path))
        prepare({path});
    if (auto failed = failed_.find(path); failed != failed_.end()) {
        error = failed->second;
        return nullptr;
    }
    auto converted = converted_.find(path);
    if (converted == converted_.end()) {
        error = "The document could not be converted.";
        return nullptr;
    }
    return Document::open(converted->second, error);
}

bool Application::convertToPdf(const std::string& docxPath, std::string& pdfPath, std::string& error)
{
    const std::string soffice = findLibreOffice();
    if (soffice.empty()) {
        error = "LibreOffice is not installed, so the results cannot be saved as PDF. "
                "Save them as .docx instead, or install LibreOffice.";
        return false;
    }
    const fs::path outDir = fs::path(workDir_) / ("pdf-" + std::to_string(++batches_));
    const fs::path profile = fs::path(workDir_) / "pdf-profile";
    std::error_code ec;
    fs::create_directories(outDir, ec);
    if (ec) {
        error = "Cannot make a working folder in " + workDir_ + ".";
        return false;
    }
    const std::vector<std::string> argv = {soffice,
                                           "-env:UserInstallation=file://" + profile.string(),
                                           "--headless", "--invisible", "--nologo", "--norestore", "--nolockcheck",
                                           "--convert-to", "pdf", "--outdir", outDir.string(), docxPath};
    const RunResult result = runWithTimeLimit(argv, conversionTimeLimit, (outDir / "soffice.log").string());
    const fs::path output = outDir / (fs::path(docxPath).stem().string() + ".pdf");
    if (fs::file_size(output, ec) == 0 || ec) {
        switch (result) {
        case RunResult::TimedOut:
            error = "LibreOffice did not finish making the PDF within " + std::to_string(conversionTimeLimit.count()) +
                    " seconds.";
            break;
        case RunResult::NotStarted:
            error = "LibreOffice could not be started to make the PDF.";
            break;
        default:
            error = "LibreOffice could not make the PDF.";
        }
        return false;
    }
    pdfPath = output.string();
    return true;
}

}  // namespace kyt::word
