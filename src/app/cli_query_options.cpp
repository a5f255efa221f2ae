#include "app/cli_query_options.h"

#include <QStringList>
#include <algorithm>
#include <cstdio>

#include "app/cli.h"
#include "app/cli_session.h"
#include "shell/startup.h"

namespace kyt::cli {

namespace {

bool sameNoCase(const std::string& a, const std::string& b)
{
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

bool semester(const QCommandLineParser& parser, const char* name, std::string& out, std::string& error)
{
    if (!parser.isSet(name))
        return true;
    const std::string text = value(parser, name);
    if (text.size() != 1 || text[0] < '1' || text[0] > '8') {
        error = std::string("--") + name + " takes a semester from 1 to 8, not '" + text + "'";
        return false;
    }
    out = text;
    return true;
}

}  // namespace

void addQueryOptions(QCommandLineParser& parser)
{
    parser.addOptions({
        {"batch", "Batch: a year as in the USN (22), an item such as \"22 Or 23\", or \"All Batches\". "
                  "Default: the window's first item.", "TEXT"},
        {"branch", "A branch code, up to three times, in box order; boxes not named hold \"None Else\". "
                   "Default: the window's boxes at load.", "CODE"},
        {"all-branches", "Every branch (\"All Branches\")."},
        {"exclude", "With --all-branches: branch codes to leave out, separated by commas (CS,EC).", "LIST"},
        {"from", "First semester of the aggregate, 1 to 8 (default 1).", "N"},
        {"to", "Last semester of the aggregate, 1 to 8 (default 6).", "N"},
        {"strict", "Strict Range: every semester of the range on record."},
        {"atleast", "Aggregate at least P percent (the default, with 0).", "P"},
        {"atmost", "Aggregate at most P percent.", "P"},
        {"exactly", "Aggregate exactly P percent.", "P"},
        {"rank", "Rank by \"aggregate\" (default) or \"USN\".", "FIELD"},
        {"ascending", "Rank ascendingly."},
        {"descending", "Rank decendingly (the default)."},
        {"class", "Class throughout: \"first\" (First Class) or \"fcd\" (FCD).", "CLASS"},
        {"cet", "Show the CET rank."},
        {"gender", "Show the gender."},
        {"age", "Show the age."},
        {"project-words", "Project work contains the words, in this order (separate words by a semicolon).", "TEXT"},
        {"hobby-words", "Hobbies or extra-curricular activities contain the words, in this order.", "TEXT"},
        {"tenth", "Eligibility: 10th percentage at least P.", "P"},
        {"twelfth", "Eligibility: 12th percentage at least P.", "P"},
        {"max-backlogs", "Eligibility: at most N semesters taken in more than one attempt.", "N"},
        {"no-backlogs", "Eligibility: no semester taken in more than one attempt (--max-backlogs 0)."},
        {"born-from", "Eligibility: born on or after DATE (2003-06-01 or 01-06-2003).", "DATE"},
    });
}

bool queryCriteria(const QCommandLineParser& parser, const Control& control, int year, query::Criteria& criteria,
                   std::string& error)
{
    const std::vector<std::string> codes = query::BranchList(control);
    criteria = query::DefaultCriteria(codes, year);

    if (parser.isSet("batch")) {
        const std::string batch = value(parser, "batch");
        const std::vector<std::string> items = query::BatchItems(year);
        auto item = std::find_if(items.begin(), items.end(), [&](const std::string& i) { return sameNoCase(i, batch); });
        criteria.batchTyped = item == items.end();
        criteria.batch = criteria.batchTyped ? batch : *item;
    }

    const QStringList branches = parser.values("branch");
    if (branches.size() > 3) {
        error = "at most three --branch options (the window has three branch boxes)";
        return false;
    }
    if (parser.isSet("all-branches") && !branches.isEmpty()) {
        error = "--all-branches and --branch exclude each other";
        return false;
    }
    if (!branches.isEmpty()) {
        criteria.branches.fill(query::kNoneElse);
        for (int i = 0; i < branches.size(); ++i) {
            const std::string code = branches[i].trimmed().toStdString();
            auto known = std::find_if(codes.begin(), codes.end(), [&](const std::string& c) { return sameNoCase(c, code); });
            if (known != codes.end()) {
                criteria.branches[static_cast<size_t>(i)] = *known;
            } else if (sameNoCase(code, query::kNoneElse)) {
                criteria.branches[static_cast<size_t>(i)] = query::kNoneElse;
            } else {
                std::string list;
                for (const std::string& c : codes)
                    list += (list.empty() ? "" : ", ") + c;
                error = "no branch '" + code + "' in the database (its branches: " + (list.empty() ? "none" : list) + ")";
                return false;
            }
        }
    }
    if (parser.isSet("all-branches"))
        criteria.branches = {query::kAllBranches, query::kNoneElse, query::kNoneElse};
    if (parser.isSet("exclude")) {
        const bool allShown = std::find(criteria.branches.begin(), criteria.branches.end(), query::kAllBranches) !=
                              criteria.branches.end();
        if (!allShown) {
            error = "--exclude applies only with --all-branches";
            return false;
        }
        criteria.excludeList = value(parser, "exclude");
    }

    if (!semester(parser, "from", criteria.fromSemester, error) || !semester(parser, "to", criteria.toSemester, error))
        return false;
    criteria.strictRange = parser.isSet("strict");

    int thresholds = 0;
    for (auto [name, comparison] : {std::pair{"atleast", query::Comparison::Atleast},
                                    std::pair{"atmost", query::Comparison::Atmost},
                                    std::pair{"exactly", query::Comparison::Exactly}}) {
        if (!parser.isSet(name))
            continue;
        ++thresholds;
        criteria.comparison = comparison;
        criteria.percent = value(parser, name);
    }
    if (thresholds > 1) {
        error = "one of --atleast, --atmost and --exactly";
        return false;
    }
    if (criteria.percent.size() > 5) {
        error = "the percentage takes at most 5 characters, as in the window";
        return false;
    }

    if (parser.isSet("rank")) {
        const std::string rank = value(parser, "rank");
        if (sameNoCase(rank, "aggregate")) {
            criteria.rankBy = "aggregate";
        } else if (sameNoCase(rank, "USN")) {
            criteria.rankBy = "USN";
        } else {
            error = "--rank takes aggregate or USN, not '" + rank + "'";
            return false;
        }
    }
    if (parser.isSet("ascending") && parser.isSet("descending")) {
        error = "one of --ascending and --descending";
        return false;
    }
    criteria.ascending = parser.isSet("ascending");

    if (parser.isSet("class")) {
        const std::string klass = value(parser, "class");
        if (sameNoCase(klass, "first")) {
            criteria.classOption = query::ClassOption::FirstClass;
        } else if (sameNoCase(klass, "fcd")) {
            criteria.classOption = query::ClassOption::FCD;
        } else {
            error = "--class takes first or fcd, not '" + klass + "'";
            return false;
        }
    }
    criteria.cetRank = parser.isSet("cet");
    criteria.gender = parser.isSet("gender");
    criteria.age = parser.isSet("age");
    // As in the window, a word box enables its constraint when it holds text.
    criteria.projectWords = value(parser, "project-words");
    criteria.projectWordsEnabled = !criteria.projectWords.empty();
    criteria.hobbyWords = value(parser, "hobby-words");
    criteria.hobbyWordsEnabled = !criteria.hobbyWords.empty();

    // The eligibility group: what the window's boxes would hold; BuildQuery refuses what they would.
    query::Eligibility& e = criteria.eligibility;
    e.tenthPercent = value(parser, "tenth");
    e.twelfthPercent = value(parser, "twelfth");
    if (e.tenthPercent.size() > 5 || e.twelfthPercent.size() > 5) {
        error = "a percentage takes at most 5 characters, as in the window";
        return false;
    }
    if (parser.isSet("max-backlogs") && parser.isSet("no-backlogs")) {
        error = "one of --max-backlogs and --no-backlogs";
        return false;
    }
    if (parser.isSet("no-backlogs"))
        e.maxBacklogs = 0;
    if (parser.isSet("max-backlogs")) {
        bool ok = false;
        e.maxBacklogs = parser.value("max-backlogs").toInt(&ok);
        if (!ok || e.maxBacklogs < 0 || e.maxBacklogs > 16) {
            error = "--max-backlogs takes a number of semesters from 0 to 16";
            return false;
        }
    }
    e.bornFrom = value(parser, "born-from");
    return true;
}

int retrieveFromOptions(const QCommandLineParser& parser, const char* command, Control& control,
                        query::RetrieveOutcome& outcome, const std::function<std::string(const Control&)>& refusal)
{
    TerminalMessages messages;
    if (const int failed = openSession(parser, command, control, messages))
        return failed;
    if (const std::string refused = refusal ? refusal(control) : std::string(); !refused.empty()) {
        CloseDown(control);
        std::fprintf(stderr, "kyt-cli %s: %s\n", command, refused.c_str());
        return kUsageError;
    }
    const int year = query::CurrentYear();
    query::Criteria criteria;
    std::string error;
    if (!queryCriteria(parser, control, year, criteria, error)) {
        CloseDown(control);
        return usageError(parser, command, error);
    }
    outcome = query::Retrieve(control, criteria, year);
    CloseDown(control);
    return 0;
}

std::string TabSeparated(const query::ResultTable& table)
{
    const auto cell = [](std::string text) {
        for (char& c : text)
            if (c == '\t' || c == '\n' || c == '\r')
                c = ' ';
        return text;
    };
    std::string out;
    for (size_t i = 0; i < table.fields.size(); ++i)
        out += (i ? "\t" : "") + cell(table.fields[i]);
    out += '\n';
    for (const auto& row : table.rows) {
        for (size_t i = 0; i < row.size(); ++i)
            out += (i ? "\t" : "") + cell(row[i]);
        out += '\n';
    }
    return out;
}

int reportRetrieve(const query::RetrieveOutcome& outcome, const char* command)
{
    switch (outcome.status) {
    case query::RetrieveOutcome::Status::Shown:
        return 0;
    case query::RetrieveOutcome::Status::Refused: {
        std::string text = outcome.query.refusal->text;
        for (size_t at; (at = text.find("\r\n")) != std::string::npos;)
            text.replace(at, 2, "\n");
        std::fprintf(stderr, "kyt-cli %s: %s\n", command, text.c_str());
        return kRefused;
    }
    case query::RetrieveOutcome::Status::Failed:
        break;
    }
    std::fprintf(stderr, "kyt-cli %s: error %d: %s\n", command, outcome.failure.number,
                 outcome.failure.description.c_str());
    return kFailed;
}

}  // namespace kyt::cli
