#pragma once
// Kyt.ini: nine positional lines (college code, placement e-mail, database path, last résumé folder,
// last format folder, program path, documents scanned, total and average scan seconds), CR LF line
// ends. Read once at start-up, written back when the main menu closes.

#include <cstdint>
#include <functional>
#include <string>

#include "shell/control.h"

namespace kyt {

// The folder and full path of the running executable.
std::string ProgramFolder();
std::string ProgramFile();
// Kyt.ini beside the executable.
std::string DefaultConfigPath();

// True when `Path` names an ordinary file (not a folder); * and ? in the last part match as wild cards.
bool FileExists(const std::string& Path);

enum class ConfigProblem {
    None,
    CannotOpen,
    TooShort,
    EmptyCode,
    EmptyDatabasePath,
    DatabaseNotFound,
    PasswordInAddress  // line 3 is a server address with a password in it
};

// Reads control.config.ConfigPath into the nine configuration variables. Lines 1 to 3 must be present;
// lines 4 to 9 that are missing or do not convert leave their variable as it was.
ConfigProblem LoadConfiguration(Control& control);

// Start-up's reader: 1 when the configuration is usable. Otherwise asks whether to create it now and,
// on Yes, calls `showSetupWindow`; returns -1.
int16_t ReadConfiguration(Control& control, const std::function<void()>& showSetupWindow);

// The question asked when the configuration is not usable.
std::string ConfigMissingQuestion();

// The nine lines as the main menu writes them back at the end of a run.
std::string ConfigurationText(const Control& control);
// Replaces control.config.ConfigPath with ConfigurationText; false with `error` filled when that failed, in
// which case the previous file is untouched.
bool WriteConfiguration(const Control& control, std::string& error);

// The six lines that the setup window writes; the statistics start at zero at the next start.
struct SetupValues {
    std::string RegionCollegeCode;  // stored upper-cased
    std::string PlacementEmail;     // as ValidateEmail returned it
    std::string DatabasePath;
    std::string ProgramFolder;
    std::string ProgramFile;
};
std::string SetupFileText(const SetupValues& values);
bool WriteSetupFile(const std::string& path, const SetupValues& values, std::string& error);

// Seconds with exactly three decimals and a "." whatever the locale, so the reader gets back what was
// written.
std::string FormatSeconds(double seconds);

}  // namespace kyt
