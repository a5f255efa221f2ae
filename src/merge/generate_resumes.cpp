#include "merge/generate_resumes.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>

#include "db/database.h"
#include "db/database_files.h"
#include "db/schema.h"
#include "merge/merge_template.h"
#include "shell/long_work.h"
#include "shell/output_guard.h"
#include "shell/product.h"
#include "word/application.h"

namespace kyt {

namespace fs = std::filesystem;

namespace {

const std::string kCrLf = "\r\n";

// The module-wide values the generator reads, in one place.
const std::string& queryCondition(const Control& control)
{
    return control.query.QueryCondition;
}
const std::string& databasePath(const Control& control)
{
    return control.config.DatabasePath;
}
MessageService* messages(const Control& control)
{
    return control.session.Messages;
}

void show(const Control& control, const std::string& text, const std::string& title, MsgIcon icon)
{
    if (MessageService* service = messages(control))
        service->show(text, title, icon, MsgButtons::OK);
}

// Error titles carry the program's one version.
std::string errorTitle(const Control& control)
{
    return (control.session.AppTitle.empty() ? std::string(kAppTitle) : control.session.AppTitle) + " - Error";
}

void call(const std::function<void()>& hook)
{
    if (hook)
        hook();
}

std::string tooLongText()
{
    return "The query string has become > 510 characters. " + kCrLf +
           "Try and enter only a part of a word in the two constraints field." + kCrLf +
           " For example, Instead of typing 'oracle' on project field you can type 'ora'.";
}

std::string errorText(const std::string& description)
{
    return " Errors have occured: " + kCrLf + description + kCrLf + kCrLf +
           "1. Maybe the target document has an invalid field " + kCrLf +
           "2. In a few cases, closing Kyt and reopening it may solve the problem. ";
}

// The user's documents folder, where the word processor saves a document given no folder.
std::string documentsFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    return folder.toStdString();
}

// The length of a UTF-8 text in characters, as the limit on the merge query was always counted: "é" is one.
size_t characterCount(const std::string& text)
{
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// The files written in `folder` reach the disk together, as far as the system allows: a failed write
// was told already by the write itself.
void syncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
}

}  // namespace

std::string MergeSql(const std::string& QueryCondition)
{
    if (QueryCondition.empty()) {
        // A plain "FROM ser, FreePercent" would pair every student with every aggregate row.
        return "SELECT * FROM ser LEFT JOIN FreePercent ON ser.USN = FreePercent.USN_FP ORDER BY ser.USN";
    }
    std::string condition = QueryCondition;
    const std::string from = "personal.";
    const std::string to = "ser.";
    for (size_t at = condition.find(from); at != std::string::npos; at = condition.find(from, at + to.size()))
        condition.replace(at, from.size(), to);
    return "SELECT * FROM ser, FreePercent " + condition;
}

std::string StudentFileName(const std::string& usn, const std::string& name)
{
    const std::string stem = usn.empty() ? name : name.empty() ? usn : usn + "_" + name;
    // Format controls go (U+202E would show "cod.exe" as "exe.doc"); other controls and the
    // characters a file system refuses become "_".
    QString kept;
    for (const QChar c : QString::fromStdString(stem)) {
        if (c.category() == QChar::Other_Format)
            continue;
        const bool refused = c.category() == QChar::Other_Control || QStringView(u"/\\:*?\"<>|").contains(c);
        kept += refused ? QChar('_') : c;
    }
    std::string out = kept.toStdString();
    // Windows drops trailing dots and blanks; a name of only those would vanish.
    while (!out.empty() && (out.back() == '.' || out.back() == ' '))
        out.pop_back();
    while (!out.empty() && (out.front() == '.' || out.front() == ' '))
        out.erase(0, 1);
    if (out.empty())
        out = "resume";
    return out;
}

