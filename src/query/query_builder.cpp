#include "query/query_builder.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <optional>
#include <system_error>
#include <utility>

namespace kyt::query {

namespace {

std::string trim(const std::string& s)
{
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::string upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// Position of the first `needle` in `s`, letter case ignored; npos when absent.
size_t findNoCase(const std::string& s, const std::string& needle)
{
    return upper(s).find(upper(needle));
}

// A text as it may stand between single quotes: an apostrophe is doubled, so typed text is looked for
// as typed and can never end the literal.
std::string literal(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out;
}

std::string lastTwoDigits(int year)
{
    const std::string text = std::to_string(year);
    return text.size() >= 4 ? text.substr(2, 2) : text;
}

// The value of a text that IsNumeric accepted, and 0 for an empty one; never locale-dependent. A
// number too large for a double (1e309) is infinite, never 0.
double numberValue(const std::string& text)
{
    std::string t = trim(text);
    if (!t.empty() && t[0] == '+')
        t.erase(0, 1);
    double value = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (ec == std::errc::result_out_of_range) {
        const size_t exponent = t.find_first_of("eE");
        const bool tiny = exponent != std::string::npos && t.find('-', exponent) != std::string::npos;
        value = tiny ? 0.0 : (t[0] == '-' ? -HUGE_VAL : HUGE_VAL);
    }
    return value;
}

// The like-condition for every branch of one batch: the two-digit year stands at the USN's 4th and 5th
// characters (1QP22CS001), so it is looked for there and not in the roll number (1QP24MCA22). A shorter
// typed year ends where a two-digit one does, as it does before a branch code. Two years give two
// patterns, joined as the branch patterns join theirs.
std::string batchLikeString(const std::string& Year1, const std::string& Year2)
{
    const auto pattern = [](const std::string& year) {
        return std::string(year.size() < 5 ? 5 - year.size() : 0, '?') + literal(year) + "*";
    };
    if (Year2.empty())
        return "usn like '" + pattern(Year1) + "'";
    return "usn like '" + pattern(Year1) + "'" + " OR USN like  '" + pattern(Year2) + "'";
}

// The shortest decimal text of a number: 60, 62.5.
std::string shortest(double value)
{
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

bool isBranchCode(const std::string& code, const std::vector<std::string>& branchCodes)
{
    return std::find(branchCodes.begin(), branchCodes.end(), code) != branchCodes.end();
}

Refusal refusal(int step, std::string text, std::string title, MsgIcon icon, std::string focus)
{
    return {step, std::move(text), std::move(title), icon, std::move(focus)};
}

// "22 Or 23": the two years of a two-year batch item.
std::optional<std::pair<std::string, std::string>> twoYearItem(const std::string& item)
{
    const size_t joint = item.find(" Or ");
    if (joint == std::string::npos)
        return std::nullopt;
    std::string first = item.substr(0, joint), second = item.substr(joint + 4);
    const auto twoDigits = [](const std::string& year) {
        return year.size() == 2 && std::isdigit(static_cast<unsigned char>(year[0])) &&
               std::isdigit(static_cast<unsigned char>(year[1]));
    };
    if (!twoDigits(first) || !twoDigits(second))
        return std::nullopt;
    return std::pair{first, second};
}

// A percentage a rule may hold: empty (no rule) or a number from 0 to 100.
bool validPercent(const std::string& text)
{
    const std::string t = trim(text);
    return t.empty() || (IsNumeric(t) && numberValue(t) >= 0 && numberValue(t) <= 100);
}

std::optional<Refusal> checkEligibility(const Eligibility& e)
{
    if (!validPercent(e.tenthPercent))
        return refusal(13, "Please enter a valid number in the 10th percent field", "Error", MsgIcon::Critical,
                       "TenthPercent");
    if (!validPercent(e.twelfthPercent))
        return refusal(13, "Please enter a valid number in the 12th percent field", "Error", MsgIcon::Critical,
                       "TwelfthPercent");
    if (!trim(e.bornFrom).empty() && IsoDate(e.bornFrom).empty())
        return refusal(13, "Please enter a valid date of birth, day-month-year (01-06-2003)", "Error",
                       MsgIcon::Critical, "BornFrom");
    return std::nullopt;
}

}  // namespace

bool IsNumeric(const std::string& text)
{
    const std::string t = trim(text);
    size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;
    size_t digits = 0;
    bool point = false;
    for (; i < t.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(t[i]))) {
            ++digits;
        } else if (t[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ++i;
        size_t exponentDigits = 0;
        for (; i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])); ++i)
            ++exponentDigits;
        if (exponentDigits == 0)
            return false;
    }
    return i == t.size();
}

