#include "query/criteria_text.h"

#include <charconv>
#include <vector>

namespace kyt::query {

namespace {

// A value on one line: backslash, line feed and carriage return are escaped.
std::string escaped(const std::string& value)
{
    std::string out;
    for (char c : value) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string unescaped(const std::string& value)
{
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const char next = value[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

const char* comparisonName(Comparison comparison)
{
    return comparison == Comparison::Atleast ? "atleast" : comparison == Comparison::Atmost ? "atmost" : "exactly";
}

const char* className(ClassOption option)
{
    return option == ClassOption::FirstClass ? "first" : option == ClassOption::FCD ? "fcd" : "none";
}

bool flag(const std::string& value, bool& out)
{
    if (value != "0" && value != "1")
        return false;
    out = value == "1";
    return true;
}

}  // namespace

std::string CriteriaText(const Criteria& c)
{
    const std::vector<std::pair<const char*, std::string>> lines = {
        {"batch", c.batch},
        {"batch_typed", c.batchTyped ? "1" : "0"},
        {"branch1", c.branches[0]},
        {"branch2", c.branches[1]},
        {"branch3", c.branches[2]},
        {"exclude", c.excludeList},
        {"from", c.fromSemester},
        {"to", c.toSemester},
        {"strict", c.strictRange ? "1" : "0"},
        {"comparison", comparisonName(c.comparison)},
        {"percent", c.percent},
        {"rank", c.rankBy},
        {"ascending", c.ascending ? "1" : "0"},
        {"class", className(c.classOption)},
        {"cet", c.cetRank ? "1" : "0"},
        {"gender", c.gender ? "1" : "0"},
        {"age", c.age ? "1" : "0"},
        {"project_words_enabled", c.projectWordsEnabled ? "1" : "0"},
        {"project_words", c.projectWords},
        {"hobby_words_enabled", c.hobbyWordsEnabled ? "1" : "0"},
        {"hobby_words", c.hobbyWords},
        {"tenth", c.eligibility.tenthPercent},
        {"twelfth", c.eligibility.twelfthPercent},
        {"max_backlogs", std::to_string(c.eligibility.maxBacklogs)},
        {"born_from", c.eligibility.bornFrom},
    };
    std::string text;
    for (const auto& [name, value] : lines)
        text += std::string(name) + "=" + escaped(value) + "\n";
    return text;
}

bool ParseCriteriaText(const std::string& text, Criteria& criteria, std::string& error)
{
    Criteria c;
    size_t start = 0;
    for (int number = 1; start < text.size(); ++number) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty())
            continue;
        const size_t equals = line.find('=');
        const std::string name = line.substr(0, equals);
        const std::string value = equals == std::string::npos ? std::string() : unescaped(line.substr(equals + 1));
        bool ok = equals != std::string::npos;
        if (!ok) {
        } else if (name == "batch") {
            c.batch = value;
        } else if (name == "batch_typed") {
            ok = flag(value, c.batchTyped);
        } else if (name == "branch1" || name == "branch2" || name == "branch3") {
            c.branches[static_cast<size_t>(name.back() - '1')] = value;
        } else if (name == "exclude") {
            c.excludeList = value;
        } else if (name == "from") {
            c.fromSemester = value;
        } else if (name == "to") {
            c.toSemester = value;
        } else if (name == "strict") {
            ok = flag(value, c.strictRange);
        } else if (name == "comparison") {
            ok = value == "atleast" || value == "atmost" || value == "exactly";
            c.comparison = value == "atmost" ? Comparison::Atmost : value == "exactly" ? Comparison::Exactly : Comparison::Atleast;
        } else if (name == "percent") {
            c.percent = value;
        } else if (name == "rank") {
            ok = value == "aggregate" || value == "USN";
            c.rankBy = value;
        } else if (name == "ascending") {
            ok = flag(value, c.ascending);
        } else if (name == "class") {
            ok = value == "none" || value == "first" || value == "fcd";
            c.classOption = value == "first" ? ClassOption::FirstClass : value == "fcd" ? ClassOption::FCD : ClassOption::None;
        } else if (name == "cet") {
            ok = flag(value, c.cetRank);
        } else if (name == "gender") {
            ok = flag(value, c.gender);
        } else if (name == "age") {
            ok = flag(value, c.age);
        } else if (name == "project_words_enabled") {
            ok = flag(value, c.projectWordsEnabled);
        } else if (name == "project_words") {
            c.projectWords = value;
        } else if (name == "hobby_words_enabled") {
            ok = flag(value, c.hobbyWordsEnabled);
        } else if (name == "hobby_words") {
            c.hobbyWords = value;
        } else if (name == "tenth") {
            c.eligibility.tenthPercent = value;
        } else if (name == "twelfth") {
            c.eligibility.twelfthPercent = value;
        } else if (name == "max_backlogs") {
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), c.eligibility.maxBacklogs);
            ok = ec == std::errc() && end == value.data() + value.size() && c.eligibility.maxBacklogs >= -1;
        } else if (name == "born_from") {
            c.eligibility.bornFrom = value;
        } else {
            error = "line " + std::to_string(number) + ": no criterion '" + name + "' in this Kyt";
            return false;
        }
        if (!ok) {
            error = "line " + std::to_string(number) + ": '" + line + "' is no value of its criterion";
            return false;
        }
    }
    criteria = c;
    return true;
}