GenerateResult GenerateResumes(Control& control, const std::string& Folder, const std::string& FileName,
                               const GenerateHooks& hooks, const GenerateOptions& options)
{
    GenerateResult result;
    auto progress = [&](int16_t percent) {
        if (hooks.ShowProgress)
            hooks.ShowProgress(percent);
    };
    auto finish = [&] {
        call(hooks.ShowMainMenu);
        call(hooks.ShowQueryResults);
        progress(100);
    };
    auto fail = [&](const std::string& description) {
        show(control, errorText(description), errorTitle(control), MsgIcon::Critical);
        progress(0);
        call(hooks.ShowMainMenu);
        result.outcome = GenerateOutcome::Failed;
        result.description = description;
        return result;
    };
    // Told as a failure is, but nothing was tried: the officer's choice cannot be carried out.
    auto refuse = [&](const std::string& description) {
        GenerateResult refused = fail(description);
        refused.outcome = GenerateOutcome::Refused;
        return refused;
    };
    // The officer stopped a long step: what was written stays and is told.
    auto cancelled = [&](size_t written, size_t planned) {
        if (written > 0)
            show(control,
                 "Generation was cancelled: " + std::to_string(written) + " of " + std::to_string(planned) +
                     " résumés were written to " + options.perStudentFolder + ".",
                 control.session.AppTitle, MsgIcon::Information);
        progress(0);
        call(hooks.ShowMainMenu);
        call(hooks.ShowQueryResults);
        result.outcome = GenerateOutcome::Cancelled;
        return result;
    };

    progress(3);
    call(hooks.HideMainMenu);
    const std::string sql = MergeSql(options.selection ? options.selection->condition : queryCondition(control));
    if (characterCount(sql) > kMaxMergeSqlLength) {
        show(control, tooLongText(), errorTitle(control) + ".", MsgIcon::Critical);
        result.outcome = GenerateOutcome::Refused;
        result.description = "The query string has become > 510 characters.";
        finish();
        return result;
    }
    progress(8);

    // The target document, read into memory; a legacy one through LibreOffice.
    const std::string targetPath = (fs::path(Folder) / FileName).string();
    if (db::isDatabaseFile(databasePath(control), targetPath)) {
        GenerateResult refused = fail("The target document " + targetPath + " is Kyt's database, not a document.");
        refused.outcome = GenerateOutcome::Refused;
        return refused;
    }
    std::string error;
    std::unique_ptr<word::Application> converter;
    std::string readable = targetPath;
    if (word::Application::isLegacyFormat(targetPath)) {
        converter = word::Application::start(error);
        if (!converter)
            return fail(error);
        bool converted = RunWork(control, "Converting the target format document", true, [&](WorkProgress& work) {
            converter->cancelled = [&work] { return work.cancelled(); };
            readable = converter->convertedDocx(targetPath, error);
        });
        converter->cancelled = nullptr;
        if (!converted)
            return cancelled(0, 0);
        if (readable.empty())
            return fail(error);
    }
    auto target = merge::MergeTemplate::load(readable, error);
    if (!target)
        return fail(error);

    // Where the résumés go: one document, one file per student, or both.
    const bool perStudent = !options.perStudentFolder.empty();
    const bool oneDocument = !perStudent || !options.outputFile.empty();
    std::string output;
    if (perStudent) {
        std::error_code ec;
        if (!fs::is_directory(options.perStudentFolder, ec))
            return fail("The folder " + options.perStudentFolder + " does not exist.");
    }
    if (oneDocument) {
        output = options.outputFile;
        if (output.empty() && hooks.AskOutputFile) {
            output = hooks.AskOutputFile("Please give a filename", "Microsoft Word (*.docx)|*.docx");
            if (output.empty()) {
                // The officer cancelled: nothing is generated and nothing needs saying.
                progress(0);
                call(hooks.ShowMainMenu);
                call(hooks.ShowQueryResults);
                result.outcome = GenerateOutcome::Cancelled;
                return result;
            }
        }
        if (output.empty())
            output = (fs::path(documentsFolder()) / kDefaultMergeOutput).string();
        std::string refused = RefusedOutput(control, output, targetPath);
        if (refused.empty() && QString::fromStdString(fs::path(output).extension().string()).toLower() != ".docx")
            refused = "The résumés are saved as a .docx document; " + output + " does not end in .docx.";
        if (!refused.empty())
            return refuse(refused);
    }
    progress(24);

    if (target->fieldCount() == 0)
        return refuse("The target document has no fields.");
    target->makeMergeFields();
    progress(29);

    // The merge query is kept in the database as MergeQuery, and the students are read through it, in one
    // transaction with FreePercent as the selection made it, on a connection of this step's own.
    db::Failure failure;
    merge::DataSource data;
    bool read = false;
    RunWork(control, "Reading the students", false, [&](WorkProgress&) {
        auto database = db::Database::open(databasePath(control), db::Road::Query, failure);
        if (!database || !database->begin(failure))
            return;
        db::Recordset records;
        const auto readStudents = [&] {
            if (options.selection && !options.selection->aggregate.empty()) {
                std::string current;
                if (!database->savedQuery("FreePercent", current, failure) ||
                    (current != options.selection->aggregate &&
                     !database->setSavedQuery("FreePercent", options.selection->aggregate, failure)))
                    return false;
            }
            return database->setSavedQuery("MergeQuery", sql, failure) &&
                   database->openRecordset("SELECT * FROM MergeQuery", records, failure) && database->commit(failure);
        };
        if (!readStudents()) {
            db::Failure ignored;
            database->rollback(ignored);
            return;
        }
        database.reset();
        data.columns = records.fieldNames();
        data.rows.reserve(static_cast<size_t>(records.RecordCount()));
        for (; !records.isEOF(); records.MoveNext()) {
            std::vector<std::string> row;
            row.reserve(data.columns.size());
            for (int i = 0; i < records.fieldCount(); ++i) {
                std::string value = records.field(i).toText();
                // An aggregate not on record shows as nothing, not as its starting value.
                if (db::IsAggregateNotOnRecord(data.columns[static_cast<size_t>(i)], value))
                    value.clear();
                row.push_back(std::move(value));
            }
            data.rows.push_back(std::move(row));
        }
        records.Close();
        read = true;
    });
    if (!read)
        return fail(failure.description);
    progress(35);
    result.records = data.rows.size();
    progress(38);

    std::vector<std::string> unknown;
    auto compiled = target->compile(data.columns, unknown, error);
    progress(70);
    if (!compiled && !unknown.empty()) {
        // Which fields, so that the officer can mend the document or choose another.
        std::string names;
        for (const auto& name : unknown)
            names += (names.empty() ? "" : ", ") + name;
        show(control,
             " There are errors in the fields of the target document: " + FileName + " Please correct them." + kCrLf +
                 "Fields that are not columns of the selected students: " + names,
             " " + errorTitle(control) + " ", MsgIcon::Critical);
        result.outcome = GenerateOutcome::Refused;
        result.description = "Fields that are not columns of the selected students: " + names;
        finish();
        return result;
    }
    if (!compiled)
        return fail(error);
    if (data.rows.empty())
        return fail("No student matches the selection; there is nothing to merge.");

    // Every student's file is named, and checked, before the first file is written.
    std::vector<std::string> studentFiles;
    if (perStudent) {
        const int usn = data.column("USN");
        const int name = data.column("Name");
        std::map<std::string, int> taken;
        for (size_t r = 0; r < data.rows.size(); ++r) {
            const std::string stem = StudentFileName(usn >= 0 ? data.rows[r][static_cast<size_t>(usn)] : std::string(),
                                                     name >= 0 ? data.rows[r][static_cast<size_t>(name)] : std::string());
            // Names are compared without letter case: a shared folder on Windows would merge them.
            const std::string key = QString::fromStdString(stem).toLower().toStdString();
            const int seen = taken[key]++;
            const std::string file = stem + (seen ? " (" + std::to_string(seen + 1) + ")" : std::string());
            const fs::path stemPath = fs::path(options.perStudentFolder) / file;
            studentFiles.push_back(stemPath.string() + ".docx");
            for (const std::string& path : {studentFiles.back(), stemPath.string() + ".pdf"})
                if (const std::string refused = RefusedOutput(control, path, targetPath); !refused.empty())
                    return refuse(refused);
        }
    }
    progress(75);

    bool written = false;
    if (oneDocument) {
        RunWork(control, "Writing the résumés", false,
                [&](WorkProgress&) { written = compiled->write(data, 0, data.rows.size(), output, error); });
        if (!written)
            return fail(error);
        result.files.push_back(output);
    }
    if (perStudent) {
        // One file at a time, so the officer may stop between two: the files written stay.
        size_t done = 0;
        written = false;
        const bool finished = RunWork(control, "Writing the résumés", true, [&](WorkProgress& work) {
            for (; done < studentFiles.size() && !work.cancelled(); ++done) {
                work.set(static_cast<int>(done * 100 / studentFiles.size()),
                         "Writing résumé " + std::to_string(done + 1) + " of " + std::to_string(studentFiles.size()));
                if (!compiled->write(data, done, 1, studentFiles[done], error, false))
                    return;
            }
            // One flush to the disk for the whole folder: one per file took most of the time.
            syncFolder(options.perStudentFolder);
            written = true;
        });
        if (!finished) {
            // Only the files written are told and kept in the result.
            studentFiles.resize(done);
            result.files.insert(result.files.end(), studentFiles.begin(), studentFiles.end());
            return cancelled(done, data.rows.size());
        }
        if (!written)
            return fail(error);
        result.files.insert(result.files.end(), studentFiles.begin(), studentFiles.end());
        output = oneDocument ? output + " and in " + options.perStudentFolder : options.perStudentFolder;
    }
    progress(80);

    if (perStudent && options.pdf) {
        // One batch for all files: LibreOffice starts once per share, not once per student.
        std::string startError;
        if (!converter)
            converter = word::Application::start(startError);
        std::vector<std::string> failures;
        if (!converter || !word::Application::libreOfficeAvailable()) {
            show(control, "No PDF copies were made: LibreOffice is not installed. The résumés were saved as .docx.",
                 control.session.AppTitle, MsgIcon::Exclamation);
        } else {
            // LibreOffice takes seconds a file: the bar moves with each PDF made, and Cancel stops it.
            std::atomic<size_t> made{0};
            const size_t total = studentFiles.size();
            const bool finished = RunWork(control, "Making PDF copies", true, [&](WorkProgress& work) {
                converter->cancelled = [&work] { return work.cancelled(); };
                converter->fileDone = [&] {
                    const size_t now = ++made;
                    work.set(static_cast<int>(now * 100 / std::max<size_t>(total, 1)),
                             "PDF " + std::to_string(now) + " of " + std::to_string(total));
                };
                work.set(0, "Making " + std::to_string(total) + " PDF copies");
                failures = converter->convertToPdf(studentFiles, options.perStudentFolder);
            });
            converter->cancelled = nullptr;
            converter->fileDone = nullptr;
            if (!finished) {
                for (const std::string& failure : failures)
                    result.pdfs += failure.empty() ? 1 : 0;
                show(control,
                     "The PDF copies were cancelled: " + std::to_string(result.pdfs) + " of " +
                         std::to_string(total) + " were made. The résumés themselves were saved in " + output + ".",
                     control.session.AppTitle, MsgIcon::Information);
                result.outcome = GenerateOutcome::Cancelled;
                result.output = output;
                finish();
                return result;
            }
            size_t failed = 0;
            std::string first;
            for (size_t i = 0; i < failures.size(); ++i) {
                if (failures[i].empty()) {
                    ++result.pdfs;
                    continue;
                }
                if (failed++ == 0)
                    first = fs::path(studentFiles[i]).filename().string() + ": " + failures[i];
            }
            if (failed > 0)
                show(control,
                     std::to_string(failed) + " of " + std::to_string(failures.size()) +
                         " PDF copies could not be made. The first: " + first,
                     control.session.AppTitle, MsgIcon::Exclamation);
        }
    }
    show(control, " The generated resumes were saved at " + output, "Success.", MsgIcon::Information);
    progress(87);
    result.outcome = GenerateOutcome::Written;
    result.output = output;

    finish();
    return result;
}

}  // namespace kyt
