#include "word/application.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include <QSet>
#include <QStringList>

#include "libreoffice.h"
#include "resume-form/resume_form.h"
#include "support/temp_dir.h"
#include "support/zip_bytes.h"

using namespace kyt::test;
using kyt::word::Application;
using kyt::word::Document;
namespace fs = std::filesystem;
namespace form = kyt::form;

namespace {

// Points the application at another LibreOffice program for one test ("": none).
struct SofficeOverride {
    explicit SofficeOverride(const std::string& program) { setenv("KYT_SOFFICE", program.c_str(), 1); }
    ~SofficeOverride() { unsetenv("KYT_SOFFICE"); }
};

// A stand-in for LibreOffice: for each input writes a .docx (the one the input names after "COPY ",
// else a template), logs each start with its profile (made as LibreOffice makes it) and its memory
// limit, and dies or skips on inputs that say CRASH or BAD. An input "HANG n" waits until n outputs of
// other processes are there, notes in hang.log that they came, and then hangs until it is ended.
std::string fakeSoffice(const TempDir& dir)
{
    const std::string script = dir.file("fake-soffice");
    const std::string folder = dir.path().string();
    writeFile(dir.file("template.docx"), docxWithBody(table({{"a"}}) + table({{"b"}})));
    writeFile(script, "#!/bin/sh\n"
                      "while [ $# -gt 0 ]; do\n"
                      "  case \"$1\" in\n"
                      "    --outdir) outdir=$2; shift 2;;\n"
                      "    --convert-to) shift 2;;\n"
                      "    -env:UserInstallation=file://*) profile=${1#-env:UserInstallation=file://}; shift;;\n"
                      "    -*) shift;;\n"
                      "    *) break;;\n"
                      "  esac\n"
                      "done\n"
                      "echo \"$profile\" >> '" + folder + "/starts.log'\n"
                      "ulimit -v >> '" + folder + "/memory.log'\n"
                      "mkdir -p \"$profile/user\"\n"
                      "for f in \"$@\"; do\n"
                      "  stem=$(basename \"$f\"); stem=${stem%.*}\n"
                      "  if grep -qx CRASH \"$f\"; then kill -SEGV $$; fi\n"
                      "  if grep -qx BAD \"$f\"; then continue; fi\n"
                      "  others=$(sed -n 's/^HANG //p' \"$f\")\n"
                      "  if [ -n \"$others\" ]; then\n"
                      "    while [ $(ls \"$outdir\" | grep -c docx) -lt $others ]; do sleep 0.1; done\n"
                      "    echo others-done >> '" + folder + "/hang.log'\n"
                      "    sleep 600\n"
                      "  fi\n"
                      "  source=$(sed -n 's/^COPY //p' \"$f\")\n"
                      "  cp \"${source:-" + dir.file("template.docx") + "}\" \"$outdir/$stem.docx\"\n"
                      "done\n");
    chmod(script.c_str(), 0755);
    return script;
}

// The profiles LibreOffice was started with, in the order of the starts.
QStringList startProfiles(const TempDir& dir)
{
    return QString::fromStdString(readFile(dir.file("starts.log"))).split('\n', Qt::SkipEmptyParts);
}

// Legacy stand-ins whose conversions are documents of their own ("file k" in their one cell); the first
// two share one name in different folders, so that one cannot overwrite the other's conversion.
// `special` replaces the content of some files with an order to the stand-in.
std::vector<std::string> legacyFiles(const TempDir& dir, int count, const std::map<int, std::string>& special = {})
{
    std::vector<std::string> paths;
    for (const char* folder : {"a", "b"})
        fs::create_directories(dir.path() / folder);
    const char* extensions[] = {".doc", ".rtf", ".odt"};
    for (int k = 0; k < count; ++k) {
        const std::string source = dir.file("source" + std::to_string(k) + ".docx");
        writeFile(source, docxWithBody(table({{"file " + std::to_string(k)}})));
        const std::string name = k < 2 ? std::string(k == 0 ? "a" : "b") + "/same.doc"
                                       : "r" + std::to_string(k) + extensions[k % 3];
        const auto order = special.find(k);
        writeFile(dir.file(name), order != special.end() ? order->second + "\n" : "COPY " + source + "\n");
        paths.push_back(dir.file(name));
    }
    return paths;
}

}  // namespace