std::vector<std::string> BatchItems(int year)
{
    return {lastTwoDigits(year - 5), lastTwoDigits(year - 4), lastTwoDigits(year - 3),
            lastTwoDigits(year - 4) + " Or " + lastTwoDigits(year - 3), kAllBatches};
}

std::vector<std::string> BranchBoxItems(const std::vector<std::string>& branchCodes)
{
    std::vector<std::string> items = branchCodes;
    items.push_back(kNoneElse);
    items.push_back(kAllBranches);
    return items;
}

std::array<int, 3> DefaultBranchIndexes(const std::vector<std::string>& branchCodes)
{
    const int count = static_cast<int>(branchCodes.size()) + 2;
    std::array<int, 3> wanted = {0, 1, 3};
    for (int& index : wanted)
        if (index >= count)
            index = -1;
    return wanted;
}

Criteria DefaultCriteria(const std::vector<std::string>& branchCodes, int year)
{
    Criteria criteria;
    criteria.batch = BatchItems(year).front();
    const std::vector<std::string> items = BranchBoxItems(branchCodes);
    const std::array<int, 3> indexes = DefaultBranchIndexes(branchCodes);
    for (size_t box = 0; box < 3; ++box)
        criteria.branches[box] = indexes[box] < 0 ? std::string() : items[static_cast<size_t>(indexes[box])];
    return criteria;
}

std::string ConcatToStudentYear(const std::string& Year1, const std::string& Year2, const std::string& Str)
{
    if (Year2.empty())
        return Year1 + Str;
    return Year1 + Str + " OR " + Year2 + Str;
}

std::string usnlikeString(const std::string& br)
{
    // Two years are joined as "22CS OR 23CS"; the split looks for that joint with its blanks, so a
    // branch code that happens to contain the letters "or" is not cut in two.
    const size_t joint = findNoCase(br, " or ");
    if (joint != std::string::npos) {
        const size_t p = joint + 1;  // where "or" starts
        return "usn like '*" + literal(trim(br.substr(0, p))) + "*'" + " OR USN like  '*" +
               literal(trim(br.substr(p + 2))) + "*'";
    }
    return "usn like '*" + literal(br) + "*'";
}

std::string usnnotlikeString(const std::string& br)
{
    return "usn not like '*" + literal(br) + "*'";
}

std::string VerifyAndGenerateExcludeSQLString(std::string exlist, const std::vector<std::string>& branchCodes)
{
    exlist = upper(trim(exlist));
    std::string R, C;
    int separators = 0;
    bool appended = false;
    for (char c : exlist) {
        if (c != ',' && c != ' ') {
            if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
                C += c;
                continue;
            }
            R = "-ERRERR";
            C.clear();
            break;
        }
        ++separators;
        if (!isBranchCode(C, branchCodes)) {
            R = "-ERRERR";
            C.clear();
            break;
        }
        R += " AND " + usnnotlikeString(C);
        appended = true;
        C.clear();
    }
    if ((!C.empty() || separators == 0) && !isBranchCode(C, branchCodes)) {
        R = "-ERRERR";
        C.clear();
    }
    if (appended)
        return C.empty() ? R : R + " AND " + usnnotlikeString(C);
    return " AND " + R + usnnotlikeString(C);
}

std::string GetWordRegEx(const std::string& t)
{
    std::string out;
    bool inRun = false;
    for (char c : t) {
        if (c == ';' || c == ' ') {
            if (!inRun)
                out += '*';
            inRun = true;
        } else {
            out += c;
            inRun = false;
        }
    }
    return out;
}