std::string CriteriaSummary(const Criteria& c)
{
    std::vector<std::string> parts;
    parts.push_back(c.batch == kAllBatches ? std::string("all batches") : "batch " + c.batch);
    const bool all = c.branches[0] == kAllBranches || c.branches[1] == kAllBranches || c.branches[2] == kAllBranches;
    if (all) {
        parts.push_back(c.excludeList.empty() ? "all branches" : "all branches but " + c.excludeList);
    } else {
        std::string branches;
        for (const std::string& b : c.branches)
            if (!b.empty() && b != kNoneElse)
                branches += (branches.empty() ? "" : ", ") + b;
        parts.push_back(branches);
    }
    const std::string comparison = c.comparison == Comparison::Atleast  ? "at least "
                                   : c.comparison == Comparison::Atmost ? "at most "
                                                                        : "exactly ";
    std::string aggregate = "semesters " + c.fromSemester + " to " + c.toSemester;
    if (!c.percent.empty() || c.comparison != Comparison::Atleast)
        aggregate += " " + comparison + (c.percent.empty() ? "0" : c.percent) + " %";
    if (c.strictRange)
        aggregate += " (all on record)";
    parts.push_back(aggregate);
    if (c.classOption != ClassOption::None)
        parts.push_back(c.classOption == ClassOption::FCD ? "FCD throughout" : "First Class throughout");
    if (c.projectWordsEnabled)
        parts.push_back("project: " + c.projectWords);
    if (c.hobbyWordsEnabled)
        parts.push_back("hobbies: " + c.hobbyWords);
    const Eligibility& e = c.eligibility;
    if (!e.tenthPercent.empty())
        parts.push_back("10th at least " + e.tenthPercent + " %");
    if (!e.twelfthPercent.empty())
        parts.push_back("12th at least " + e.twelfthPercent + " %");
    if (e.maxBacklogs == 0)
        parts.push_back("no backlogs");
    else if (e.maxBacklogs > 0)
        parts.push_back("at most " + std::to_string(e.maxBacklogs) + " backlog" + (e.maxBacklogs == 1 ? "" : "s"));
    if (!e.bornFrom.empty())
        parts.push_back("born on or after " + e.bornFrom);
    std::string out;
    for (const std::string& part : parts)
        out += (out.empty() ? "" : "; ") + part;
    return out;
}

}  // namespace kyt::query
