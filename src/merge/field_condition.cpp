#include "merge/field_condition.h"

#include <string_view>

#include "merge/field_format.h"

namespace kyt::merge {

namespace {

struct Argument {
    std::string text;
    bool quoted = false;
    bool isSwitch = false;
};

constexpr std::string_view kLeftQuote = "\xE2\x80\x9C";
constexpr std::string_view kRightQuote = "\xE2\x80\x9D";
constexpr std::string_view kNoBreakSpace = "\xC2\xA0";

size_t blankAt(std::string_view text, size_t i)
{
    if (text.compare(i, kNoBreakSpace.size(), kNoBreakSpace) == 0)
        return kNoBreakSpace.size();
    const char c = text[i];
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' ? 1 : 0;
}

size_t quoteAt(std::string_view text, size_t i)
{
    if (text[i] == '"')
        return 1;
    if (text.compare(i, kLeftQuote.size(), kLeftQuote) == 0 || text.compare(i, kRightQuote.size(), kRightQuote) == 0)
        return kLeftQuote.size();
    return 0;
}

std::vector<Argument> arguments(const std::vector<CodePiece>& code)
{
    std::vector<Argument> out;
    bool open = false;    // an argument is being read
    bool inQuote = false;
    for (const CodePiece& piece : code) {
        if (piece.nested) {
            if (!open)
                out.push_back({});
            open = true;
            out.back().text += piece.text;
            continue;
        }
        const std::string_view text = piece.text;
        for (size_t i = 0; i < text.size();) {
            if (inQuote) {
                if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\')) {
                    out.back().text += text[i + 1];
                    i += 2;
                } else if (const size_t q = quoteAt(text, i)) {
                    inQuote = open = false;
                    i += q;
                } else {
                    out.back().text += text[i++];
                }
            } else if (const size_t blank = blankAt(text, i)) {
                open = false;
                i += blank;
            } else if (const size_t q = quoteAt(text, i)) {
                out.push_back({{}, true});
                inQuote = open = true;
                i += q;
            } else if (text[i] == '\\' && !open && i + 1 < text.size()) {
                out.push_back({std::string(1, text[i + 1]), false, true});
                i += 2;
            } else {
                if (!open)
                    out.push_back({});
                open = true;
                out.back().text += text[i++];
            }
        }
    }
    return out;
}

// `text` against `pattern`, where * stands for any run of characters and ? for one (of UTF-8 text).
bool wildcardMatch(std::string_view text, std::string_view pattern)
{
    size_t t = 0, p = 0, starP = std::string_view::npos, starT = 0;
    auto next = [](std::string_view s, size_t i) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80)
            ++i;
        return i;
    };
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starT = t;
        } else if (p < pattern.size() && pattern[p] == '?') {
            p = next(pattern, p);
            t = next(text, t);
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            t = starT = next(text, starT);
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

}  // namespace

std::string evaluateIf(const std::vector<CodePiece>& code)
{
    const std::vector<Argument> args = arguments(code);
    std::vector<const Argument*> values;
    size_t firstSwitch = args.size();
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i].isSwitch) {
            firstSwitch = i;
            break;
        }
        values.push_back(&args[i]);
    }
    if (values.size() < 3)
        return "Error! Missing test condition.";
    const std::string& left = values[0]->text;
    const std::string& op = values[1]->text;
    const Argument& right = *values[2];
    int order = 0;  // left against right: -1, 0, 1
    double a = 0, b = 0;
    const bool wildcards = right.quoted && (op == "=" || op == "<>") &&
                           right.text.find_first_of("*?") != std::string::npos;
    if (wildcards) {
        order = wildcardMatch(left, right.text) ? 0 : 1;
    } else if (numberValue(left, a) && numberValue(right.text, b)) {
        order = a < b ? -1 : a > b ? 1 : 0;
    } else {
        const int c = left.compare(right.text);
        order = c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    bool holds;
    if (op == "=")
        holds = order == 0;
    else if (op == "<>")
        holds = order != 0;
    else if (op == "<")
        holds = order < 0;
    else if (op == ">")
        holds = order > 0;
    else if (op == "<=")
        holds = order <= 0;
    else if (op == ">=")
        holds = order >= 0;
    else
        return "Error! Unknown op code for conditional.";
    std::string result = holds ? (values.size() > 3 ? values[3]->text : std::string())
                               : (values.size() > 4 ? values[4]->text : std::string());
    // The field's own switches (\* Upper and the like) shape the text it chose.
    std::string switches;
    for (size_t i = firstSwitch; i < args.size(); ++i) {
        if (args[i].isSwitch) {
            switches += " \\" + args[i].text;
            continue;
        }
        switches += " \"";
        for (char c : args[i].text)
            switches += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
        switches += '"';
    }
    if (!switches.empty())
        result = formatFieldValue(parseFieldCode("IF x" + switches), result);
    return result;
}

}  // namespace kyt::merge