BuiltQuery BuildQuery(const Criteria& criteria, const std::vector<std::string>& branchCodes, int year)
{
    BuiltQuery q;

    // 1. Optional columns, each text carrying the commas that its neighbours need.
    const bool ageOrGender = criteria.age || criteria.gender;
    const std::string ageText = criteria.age ? " CInt((Now()-Cdate(dob1))/365.2) AS Age" : "";
    const std::string genderText = criteria.gender ? (criteria.age ? ", Gender " : " Gender ") : "";
    const std::string cetText =
        criteria.cetRank ? (ageOrGender ? ", CET, " : " CET, ") : (ageOrGender ? " , " : "");

    // 2. Semester range.
    const std::string from = trim(criteria.fromSemester), to = trim(criteria.toSemester);
    if (numberValue(to) < numberValue(from)) {
        q.refusal = refusal(2, "The 'From' semester must be less than or equal to the 'TO' semester", "Error",
                            MsgIcon::Exclamation, "cmbFromSem");
        return q;
    }

    // 3, 4. The percentage column and the ranking field.
    q.PercentColumn = "Percent" + from + "To" + to;
    q.rankedByUsn = trim(criteria.rankBy) == "USN";
    const std::string rankingField = q.rankedByUsn ? "USN" : q.PercentColumn;

    // 5, 6. Select list and comparison.
    const std::string select = "SELECT USN,Name, " + ageText + genderText + cetText + q.PercentColumn +
                               " , Email FROM personal, FreePercent ";
    const char* comparison = criteria.comparison == Comparison::Atleast  ? " >= "
                             : criteria.comparison == Comparison::Atmost ? " <= "
                                                                         : " = ";

    // 7. Batch years.
    std::string B1, B2;
    const std::vector<std::string> batchItems = BatchItems(year);
    if (criteria.batchTyped) {
        if (!IsNumeric(criteria.batch) || criteria.batch.size() >= 3) {
            q.refusal = refusal(7, "Please enter a valid 2 digit year in the batch field ", "Error",
                                MsgIcon::Exclamation, "Combo7");
            return q;
        }
        B1 = criteria.batch;
    } else if (criteria.batch == kAllBatches) {
    } else if (criteria.batch == batchItems[3]) {
        B1 = batchItems[1];
        B2 = batchItems[2];
    } else if (const auto years = twoYearItem(criteria.batch)) {
        // The two-year item of another year, as a drive saved then holds it.
        B1 = years->first;
        B2 = years->second;
    } else {
        B1 = criteria.batch;
    }

    // 8. Exclusions, only while a branch box shows "All Branches" (the exclusion controls are visible).
    const bool allBranches =
        std::find(criteria.branches.begin(), criteria.branches.end(), kAllBranches) != criteria.branches.end();
    std::string E;
    if (allBranches && !criteria.excludeList.empty()) {
        E = VerifyAndGenerateExcludeSQLString(criteria.excludeList, branchCodes);
        if (findNoCase(E, "-ERRERR") != std::string::npos) {
            q.refusal = refusal(8,
                                "Please enter the exclude branches codes properly/correctly\r\n"
                                "Do not include spaces. The codes you enter must be in the database\r\n"
                                "or listed in the boxes on the left",
                                "Kyt Error", MsgIcon::Critical, "Text4");
            return q;
        }
    }

    // 9. Branch patterns.
    std::array<std::string, 3> P;
    int boxesInUse = 3;
    if (allBranches) {
        P[0] = ConcatToStudentYear(B1, B2, "*");
    } else {
        for (size_t box = 0; box < 3; ++box) {
            if (criteria.branches[box] == kNoneElse)
                --boxesInUse;
            else
                P[box] = ConcatToStudentYear(B1, B2, criteria.branches[box]);
        }
        if (boxesInUse == 0) {
            q.refusal = refusal(9, "No branches were selected. Please select atleast one", "Error",
                                MsgIcon::Critical, "Combo1_1");
            return q;
        }
    }

    // 10. MCA students number their semesters one level higher; a pattern with MCA after the batch
    // shifts the whole query.
    for (const std::string& pattern : P) {
        const size_t at = findNoCase(pattern, "MCA");
        if (at != std::string::npos && at >= 1)
            q.mcaOffset = 1;
    }
    q.mcaWarning = q.mcaOffset == 1 && boxesInUse != 1;

    // 11. Branch condition.
    std::string T;
    if (allBranches && !B1.empty()) {
        T = batchLikeString(B1, B2);
    } else {
        for (const std::string& pattern : P) {
            if (pattern.empty())
                continue;
            if (!T.empty())
                T += " or ";
            T += usnlikeString(pattern);
        }
    }

    // 12. Threshold.
    // A percentage past 100 (or past what a double holds) would select nobody or, read as 0, everybody.
    const std::string percent = trim(criteria.percent);
    if (!percent.empty() && (!IsNumeric(percent) || !std::isfinite(numberValue(percent)) || numberValue(percent) > 100)) {
        q.refusal = refusal(12, "Please enter a valid number in the percent field", "Error", MsgIcon::Critical,
                            "Text1");
        return q;
    }
    const std::string N = shortest(numberValue(percent));

    // 13 to 17. The condition.
    std::string C = " where (" + q.PercentColumn + comparison + N + " ) " + " AND ( " + T + ")" + E;
    if (criteria.strictRange)
        C += " AND ( FreePercent.SemsCount = " + to + "-" + from + "+ 1)";
    if (criteria.projectWordsEnabled) {
        const std::string W = literal(GetWordRegEx(" " + criteria.projectWords + " "));
        C += " AND ( prefinalproject1 like '" + W + "'" + "OR prefinalproject2 like '" + W + "'" +
             " OR finalproject1 like '" + W + "'" + " OR finalproject2 like '" + W + "')";
    }
    if (criteria.hobbyWordsEnabled) {
        const std::string H = literal(GetWordRegEx(" " + criteria.hobbyWords + " "));
        C += " AND ( ( hobbies like '" + H + "') or (eca like '" + H + "'))";
    }
    if (criteria.classOption == ClassOption::FCD) {
        C += std::string(" AND not exists ( select class  from ") + " Marks where marks.usn = personal.usn AND " +
             " marks.education_level >= 3  AND " + " (marks.class = 'Second' OR marks.class = 'First') ) " +
             " AND exists ( select class from Marks where  " + " marks.usn = usn and marks.education_level >= 3) ";
    } else if (criteria.classOption == ClassOption::FirstClass) {
        C += std::string(" AND not exists ( select class  from ") + " Marks where marks.usn = personal.usn AND " +
             " marks.education_level >= 4  AND " + " (marks.class = 'Second') ) " +
             " AND exists ( select class from Marks where  " +
             " marks.usn = personal.usn and marks.education_level >= 4) ";
    }
    // The company's eligibility rules, after the window's own criteria.
    if (std::optional<Refusal> refused = checkEligibility(criteria.eligibility)) {
        q.refusal = std::move(refused);
        return q;
    }
    C += EligibilityCondition(criteria.eligibility);
    C += std::string(" AND (usn = Freepercent.usn_FP) ") + " ORDER BY " + rankingField + " " +
         (criteria.ascending ? "ASC" : "DESC");

    q.condition = C;
    q.select = select + " " + C;

    // 18. The aggregate over the semester range, shifted by the MCA offset.
    const std::string O = q.mcaOffset == 1 ? " 1" : " 0";
    q.aggregate = "SELECT USN as USN_FP, Count(*) as SemsCount, format(sum(obtained)/sum(max) * 100,'0.00') AS " +
                  q.PercentColumn + " From marks Where education_Level >=" + "2 + " + from + "+" + O +
                  " And education_Level <= 2 + " + to + "+" + O + " GROUP BY USN";
    return q;
}

