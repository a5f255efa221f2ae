#include "extract/rejection_notices.h"

#include <fcntl.h>
#include <unistd.h>

#include <QString>
#include <filesystem>
#include <map>

#include "db/database_files.h"
#include "extract/error_report.h"
#include "extract/run_history.h"
#include "merge/generate_resumes.h"
#include "merge/merge_template.h"
#include "shell/output_guard.h"

namespace kyt {

namespace {

namespace fs = std::filesystem;

// Where a fault sits and what it is, in words: "Table 1, row 3, cell 1 (Date of birth): DOB: ... is invalid".
std::string FaultLine(const std::vector<std::string>& values)
{
    // values: File, USN, Name, Table, Row, Cell, Field, Reason
    std::string place;
    const char* names[] = {"Table ", "row ", "cell "};
    for (size_t k = 0; k < 3; ++k)
        if (!values[3 + k].empty())
            place += (place.empty() ? "" : ", ") + std::string(names[k]) + values[3 + k];
    const std::string& field = values[6];
    if (place.empty())
        return field + ": " + values[7];
    return place + (field.empty() ? "" : " (" + field + ")") + ": " + values[7];
}

// One record per refused résumé: its own columns once, each fault's columns one line per fault.
merge::DataSource NoticeData(const std::vector<RejectedResume>& refused)
{
    merge::DataSource data;
    data.columns = NoticeFields();
    for (const RejectedResume& resume : refused) {
        std::vector<std::string> row(data.columns.size());
        for (size_t k = 0; k < resume.faults.size(); ++k) {
            const std::vector<std::string> values = ReportValues(resume, resume.faults[k]);
            const std::string next = k ? "\n" : "";
            for (size_t c = 0; c < values.size(); ++c)
                row[c] = c < 3 ? values[c] : row[c] + next + values[c];
            row.back() += next + FaultLine(values);
        }
        data.rows.push_back(std::move(row));
    }
    return data;
}

bool SameFolder(const std::string& a, const std::string& b)
{
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec))
        return fs::equivalent(a, b, ec);
    return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

}  // namespace

std::vector<std::string> NoticeFields()
{
    std::vector<std::string> fields(std::begin(kErrorReportColumns), std::end(kErrorReportColumns));
    fields.push_back("Faults");
    return fields;
}

NoticesResult WriteRejectionNotices(Control& control, int64_t runId, const std::string& templatePath,
                                    const std::string& folder)
{
    NoticesResult result;
    auto stop = [&](NoticesOutcome outcome, const std::string& why) {
        result.outcome = outcome;
        result.description = why;
        result.files.clear();
        return result;
    };
    db::Database* database =
        control.session.Connector ? control.session.Connector->GetCurrentConnection() : nullptr;
    if (!database)
        return stop(NoticesOutcome::Failed, "Kyt is not connected to its database.");

    std::vector<RunSummary> runs;
    std::vector<RejectedResume> refused;
    db::Failure failure;
    if (!ListRuns(*database, runs, failure) || !RunRefusals(*database, runId, refused, failure))
        return stop(NoticesOutcome::Failed, "The history of extractions could not be read: " + failure.description);
    const RunSummary* run = nullptr;
    for (const RunSummary& candidate : runs)
        run = candidate.id == runId ? &candidate : run;
    const std::string id = std::to_string(runId);
    if (!run)
        return stop(NoticesOutcome::Refused, "There is no run " + id + " in the history of extractions.");
    if (SameFolder(folder, run->folder))
        return stop(NoticesOutcome::Refused, "The notices cannot go into " + folder +
                                                 ": it is the folder of run " + id +
                                                 "'s résumés, and the next run there would read them as résumés.");
    if (db::isDatabaseFile(control.config.DatabasePath, templatePath))
        return stop(NoticesOutcome::Refused, "The template " + templatePath + " is Kyt's database, not a document.");

    std::string error;
    std::unique_ptr<merge::MergeTemplate> notice = merge::MergeTemplate::load(templatePath, error);
    if (!notice)
        return stop(NoticesOutcome::Failed, "The template " + templatePath + " could not be read: " + error);
    notice->makeMergeFields();
    std::vector<std::string> unknown;
    std::unique_ptr<merge::CompiledTemplate> compiled = notice->compile(NoticeFields(), unknown, error);
    if (!compiled && !unknown.empty()) {
        std::string names, known;
        for (const std::string& name : unknown)
            names += (names.empty() ? "" : ", ") + name;
        for (const std::string& name : NoticeFields())
            known += (known.empty() ? "" : ", ") + name;
        return stop(NoticesOutcome::Refused, "The template " + templatePath + " has fields a notice does not: " +
                                                 names + ". A notice has " + known + ".");
    }
    if (!compiled)
        return stop(NoticesOutcome::Failed, "The template " + templatePath + " could not be prepared: " + error);

    // Every notice is named, and checked, before the first is written.
    std::vector<std::string> paths;
    std::map<std::string, int> taken;
    for (const RejectedResume& resume : refused) {
        const std::string stem = StudentFileName(fs::path(resume.file).stem().string(), "");
        // Names are compared without letter case: a shared folder on Windows would merge them.
        const int seen = taken[QString::fromStdString(stem).toLower().toStdString()]++;
        const std::string name =
            stem + (seen ? " (" + std::to_string(seen + 1) + ")" : std::string()) + " - notice.docx";
        paths.push_back((fs::path(folder) / name).string());
        if (const std::string why = RefusedOutput(control, paths.back(), templatePath); !why.empty())
            return stop(NoticesOutcome::Refused, why);
    }
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        return stop(NoticesOutcome::Failed, "The folder " + folder + " could not be made: " + ec.message());
    const merge::DataSource data = NoticeData(refused);
    for (size_t r = 0; r < paths.size(); ++r) {
        if (!compiled->write(data, r, 1, paths[r], error, false))
            return stop(NoticesOutcome::Failed, "The notice " + paths[r] + " could not be written: " + error);
        result.files.push_back(paths[r]);
    }
    // One flush to the disk for the folder, not one per notice.
    if (const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
    result.outcome = NoticesOutcome::Written;
    return result;
}

}  // namespace kyt
