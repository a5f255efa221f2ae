#pragma once
// The query window's criteria as text, kept with a saved drive and read back to load the window or run
// the drive again: one "name=value" a line, every control's value, so that a drive runs as it was set.

#include <string>

#include "query/query_builder.h"

namespace kyt::query {

std::string CriteriaText(const Criteria& criteria);

// False with `error` for a line this Kyt does not know (a rule it would silently leave out) or a value
// no control can hold.
bool ParseCriteriaText(const std::string& text, Criteria& criteria, std::string& error);

// The criteria in words, for lists and reports: "batch 22; CS, EC; semesters 1 to 6 at least 60 %; ...".
std::string CriteriaSummary(const Criteria& criteria);

}  // namespace kyt::query
