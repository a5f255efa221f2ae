#include "extract/extract_resume.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>

#include "db/data_connector.h"
#include "extract/usn.h"
#include "extract/validation.h"
#include "shell/email.h"
#include "shell/product.h"
#include "word/application.h"

namespace kyt {

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr const char* kNotAResume =
    "This file does not seem to be a valid format resume as specified in Appendix A of your User manual.";

// Where the marks and projects sit in table 2: the BE form (8 semesters) and the MCA form (6 semesters,
// with a third school-level row that is checked but not kept).
struct Layout {
    int lastRow;          // last marks row i (table row i + 1)
    int institutionRow;   // the row that only names the institution of the semesters
    int projectsRow;      // table 2 row of the project titles
    int preFinalCell;
    int finalCell;
    bool mca;
};

constexpr Layout kBE{11, 3, 15, 1, 2, false};
constexpr Layout kMCA{10, 4, 13, 5, 6, true};

// A ratio or a percentage below 1, brought to a percentage with two decimals the way the form's
// numbers are shown: formatted, then read back.
double TwoDecimals(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", value);
    return std::strtod(text, nullptr);
}

std::string FixedTwo(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
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

std::string Joined(const TableRow& cells, int first, int last)
{
    std::string text;
    for (int k = first; k <= last; ++k)
        text += cells[static_cast<size_t>(k - 1)];
    return text;
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
    Step writeMarks();
    Step writeProjects();
    int16_t reject();
    int16_t fail(const std::string& reason = {});
    void progress(int16_t value) { ShowResumeProgress(control_, value); }
    void report(std::string message, int16_t kind = 2) { AddError(control_, message, kind); }
    bool row(int16_t table, int16_t rowIndex, TableRow& cells) const
    {
        return GetTableRow(*document_, table, rowIndex, cells);
    }
    // The messages of a failed statement: of the Personal row, and of the later ones with their tag.
    void reportPersonalFailure(int32_t number);
    void reportMarksFailure(int32_t number, const char* tag);
    bool inTransaction() const
    {
        const db::Database* database = control_.session.Connector->GetCurrentConnection();
        return database && database->inTransaction();
    }
    void closeDocument() { document_.reset(); }

    Control& control_;
    const std::string& path_;
    std::unique_ptr<word::Document> document_;
    std::string usn_;
    std::string institution_;
    std::string openError_;
    bool opened_ = false;  // the caller read the document already
};

int16_t ResumeReader::run()
{
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
    control_.run.BranchName.clear();
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

    progress(98);
    control_.session.Connector->EndTransaction();
    // A commit that did not happen (disk full, lost lock) must not be counted as a stored student; the
    // connector has rolled it back.
    if (control_.session.Connector->CommitFailed()) {
        reportPersonalFailure(control_.session.Connector->ErrNo != 0 ? control_.session.Connector->ErrNo
                                                                     : db::kErrOther);
        return reject();
    }
    closeDocument();
    progress(kProgressFinished);
    return kResumeStored;
}

ResumeReader::Step ResumeReader::readPersonal()
{
    if (document_->tableCount() < 1)
        return Step::Fail;
    TableRow cells;

    if (!row(1, 2, cells))
        return Step::Fail;
    std::string usnCell = cells[0];
    usn_ = ValidateUSN(control_, usnCell);
    if (usn_ == "ERR")
        return Step::Reject;
    std::string name = cells[1];
    name = FirstChars(ProperCase(name), 65);
    if (name.empty()) {
        report("Name is blank");
        return Step::Reject;
    }
    progress(6);
    const std::string col6 = FirstChars(cells[5], 10);

    if (!row(1, 3, cells))
        return Step::Fail;
    std::string day = cells[0], month = cells[1], year = cells[2];
    const std::string dob = FormatDOB(day, month, year);
    if (dob == "ERR") {
        report(" DOB: " + cells[0] + "-" + cells[1] + "-" + cells[2] + " is invalid ");
        return Step::Reject;
    }
    progress(14);

    if (!row(1, 5, cells))
        return Step::Fail;
    std::string col4 = FirstChars(cells[1], 65);
    col4 = ProperCase(col4);
    std::string email = FirstChars(cells[2], 50);
    if (ValidateEmail(email) == "ERR")
        email = control_.config.PlacementEmail;  // an unusable address is replaced, not reported
    progress(14);

    std::string col7, col13, col14, col17, col15, col25, col8, col19, col23, col9, col20, col10, col21, col11,
        col28, col26, col27;
    int32_t col18 = 0, col24 = 0;

    if (!row(1, 7, cells))
        return Step::Fail;
    col7 = cells[0];
    col13 = FirstChars(cells[1], 100);
    progress(17);
    if (!row(1, 8, cells))
        return Step::Fail;
    col14 = FirstChars(cells[1], 100);
    col17 = FirstChars(cells[2], 50);
    progress(20);
    if (!row(1, 9, cells))
        return Step::Fail;
    col15 = cells[1];
    if (!row(1, 10, cells) || !LeadingNumber(Joined(cells, 3, 8), col18))
        return Step::Fail;
    col25 = FirstChars(cells[8], 50);
    if (!row(1, 11, cells))
        return Step::Fail;
    col8 = FirstChars(cells[0], 14);
    progress(23);
    if (!row(1, 12, cells))
        return Step::Fail;
    col19 = FirstChars(cells[1], 100);
    col23 = FirstChars(cells[2], 50);
    progress(25);
    if (!row(1, 13, cells))
        return Step::Fail;
    col9 = FirstChars(cells[0], 50);
    col20 = FirstChars(cells[1], 100);
    if (!row(1, 14, cells))
        return Step::Fail;
    col10 = FirstChars(cells[0], 50);
    col21 = cells[1];
    progress(29);
    if (!row(1, 15, cells) || !LeadingNumber(Joined(cells, 3, 8), col24))
        return Step::Fail;
    col11 = FirstChars(cells[0], 50);
    progress(35);
    if (!row(1, 17, cells))
        return Step::Fail;
    col28 = FirstChars(cells[2], 200);
    progress(37);
    if (!row(1, 18, cells))
        return Step::Fail;
    col26 = FirstChars(cells[0], 250);
    col27 = FirstChars(cells[1], 250);
    progress(40);

    std::string branch = control_.run.BranchName;
    const size_t first = branch.find_first_not_of(' ');
    branch = first == std::string::npos ? std::string() : branch.substr(first, branch.find_last_not_of(' ') - first + 1);

    std::string sql = "INSERT INTO Personal Values('" + usn_ + "' , '" + branch + "' , '" + name + "', '" + col4 +
                      "','" + dob + "' , '" + col6;
    for (const std::string* value : {&col7, &col8, &col9, &col10, &col11, &email, &col13, &col14, &col15})
        sql += "', '" + *value;
    sql += "', '";          // column 16, always empty
    sql += "', '" + col17;
    sql += "', " + std::to_string(col18) + ", '" + col19;
    sql += "', '" + col20 + "', '" + col21 + "', '" + std::string() + "', '" + col23;
    sql += "', " + std::to_string(col24) + ", '" + col25;
    sql += "', '" + col26 + "', '" + col27 + "', '" + col28;
    sql += "', " + std::string("2,2,2,0,0,'e','e','e','e'") + ")";

    control_.session.Connector->BeginTransaction();
    // Without an open transaction the rows below would be committed one by one: a failed résumé would
    // leave half a student behind (a locked database shows here).
    if (!inTransaction()) {
        reportPersonalFailure(control_.session.Connector->ErrNo != 0 ? control_.session.Connector->ErrNo
                                                                     : db::kErrOther);
        return Step::Reject;
    }
    const int32_t result = control_.session.Connector->exec(sql);
    progress(43);
    if (result != db::DataConnector::kSuccess) {
        reportPersonalFailure(result);
        return Step::Reject;
    }
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
    if (document_->tableCount() < 2)
        return Step::Fail;
    progress(56);
    const Layout& layout = control_.run.BranchCodeLen == 3 ? kMCA : kBE;
    progress(59);

    // Running sums over the semesters stored so far, 16-bit as the aggregate columns were always computed.
    int32_t sumObtained = 0, sumMaximum = 0;
    TableRow cells;
    for (int i = 1; i <= layout.lastRow; ++i) {
        progress(static_cast<int16_t>(std::nearbyint(i * 1.9 + 62)));
        if (!row(2, static_cast<int16_t>(i + 1), cells))
            return Step::Fail;

        if (i == layout.institutionRow) {
            std::string institution = FirstChars(cells[1], 65);
            institution_ = CollapseSpaces(institution);
            continue;
        }
        if (!cells[1].empty()) {
            std::string institution = cells[1];
            institution_ = CollapseSpaces(institution);
        }
        if (cells[2].empty() || !IsNumber(cells[2]))
            break;  // the marks end at the first row without obtained marks
        const std::string maxMarksMessage = "In Academic Performance table:  Max marks not entered. See row " +
                                            std::to_string(i);
        if (cells[3].empty()) {
            report(maxMarksMessage);
            return Step::Reject;
        }
        if (!IsNumber(cells[3]))
            return Step::Fail;
        const auto obtained = WholePart16(cells[2]);
        const auto maximum = WholePart16(cells[3]);
        if (!obtained || !maximum)
            return Step::Fail;
        if (*maximum == 0) {
            report(maxMarksMessage);
            return Step::Reject;
        }
        if (*obtained > *maximum) {
            report("In Academic Performance table:  Marks obtained is more than max marks ! See row " +
                   std::to_string(i));
            return Step::Reject;
        }

        double percentage = -1;
        if (i == 1) {
            std::string percentCell = cells[4];
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
            className = FirstChars(cells[5], 50);
        }

        const std::string passYear = FirstChars(cells[6], 50);
        const std::string attempts = FirstChars(cells[7], 50);
        if (passYear.empty() || attempts.empty()) {
            report("In Academic Performance table:  Pass year or No. of attempts is blank.  See row " +
                   std::to_string(i) + " of that table");
            return Step::Reject;
        }

        if (!(layout.mca && i == 3)) {
            const int level = semester ? i - 1 : i;
            const std::string sql = "INSERT INTO marks values( '" + usn_ + "', " + std::to_string(level) + ", '" +
                                    institution_ + "', " + std::to_string(*obtained) + ", " +
                                    std::to_string(*maximum) + ", " + Shortest(percentage) + ", '" + className +
                                    "', '" + passYear + "', '" + attempts + "')";
            const int32_t result = control_.session.Connector->exec(sql);
            if (result != db::DataConnector::kSuccess) {
                reportMarksFailure(result, "SQL2");
                return Step::Reject;
            }
        }

        if (i >= 7 && !(layout.mca && i == 7)) {
            const int semestersSoFar = layout.mca ? i - 4 : i - 3;
            if (sumMaximum == 0)
                return Step::Fail;
            const std::string aggregate = FixedTwo(static_cast<double>(sumObtained) / sumMaximum * 100);
            const std::string sql = "UPDATE personal set one_to_" + std::to_string(semestersSoFar) + "=" +
                                    aggregate + " where USN='" + usn_ + "'";
            const int32_t result = control_.session.Connector->exec(sql);
            if (result != db::DataConnector::kSuccess) {
                reportMarksFailure(result, "SQL3");
                return Step::Reject;
            }
        }
    }
    return Step::Go;
}

ResumeReader::Step ResumeReader::writeProjects()
{
    progress(82);
    const Layout& layout = control_.run.BranchCodeLen == 3 ? kMCA : kBE;
    TableRow cells;
    if (!row(2, static_cast<int16_t>(layout.projectsRow), cells))
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
    const int32_t result = control_.session.Connector->exec(sql);
    progress(93);
    if (result != db::DataConnector::kSuccess) {
        reportMarksFailure(result, "SQL4");
        return Step::Reject;
    }
    return Step::Go;
}

int16_t ResumeReader::reject()
{
    report("Transaction rolled back", 3);
    if (control_.session.Connector)
        control_.session.Connector->RollBackTransaction();
    closeDocument();
    progress(kProgressFinished);
    return kResumeRejected;
}

int16_t ResumeReader::fail(const std::string& reason)
{
    report(kNotAResume);
    if (!reason.empty())
        report(reason, 3);
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
    const double parsed = seenDigit ? std::strtod(number.c_str(), nullptr) : 0.0;
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
