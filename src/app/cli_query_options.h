#pragma once
// The criteria window's choices as kyt-cli options, shared by every command that selects students
// (query, save, merge). Each option stands for one control; what is not given keeps the window's
// default at load.

#include <QCommandLineParser>
#include <functional>
#include <string>

#include "query/query_builder.h"
#include "query/retrieve.h"
#include "shell/control.h"

namespace kyt::cli {

// --batch --branch (up to three) --all-branches --exclude --from --to --strict --atleast|--atmost|--exactly
// --rank --ascending|--descending --class --cet --gender --age --project-words --hobby-words, and the
// eligibility group's --tenth --twelfth --max-backlogs|--no-backlogs --born-from.
void addQueryOptions(QCommandLineParser& parser);

// The criteria the options describe, over the branch list of `control` and the batches of `year`.
// False with `error` filled for a value that no control of the window could hold (exit status 2).
bool queryCriteria(const QCommandLineParser& parser, const Control& control, int year, query::Criteria& criteria,
                   std::string& error);

// Opens the session the options configure, reads the criteria from them and selects the students as
// the query window does, then closes the session (the configuration and the query state stay in
// `control`). Returns 0 with `outcome` filled, or the exit status after saying why on standard error:
// 2 for a session that cannot start or a value no control could hold. `refusal`, when given, looks at the
// open session before the query runs and returns why the command cannot go on (printed, exit status 2).
int retrieveFromOptions(const QCommandLineParser& parser, const char* command, Control& control,
                        query::RetrieveOutcome& outcome,
                        const std::function<std::string(const Control&)>& refusal = nullptr);

// A result as kyt-cli prints it: field names first, then the rows, values separated by tabs (tabs and
// line breaks inside a value become blanks), each line ended by a line feed.
std::string TabSeparated(const query::ResultTable& table);

// Prints a refusal (the window's message) or an engine failure on standard error; returns the exit
// status: 0 shown, 2 refused, 1 failed.
int reportRetrieve(const query::RetrieveOutcome& outcome, const char* command);

}  // namespace kyt::cli
