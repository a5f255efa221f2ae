#include "word/application.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "docx_builder.h"
#include "libreoffice.h"
#include "support/temp_dir.h"
#include "resume-form/resume_form.h"

using kyt::test::TempDir;
using kyt::test::writeFile;
using kyt::word::Application;
using kyt::word::Document;
namespace fs = std::filesystem;
namespace form = kyt::form;

namespace {

// Points the application at another LibreOffice program for one test, and back afterwards.
class SofficeOverride {
public:
    explicit SofficeOverride(const std::string& program)
    {
        if (const char* old = std::getenv("KYT_SOFFICE"))
            previous_ = old, hadPrevious_ = true;
        setenv("KYT_SOFFICE", program.c_str(), 1);
    }
    ~SofficeOverride()
    {
        if (hadPrevious_)
            setenv("KYT_SOFFICE", previous_.c_str(), 1);
        else
            unsetenv("KYT_SOFFICE");
    }

private:
    std::string previous_;
    bool hadPrevious_ = false;
};

// A stand-in for LibreOffice: for each input writes a .docx (the one the input names after "COPY ",
// else a template), logs each start with its profile (made as LibreOffice makes it), and dies, hangs
// or skips on inputs that say CRASH, SLOW or BAD. When the folder holds "expect-pair", each start
// waits for a second one running beside it and logs in paired.log whether it came.
std::string fakeSoffice(const TempDir& dir, const std::string& templateDocx)
{
    const std::string script = dir.file("fake-soffice");
    const std::string folder = dir.path().string();
    writeFile(script, "#!/bin/sh\n"
                      "outdir=\n"
                      "profile=\n"
                      "while [ $# -gt 0 ]; do\n"
                      "  case \"$1\" in\n"
                      "    --outdir) outdir=$2; shift 2;;\n"
                      "    --convert-to) shift 2;;\n"
                      "    -env:UserInstallation=file://*) profile=${1#-env:UserInstallation=file://}; shift;;\n"
                      "    -*) shift;;\n"
                      "    *) break;;\n"
                      "  esac\n"
                      "done\n"
                      "echo \"start $profile\" >> '" + folder + "/starts.log'\n"
                      "ulimit -v >> '" + folder + "/memory.log'\n"
                      "mkdir -p \"$profile/user\"\n"
                      "if [ -e '" + folder + "/expect-pair' ]; then\n"
                      "  touch '" + folder + "/running.'$$\n"
                      "  tries=0\n"
                      "  while [ $(ls '" + folder + "' | grep -c '^running\\.') -lt 2 ] && [ $tries -lt 300 ]; do\n"
                      "    sleep 0.1; tries=$((tries + 1))\n"
                      "  done\n"
                      "  if [ $tries -lt 300 ]; then echo paired; else echo alone; fi >> '" + folder + "/paired.log'\n"
                      "fi\n"
                      "for f in \"$@\"; do\n"
                      "  stem=$(basename \"$f\"); stem=${stem%.*}\n"
                      "  if grep -qx CRASH \"$f\"; then kill -SEGV $$; fi\n"
                      "  if grep -qx SLOW \"$f\"; then sleep 60; fi\n"
                      "  if grep -qx BAD \"$f\"; then continue; fi\n"
                      "  source=$(sed -n 's/^COPY //p' \"$f\")\n"
                      "  cp \"${source:-" + templateDocx + "}\" \"$outdir/$stem.docx\"\n"
                      "done\n");
    chmod(script.c_str(), 0755);
    return script;
}

int starts(const TempDir& dir)
{
    const std::string log = kyt::test::readFile(dir.file("starts.log"));
    return static_cast<int>(std::count(log.begin(), log.end(), '\n'));
}

// The profiles LibreOffice was started with, in the order of the starts.
std::vector<std::string> startProfiles(const TempDir& dir)
{
    std::vector<std::string> profiles;
    std::istringstream log(kyt::test::readFile(dir.file("starts.log")));
    for (std::string line; std::getline(log, line);)
        profiles.push_back(line.substr(std::string("start ").size()));
    return profiles;
}

bool mentions(const Document& document, const std::string& text)
{
    for (int t = 1; t <= document.tableCount(); ++t)
        for (const auto& row : document.table(t)->rows)
            for (const std::string& cell : row)
                if (cell.find(text) != std::string::npos)
                    return true;
    return false;
}

// Legacy stand-ins whose conversions are résumés of their own (by USN), two of them of one name in
// different folders. A batch is shared among processes only when each gets enough files (eight) to
// be worth its start, hence the sizes of the batches below.
struct DistinctFiles {
    std::vector<std::string> paths;
    std::vector<std::string> usns;
};

DistinctFiles distinctLegacyFiles(const TempDir& dir, int count)
{
    DistinctFiles files;
    fs::create_directories(dir.path() / "a");
    fs::create_directories(dir.path() / "b");
    fs::create_directories(dir.path() / "sources");
    for (int k = 0; k < count; ++k) {
        const std::string usn = form::batchUsn(k + 1);
        const std::string source = dir.file("sources/" + usn + ".docx");
        std::string error;
        EXPECT_TRUE(form::writeResume(form::sampleResume(k + 1, usn, form::Course::BE), source, error)) << error;
        const std::string name = k == 0 ? "a/same.doc" : k == 1 ? "b/same.doc" : "r" + std::to_string(k) + ".doc";
        writeFile(dir.file(name), "COPY " + source + "\n");
        files.paths.push_back(dir.file(name));
        files.usns.push_back(usn);
    }
    return files;
}

std::string templateResume(const TempDir& dir)
{
    std::string error;
    const std::string path = dir.file("template.docx");
    EXPECT_TRUE(form::writeResume(form::sampleResume(1, "1QP22CS001", form::Course::BE), path, error)) << error;
    return path;
}

}  // namespace

