#pragma once
// The program's names, version and support contact, each in one place.

#include <string_view>

namespace kyt {

// The title of message boxes that name no title of their own, and the product name on the splash window.
inline constexpr std::string_view kProductName = "Kyt";
inline constexpr std::string_view kAppTitle = "Kyt v2.8";
inline constexpr std::string_view kVersionText = "Version 2.8";

// Where officers are sent when the database is empty or an error has no better explanation.
inline constexpr std::string_view kSupportContact = "kyt-support@example.org";

}  // namespace kyt