// A batch of legacy files is shared out among LibreOffice processes, each started once with a profile of
// its own; a file that kills, stalls or defeats LibreOffice fails alone and the files after it in its
// share are converted in a new start; every file gets its own conversion; nothing is left behind.
TEST(Application, BatchesAreSharedOutAndAFailingFileFailsAlone)
{
    const struct {
        const char* what;
        int files;
        std::map<int, std::string> special;
        unsigned processes;
        int starts;
        int profiles;
    } scenarios[] = {
        {"one start for a small batch", 5, {{4, "BAD"}}, 1, 1, 1},
        {"a crash fails its file, a new start takes the rest", 4, {{1, "CRASH"}}, 1, 2, 1},
        {"no more shares than processes", 33, {}, 3, 3, 3},
        {"fifteen files are not worth a second start", 15, {}, 4, 1, 1},
        {"a crash in a shared batch: the retry keeps its profile", 16, {{4, "CRASH"}}, 2, 3, 2},
        {"a share that hangs does not hold up the other", 16, {{0, "HANG 8"}}, 2, 3, 2},
    };
    const std::map<std::string, std::string> reasons = {
        {"BAD", "could not convert"}, {"CRASH", "could not convert"}, {"HANG 8", "did not finish"}};
    for (const auto& s : scenarios) {
        SCOPED_TRACE(s.what);
        TempDir dir;
        SofficeOverride fake(fakeSoffice(dir));
        const std::vector<std::string> files = legacyFiles(dir, s.files, s.special);
        std::string error, work;
        {
            auto app = Application::start(error);
            ASSERT_TRUE(app) << error;
            app->maxConversionProcesses = s.processes;
            // Long enough for a loaded machine; only the hanging stand-in ever reaches it.
            app->conversionTimeLimit = std::chrono::seconds(5);
            app->prepare(files);
            work = app->workDir();
            for (size_t k = 0; k < files.size(); ++k) {
                auto doc = app->open(files[k], error);
                if (const auto order = s.special.find(static_cast<int>(k)); order != s.special.end()) {
                    EXPECT_EQ(doc, nullptr) << files[k];
                    EXPECT_NE(error.find(reasons.at(order->second)), std::string::npos) << error;
                } else {
                    ASSERT_TRUE(doc) << files[k] << ": " << error;
                    EXPECT_EQ(doc->row(1, 1)->at(0), "file " + std::to_string(k) + "\r\a")
                        << files[k] << " got another file's conversion";
                }
            }
        }
        const QStringList profiles = startProfiles(dir);
        EXPECT_EQ(profiles.size(), s.starts) << "opening prepared files must not start LibreOffice again";
        EXPECT_EQ(QSet<QString>(profiles.begin(), profiles.end()).size(), s.profiles);
        for (const QString& profile : profiles)
            EXPECT_TRUE(profile.startsWith(QString::fromStdString(work + "/"))) << profile.toStdString();
        EXPECT_FALSE(fs::exists(work)) << "the working folder outlived the application";
        if (s.special.count(0) && s.special.at(0) == "HANG 8") {
            EXPECT_EQ(readFile(dir.file("hang.log")), "others-done\n") << "the other share waited for the hang";
        }
    }
}

