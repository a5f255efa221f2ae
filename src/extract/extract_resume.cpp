#include "extract/extract_resume.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>

#include "db/c_numbers.h"
#include "db/data_connector.h"
#include "db/functions.h"
#include "extract/run_history.h"
#include "extract/usn.h"
#include "extract/validation.h"
#include "shell/email.h"
#include "shell/product.h"
#include "word/application.h"
#include "word/form_layout.h"

namespace kyt {

namespace {

namespace form_layout = word::form_layout;

constexpr const char* kCrLf = "\r\n";
constexpr const char* kNotAResume =
    "This file does not seem to be a valid format resume as specified in Appendix A of your User manual.";

// A ratio or a percentage below 1, brought to a percentage with two decimals the way the form's
// numbers are shown: formatted, then read back.
double TwoDecimals(double value)
{
    return CStrtod(FixedText(value, 2).c_str());
}

std::string FixedTwo(double value)
{
    return FixedText(value, 2);
}

std::string Shortest(double value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

// The whole-number part of a cell's value as a 16-bit number; nothing when it does not fit.
std::optional<int16_t> WholePart16(const std::string& cell)
{
    const double whole = std::floor(NumberValue(cell));
    if (!(whole >= std::numeric_limits<int16_t>::min() && whole <= std::numeric_limits<int16_t>::max()))
        return std::nullopt;
    return static_cast<int16_t>(whole);
}

// A text between single quotes in SQL: each apostrophe doubled.
std::string SqlQuoted(const std::string& text)
{
    std::string quoted;
    quoted.reserve(text.size());
    for (char c : text) {
        quoted += c;
        if (c == '\'')
            quoted += '\'';
    }
    return quoted;
}

std::string Joined(const TableRow& cells, int first, int last)
{
    std::string text;
    for (int k = first; k <= last; ++k)
        text += cells[static_cast<size_t>(k - 1)];
    return text;
}

// A cell of the USN's row as the student wrote it (the report shows it; the database gets the cleaned text):
// `offset` 0 the USN, 1 the name.
std::string AsRead(const word::Document& document, const form_layout::Field& usnField, int offset)
{
    const std::vector<std::string>* cells = document.row(usnField.table, usnField.row);
    const size_t at = static_cast<size_t>(usnField.cell - 1 + offset);
    if (!cells || at >= cells->size())
        return {};
    std::string text = (*cells)[at];
    for (char& c : text)
        if (c == '\r' || c == '\a' || c == '\n' || c == '\t')
            c = ' ';
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// One call of ExtractResume: the document, the transaction and the values read so far.
class ResumeReader {
public:
    ResumeReader(Control& control, const std::string& path) : control_(control), path_(path) {}
    ResumeReader(Control& control, const std::string& path, std::unique_ptr<word::Document> document,
                 const std::string& openError)
        : control_(control), path_(path), document_(std::move(document)), openError_(openError), opened_(true)
    {
    }

    int16_t run();

private:
    enum class Step { Go, Reject, Fail };

    Step readPersonal();
    Step removeStoredStudent();
    Step writeMarks();
    Step writeProjects();
    int16_t reject();
    int16_t fail(const std::string& reason = {});
    int16_t notRead();
    bool environmentFailed() const;
    void progress(int16_t value) { ShowResumeProgress(control_, value); }
    void report(std::string message, int16_t kind = 2) { AddError(control_, message, kind); }
    bool row(int16_t table, int16_t rowIndex, TableRow& cells)
    {
        place(table, rowIndex);
        return GetTableRow(*document_, table, rowIndex, cells);
    }
    // Where the next fault reported sits on the form.
    void place(int table, int rowIndex, int cell = 0, const char* field = "")
    {
        control_.run.Place = {table, rowIndex, cell, field};
    }
    // The messages of a failed statement: of the Personal row, and of the later ones with their tag.
    void reportPersonalFailure(int32_t number);
    void reportMarksFailure(int32_t number, const char* tag);
    // One write of this résumé and where its failure is reported: `tag` names a later statement (SQL2 ...),
    // none the Personal row. A server may answer writes only at the commit (they are sent ahead, one
    // round trip a résumé); a failure then is reported at the commit as it would have been here.
    struct Write {
        std::string sql;
        const char* tag;
        int table, rowIndex, cell;
        const char* field;
    };
    int32_t write(Write statement);
    void reportWriteFailure(const Write& statement, int32_t number);
    bool inTransaction() const
    {
        const db::Database* database = control_.session.Connector->GetCurrentConnection();
        return database && database->inTransaction();
    }
    void closeDocument() { document_.reset(); }
    const form_layout::MarksLayout& marksLayout() const
    {
        return form_layout::marksLayout(branchCodeLen_ == 3 ? form_layout::Course::MCA : form_layout::Course::BE);
    }

    std::vector<Write> written_;  // this résumé's writes so far
    Control& control_;
    const std::string& path_;
    std::unique_ptr<word::Document> document_;
    std::string usn_;
    std::string branchName_;
    int16_t branchCodeLen_ = 0;  // 3: the MCA form
    std::string institution_;
    std::string openError_;
    bool opened_ = false;  // the caller read the document already
    bool replaced_ = false;  // a stored student of this USN was taken out for this résumé
    bool storedInThisRun_ = false;  // the run's history has this USN already
};

int16_t ResumeReader::run()
{
    control_.run.DocumentFaults.clear();
    control_.run.UsnAsRead.clear();
    control_.run.NameAsRead.clear();
    place(0, 0, 0, "Document");
    if (!control_.session.Connector || !control_.session.Connector->GetConnectStatus())
        return fail("The database is not connected.");
    std::string error = openError_;
    if (!opened_) {
        if (!control_.session.WordApp)
            return fail("The document reader is not running.");
        document_ = control_.session.WordApp->open(path_, error);
    }
    // A document the reader cannot open at all is no résumé: it is rejected with its reason, and the run
    // goes on with the next one.
    if (!document_)
        return fail(error);
    progress(3);
    institution_.clear();

    switch (readPersonal()) {
    case Step::Go: break;
    case Step::Reject: return reject();
    case Step::Fail: return fail();
    }
    switch (writeMarks()) {
    case Step::Go: break;
    case Step::Reject: return reject();
    case Step::Fail: return fail();
    }
    switch (writeProjects()) {
    case Step::Go: break;
    case Step::Reject: return reject();
    case Step::Fail: return fail();
    }

    if (control_.run.RunId != 0 && !storedInThisRun_) {
        const int32_t recorded =
            RecordStoredStudent(*control_.session.Connector, control_.run.RunId, usn_, replaced_);
        if (recorded != db::DataConnector::kSuccess) {
            place(0, 0, 0, "Document");
            reportPersonalFailure(recorded);
            return reject();
        }
    }
    progress(98);
    control_.session.Connector->EndTransaction();
    // A commit that did not happen (disk full, lost lock) must not be counted as a stored student; the
    // connector has rolled it back.
    if (control_.session.Connector->CommitFailed()) {
        const int32_t number = control_.session.Connector->ErrNo != 0 ? control_.session.Connector->ErrNo : db::kErrOther;
        const std::string& failed = control_.session.Connector->FailedStatement();
        const auto sent = std::find_if(written_.begin(), written_.end(),
                                       [&](const Write& w) { return !failed.empty() && w.sql == failed; });
        if (sent != written_.end()) {
            reportWriteFailure(*sent, number);
        } else {
            place(0, 0, 0, "Document");
            reportPersonalFailure(number);
        }
        return reject();
    }
    closeDocument();
    progress(kProgressFinished);
    return replaced_ ? kResumeReplaced : kResumeStored;
}

// The progress shown once a row of table 1 is read.
int16_t PersonalRowProgress(int row)
{
    switch (row) {
    case 2: return 6;
    case 3:
    case 5: return 14;
    case 7: return 17;
    case 8: return 20;
    case 11: return 23;
    case 12: return 25;
    case 14: return 29;
    case 15: return 35;
    case 17: return 37;
    case 18: return 40;
    default: return 0;
    }
}

// The separator before a column of the Personal row, with the spacing the statement has always had.
const char* PersonalSeparator(int column)
{
    switch (column) {
    case form_layout::column::kBranch:
    case form_layout::column::kName:
    case form_layout::column::kDob + 1: return " , ";
    case form_layout::column::kDob: return ",";
    default: return ", ";
    }
}

ResumeReader::Step ResumeReader::readPersonal()
{
    namespace column = form_layout::column;
    if (document_->tableCount() < form_layout::kPersonalTable)
        return Step::Fail;
    std::array<std::string, column::kLastFromForm + 1> values;
    TableRow cells;
    int currentRow = 0;
    for (const form_layout::Field& field : form_layout::kPersonal) {
        if (field.column == 0)
            continue;
        if (field.row != currentRow) {
            if (const int16_t shown = PersonalRowProgress(currentRow))
                progress(shown);
            if (!row(static_cast<int16_t>(field.table), static_cast<int16_t>(field.row), cells))
                return Step::Fail;
            currentRow = field.row;
        }
        const size_t at = static_cast<size_t>(field.cell - 1);
        std::string& value = values[static_cast<size_t>(field.column)];
        switch (field.column) {
        case column::kUsn: {
            place(field.table, field.row, field.cell, "USN");
            control_.run.UsnAsRead = AsRead(*document_, field, 0);
            control_.run.NameAsRead = AsRead(*document_, field, 1);
            std::string usnCell = cells[at];
            UsnCheck checked = CheckUsn(control_, usnCell);
            if (checked.usn == "ERR")
                return Step::Reject;
            usn_ = value = checked.usn;
            branchName_ = std::move(checked.branchName);
            branchCodeLen_ = checked.branchCodeLen;
            break;
        }
        case column::kName: {
            place(field.table, field.row, field.cell, "Name");
            std::string name = cells[at];
            value = FirstChars(ProperCase(name), static_cast<size_t>(field.width));
            if (value.empty()) {
                report("Name is blank");
                return Step::Reject;
            }
            break;
        }
        case column::kFatherName:
            value = FirstChars(cells[at], static_cast<size_t>(field.width));
            value = ProperCase(value);
            break;
        case column::kDob: {
            place(field.table, field.row, field.cell, "Date of birth");
            std::string day = cells[at], month = cells[at + 1], year = cells[at + 2];
            value = FormatDOB(day, month, year);
            // The query's Age column converts the date with the engine's own date conversion: a date it
            // cannot convert (31-13-2003) would leave the student without an age, and a missing year would
            // read as 2000.
            if (value == "ERR" || !db::parseDate(value) || DigitsOnly(cells[at + 2]).empty()) {
                report(" DOB: " + cells[at] + "-" + cells[at + 1] + "-" + cells[at + 2] + " is invalid ");
                return Step::Reject;
            }
            break;
        }
        case column::kEmail:
            value = FirstChars(cells[at], static_cast<size_t>(field.width));
            if (ValidateEmail(value) == "ERR")
                value = control_.config.PlacementEmail;  // an unusable address is replaced, not reported
            // The placement address (Kyt.ini) is no cell text: it keeps its apostrophes, quoted as an SQL
            // literal.
            value = SqlQuoted(value);
            break;
        case column::kPin:
        case column::kPermanentPin: {
            place(field.table, field.row, field.cell, "PIN code");
            int32_t number = 0;
            if (!LeadingNumber(Joined(cells, field.cell, field.cell + field.cells - 1), number))
                return Step::Fail;
            value = std::to_string(number);
            break;
        }
        default:
            value = field.width ? FirstChars(cells[at], static_cast<size_t>(field.width)) : cells[at];
        }
    }
    progress(PersonalRowProgress(currentRow));

    // The branch name comes from table Branch, not from a cell: it keeps its apostrophes, quoted as an SQL
    // literal.
    std::string branch = branchName_;
    const size_t first = branch.find_first_not_of(' ');
    branch = first == std::string::npos ? std::string() : branch.substr(first, branch.find_last_not_of(' ') - first + 1);
    values[column::kBranch] = SqlQuoted(branch);

    std::string sql = "INSERT INTO Personal Values(";
    for (int c = column::kUsn; c <= column::kLastFromForm; ++c) {
        if (c != column::kUsn)
            sql += PersonalSeparator(c);
        const std::string& value = values[static_cast<size_t>(c)];
        if (c == column::kPin || c == column::kPermanentPin)
            sql += value;
        else
            sql += "'" + value + "'";
    }
    sql += ", " + std::string("2,2,2,0,0,'e','e','e','e'") + ")";

    place(form_layout::kPersonalTable, 0, 0, "Personal information");
    written_.clear();
    control_.session.Connector->BeginTransaction();
    // Without an open transaction the rows below would be committed one by one: a failed résumé would
    // leave half a student behind (a locked database shows here).
    if (!inTransaction()) {
        reportPersonalFailure(control_.session.Connector->ErrNo != 0 ? control_.session.Connector->ErrNo
                                                                     : db::kErrOther);
        return Step::Reject;
    }
    if (control_.run.ReplaceStored) {
        if (const Step removed = removeStoredStudent(); removed != Step::Go)
            return removed;
    }
    const int32_t result = write({sql, nullptr, form_layout::kPersonalTable, 0, 0, "Personal information"});
    progress(43);
    return result == db::DataConnector::kSuccess ? Step::Go : Step::Reject;
}

int32_t ResumeReader::write(Write statement)
{
    const int32_t result = control_.session.Connector->exec(statement.sql);
    if (result != db::DataConnector::kSuccess)
        reportWriteFailure(statement, result);
    else
        written_.push_back(std::move(statement));
    return result;
}

void ResumeReader::reportWriteFailure(const Write& statement, int32_t number)
{
    if (!statement.tag && number == db::kErrDuplicateKey)
        place(form_layout::kPersonalTable, 2, 1, "USN");
    else
        place(statement.table, statement.rowIndex, statement.cell, statement.field);
    if (statement.tag)
        reportMarksFailure(number, statement.tag);
    else
        reportPersonalFailure(number);
}

// A re-submitted résumé takes the place of the stored student of its USN. The old rows go inside this
// résumé's transaction: when the new one is refused further on, the rollback brings them back.
ResumeReader::Step ResumeReader::removeStoredStudent()
{
    db::DataConnector& connector = *control_.session.Connector;
    const std::string usn = "'" + SqlQuoted(usn_) + "'";
    const int64_t runId = control_.run.RunId;
    std::string sql = "SELECT count(*) AS n";
    if (runId != 0)
        sql += ", (SELECT count(*) FROM RunStudent WHERE RunId = " + std::to_string(runId) + " AND USN = " + usn +
               ") AS seen";
    db::Recordset stored;
    db::Failure failure;
    if (!connector.GetCurrentConnection()->openRecordset(sql + " FROM Personal WHERE USN=" + usn, stored, failure)) {
        connector.NoteReadFailure(failure);
        reportPersonalFailure(failure.number != 0 ? failure.number : db::kErrOther);
        return Step::Reject;
    }
    if (stored.isEOF() || stored.field(0).toInteger() == 0)
        return Step::Go;
    // The run's history keeps the rows the run found, once: a second résumé of the USN in the same run
    // replaces what the first one stored.
    storedInThisRun_ = runId != 0 && stored.field(1).toInteger() != 0;
    if (runId != 0 && !storedInThisRun_) {
        if (const int32_t kept = KeepPreviousRows(connector, runId, usn_); kept != db::DataConnector::kSuccess) {
            reportPersonalFailure(kept);
            return Step::Reject;
        }
    }
    for (const char* table : {"Marks", "Personal"}) {
        const int32_t result = connector.exec("DELETE FROM " + std::string(table) + " WHERE USN=" + usn);
        if (result != db::DataConnector::kSuccess) {
            reportPersonalFailure(result);
            return Step::Reject;
        }
    }
    replaced_ = true;
    return Step::Go;
}

void ResumeReader::reportPersonalFailure(int32_t number)
{
    const std::string text = db::DbErrorText(control_.session, number, kSupportContact);
    report(" In Personal Information table: " + std::string(kCrLf) + text + kCrLf + kCrLf + " ( Technically, " +
           std::to_string(number) + " ) ");
}

void ResumeReader::reportMarksFailure(int32_t number, const char* tag)
{
    const std::string text = db::DbErrorText(control_.session, number, kSupportContact);
    report(" In Academic Performance table: " + std::string(kCrLf) + text + kCrLf + " ( Technically, " +
           std::to_string(number) + "  ." + tag + " ) ");
}

ResumeReader::Step ResumeReader::writeMarks()
{
    progress(45);
    progress(49);
    progress(52);
    if (document_->tableCount() < form_layout::kMarksTable)
        return Step::Fail;
    progress(56);
    const form_layout::MarksLayout& layout = marksLayout();
    progress(59);

    // Running sums over the semesters stored so far, 16-bit as the aggregate columns were always computed.
    int32_t sumObtained = 0, sumMaximum = 0;
    TableRow cells;
    using namespace form_layout::marks;
    auto cell = [&cells](int k) -> std::string& { return cells[static_cast<size_t>(k - 1)]; };
    for (int i = 1; i <= layout.lastMarksRow; ++i) {
        progress(static_cast<int16_t>(std::nearbyint(i * 1.9 + 62)));
        if (!row(form_layout::kMarksTable, static_cast<int16_t>(form_layout::marksTableRow(i)), cells))
            return Step::Fail;

        if (i == layout.institutionRow) {
            std::string institution = FirstChars(cell(kInstitutionCell), kInstitutionRowWidth);
            institution_ = CollapseSpaces(institution);
            continue;
        }
        if (!cell(kInstitutionCell).empty()) {
            std::string institution = cell(kInstitutionCell);
            institution_ = CollapseSpaces(institution);
        }
        if (cell(kObtainedCell).empty() || !IsNumber(cell(kObtainedCell)))
            break;  // the marks end at the first row without obtained marks
        const std::string maxMarksMessage = "In Academic Performance table:  Max marks not entered. See row " +
                                            std::to_string(i);
        const int tableRow = form_layout::marksTableRow(i);
        place(form_layout::kMarksTable, tableRow, kMaximumCell, "Maximum marks");
        if (cell(kMaximumCell).empty()) {
            report(maxMarksMessage);
            return Step::Reject;
        }
        if (!IsNumber(cell(kMaximumCell)))
            return Step::Fail;
        const auto obtained = WholePart16(cell(kObtainedCell));
        const auto maximum = WholePart16(cell(kMaximumCell));
        if (!obtained || !maximum)
            return Step::Fail;
        if (*maximum == 0) {
            report(maxMarksMessage);
            return Step::Reject;
        }
        if (*obtained > *maximum) {
            place(form_layout::kMarksTable, tableRow, kObtainedCell, "Marks obtained");
            report("In Academic Performance table:  Marks obtained is more than max marks ! See row " +
                   std::to_string(i));
            return Step::Reject;
        }

        double percentage = -1;
        if (i == 1) {
            std::string percentCell = cell(kPercentCell);
            percentage = ParsePercent(percentCell);
        }
        if (percentage == -1)
            percentage = TwoDecimals(static_cast<double>(*obtained) / *maximum * 100);
        else if (percentage < 1)
            percentage = TwoDecimals(percentage * 100);

        const bool semester = i > layout.institutionRow;
        std::string className;
        if (semester) {
            className = ClassFromPercent(percentage);
            sumObtained += *obtained;
            sumMaximum += *maximum;
            if (sumObtained > std::numeric_limits<int16_t>::max() || sumMaximum > std::numeric_limits<int16_t>::max() ||
                sumObtained < std::numeric_limits<int16_t>::min() || sumMaximum < std::numeric_limits<int16_t>::min())
                return Step::Fail;
        } else {
            className = FirstChars(cell(kClassCell), kTextWidth);
        }

        const std::string passYear = FirstChars(cell(kYearCell), kTextWidth);
        const std::string attempts = FirstChars(cell(kAttemptsCell), kTextWidth);
        if (passYear.empty() || attempts.empty()) {
            if (passYear.empty())
                place(form_layout::kMarksTable, tableRow, kYearCell, "Year of passing");
            else
                place(form_layout::kMarksTable, tableRow, kAttemptsCell, "Attempts");
            report("In Academic Performance table:  Pass year or No. of attempts is blank.  See row " +
                   std::to_string(i) + " of that table");
            return Step::Reject;
        }

        if (i != layout.unstoredRow) {
            const int level = semester ? i - 1 : i;
            const std::string sql = "INSERT INTO marks values( '" + usn_ + "', " + std::to_string(level) + ", '" +
                                    institution_ + "', " + std::to_string(*obtained) + ", " +
                                    std::to_string(*maximum) + ", " + Shortest(percentage) + ", '" + className +
                                    "', '" + passYear + "', '" + attempts + "')";
            if (write({sql, "SQL2", form_layout::kMarksTable, tableRow, 0, "Marks"}) != db::DataConnector::kSuccess)
                return Step::Reject;
        }

        const int semestersSoFar = i - layout.institutionRow;
        if (semestersSoFar >= kFirstAggregate) {
            if (sumMaximum == 0)
                return Step::Fail;
            const std::string aggregate = FixedTwo(static_cast<double>(sumObtained) / sumMaximum * 100);
            const std::string sql = "UPDATE personal set one_to_" + std::to_string(semestersSoFar) + "=" +
                                    aggregate + " where USN='" + usn_ + "'";
            if (write({sql, "SQL3", form_layout::kMarksTable, tableRow, 0, "Semester aggregate"}) !=
                db::DataConnector::kSuccess)
                return Step::Reject;
        }
    }
    return Step::Go;
}

ResumeReader::Step ResumeReader::writeProjects()
{
    progress(82);
    const form_layout::MarksLayout& layout = marksLayout();
    TableRow cells;
    if (!row(form_layout::kMarksTable, static_cast<int16_t>(layout.projectsRow), cells))
        return Step::Fail;
    const std::string preFinal = cells[static_cast<size_t>(layout.preFinalCell - 1)];
    const std::string final = cells[static_cast<size_t>(layout.finalCell - 1)];
    progress(83);

    // A title longer than one column continues in the second; past 509 characters it is cut.
    auto split = [](const std::string& text, std::string& first, std::string& second) {
        if (CharCount(text) > 255) {
            second = MidChars(text, 254, 255);
            first = FirstChars(text, 254);
        } else {
            first = text;
            second.clear();
        }
    };
    std::string preFinal1, preFinal2, final1, final2;
    split(preFinal, preFinal1, preFinal2);
    split(final, final1, final2);
    progress(87);
    progress(89);

    const std::string sql = "UPDATE personal set prefinalproject1 = '" + preFinal1 + "', prefinalproject2='" +
                            preFinal2 + "', finalproject1='" + final1 + "', finalproject2='" + final2 +
                            "'  where USN='" + usn_ + "'";
    const int32_t result =
        write({sql, "SQL4", form_layout::kMarksTable, static_cast<int>(layout.projectsRow), 0, "Project titles"});
    progress(93);
    return result == db::DataConnector::kSuccess ? Step::Go : Step::Reject;
}

int16_t ResumeReader::notRead()
{
    if (control_.session.Connector)
        control_.session.Connector->RollBackTransaction();
    closeDocument();
    progress(kProgressFinished);
    return kResumeNotRead;
}

bool ResumeReader::environmentFailed() const
{
    return control_.session.Connector && !control_.session.Connector->EnvironmentFailure().empty();
}

int16_t ResumeReader::reject()
{
    if (environmentFailed())
        return notRead();
    report("Transaction rolled back", 3);
    if (control_.session.Connector)
        control_.session.Connector->RollBackTransaction();
    closeDocument();
    progress(kProgressFinished);
    return kResumeRejected;
}

int16_t ResumeReader::fail(const std::string& reason)
{
    if (environmentFailed())
        return notRead();
    report(kNotAResume);
    if (!reason.empty()) {
        control_.run.DocumentFaults.back().reason += " " + reason;
        report(reason, 3);
    }
    // Whatever was written for this résumé goes: its rows must never be committed with the next one.
    if (control_.session.Connector)
        control_.session.Connector->RollBackTransaction();
    closeDocument();
    progress(kProgressFinished);
    return kResumeRejected;
}

}  // namespace

bool GetTableRow(const word::Document& document, int16_t TableIndex, int16_t RowIndex, TableRow& cells)
{
    const std::vector<std::string>* row = document.row(TableIndex, RowIndex);
    if (!row || row->size() > cells.size())
        return false;
    for (size_t k = 0; k < cells.size(); ++k) {
        if (k < row->size()) {
            std::string text = (*row)[k];
            cells[k] = CleanCellText(text);
        } else {
            cells[k].clear();
        }
    }
    return true;
}

bool LeadingNumber(const std::string& text, int32_t& value)
{
    std::string number;
    bool seenDigit = false, seenPoint = false;
    for (char c : text) {
        if (c == ' ')
            continue;
        if (c >= '0' && c <= '9') {
            number += c;
            seenDigit = true;
        } else if (c == '.' && !seenPoint) {
            number += c;
            seenPoint = true;
        } else if ((c == '-' || c == '+') && number.empty()) {
            number += c;
        } else {
            break;
        }
    }
    const double parsed = seenDigit ? CStrtod(number.c_str()) : 0.0;
    const double whole = std::nearbyint(parsed);  // half to even, as the form's numbers always were rounded
    if (!(whole >= std::numeric_limits<int32_t>::min() && whole <= std::numeric_limits<int32_t>::max()))
        return false;
    value = static_cast<int32_t>(whole);
    return true;
}

void ShowResumeProgress(Control& control, int16_t& Percent)
{
    if (Percent == kProgressFinished)
        Percent = 100;
    else if (Percent > 97)
        Percent = 97;
    if (control.run.ResumeProgress)
        control.run.ResumeProgress(Percent);
}

int16_t ExtractResume(Control& control, const std::string& Path)
{
    ResumeReader reader(control, Path);
    return reader.run();
}

int16_t ExtractResume(Control& control, const std::string& Path, std::unique_ptr<word::Document> document,
                      const std::string& openError)
{
    ResumeReader reader(control, Path, std::move(document), openError);
    return reader.run();
}

}  // namespace kyt
