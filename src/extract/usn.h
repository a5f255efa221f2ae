#pragma once
// The university seat number: checked against the college's code and the Branch table, and brought
// into its normal form (upper case, roll number zero-padded).

#include <cstdint>
#include <string>

#include "shell/control.h"

namespace kyt {

inline constexpr int16_t kBranchMBA = -2346;
inline constexpr int16_t kBranchUnknown = -2347;

std::string ValidateUSN(Control& control, std::string& USN);  // the normal form or "ERR"
int16_t LookupBranch(Control& control, std::string& USN);     // 2, 3, kBranchMBA or kBranchUnknown
std::string CourseType(const std::string& USN);                // "MBA", "MCA" or "BE"

}  // namespace kyt