TEST(Application, KnowsTheLegacyFormatsInAnyLetterCase)
{
    for (const char* legacy : {"a.doc", "B.DOC", "c.Rtf", "d.odt", "/x/y.z/e.ODT"})
        EXPECT_TRUE(Application::isLegacyFormat(legacy)) << legacy;
    for (const char* modern : {"a.docx", "b.dotx", "c.txt", "doc", "d.doc.docx"})
        EXPECT_FALSE(Application::isLegacyFormat(modern)) << modern;
}

TEST(Application, OpensDocxDirectly)
{
    TempDir dir;
    const std::string path = templateResume(dir);
    SofficeOverride none("");
    std::string error;
    auto app = Application::start(error);
    ASSERT_TRUE(app) << error;
    auto doc = app->open(path, error);
    ASSERT_TRUE(doc) << error;
    EXPECT_EQ(doc->tableCount(), 2);
}

TEST(Application, WithoutLibreOfficeALegacyFileSaysWhatToDo)
{
    TempDir dir;
    writeFile(dir.file("old.doc"), "GOOD");
    SofficeOverride none("");
    EXPECT_FALSE(Application::libreOfficeAvailable());
    std::string error;
    auto app = Application::start(error);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->open(dir.file("old.doc"), error), nullptr);
    EXPECT_NE(error.find("save it as .docx"), std::string::npos) << error;
    EXPECT_NE(error.find("install LibreOffice"), std::string::npos) << error;
}

TEST(Application, ConvertsABatchInOneStartAndMapsEachFileToItsOwnResult)
{
    TempDir dir;
    const std::string script = fakeSoffice(dir, templateResume(dir));
    SofficeOverride fake(script);
    fs::create_directories(dir.path() / "a");
    fs::create_directories(dir.path() / "b");
    // Two files of one name in different folders must not overwrite each other's conversion.
    const std::vector<std::string> files = {dir.file("a/same.doc"), dir.file("b/same.doc"), dir.file("c.rtf"),
                                            dir.file("d.odt"), dir.file("bad.doc")};
    for (const std::string& f : files)
        writeFile(f, f.find("bad") != std::string::npos ? "BAD" : "GOOD");

    std::string error;
    auto app = Application::start(error);
    ASSERT_TRUE(app) << error;
    app->maxConversionProcesses = 1;
    app->prepare(files);
    EXPECT_EQ(starts(dir), 1);
    for (size_t k = 0; k + 1 < files.size(); ++k) {
        auto doc = app->open(files[k], error);
        EXPECT_TRUE(doc) << files[k] << ": " << error;
    }
    EXPECT_EQ(app->open(files.back(), error), nullptr);
    EXPECT_NE(error.find("could not convert"), std::string::npos) << error;
    EXPECT_EQ(starts(dir), 1) << "opening prepared files must not start LibreOffice again";
}

