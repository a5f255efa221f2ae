#include "word/application.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "libreoffice.h"
#include "support/temp_dir.h"
#include "word/resume_form.h"

using kyt::test::TempDir;
using kyt::test::writeFile;
using kyt::word::Application;
using kyt::word::Document;
namespace fs = std::filesystem;
namespace form = kyt::word::form;

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

// A stand-in for LibreOffice: copies a template .docx for each input, logs each start, and dies,
// hangs or skips on inputs that say CRASH, SLOW or BAD.
std::string fakeSoffice(const TempDir& dir, const std::string& templateDocx)
{
    const std::string script = dir.file("fake-soffice");
    writeFile(script, "#!/bin/sh\n"
                      "echo start >> '" + dir.file("starts.log") + "'\n"
                      "outdir=\n"
                      "while [ $# -gt 0 ]; do\n"
                      "  case \"$1\" in\n"
                      "    --outdir) outdir=$2; shift 2;;\n"
                      "    --convert-to) shift 2;;\n"
                      "    -*) shift;;\n"
                      "    *) break;;\n"
                      "  esac\n"
                      "done\n"
                      "for f in \"$@\"; do\n"
                      "  stem=$(basename \"$f\"); stem=${stem%.*}\n"
                      "  if grep -q CRASH \"$f\"; then kill -SEGV $$; fi\n"
                      "  if grep -q SLOW \"$f\"; then sleep 60; fi\n"
                      "  if grep -q BAD \"$f\"; then continue; fi\n"
                      "  cp '" + templateDocx + "' \"$outdir/$stem.docx\"\n"
                      "done\n");
    chmod(script.c_str(), 0755);
    return script;
}

int starts(const TempDir& dir)
{
    const std::string log = kyt::test::readFile(dir.file("starts.log"));
    return static_cast<int>(std::count(log.begin(), log.end(), '\n'));
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
    app->prepare(files);
    EXPECT_EQ(starts(dir), 2);
    EXPECT_TRUE(app->open(files[0], error)) << error;
    EXPECT_EQ(app->open(files[1], error), nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(app->open(files[2], error)) << error;
    EXPECT_TRUE(app->open(files[3], error)) << error;
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
