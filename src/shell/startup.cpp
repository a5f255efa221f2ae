#include "shell/startup.h"

#include <algorithm>
#include <limits>

#include "db/data_connector.h"
#include "db/database.h"
#include "db/recordset.h"
#include "db/schema_upgrade.h"
#include "shell/message_service.h"
#include "shell/product.h"
#include "word/application.h"

namespace kyt {
namespace {

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
    if (control.session.Messages)
        control.session.Messages->show(text, title, MsgIcon::Critical, MsgButtons::OK);
}

void reportOpenFailure(Control& control, const std::string& description)
{
    show(control,
         "Error opening the database.\nPlease check that you are trying to open the correct database \n\n" +
             description,
         "Error Reading database");
}

// A database an earlier Kyt made lacks what this one stores: it is brought up to date before anything
// reads it, once the officer has agreed. False when it stays as it was (refused, or the upgrade failed).
bool upgradeOlderDatabase(Control& control, db::Database& connection)
{
    db::SchemaUpgrade plan;
    db::Failure failure;
    if (!db::planUpgrade(connection, plan, failure)) {
        reportOpenFailure(control, failure.description);
        return false;
    }
    if (!plan.needed())
        return true;
    const std::string kept =
        plan.copy.empty()
            ? "The upgrade runs in one transaction on the server: if it fails, nothing changes."
            : "A copy of the database as it is now is kept in " + plan.copy + ".";
    const std::string text = "The database " + connection.path() + " was made by an earlier version of Kyt (schema version " +
                             std::to_string(plan.from) + "). Kyt will bring it up to version " +
                             std::to_string(plan.to) + ", which keeps placement drives and the history of extraction runs; no student changes.\n\n" + kept +
                             "\n\nAn earlier Kyt cannot use the database once it is upgraded. Choose Cancel to leave it "
                             "as it is and close Kyt.";
    if (control.session.Messages &&
        control.session.Messages->show(text, "Upgrade the database", MsgIcon::Information, MsgButtons::OKCancel) ==
            MsgAnswer::Cancel)
        return false;
    if (!db::upgradeSchema(connection, plan, failure)) {
        show(control, "The database " + connection.path() + " could not be upgraded; it is unchanged.\n\n" +
                          failure.description,
             "Error Upgrading database");
        return false;
    }
    return true;
}

}  // namespace

void AskPasswordsThrough(MessageService* messages)
{
    if (!messages) {
        db::setPasswordPrompt({});
        return;
    }
    db::setPasswordPrompt([messages](const std::string& address, const std::string& login) {
        return messages->askPassword(address, login);
    });
}

std::string CoordinatorRefusal(const Control& control, const std::string& what)
{
    const db::Database* database =
        control.session.Connector ? control.session.Connector->GetCurrentConnection() : nullptr;
    if (!database || database->access().write)
        return {};
    const db::Access& access = database->access();
    std::string branches;
    for (const std::string& code : access.branches)
        branches += (branches.empty() ? "" : ", ") + code;
    return "You are logged in as " + access.login + ", a coordinator of the branch" +
           (access.branches.size() == 1 ? " " : "es ") + (branches.empty() ? std::string("(none yet)") : branches) +
           ": you may query, save and merge the students of your branches. " + what +
           " is for the placement officers.";
}

void FillDbErrorTable(Control& control)
{
    db::FillDbErrorTable(control.session, kSupportContact);
}

StartUpResult StartUp(Control& control)
{
    AskPasswordsThrough(control.session.Messages);
    control.session.Connector = std::make_unique<db::DataConnector>();
    // Neither name nor password reaches the database file; the connector keeps the name for show.
    control.session.Connector->ConnectToDataBase("Admin", "", control.config.DatabasePath);
    if (!control.session.Connector->GetConnectStatus()) {
        reportOpenFailure(control, control.session.Connector->ErrDesc);
        return StartUpResult::NotConnected;
    }

    db::Recordset branches;
    db::Failure failure;
    db::Database* connection = control.session.Connector->GetCurrentConnection();
    if (connection && !upgradeOlderDatabase(control, *connection)) {
        control.session.Connector->CloseConnection();
        return StartUpResult::NotConnected;
    }
    if (!connection || !connection->openRecordset("SELECT BranchCode FROM branch", branches, failure)) {
        // Not a database of ours after all: say why, and end start-up as for a failed connection.
        reportOpenFailure(control, connection ? failure.description : control.session.Connector->ErrDesc);
        control.session.Connector->CloseConnection();
        return StartUpResult::NotConnected;
    }

    // A write-ahead log on a network share that could not be ended: the officer must know.
    if (!connection->storage().warning.empty() && control.session.Messages)
        control.session.Messages->show(connection->storage().warning, "Kyt Message", MsgIcon::Exclamation, MsgButtons::OK);

    if (branches.isEOF() && branches.isBOF())
        show(control,
             "Error. The database does not contain any branches \nPlease set the branches of your college by "
             "using the adminstration option which follows.\nOr contact " +
                 std::string(kSupportContact),
             "Error");

    long rows = branches.RecordCount();
    control.session.BranchCount = static_cast<int16_t>(std::min<long>(rows, std::numeric_limits<int16_t>::max()));
    if (rows > kMaxBranches) {
        show(control,
             "Sorry, there are too many branches. This software cannot be used for colleges with over 40 branches ",
             "Critical Error");
        return StartUpResult::TooManyBranches;
    }

    branches.MoveFirst();
    const size_t loaded = std::min<size_t>(control.session.BranchCount, control.session.BranchCodes.size());
    for (size_t i = 0; i < loaded; ++i) {
        control.session.BranchCodes[i] = trimSpaces(branches.field(0).toText());
        branches.MoveNext();
    }
    branches.Close();
    FillDbErrorTable(control);
    return StartUpResult::Ready;
}

void CloseDown(Control& control)
{
    // The login box asks through this run's messages, which may not outlive it.
    db::setPasswordPrompt({});
    if (control.session.Connector)
        control.session.Connector->CloseConnection();
    control.session.Connector.reset();
    control.session.WordApp.reset();
}

}  // namespace kyt
