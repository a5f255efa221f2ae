#pragma once
// The value a merge field shows: its switches applied to the text of the record.

#include <string>

#include "merge/field_code.h"

namespace kyt::merge {

// `value` as the field shows it.
std::string formatFieldValue(const FieldCode& field, const std::string& value);

// The pictures on their own (empty result: the value does not read as a date or number, shown as is).
std::string formatDate(const std::string& value, const std::string& picture);
std::string formatNumber(const std::string& value, const std::string& picture);

// The number a text reads as (grouping commas and a trailing % allowed); false when it is none.
bool numberValue(const std::string& value, double& out);

}  // namespace kyt::merge
