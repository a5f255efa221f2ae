#pragma once
// The program's names, version and support contact, each in one place.

#include <string_view>

// The one version number: every caption, title and --version shows it.
#define KYT_VERSION "2.8"

namespace kyt {

// The title of message boxes that name no title of their own, and the product name on the splash window.
inline constexpr std::string_view kProductName = "Kyt";
inline constexpr std::string_view kVersion = KYT_VERSION;
inline constexpr std::string_view kAppTitle = "Kyt v" KYT_VERSION;
inline constexpr std::string_view kVersionText = "Version " KYT_VERSION;

// Where officers are sent when the database is empty or an error has no better explanation.
inline constexpr std::string_view kSupportContact = "kyt-support@example.org";

}  // namespace kyt
