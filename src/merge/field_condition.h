#pragma once
// IF fields as the word processor's merge works them out:
//   IF Expression1 Operator Expression2 "TrueText" "FalseText" [switches]
// with =, <>, <, >, <= and >=; numbers compared as numbers, other text as text (letter case counts),
// and * and ? as wildcards in a quoted Expression2 of = and <>.

#include <string>
#include <vector>

namespace kyt::merge {

// A piece of an IF field's code: text written in the code, or the result of a field nested in it,
// which stands whole (its blanks and quotes neither split nor end an argument).
struct CodePiece {
    std::string text;
    bool nested = false;
};

// The text the field shows.
std::string evaluateIf(const std::vector<CodePiece>& code);

}  // namespace kyt::merge