TEST(Application, AFileThatKillsLibreOfficeFailsAloneAndTheRestAreRetried)
{
    TempDir dir;
    SofficeOverride fake(fakeSoffice(dir, templateResume(dir)));
    const std::vector<std::string> files = {dir.file("1.doc"), dir.file("2.doc"), dir.file("3.doc"), dir.file("4.doc")};
    writeFile(files[0], "GOOD");
    writeFile(files[1], "CRASH");
    writeFile(files[2], "GOOD");
    writeFile(files[3], "GOOD");
    std::string error;
    auto app = Application::start(error);
    ASSERT_TRUE(app);
    app->maxConversionProcesses = 1;
    app->prepare(files);
    EXPECT_EQ(starts(dir), 2);
    EXPECT_TRUE(app->open(files[0], error)) << error;
    EXPECT_EQ(app->open(files[1], error), nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(app->open(files[2], error)) << error;
    EXPECT_TRUE(app->open(files[3], error)) << error;
}

TEST(Application, EachFileGetsItsOwnConversionHoweverTheBatchIsShared)
{
    for (unsigned processes : {1u, 2u, 3u, 4u}) {
        SCOPED_TRACE(std::to_string(processes) + " processes");
        TempDir dir;
        SofficeOverride fake(fakeSoffice(dir, templateResume(dir)));
        const DistinctFiles files = distinctLegacyFiles(dir, 8 * 4 + 1);
        std::string error;
        auto app = Application::start(error);
        ASSERT_TRUE(app) << error;
        app->maxConversionProcesses = processes;
        app->prepare(files.paths);
        const std::vector<std::string> profiles = startProfiles(dir);
        EXPECT_EQ(profiles.size(), processes);
        EXPECT_EQ(std::set<std::string>(profiles.begin(), profiles.end()).size(), processes)
            << "each process needs a profile of its own";
        for (size_t k = 0; k < files.paths.size(); ++k) {
            auto doc = app->open(files.paths[k], error);
            ASSERT_TRUE(doc) << files.paths[k] << ": " << error;
            EXPECT_TRUE(mentions(*doc, files.usns[k])) << files.paths[k] << " was given another file's conversion";
        }
        EXPECT_EQ(startProfiles(dir).size(), processes) << "opening prepared files must not start LibreOffice again";
    }
}

TEST(Application, TheProcessesOfABatchRunAtOnce)
{
    TempDir dir;
    SofficeOverride fake(fakeSoffice(dir, templateResume(dir)));
    writeFile(dir.file("expect-pair"), "");
    const DistinctFiles files = distinctLegacyFiles(dir, 16);
    std::string error;
    auto app = Application::start(error);
    ASSERT_TRUE(app) << error;
    app->maxConversionProcesses = 2;
    app->prepare(files.paths);
    EXPECT_EQ(kyt::test::readFile(dir.file("paired.log")), "paired\npaired\n");
    for (const std::string& path : files.paths)
        EXPECT_TRUE(app->open(path, error)) << path << ": " << error;
}

TEST(Application, ASmallBatchStartsLibreOfficeOnce)
{
    TempDir dir;
    SofficeOverride fake(fakeSoffice(dir, templateResume(dir)));
    const DistinctFiles files = distinctLegacyFiles(dir, 15);  // one short of two full shares
    std::string error;
    auto app = Application::start(error);
    ASSERT_TRUE(app) << error;
    app->maxConversionProcesses = 4;
    app->prepare(files.paths);
    EXPECT_EQ(starts(dir), 1);
    for (size_t k = 0; k < files.paths.size(); ++k) {
        auto doc = app->open(files.paths[k], error);
        ASSERT_TRUE(doc) << error;
        EXPECT_TRUE(mentions(*doc, files.usns[k]));
    }
}

TEST(Application, InASharedBatchAFileThatKillsLibreOfficeFailsAlone)
{
    TempDir dir;
    SofficeOverride fake(fakeSoffice(dir, templateResume(dir)));
    DistinctFiles files = distinctLegacyFiles(dir, 16);
    const size_t broken = 4;  // early in its share, so that files after it are left to a second start
    writeFile(files.paths[broken], "CRASH\n");
    std::string error;
    auto app = Application::start(error);
    ASSERT_TRUE(app) << error;
    app->maxConversionProcesses = 2;
    app->prepare(files.paths);
    const std::vector<std::string> profiles = startProfiles(dir);
    ASSERT_EQ(profiles.size(), 3u);
    EXPECT_EQ(std::set<std::string>(profiles.begin(), profiles.end()).size(), 2u)
        << "the retry reuses its process's profile";
    for (size_t k = 0; k < files.paths.size(); ++k) {
        auto doc = app->open(files.paths[k], error);
        if (k == broken) {
            EXPECT_EQ(doc, nullptr);
            EXPECT_NE(error.find("could not convert"), std::string::npos) << error;
        } else {
            ASSERT_TRUE(doc) << files.paths[k] << ": " << error;
            EXPECT_TRUE(mentions(*doc, files.usns[k])) << files.paths[k];
        }
    }
    EXPECT_EQ(startProfiles(dir).size(), 3u);
}

TEST(Application, AShareThatHangsDoesNotHoldUpTheOthers)
{
    TempDir dir;
    SofficeOverride fake(fakeSoffice(dir, templateResume(dir)));
    DistinctFiles files = distinctLegacyFiles(dir, 16);
    writeFile(files.paths[0], "SLOW\n");
    std::string error;
    auto app = Application::start(error);
    ASSERT_TRUE(app) << error;
    app->maxConversionProcesses = 2;
    app->conversionTimeLimit = std::chrono::seconds(2);
    app->prepare(files.paths);
    EXPECT_EQ(app->open(files.paths[0], error), nullptr);
    EXPECT_NE(error.find("did not finish"), std::string::npos) << error;
    // The hanging file fails alone: the rest of its share (the even files) and the other share (the odd
    // ones) are converted.
    for (size_t k = 1; k < files.paths.size(); ++k) {
        auto doc = app->open(files.paths[k], error);
        ASSERT_TRUE(doc) << files.paths[k] << ": " << error;
        EXPECT_TRUE(mentions(*doc, files.usns[k]));
    }
}

TEST(Application, WithoutLibreOfficeEveryFileOfABatchSaysWhatToDo)
{
    TempDir dir;
    SofficeOverride none("");
    const DistinctFiles files = distinctLegacyFiles(dir, 9);
    std::string error;
    auto app = Application::start(error);
    ASSERT_TRUE(app);
    app->maxConversionProcesses = 2;
    app->prepare(files.paths);
    for (const std::string& path : files.paths) {
        EXPECT_EQ(app->open(path, error), nullptr);
        EXPECT_NE(error.find("LibreOffice is not installed"), std::string::npos) << path << ": " << error;
    }
}

TEST(Application, AConversionThatHangsIsEndedAtTheTimeLimit)
{
    TempDir dir;
    SofficeOverride fake(fakeSoffice(dir, templateResume(dir)));
    writeFile(dir.file("slow.doc"), "SLOW");
    std::string error;
    auto app = Application::start(error);
    ASSERT_TRUE(app);
    app->conversionTimeLimit = std::chrono::seconds(1);
    EXPECT_EQ(app->open(dir.file("slow.doc"), error), nullptr);
    EXPECT_NE(error.find("did not finish"), std::string::npos) << error;
}

TEST(Application, AMissingLegacyFileFailsWithoutStartingLibreOffice)
{
    TempDir dir;
    SofficeOverride fake(fakeSoffice(dir, templateResume(dir)));
    std::string error;
    auto app = Application::start(error);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->open(dir.file("gone.doc"), error), nullptr);
    EXPECT_NE(error.find("cannot be opened"), std::string::npos) << error;
    EXPECT_EQ(starts(dir), 0);
}

