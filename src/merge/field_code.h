#pragma once
// A field's instruction as the word processor reads it: the keyword, the first argument (the column
// name of a merge field) and the switches \* (Upper, Lower, FirstCap, Caps, MERGEFORMAT), \b and \f
// (text before and after a value that is not empty), \@ (date picture) and \# (number picture).

#include <string>
#include <string_view>
#include <vector>

namespace kyt::merge {

struct FieldCode {
    std::string keyword;  // upper-cased first word: MERGEFIELD, PAGE, IF ...; empty for an empty code
    std::string name;     // the first argument, unquoted (the column name of a merge field)
    bool mergeFormat = false;
    enum class Case { AsIs, Upper, Lower, FirstCap, Caps } textCase = Case::AsIs;
    std::string before, after;      // \b, \f
    std::string datePicture;        // \@
    std::string numberPicture;      // \#
};

FieldCode parseFieldCode(std::string_view code);

// True when the code is a bare name: one word, no switch, not a field keyword of the word processor.
// Only such fields are taken for column names written with CTRL+F9.
bool isBareName(std::string_view code);

// Text upper- and lower-cased by Unicode rules.
std::string upperText(std::string_view text);
std::string lowerText(std::string_view text);

}  // namespace kyt::merge