// What LibreOffice is not given: missing files, pipes, encrypted packages, files over the reader's limits
// (it reads without them); a .docx under an older name is read natively; an extension in capitals is
// still a legacy one. What it is given runs within an address-space limit; without it, every legacy
// file says what to do.
TEST(Application, OnlyFilesWithinTheReadersLimitsReachLibreOffice)
{
    TempDir dir;
    const std::string ole("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    const char encrypted[] = "E\0n\0c\0r\0y\0p\0t\0i\0o\0n\0I\0n\0f\0o\0";
    const std::string odt = "application/vnd.oasis.opendocument.text";
    writeFile(dir.file("huge.rtf"), "{\\rtf1 " + std::string(11u << 20, 'x') + "}");
    writeFile(dir.file("bomb.doc"), zipBytes({{"word/document.xml", std::string(40u << 20, ' ')}}));
    writeFile(dir.file("bomb.odt"),
              zipBytes({{"mimetype", odt, true}, {"content.xml", std::string(40u << 20, ' ')}}));
    writeFile(dir.file("locked.docx"), ole + std::string(700, '\0') + std::string(encrypted, sizeof encrypted - 1));
    writeFile(dir.file("renamed.docx"), ole + "GOOD");
    writeFile(dir.file("Fine.RTF"), "{\\rtf1 fine}");
    ASSERT_EQ(mkfifo(dir.file("pipe.docx").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(dir.file("pipe.doc").c_str(), 0600), 0);
    const struct {
        const char* name;
        const char* withLibreOffice;     // "" when it is read
        const char* withoutLibreOffice;  // the same
    } cases[] = {
        {"huge.rtf", "larger than 10 MiB", "larger than 10 MiB"},
        {"bomb.doc", "larger than 16 MiB", "larger than 16 MiB"},
        {"bomb.odt", "larger than 16 MiB", "larger than 16 MiB"},
        {"gone.doc", "cannot be opened", "cannot be opened"},
        {"gone.docx", "cannot be opened", "cannot be opened"},
        {"pipe.docx", "It is not a document file.", "It is not a document file."},
        {"pipe.doc", "opened", "opened"},
        {"locked.docx", "password", "password"},
        {"really-docx.doc", "", ""},
        {"template.docx", "", ""},
        {"renamed.docx", "", "older Word document (.doc format)"},
        {"Fine.RTF", "", "save it as .docx, or install LibreOffice"},
    };
    for (const bool installed : {true, false}) {
        SCOPED_TRACE(installed ? "LibreOffice installed" : "no LibreOffice");
        SofficeOverride soffice(installed ? fakeSoffice(dir) : std::string());
        fs::copy_file(dir.file("template.docx"), dir.file("really-docx.doc"), fs::copy_options::overwrite_existing);
        EXPECT_EQ(Application::libreOfficeAvailable(), installed);
        std::string error;
        auto app = Application::start(error);
        ASSERT_TRUE(app) << error;
        app->conversionMemoryLimit = size_t{512} << 20;
        std::vector<std::string> paths;
        for (const auto& c : cases)
            paths.push_back(dir.file(c.name));
        app->prepare(paths);  // would wait for ever if it read the pipes
        for (const auto& c : cases) {
            const std::string reason = installed ? c.withLibreOffice : c.withoutLibreOffice;
            auto doc = app->open(dir.file(c.name), error);
            if (reason.empty()) {
                ASSERT_TRUE(doc) << c.name << ": " << error;
                EXPECT_EQ(doc->tableCount(), 2) << c.name;
            } else {
                EXPECT_EQ(doc, nullptr) << c.name;
                EXPECT_NE(error.find(reason), std::string::npos) << c.name << ": " << error;
            }
        }
        if (installed) {
            EXPECT_EQ(startProfiles(dir).size(), 1) << "only the legacy files that pass go, in one start";
            EXPECT_EQ(readFile(dir.file("memory.log")), "524288\n");
        }
    }
}

TEST(Application, ReadsResumesThatLibreOfficeSavedInItsOwnFlavour)
{
    if (!Application::libreOfficeAvailable())
        GTEST_SKIP() << "LibreOffice is not installed, so résumés cannot be passed through it";
    TempDir dir;
    std::vector<form::Resume> resumes = {form::sampleResume(21, "1QP22CS021", form::Course::BE),
                                         form::sampleResume(22, "1QP22MCA22", form::Course::MCA)};
    std::string error;
    ASSERT_TRUE(form::applyFault(resumes[0], "long-projects=600", error));
    const std::vector<std::string> originals = {dir.file("r0.docx"), dir.file("r1.docx")};
    for (size_t k = 0; k < resumes.size(); ++k)
        ASSERT_TRUE(form::writeResume(resumes[k], originals[k], error)) << error;
    // The .odt files are LibreOffice's own writing, and the application converts them back with it.
    fs::create_directories(dir.path() / "odt");
    ASSERT_TRUE(libreOfficeConvert(originals, "odt", dir.file("odt"), dir.file("profile")));
    std::vector<std::string> odts = {dir.file("odt/r0.odt"), dir.file("odt/r1.odt")};
    auto app = Application::start(error);
    ASSERT_TRUE(app);
    app->prepare(odts);
    for (size_t k = 0; k < resumes.size(); ++k) {
        auto original = Document::open(originals[k], error);
        ASSERT_TRUE(original) << error;
        auto viaOdt = app->open(odts[k], error);
        ASSERT_TRUE(viaOdt) << error;
        ASSERT_EQ(viaOdt->tableCount(), original->tableCount());
        for (int t = 1; t <= original->tableCount(); ++t)
            EXPECT_EQ(viaOdt->table(t)->rows, original->table(t)->rows) << "résumé " << k << " table " << t;
    }
}
