#include "word/application.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
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

enum class RunResult { Finished, Crashed, TimedOut, NotStarted, Cancelled };

struct RunLimits {
    std::chrono::seconds first;  // the longest wait for the first progress (the program's own start)
    std::chrono::seconds quiet;  // the longest wait for further progress
    rlim_t addressSpace;         // bytes of address space for the program, 0: no limit
    std::function<bool()> stop = {};  // true: end the program now (the officer cancelled)
};

// What a batch of conversions tells and asks while it runs, from the threads that run it.
struct ConversionHooks {
    std::function<bool()> stop;
    std::function<void()> fileDone;
};

// What runs in the forked child: it leads a process group of its own and starts the program in it;
// should Kyt die (killed, crashed), the whole group goes with it. The parent-death signal alone would
// not do: LibreOffice's starter gets it, but the office process it started would live on. So this
// process stays as a guard: it reads a pipe that only Kyt holds open for writing, and when that pipe
// closes (Kyt is gone however it ended) it kills the group. Its program's end is its own.
// Only async-signal-safe calls from here on: the parent may have other threads.
[[noreturn]] void guardAndRun(pid_t kyt, int watchFd, char* const* argv, const char* logPath, rlim_t addressSpace)
{
    setpgid(0, 0);
    // The guard dies with Kyt's thread that started it only through the pipe; but if Kyt was already
    // gone before this line, nothing would ever close the pipe for us: stop now.
    if (getppid() != kyt)
        _exit(126);
    const int watch = dup2(watchFd, 3);
    close_range(4, ~0U, 0);  // nothing of Kyt's (the other guards' pipes, a lock) may be kept alive
    const int devnull = ::open("/dev/null", O_RDWR);
    if (devnull >= 0) {
        // Nor Kyt's terminal or output pipe: a reader of Kyt's output must not wait for the guard.
        dup2(devnull, 0);
        dup2(devnull, 1);
        dup2(devnull, 2);
        close(devnull);
    }
    const pid_t program = fork();
    if (program < 0)
        _exit(127);
    if (program == 0) {
        close(watch);
        // Set after the fork, in the child: the signal comes when the guard ends.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() == 1)
            _exit(127);
        if (addressSpace > 0) {
            const rlimit limit{addressSpace, addressSpace};
            setrlimit(RLIMIT_AS, &limit);
        }
        const int log = ::open(logPath, O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (log >= 0) {
            dup2(log, 1);
            dup2(log, 2);
        }
        execv(argv[0], argv);
        _exit(127);
    }
    for (;;) {
        pollfd watched{watch, POLLIN, 0};
        const int ready = poll(&watched, 1, 100);
        int status = 0;
        if (waitpid(program, &status, WNOHANG) == program) {
            if (WIFEXITED(status))
                _exit(WEXITSTATUS(status));
            kill(getpid(), SIGKILL);  // reported as a crash
        }
        if (ready > 0)
            kill(0, SIGKILL);  // Kyt is gone: the group, this guard included
    }
}

// Runs a program under a guard (guardAndRun) in a process group of its own, so that on a timeout the
// whole group (LibreOffice starts helper processes) can be ended and nothing of it is left behind. The
// time limit counts from the start and from every moment `progressed` says the program got further.
RunResult runWithTimeLimit(const std::vector<std::string>& argv, const RunLimits& limits, const std::string& logPath,
                           const std::function<bool()>& progressed)
{
    std::vector<char*> cargv;
    for (const std::string& a : argv)
        cargv.push_back(const_cast<char*>(a.c_str()));
    cargv.push_back(nullptr);

    int watch[2];
    if (pipe2(watch, O_CLOEXEC) != 0)
        return RunResult::NotStarted;
    const pid_t self = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        close(watch[0]);
        close(watch[1]);
        return RunResult::NotStarted;
    }
    if (pid == 0) {
        close(watch[1]);
        guardAndRun(self, watch[0], cargv.data(), logPath.c_str(), limits.addressSpace);
    }
    close(watch[0]);
    setpgid(pid, pid);  // also here, so the group exists whichever process runs first

    auto deadline = std::chrono::steady_clock::now() + limits.first;
    auto checked = std::chrono::steady_clock::now();
    RunResult result = RunResult::Finished;
    for (;;) {
        siginfo_t info{};
        // WNOWAIT: the guard stays a zombie, so its group id cannot be reused before the kill below.
        if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid) {
            if (info.si_code != CLD_EXITED)
                result = RunResult::Crashed;
            else if (info.si_status == 127 || info.si_status == 126)
                result = RunResult::NotStarted;
            break;
        }
        const auto now = std::chrono::steady_clock::now();
        if (progressed && now - checked >= std::chrono::milliseconds(200)) {
            checked = now;
            if (progressed())
                deadline = now + limits.quiet;
        }
        if (now >= deadline) {
            result = RunResult::TimedOut;
            break;
        }
        if (limits.stop && limits.stop()) {
            result = RunResult::Cancelled;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(-pid, SIGKILL);  // on a timeout everything; else helpers that outlived the program, if any
    close(watch[1]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return result;
}

constexpr std::chrono::seconds kPdfTimeLimit{600};

constexpr const char* kWorkDirPrefix = "kyt-word-";
constexpr const char* kWorkDirLock = "owner.lock";

// Working folders of runs that were killed: their owner's lock is free. A folder without a lock file
// may be one being made right now, and is left alone.
void removeStaleWorkDirs(const fs::path& temp)
{
    std::error_code ec;
    for (fs::directory_iterator it(temp, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code typeError;
        if (name.rfind(kWorkDirPrefix, 0) != 0 || !it->is_directory(typeError) || it->is_symlink(typeError))
            continue;
        const int fd = ::open((it->path() / kWorkDirLock).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        struct stat info {};
        const bool mine = fstat(fd, &info) == 0 && info.st_uid == geteuid();
        if (mine && flock(fd, LOCK_EX | LOCK_NB) == 0) {
            std::error_code removeError;
            fs::remove_all(it->path(), removeError);
        }
        ::close(fd);
    }
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
    // Held for the life of the application: while it is, no other start takes this folder for stale.
    app->lockFd_ = ::open((fs::path(pattern) / kWorkDirLock).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (app->lockFd_ >= 0)
        flock(app->lockFd_, LOCK_EX);
    removeStaleWorkDirs(temp);
    app->maxConversionProcesses = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxConversionProcesses);
    return app;
}

Application::~Application()
{
    std::error_code ec;
    if (!workDir_.empty())
        fs::remove_all(workDir_, ec);
    if (lockFd_ >= 0)
        ::close(lockFd_);
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
    size_t position;  // of `source` in the batch given
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
    case RunResult::Cancelled:
        return "The conversion was cancelled.";
    case RunResult::Finished:
    case RunResult::Crashed:
        break;
    }
    return "LibreOffice could not convert the document (it may be damaged or protected by a password). "
           "Open it in the word processor and save it as .docx.";
}

// Converts `items` with one LibreOffice start on the profile `profile`. LibreOffice converts its files
// in the order given, so when it dies or stalls, the first file without an output is the one it died
// or stalled on: that file fails alone, and the files after it are converted in a new start. Each file
// has `limit` (the first twice that, for LibreOffice's own start). Gives, for each item, an
// empty string when it was converted, else why not.
std::vector<std::string> convertInOneProcess(const std::string& soffice, const fs::path& profile,
                                             const fs::path& outDir, const std::vector<Conversion>& items,
                                             std::chrono::seconds limit, rlim_t addressSpace, const fs::path& logPath,
                                             const std::string& filter, const ConversionHooks& hooks)
{
    std::vector<std::string> failures(items.size());
    std::vector<bool> done(items.size(), false);
    size_t next = 0;
    while (next < items.size()) {
        std::vector<std::string> argv = {soffice,
                                         "-env:UserInstallation=file://" + profile.string(),
                                         "--headless", "--invisible", "--nologo", "--norestore", "--nolockcheck",
                                         "--convert-to", filter, "--outdir", outDir.string()};
        size_t outputs = 0;
        for (size_t k = next; k < items.size(); ++k)
            if (!done[k])
                argv.push_back(items[k].link.string());
        // Each output that appears gives the next file its own time.
        auto progressed = [&] {
            size_t seen = 0;
            for (size_t k = next; k < items.size(); ++k) {
                std::error_code existsError;
                seen += !done[k] && fs::exists(items[k].output, existsError) ? 1 : 0;
            }
            const bool more = seen > outputs;
            for (size_t k = outputs; k < seen && hooks.fileDone; ++k)
                hooks.fileDone();
            outputs = seen;
            return more;
        };
        const RunResult result =
            runWithTimeLimit(argv, {limit * 2, limit, addressSpace, hooks.stop}, logPath.string(), progressed);

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
        if (result != RunResult::Crashed && result != RunResult::TimedOut) {  // also when cancelled: all the rest fail
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

// Links `paths` for LibreOffice under short numbered names in `batchDir`/in (a copy where a link cannot be
// made): two files of one name in different folders cannot then overwrite each other's output, and odd names
// never reach LibreOffice's command line. Its outputs go to `batchDir`/out with `outExtension`. Gives the
// conversions of the files that could be linked; a file that could not is given its failure in `failures`.
std::vector<Conversion> linkNumbered(const std::vector<std::string>& paths, const fs::path& batchDir,
                                     const std::string& outExtension, std::vector<std::string>& failures)
{
    std::error_code ec;
    fs::create_directories(batchDir / "in", ec);
    fs::create_directories(batchDir / "out", ec);
    std::vector<Conversion> items;
    for (size_t k = 0; k < paths.size(); ++k) {
        const std::string stem = std::to_string(k + 1);
        const fs::path link = batchDir / "in" / (stem + conversionExtension(paths[k]));
        std::error_code linkError;
        fs::create_symlink(fs::absolute(paths[k], linkError), link, linkError);
        if (linkError) {
            linkError.clear();
            fs::copy_file(paths[k], link, linkError);
        }
        if (linkError)
            failures[k] = "The file cannot be opened.";
        else
            items.push_back({paths[k], k, link, batchDir / "out" / (stem + outExtension)});
    }
    return items;
}

// Shares `items` out among up to `maxProcesses` LibreOffice processes running at once, each started
// once with a profile of its own (`profileName`, then `profileName`1, ...): LibreOffice hands its files
// to a process already running on the same profile, so a shared one would serialise them. Gives each
// item's failure in the order of `items`, empty when it was converted.
std::vector<std::string> convertShared(const std::string& soffice, const std::vector<Conversion>& items,
                                       unsigned maxProcesses, const fs::path& workDir, const std::string& profileName,
                                       const fs::path& batchDir, const fs::path& outDir, std::chrono::seconds limit,
                                       rlim_t addressSpace, const std::string& filter, const ConversionHooks& hooks)
{
    const size_t processes =
        std::clamp<size_t>(items.size() / kFilesPerConversionProcess, 1, std::max(1u, maxProcesses));
    // Dealt out in turn rather than in runs, so that a stretch of large files is shared out too.
    std::vector<std::vector<Conversion>> shares(processes);
    for (size_t k = 0; k < items.size(); ++k)
        shares[k % processes].push_back(items[k]);

    std::vector<std::vector<std::string>> failures(processes);
    auto convertShare = [&](size_t p) {
        const fs::path profile = workDir / (p == 0 ? profileName : profileName + std::to_string(p));
        failures[p] = convertInOneProcess(soffice, profile, outDir, shares[p], limit, addressSpace,
                                          batchDir / ("libreoffice" + std::to_string(p) + ".log"), filter, hooks);
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
    if (!items.empty())
        convertShare(0);
    for (size_t p : withoutThread)
        convertShare(p);
    for (std::thread& thread : others)
        thread.join();

    std::vector<std::string> results(items.size());
    for (size_t k = 0; k < items.size(); ++k)
        results[k] = failures[k % processes].empty() ? std::string() : failures[k % processes][k / processes];
    return results;
}

}  // namespace

void Application::prepare(const std::vector<std::string>& paths)
{
    std::vector<std::string> pending;
    for (const std::string& path : paths) {
        if (converted_.count(path) || failed_.count(path) ||
            std::find(pending.begin(), pending.end(), path) != pending.end())
            continue;
        if (native_.count(path) || (!isLegacyFormat(path) && !disguisedLegacy(path)))
            continue;
        std::error_code ec;
        if (!fs::is_regular_file(path, ec)) {
            failed_[path] = "The file cannot be opened.";
            continue;
        }
        std::string refusal;
        if (!admitted(path, refusal)) {
            if (!native_.count(path))
                failed_[path] = refusal;
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

    const fs::path batchDir = fs::path(workDir_) / ("batch" + std::to_string(batches_++));
    const fs::path outDir = batchDir / "out";
    std::vector<std::string> unopened(pending.size());
    const std::vector<Conversion> items = linkNumbered(pending, batchDir, ".docx", unopened);
    for (size_t k = 0; k < pending.size(); ++k)
        if (!unopened[k].empty())
            failed_[pending[k]] = unopened[k];

    const std::vector<std::string> failures =
        convertShared(soffice, items, maxConversionProcesses, workDir_, "profile", batchDir, outDir, conversionTimeLimit,
                      static_cast<rlim_t>(conversionMemoryLimit), "docx:MS Word 2007 XML", {cancelled, fileDone});
    for (size_t k = 0; k < items.size(); ++k) {
        if (failures[k].empty())
            converted_[items[k].source] = items[k].output.string();
        else
            failed_[items[k].source] = failures[k];
    }
    std::error_code ec;
    for (const Conversion& item : items)
        fs::remove(item.link, ec);
}

bool Application::admitted(const std::string& path, std::string& refusal)
{
    // LibreOffice reads without our limits: what it is given must be within them already.
    const ReadLimits limits;
    std::error_code ec;
    const uintmax_t size = fs::file_size(path, ec);
    if (ec) {
        refusal = "The file cannot be opened.";
        return false;
    }
    if (size > limits.maxFileBytes) {
        refusal = "The file is larger than " + std::to_string(limits.maxFileBytes >> 20) +
                  " MiB; no résumé is that large.";
        return false;
    }
    switch (Document::sniffFile(path)) {
    case Document::Content::Docx:
        // A .docx under an older name: read as one, with every limit of the reader.
        native_.insert(path);
        return false;
    case Document::Content::OpenDocument: {
        std::ifstream in(path, std::ios::binary);
        std::string bytes(static_cast<size_t>(size), '\0');
        if (!in.read(bytes.data(), static_cast<std::streamsize>(size))) {
            refusal = "The file cannot be read.";
            return false;
        }
        return Document::checkPackage(bytes, refusal, limits);
    }
    default:
        return true;
    }
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
    const fs::path convertedDir = batchDir / "out";
    const std::vector<Conversion> items = linkNumbered(paths, batchDir, ".pdf", failures);
    const std::vector<std::string> results = convertShared(soffice, items, maxConversionProcesses, workDir_,
                                                           "pdfprofile", batchDir, convertedDir, conversionTimeLimit,
                                                           RLIM_INFINITY, "pdf", {cancelled, fileDone});
    for (size_t k = 0; k < items.size(); ++k) {
        const size_t at = items[k].position;
        if (!results[k].empty()) {
            failures[at] = "LibreOffice could not make a PDF of the document.";
            continue;
        }
        const fs::path target = fs::path(outDir) / fs::path(paths[at]).filename().replace_extension(".pdf");
        std::error_code moveError;
        fs::rename(items[k].output, target, moveError);
        if (moveError) {
            moveError.clear();
            fs::copy_file(items[k].output, target, fs::copy_options::overwrite_existing, moveError);
        }
        if (moveError)
            failures[at] = "The PDF cannot be saved as " + target.string() + ": " + moveError.message();
    }
    std::error_code ec;
    fs::remove_all(batchDir, ec);
    return failures;
}

std::string Application::convertedDocx(const std::string& path, std::string& error)
{
    error.clear();
    if (native_.count(path))
        return path;
    if (!converted_.count(path) && !failed_.count(path))
        prepare({path});
    if (native_.count(path))
        return path;
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
    if (native_.count(path))
        return Document::open(path, error);
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
    if (native_.count(path))
        return Document::open(path, error);
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
    // A document of thousands of students takes longer than a résumé; it is the program's own, so
    // it is given the time a whole conversion needs and no memory limit.
    const RunResult result = runWithTimeLimit(argv, {kPdfTimeLimit, kPdfTimeLimit, 0, cancelled},
                                              (outDir / "soffice.log").string(), nullptr);
    const fs::path output = outDir / (fs::path(docxPath).stem().string() + ".pdf");
    if (fs::file_size(output, ec) == 0 || ec) {
        switch (result) {
        case RunResult::TimedOut:
            error = "LibreOffice did not finish making the PDF within " + std::to_string(kPdfTimeLimit.count()) +
                    " seconds.";
            break;
        case RunResult::NotStarted:
            error = "LibreOffice could not be started to make the PDF.";
            break;
        case RunResult::Cancelled:
            error = "The PDF was cancelled.";
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
