#pragma once
// The university seat number: checked against the college's code and the Branch table, and brought
// into its normal form (upper case, roll number zero-padded).

#include <cstdint>
#include <string>

#include "shell/control.h"

namespace kyt {

inline constexpr int16_t kBranchMBA = -2346;
inline constexpr int16_t kBranchUnknown = -2347;
// The Branch table could not be read (no connection, a database failure); ValidateUSN refuses the
// USN with the database's reason.
inline constexpr int16_t kBranchLookupFailed = -2348;

// A USN checked, with the branch it names.
struct UsnCheck {
    std::string usn;            // the normal form, or "ERR"
    int16_t branchCodeLen = 0;  // as LookupBranch answers; 0 when the USN was refused before the lookup
    std::string branchName;     // the branch's full name, when its code was found
};

// Every refusal is reported with AddError kind 2; a USN holding anything but ASCII letters and digits
// (an apostrophe, a space, a hyphen) is refused before the branch lookup. A lookup that meets a failing
// environment (a lock, an I/O error) leaves its cause in the connector's EnvironmentFailure().
UsnCheck CheckUsn(Control& control, std::string& USN);
// CheckUsn, keeping the branch in control.run (BranchCodeLen when it was looked up, BranchName when it
// was found). The normal form or "ERR".
std::string ValidateUSN(Control& control, std::string& USN);
int16_t LookupBranch(Control& control, std::string& USN);     // 2, 3, kBranchMBA or kBranchUnknown
std::string CourseType(const std::string& USN);                // "MBA", "MCA" or "BE"

// LookupBranch that also gives the database's reason when it returns kBranchLookupFailed.
// A code holding anything but letters and digits is never looked up: kBranchUnknown.
int16_t LookupBranch(Control& control, std::string& USN, std::string& failure);

}  // namespace kyt
