// kyt-cli admin: the administration window's operations without windows. Questions are asked on the
// terminal; --yes answers Yes; with neither, nothing is changed.
// Exit status: 0 the change was made, 2 refused (the window's message is printed), 1 the database failed.

#include <QCommandLineParser>
#include <QStringList>
#include <cstdio>
#include <string>

#include "admin/administration.h"
#include "app/cli.h"
#include "app/cli_session.h"
#include "shell/product.h"
#include "shell/startup.h"

namespace kyt::cli {
namespace {

constexpr int kChanged = 0;

int exitStatus(const admin::Result& result)
{
    switch (result.outcome) {
    case admin::Outcome::Done:
        return kChanged;
    case admin::Outcome::Refused:
        return kRefused;
    case admin::Outcome::Failed:
        if (!result.reason.empty())
            std::fprintf(stderr, "kyt-cli admin: the database said: %s\n", result.reason.c_str());
        return kFailed;
    }
    return kFailed;
}

int usage(const QCommandLineParser& parser, const std::string& problem)
{
    return usageError(parser, "admin", problem);
}

// A box of the window holds at most `limit` characters; so does the command line.
bool fits(const std::string& text, int limit, const char* what)
{
    if (QString::fromStdString(text).size() <= limit)
        return true;
    std::fprintf(stderr, "kyt-cli admin: %s holds at most %d characters\n", what, limit);
    return false;
}

int admin(const Args& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Administration of the student database.\n\n"
        "Commands:\n"
        "  delete-student USN\n"
        "  delete-batch TEXT          the year (99) or the year and a branch code (99CV)\n"
        "  delete-all\n"
        "  add-branch CODE NAME\n"
        "  delete-branch CODE\n"
        "  show-marks USN SEMESTER\n"
        "  update-marks USN SEMESTER --obtained N --max N --year TEXT --attempts TEXT [--institution TEXT]\n\n"
        "Exit status: 0 changed, 2 refused (nothing changed), 1 the database failed.");
    addConfigOption(parser);
    const QCommandLineOption yes("yes", "Answer Yes to the question (update-marks: replace an existing row).");
    const QCommandLineOption obtained("obtained", "Marks obtained.", "N");
    const QCommandLineOption maximum("max", "Maximum marks.", "N");
    const QCommandLineOption year("year", "Month and year of passing.", "TEXT");
    const QCommandLineOption attempts("attempts", "Number of attempts for the semester.", "TEXT");
    const QCommandLineOption institution("institution", "Institution (default Corlan).", "TEXT");
    parser.addOptions({yes, obtained, maximum, year, attempts, institution});
    parser.addPositionalArgument("command", "One of the commands below.");

    int status = 0;
    if (!parse(parser, "admin", args, status))
        return status;
    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return usage(parser, "no command given");
    const std::string command = positional.takeFirst().toStdString();
    std::vector<std::string> operands;
    for (const QString& p : positional)
        operands.push_back(p.toStdString());

    struct Shape {
        const char* name;
        size_t operands;
    };
    static const Shape shapes[] = {{"delete-student", 1}, {"delete-batch", 1}, {"delete-all", 0},
                                   {"add-branch", 2},     {"delete-branch", 1}, {"show-marks", 2},
                                   {"update-marks", 2}};
    const Shape* shape = nullptr;
    for (const Shape& s : shapes)
        if (command == s.name)
            shape = &s;
    if (!shape)
        return usage(parser, "unknown command '" + command + "'");
    if (operands.size() != shape->operands)
        return usage(parser, command + " takes " + std::to_string(shape->operands) + " argument(s)");
    if (command == "update-marks")
        for (const QCommandLineOption* needed : {&obtained, &maximum, &year, &attempts})
            if (!parser.isSet(*needed))
                return usage(parser, "update-marks needs --" + needed->names().first().toStdString());

    const bool fitsBoxes =
        (command == "delete-student" ? fits(operands[0], admin::kUsnBoxLength, "a USN") : true) &&
        (command == "delete-batch" ? fits(operands[0], admin::kBatchBoxLength, "a batch") : true) &&
        (command == "add-branch" || command == "delete-branch"
             ? fits(operands[0], admin::kBranchCodeBoxLength, "a branch code")
             : true) &&
        (command == "add-branch" ? fits(operands[1], admin::kBranchNameBoxLength, "a branch name") : true) &&
        fits(parser.value(year).toStdString(), admin::kPassingYearBoxLength, "the year of passing") &&
        fits(parser.value(attempts).toStdString(), admin::kAttemptsBoxLength, "the number of attempts") &&
        fits(parser.value(institution).toStdString(), admin::kInstitutionBoxLength, "the institution");
    if (!fitsBoxes)
        return kRefused;

    QuestionMessages messages("admin", parser.isSet(yes));
    Control control;
    control.session.AppTitle = std::string(kAppTitle);
    // A database that cannot be opened is a failure of the database, not a refusal.
    if (const int failed = openSession(parser, "admin", control, messages))
        return failed;

    admin::Result result;
    if (command == "delete-student") {
        result = admin::DeleteStudent(control, operands[0]);
    } else if (command == "delete-batch") {
        result = admin::DeleteBatch(control, operands[0]);
    } else if (command == "delete-all") {
        result = admin::DeleteAllRecords(control);
    } else if (command == "add-branch") {
        result = admin::AddBranch(control, operands[0], operands[1]);
    } else if (command == "delete-branch") {
        result = admin::DeleteBranch(control, operands[0]);
    } else if (command == "show-marks") {
        admin::StoredMarks stored;
        result = admin::RetrieveMarks(control, operands[0], operands[1], stored);
        if (result.outcome == admin::Outcome::Done) {
            std::printf("Name : %s\n", stored.name.c_str());
            if (!stored.rowFound)
                std::printf("No records retrived for semester %s\n", operands[1].c_str());
            else
                std::printf("Marks obtained: %s\nMAX marks: %s\nMonth and Year of passing: %s\n"
                            "Number of attempts for this semester: %s\nInstitution: %s\n",
                            stored.marks.Obtained.c_str(), stored.marks.Max.c_str(), stored.marks.PassingYear.c_str(),
                            stored.marks.Attempts.c_str(), stored.marks.Institution.c_str());
        }
    } else {
        admin::MarksEntry entry{parser.value(obtained).toStdString(), parser.value(maximum).toStdString(),
                                parser.value(year).toStdString(), parser.value(attempts).toStdString(),
                                parser.isSet(institution) ? parser.value(institution).toStdString() : "Corlan"};
        int16_t skipQuestion = parser.isSet(yes) ? 1 : 0;
        result = admin::UpdateMarks(control, operands[0], operands[1], entry, skipQuestion);
    }
    CloseDown(control);
    return exitStatus(result);
}

}  // namespace

KYT_CLI_COMMAND("admin",
                "admin [--config FILE] [--yes] SUBCOMMAND ...   delete students, a batch or all records, add and "
                "delete branches, show and correct one semester's marks",
                admin);

}  // namespace kyt::cli
