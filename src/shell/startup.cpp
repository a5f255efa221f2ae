#include "shell/startup.h"

#include <algorithm>
#include <limits>

#include "db/data_connector.h"
#include "db/database.h"
#include "db/recordset.h"
#include "shell/product.h"

namespace kyt {
namespace {

struct DbErrorEntry {
    int32_t number;
    const char* text;
};

const DbErrorEntry kDbErrors[] = {
    {105121349, "A resume with the same USN already exists in the database. Maybe the student has entered "
                "someone else's USN."},
    {539888598, "One of the fields in the resume document contained invalid characters example: an apostrophe in "
                "the DOB or marks field has some other character other than '%' character OR contained letters "
                "when only digits were expected ( example DOB field ) "},
    {541396598, "One or more of the required fields is blank in the resume."},
    {68551703, "One or more of the fields in the resume has exceeded the capacity of the database field. Try "
               "reducing the number of characters in a field which has lots of characters."},
    {33, "The data base is inconsistent. Easy way to solve is to delete all records from administration option of "
         "Kyt and rescan the records. "},
    {1, nullptr},  // the catch-all, which names the support contact
};

std::string otherErrorText()
{
    return "Other database error. Please verify the resume once again. If it still does not resolve the problem, "
           "please contact the author at " +
           std::string(kSupportContact);
}

std::string trimSpaces(std::string text)
{
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

void show(Control& control, const std::string& text, const std::string& title)
{
    if (control.Messages)
        control.Messages->show(text, title, MsgIcon::Critical, MsgButtons::OK);
}

void reportOpenFailure(Control& control, const std::string& description)
{
    show(control,
         "Error opening the database.\nPlease check that you are trying to open the correct database \n\n" +
             description,
         "Error Reading database");
}

}  // namespace

void FillDbErrorTable(Control& control)
{
    int entry = 1;
    for (const DbErrorEntry& e : kDbErrors) {
        control.DbErrorCodes[entry] = e.number;
        control.DbErrorTexts[entry] = e.text ? std::string(e.text) : otherErrorText();
        ++entry;
    }
    control.DbErrorCount = entry - 1;
}

std::string DbErrorText(const Control& control, int32_t& ErrorNumber)
{
    // The most negative number has no positive counterpart; it is in no table either.
    if (ErrorNumber != std::numeric_limits<int32_t>::min())
        ErrorNumber = ErrorNumber < 0 ? -ErrorNumber : ErrorNumber;
    if (control.DbErrorCount < 1)
        return otherErrorText();
    int count = std::min<int>(control.DbErrorCount, static_cast<int>(control.DbErrorCodes.size()) - 1);
    for (int i = 1; i <= count; ++i) {
        if (control.DbErrorCodes[i] == ErrorNumber)
            return control.DbErrorTexts[i];
    }
    return control.DbErrorTexts[count];
}

StartUpResult StartUp(Control& control)
{
    control.Connector = std::make_unique<db::DataConnector>();
    // Neither name nor password reaches the database file; the connector keeps the name for show.
    control.Connector->ConnectToDataBase("Admin", "", control.DatabasePath);
    if (!control.Connector->GetConnectStatus()) {
        reportOpenFailure(control, control.Connector->ErrDesc);
        return StartUpResult::NotConnected;
    }

    db::Recordset branches;
    db::Failure failure;
    db::Database* connection = control.Connector->GetCurrentConnection();
    if (!connection || !connection->openRecordset("SELECT BranchCode FROM branch", branches, failure)) {
        // Not a database of ours after all: say why, and end start-up as for a failed connection.
        reportOpenFailure(control, connection ? failure.description : control.Connector->ErrDesc);
        control.Connector->CloseConnection();
        return StartUpResult::NotConnected;
    }

    // A write-ahead log on a network share that could not be ended: the officer must know.
    if (!connection->storage().warning.empty() && control.Messages)
        control.Messages->show(connection->storage().warning, "Kyt Message", MsgIcon::Exclamation, MsgButtons::OK);

    if (branches.isEOF() && branches.isBOF())
        show(control,
             "Error. The database does not contain any branches \nPlease set the branches of your college by "
             "using the adminstration option which follows.\nOr contact " +
                 std::string(kSupportContact),
             "Error");

    long rows = branches.RecordCount();
    control.BranchCount = static_cast<int16_t>(std::min<long>(rows, std::numeric_limits<int16_t>::max()));
    if (rows > kMaxBranches) {
        show(control,
             "Sorry, there are too many branches. This software cannot be used for colleges with over 40 branches ",
             "Critical Error");
        return StartUpResult::TooManyBranches;
    }

    branches.MoveFirst();
    for (int i = 0; i < control.BranchCount; ++i) {
        control.BranchCodes[i] = trimSpaces(branches.field(0).toText());
        branches.MoveNext();
    }
    branches.Close();
    FillDbErrorTable(control);
    return StartUpResult::Ready;
}

void CloseDown(Control& control)
{
    if (control.Connector)
        control.Connector->CloseConnection();
    control.Connector.reset();
    control.WordApp.reset();
}

}  // namespace kyt