TEST(Application, ConvertsAnOlderDocumentSavedUnderADocxName)
{
    TempDir dir;
    SofficeOverride fake(fakeSoffice(dir, templateResume(dir)));
    writeFile(dir.file("renamed.docx"), std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "GOOD");
    writeFile(dir.file("renamed-rtf.docx"), "{\\rtf1 GOOD}");
    std::string error;
    auto app = Application::start(error);
    ASSERT_TRUE(app);
    app->prepare({dir.file("renamed.docx"), dir.file("renamed-rtf.docx"), templateResume(dir)});
    EXPECT_EQ(starts(dir), 1);
    auto doc = app->open(dir.file("renamed.docx"), error);
    ASSERT_TRUE(doc) << error;
    EXPECT_EQ(doc->tableCount(), 2);
    EXPECT_TRUE(app->open(dir.file("renamed-rtf.docx"), error)) << error;
    EXPECT_EQ(starts(dir), 1);
}

TEST(Application, WithoutLibreOfficeARenamedOlderDocumentSaysWhatItIs)
{
    TempDir dir;
    SofficeOverride none("");
    writeFile(dir.file("renamed.docx"), std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0'));
    std::string error;
    auto app = Application::start(error);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->open(dir.file("renamed.docx"), error), nullptr);
    EXPECT_NE(error.find("older Word document (.doc format)"), std::string::npos) << error;
}

