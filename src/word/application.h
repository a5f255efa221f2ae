#pragma once
// Stands in for the word processor's application object during an extraction run: opens .docx
// natively and reaches legacy formats (.doc, .rtf, .odt) through LibreOffice, converting a whole
// batch at once, in one LibreOffice start per core, each with a private profile and a time limit.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "word/document.h"

namespace kyt::word {

class Application {
public:
    // Fails (null, reason in `error`) when the application cannot be started, for example when its
    // working folder cannot be made.
    static std::unique_ptr<Application> start(std::string& error);
    ~Application();  // removes every temporary file

    static bool isLegacyFormat(const std::string& path);  // .doc, .rtf, .odt in any letter case
    // LibreOffice is looked for as soffice or libreoffice on the PATH; the environment variable
    // KYT_SOFFICE, when set, names the program instead (empty: behave as if none were installed).
    static bool libreOfficeAvailable();

    // Converts the legacy files among `paths` ahead of time; so too older documents saved under a
    // .docx name (the word processor opens those all the same). The files are shared out among up to
    // `maxConversionProcesses` LibreOffice processes running at once, each started once with a
    // profile of its own. When LibreOffice dies on a file, that file fails and the ones after it in
    // that process's share are converted in a new start.
    void prepare(const std::vector<std::string>& paths);

    // Opens one document (converting a legacy one now if it was not prepared).
    std::unique_ptr<Document> open(const std::string& path, std::string& error);

    // The .docx that LibreOffice made of the legacy document `path` (converting it now if needed);
    // empty with a reason in `error` when there is none.
    std::string convertedDocx(const std::string& path, std::string& error);

    // Converts .docx files to PDF into `outDir` (each named as its .docx), in one batch shared among
    // the LibreOffice processes as prepare() shares its files. Gives, per file, an empty string when
    // its PDF was made, else why not.
    std::vector<std::string> convertToPdf(const std::vector<std::string>& paths, const std::string& outDir);


    // For each document: LibreOffice stuck on one file longer than this (twice this for the first file
    // of a start, which includes LibreOffice's own start) is ended; that file fails alone and the files
    // after it are converted in a new start.
    std::chrono::seconds conversionTimeLimit{30};
    // The address space each LibreOffice may take, so that a hostile file fails instead of eating the
    // machine's memory. A real résumé converts in well under a gigabyte.
    size_t conversionMemoryLimit = size_t{2} << 30;
    // Set by start() to the number of cores, at most four; a small batch uses fewer.
    unsigned maxConversionProcesses = 1;
    // Looked at while LibreOffice runs: true ends it at once and the files not yet converted fail.
    std::function<bool()> cancelled;
    // Called each time a file of a batch is converted, from the threads that convert them.
    std::function<void()> fileDone;

    // Converts a .docx written by the program into a PDF beside it in the working folder (`pdfPath`
    // receives its name). Fails with a reason the user can act on when LibreOffice is not installed or
    // could not convert the document.
    bool convertToPdf(const std::string& docxPath, std::string& pdfPath, std::string& error);

    // The private folder of converted files and LibreOffice's profile; removed with the application.
    const std::string& workDir() const { return workDir_; }

private:
    Application() = default;
    // Whether LibreOffice may be given the file: within the size cap, and a zip package within the
    // reader's limits. A .docx under an older name is marked to be read natively instead (false, no
    // refusal).
    bool admitted(const std::string& path, std::string& refusal);
    std::string workDir_;
    int lockFd_ = -1;  // the lock that tells later starts this working folder is in use
    std::unordered_set<std::string> native_;  // legacy names that are .docx inside: read without LibreOffice
    int batches_ = 0;
    std::unordered_map<std::string, std::string> converted_;  // source path -> converted .docx
    std::unordered_map<std::string, std::string> failed_;     // source path -> reason
};

}  // namespace kyt::word
