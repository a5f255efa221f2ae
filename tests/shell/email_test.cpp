#include <gtest/gtest.h>

#include "shell/email.h"

namespace kyt {
namespace {

TEST(ValidateEmail, ReturnsAndStoresTheNormalFormOrErr)
{
    const std::pair<const char*, const char*> cases[] = {
        // Accepted: spaces removed, lower-cased.
        {"placement@college.edu", "placement@college.edu"},
        {" Placement Cell@College.EDU ", "placementcell@college.edu"},
        {"a@b@c.D", "a@b@c.d"},                        // two at-signs, then a dot and a final letter
        {"officer @ college . edu", "officer@college.edu"},  // a space counts as an ordinary character
        {"\xC3\x84rzte@Uni.DE", "\xC3\xA4rzte@uni.de"},      // letters beyond ASCII lower-case too
        // Refused.
        {"", "ERR"},
        {"   ", "ERR"},
        {"officer@college", "ERR"},   // no dot after the at-sign
        {"officer@college.", "ERR"},  // ends with that dot
        {"@college.edu", "ERR"},      // starts with the at-sign
        {"officer.college.edu", "ERR"},
        {"officer@.edu", "ERR"},  // the dot follows the at-sign directly: it does not count
    };
    for (auto [given, expected] : cases) {
        std::string email = given;
        EXPECT_EQ(ValidateEmail(email), expected) << '"' << given << '"';
        EXPECT_EQ(email, expected);
    }
}

}  // namespace
}  // namespace kyt
