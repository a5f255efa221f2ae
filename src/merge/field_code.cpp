#include "merge/field_code.h"

#include <QString>

#include <algorithm>
#include <cctype>
#include <iterator>

namespace kyt::merge {

std::string upperText(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUpper().toStdString();
}

std::string lowerText(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toLower().toStdString();
}

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\xA0';
}

// Opening and closing quotes as the word processor's AutoFormat writes them.
constexpr std::string_view kLeftQuote = "\xE2\x80\x9C";
constexpr std::string_view kRightQuote = "\xE2\x80\x9D";

struct Token {
    std::string text;
    bool isSwitch = false;
};

// Words, quoted strings (\" and \\ inside them stand for " and \) and switches (\x).
std::vector<Token> tokenize(std::string_view code)
{
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < code.size()) {
        // U+00A0 arrives as two bytes; treat the pair as a blank.
        if (code.compare(i, 2, "\xC2\xA0") == 0) {
            i += 2;
            continue;
        }
        if (isSpace(code[i])) {
            ++i;
            continue;
        }
        Token token;
        const bool ascii = code[i] == '"';
        const bool curly = code.compare(i, kLeftQuote.size(), kLeftQuote) == 0;
        if (ascii || curly) {
            i += ascii ? 1 : kLeftQuote.size();
            while (i < code.size()) {
                if (code[i] == '\\' && i + 1 < code.size() && (code[i + 1] == '"' || code[i + 1] == '\\')) {
                    token.text += code[i + 1];
                    i += 2;
                    continue;
                }
                if (code[i] == '"') {
                    ++i;
                    break;
                }
                if (code.compare(i, kRightQuote.size(), kRightQuote) == 0 ||
                    code.compare(i, kLeftQuote.size(), kLeftQuote) == 0) {
                    i += kRightQuote.size();
                    break;
                }
                token.text += code[i++];
            }
        } else if (code[i] == '\\' && i + 1 < code.size()) {
            token.isSwitch = true;
            token.text = std::string(1, code[i + 1]);
            i += 2;
        } else {
            while (i < code.size() && !isSpace(code[i]) && code[i] != '"' && code.compare(i, 2, "\xC2\xA0") != 0 &&
                   code.compare(i, kLeftQuote.size(), kLeftQuote) != 0)
                token.text += code[i++];
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

// Field keywords of the word processor: a code that is one of these words is that field, not a column.
constexpr std::string_view kKeywords[] = {
    "ADDIN", "ADDRESSBLOCK", "ADVANCE", "ASK", "AUTHOR", "AUTONUM", "AUTONUMLGL", "AUTONUMOUT", "AUTOTEXT",
    "AUTOTEXTLIST", "BARCODE", "BIBLIOGRAPHY", "BIDIOUTLINE", "CITATION", "COMMENTS", "COMPARE", "CREATEDATE", "DATA",
    "DATABASE", "DATE", "DDE", "DDEAUTO", "DISPLAYBARCODE", "DOCPROPERTY", "DOCVARIABLE", "EDITTIME", "EMBED", "EQ",
    "FILENAME", "FILESIZE", "FILLIN", "FORMCHECKBOX", "FORMDROPDOWN", "FORMTEXT", "GLOSSARY", "GOTOBUTTON",
    "GREETINGLINE", "HYPERLINK", "IF", "INCLUDE", "INCLUDEPICTURE", "INCLUDETEXT", "INDEX", "INFO", "KEYWORDS",
    "LASTSAVEDBY", "LINK", "LISTNUM", "MACROBUTTON", "MERGEBARCODE", "MERGEFIELD", "MERGEREC", "MERGESEQ", "NEXT",
    "NEXTIF", "NOTEREF", "NUMCHARS", "NUMPAGES", "NUMWORDS", "PAGE", "PAGEREF", "PRINT", "PRINTDATE", "PRIVATE",
    "QUOTE", "RD", "REF", "REVNUM", "SAVEDATE", "SECTION", "SECTIONPAGES", "SEQ", "SET", "SKIPIF", "STYLEREF",
    "SUBJECT", "SYMBOL", "TA", "TC", "TEMPLATE", "TIME", "TITLE", "TOA", "TOC", "USERADDRESS", "USERINITIALS", "USERNAME", "XE"};

bool isKeyword(const std::string& upperWord)
{
    return std::find(std::begin(kKeywords), std::end(kKeywords), upperWord) != std::end(kKeywords);
}

}  // namespace

FieldCode parseFieldCode(std::string_view code)
{
    FieldCode field;
    const std::vector<Token> tokens = tokenize(code);
    size_t i = 0;
    if (i < tokens.size() && !tokens[i].isSwitch)
        field.keyword = upperText(tokens[i++].text);
    if (i < tokens.size() && !tokens[i].isSwitch)
        field.name = tokens[i++].text;
    for (; i < tokens.size(); ++i) {
        if (!tokens[i].isSwitch)
            continue;
        const std::string& which = tokens[i].text;
        const bool hasArgument = i + 1 < tokens.size() && !tokens[i + 1].isSwitch;
        const std::string argument = hasArgument ? tokens[i + 1].text : std::string();
        if (which == "*" && hasArgument) {
            const std::string format = upperText(argument);
            if (format == "MERGEFORMAT")
                field.mergeFormat = true;
            else if (format == "UPPER")
                field.textCase = FieldCode::Case::Upper;
            else if (format == "LOWER")
                field.textCase = FieldCode::Case::Lower;
            else if (format == "FIRSTCAP")
                field.textCase = FieldCode::Case::FirstCap;
            else if (format == "CAPS")
                field.textCase = FieldCode::Case::Caps;
            ++i;
        } else if ((which == "b" || which == "B") && hasArgument) {
            field.before = argument;
            ++i;
        } else if ((which == "f" || which == "F") && hasArgument) {
            field.after = argument;
            ++i;
        } else if (which == "@" && hasArgument) {
            field.datePicture = argument;
            ++i;
        } else if (which == "#" && hasArgument) {
            field.numberPicture = argument;
            ++i;
        }
    }
    return field;
}

bool isBareName(std::string_view code)
{
    const std::vector<Token> tokens = tokenize(code);
    if (tokens.size() != 1 || tokens[0].isSwitch || tokens[0].text.empty())
        return false;
    const std::string& word = tokens[0].text;
    // A quoted code or an expression (=A1+1) is not a column name.
    if (code.find('"') != std::string_view::npos || word[0] == '=')
        return false;
    for (unsigned char c : word)
        if (c < 0x80 && !std::isalnum(c) && c != '_')
            return false;
    return !isKeyword(upperText(word));
}

}  // namespace kyt::merge
