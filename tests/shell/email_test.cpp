#include <gtest/gtest.h>

#include "shell/email.h"

namespace kyt {
namespace {

struct EmailCase {
    const char* given;
    const char* expected;
};

class ValidateEmailCases : public ::testing::TestWithParam<EmailCase> {};

TEST_P(ValidateEmailCases, ReturnsAndStoresTheNormalFormOrErr)
{
    std::string email = GetParam().given;
    std::string result = ValidateEmail(email);
    EXPECT_EQ(result, GetParam().expected);
    EXPECT_EQ(email, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    ValidateEmail, ValidateEmailCases,
    ::testing::Values(
        // Accepted: spaces removed, lower-cased.
        EmailCase{"placement@college.edu", "placement@college.edu"},
        EmailCase{" Placement Cell@College.EDU ", "placementcell@college.edu"},
        EmailCase{"Tpo.Office@Mail.Vtu.Ac.In", "tpo.office@mail.vtu.ac.in"},
        EmailCase{"a@b@c.D", "a@b@c.d"},  // two at-signs, then a dot and a final letter
        EmailCase{"A@B.C", "a@b.c"},
        EmailCase{"officer @ college . edu", "officer@college.edu"},  // a space counts as an ordinary character
        EmailCase{"\xC3\x84rzte@Uni.DE", "\xC3\xA4rzte@uni.de"},  // letters beyond ASCII lower-case too
        // Refused.
        EmailCase{"", "ERR"},
        EmailCase{"officer@college", "ERR"},    // no dot after the at-sign
        EmailCase{"officer@college.", "ERR"},   // ends with that dot
        EmailCase{"@college.edu", "ERR"},       // starts with the at-sign
        EmailCase{"officer.college.edu", "ERR"},
        EmailCase{"officer@.edu", "ERR"},       // the dot follows the at-sign directly: it does not count
        EmailCase{"   ", "ERR"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

}  // namespace
}  // namespace kyt
