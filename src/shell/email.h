#pragma once
// The e-mail check shared by the setup window and the résumé reader.

#include <string>

namespace kyt {

// Valid when an at-sign follows an ordinary character, a later dot follows an ordinary character and
// the address ends with an ordinary character. Returns the address without spaces, in lower case, or
// "ERR"; stores the same into Email. Shows nothing: the callers decide what a refusal means.
std::string ValidateEmail(std::string& Email);

}  // namespace kyt