TEST(Application, AnEncryptedDocxIsNotSentToLibreOffice)
{
    TempDir dir;
    SofficeOverride fake(fakeSoffice(dir, templateResume(dir)));
    const char marker[] = "E\0n\0c\0r\0y\0p\0t\0i\0o\0n\0I\0n\0f\0o\0";
    writeFile(dir.file("locked.docx"), std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) +
                                           std::string(700, '\0') + std::string(marker, sizeof marker - 1));
    std::string error;
    auto app = Application::start(error);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->open(dir.file("locked.docx"), error), nullptr);
    EXPECT_NE(error.find("password"), std::string::npos) << error;
    EXPECT_EQ(starts(dir), 0);
}

TEST(Application, APipeNamedLikeADocumentIsNotRead)
{
    TempDir dir;
    SofficeOverride none("");
    ASSERT_EQ(mkfifo(dir.file("pipe.docx").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(dir.file("pipe.doc").c_str(), 0600), 0);
    std::string error;
    auto app = Application::start(error);
    ASSERT_TRUE(app);
    app->prepare({dir.file("pipe.docx"), dir.file("pipe.doc")});  // would wait forever if it read them
    EXPECT_EQ(app->open(dir.file("pipe.docx"), error), nullptr);
    EXPECT_EQ(error, "It is not a document file.");
    EXPECT_EQ(app->open(dir.file("pipe.doc"), error), nullptr);
    EXPECT_FALSE(error.empty());
}

TEST(Application, RemovesItsTemporaryFilesWhenItEnds)
{
    TempDir dir;
    SofficeOverride fake(fakeSoffice(dir, templateResume(dir)));
    writeFile(dir.file("x.doc"), "GOOD");
    std::string work;
    {
        std::string error;
        auto app = Application::start(error);
        ASSERT_TRUE(app);
        ASSERT_TRUE(app->open(dir.file("x.doc"), error)) << error;
        work = app->workDir();
        EXPECT_TRUE(fs::exists(work));
    }
    EXPECT_FALSE(fs::exists(work));
}

TEST(Application, RemovesEveryProcesssProfileWhenItEnds)
{
    TempDir dir;
    SofficeOverride fake(fakeSoffice(dir, templateResume(dir)));
    const DistinctFiles files = distinctLegacyFiles(dir, 24);
    std::string work;
    {
        std::string error;
        auto app = Application::start(error);
        ASSERT_TRUE(app);
        app->maxConversionProcesses = 3;
        app->prepare(files.paths);
        work = app->workDir();
    }
    const std::vector<std::string> profiles = startProfiles(dir);
    ASSERT_EQ(profiles.size(), 3u);
    for (const std::string& profile : profiles) {
        EXPECT_EQ(profile.rfind(work + "/", 0), 0u) << profile << " is outside the working folder";
        EXPECT_FALSE(fs::exists(profile)) << profile;
    }
    EXPECT_FALSE(fs::exists(work));
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
    std::vector<std::string> originals;
    for (size_t k = 0; k < resumes.size(); ++k) {
        originals.push_back(dir.file("r" + std::to_string(k) + ".docx"));
        ASSERT_TRUE(form::writeResume(resumes[k], originals.back(), error)) << error;
    }
    // docx -> odt -> docx, so the files are LibreOffice's own writing in both formats.
    fs::create_directories(dir.path() / "odt");
    fs::create_directories(dir.path() / "back");
    const std::string profile = dir.file("profile");
    ASSERT_TRUE(kyt::test::libreOfficeConvert(originals, "odt", dir.file("odt"), profile));
    std::vector<std::string> odts = {dir.file("odt/r0.odt"), dir.file("odt/r1.odt")};
    ASSERT_TRUE(kyt::test::libreOfficeConvert(odts, "docx", dir.file("back"), profile));

    auto app = Application::start(error);
    ASSERT_TRUE(app);
    app->prepare(odts);
    for (size_t k = 0; k < resumes.size(); ++k) {
        auto original = Document::open(originals[k], error);
        ASSERT_TRUE(original) << error;
        auto viaOdt = app->open(odts[k], error);  // .odt read through the application's own conversion
        ASSERT_TRUE(viaOdt) << error;
        auto roundTrip = Document::open(dir.file("back/r" + std::to_string(k) + ".docx"), error);
        ASSERT_TRUE(roundTrip) << error;
        for (const Document* other : {viaOdt.get(), roundTrip.get()}) {
            ASSERT_EQ(other->tableCount(), original->tableCount());
            for (int t = 1; t <= original->tableCount(); ++t) {
                ASSERT_EQ(other->table(t)->rows.size(), original->table(t)->rows.size()) << "table " << t;
                for (size_t r = 0; r < original->table(t)->rows.size(); ++r)
                    EXPECT_EQ(other->table(t)->rows[r], original->table(t)->rows[r])
                        << "résumé " << k << " table " << t << " row " << r + 1;
            }
        }
    }
}

// LibreOffice reads without the reader's limits, so what it is given is held to them first: nothing
// over the size cap, no zip package over the zip limits; a .docx under an older name is read as one.
// Whatever it is given runs with an address-space limit.
TEST(Application, LegacyFilesAreHeldToTheReadersLimitsBeforeLibreOfficeSeesThem)
{
    TempDir dir;
    SofficeOverride fake(fakeSoffice(dir, templateResume(dir)));
    using kyt::test::ZipEntry;
    const std::string odt = "application/vnd.oasis.opendocument.text";
    writeFile(dir.file("huge.rtf"), "{\\rtf1 " + std::string(11u << 20, 'x') + "}");
    writeFile(dir.file("bomb.doc"), kyt::test::zipBytes({{"word/document.xml", std::string(40u << 20, ' ')}}));
    writeFile(dir.file("bomb.odt"), kyt::test::zipBytes({{"mimetype", odt, true}, {"content.xml", std::string(40u << 20, ' ')}}));
    fs::copy_file(templateResume(dir), dir.file("really-docx.doc"));
    writeFile(dir.file("fine.rtf"), "{\\rtf1 fine}");
    std::string error;
    auto app = Application::start(error);
    ASSERT_TRUE(app) << error;
    app->conversionMemoryLimit = size_t{512} << 20;
    const struct {
        const char* name;
        const char* reason;
    } refused[] = {{"huge.rtf", "larger than 10 MiB"}, {"bomb.doc", "larger than 16 MiB"}, {"bomb.odt", "larger than 16 MiB"}};
    std::vector<std::string> paths;
    for (const auto& r : refused)
        paths.push_back(dir.file(r.name));
    paths.push_back(dir.file("really-docx.doc"));
    app->prepare(paths);
    EXPECT_EQ(starts(dir), 0);
    for (const auto& r : refused) {
        EXPECT_EQ(app->open(dir.file(r.name), error), nullptr) << r.name;
        EXPECT_NE(error.find(r.reason), std::string::npos) << r.name << ": " << error;
    }
    auto doc = app->open(dir.file("really-docx.doc"), error);
    ASSERT_TRUE(doc) << error;
    EXPECT_TRUE(mentions(*doc, "1QP22CS001"));
    EXPECT_EQ(starts(dir), 0);

    EXPECT_TRUE(app->open(dir.file("fine.rtf"), error)) << error;
    EXPECT_EQ(kyt::test::readFile(dir.file("memory.log")), "524288\n");
}