std::string IsoDate(const std::string& text)
{
    const std::string t = trim(text);
    int parts[3] = {0, 0, 0};
    size_t lengths[3] = {0, 0, 0};
    int part = 0;
    for (char c : t) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            if (lengths[part] == 4)
                return {};
            parts[part] = parts[part] * 10 + (c - '0');
            ++lengths[part];
        } else if ((c == '-' || c == '/' || c == '.') && part < 2 && lengths[part] > 0) {
            ++part;
        } else {
            return {};
        }
    }
    if (part != 2 || lengths[2] == 0)
        return {};
    int year, month, day;
    if (lengths[0] == 4 && lengths[1] <= 2 && lengths[2] <= 2)
        year = parts[0], month = parts[1], day = parts[2];
    else if (lengths[0] <= 2 && lengths[1] <= 2 && lengths[2] == 4)
        day = parts[0], month = parts[1], year = parts[2];
    else
        return {};
    const std::chrono::year_month_day date{std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                                           std::chrono::day(static_cast<unsigned>(day))};
    if (!date.ok() || year < 1900)
        return {};
    char out[40];
    std::snprintf(out, sizeof out, "%04d-%02d-%02d", year, month, day);
    return out;
}

std::string EligibilityCondition(const Eligibility& e)
{
    std::vector<std::string> rules;
    if (!trim(e.tenthPercent).empty())
        rules.push_back("Tenth >= " + shortest(numberValue(e.tenthPercent)));
    if (!trim(e.twelfthPercent).empty())
        rules.push_back("Twelfth >= " + shortest(numberValue(e.twelfthPercent)));
    if (e.maxBacklogs >= 0)
        rules.push_back("Backlogs <= " + std::to_string(e.maxBacklogs));
    if (const std::string born = IsoDate(e.bornFrom); !born.empty())
        rules.push_back("Born >= CDate('" + literal(born) + "')");
    if (rules.empty())
        return {};
    std::string condition = " AND personal.usn in (select USN from Eligibility where ";
    for (size_t i = 0; i < rules.size(); ++i)
        condition += (i ? " and " : "") + rules[i];
    return condition + ")";
}

std::string QueryHelpText()
{
    return "Please see the user's manual under Query Resume Database for details.\r\n"
           "Other options not in manual are explained here\r\n"
           "\r\n"
           "Aggregate of semesters - Select the range of semesters you need the percentage to be calculated. \r\n"
           "Strict range - Selects only those students who have the specified range of semester's marks on record. "
           "If this is not checked, even students who do not have a semester on record in range will be selected\r\n"
           " For example: if semesters 3 to 8 is selected and the Strict Range is checked, then only students with "
           "the record of all the semesters from 3 to 8 will be selected. If it is unchecked, "
           " even a student who has only semesters 3 to 5 on record will be selected and his percentage for 3 to 5 "
           "will be calculated and displayed under field: percentage 3 to 8";
}

}  // namespace kyt::query
