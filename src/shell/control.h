#pragma once
// The program-wide state that every window and procedure reaches. The application owns one Control;
// tests make their own.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "db/data_connector.h"
#include "shell/message_service.h"
#include "shell/window_registry.h"
#include "word/application.h"

namespace kyt {

// Where AddError's flushes go: the error log of the running extraction.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual bool write(std::string_view text) = 0;
};

struct Control {
    std::string AppTitle;
    std::unique_ptr<db::DataConnector> Connector;
    std::unique_ptr<word::Application> WordApp;

    // Configuration lines 1 to 9.
    std::string RegionCollegeCode;
    std::string PlacementEmail;
    std::string DatabasePath;
    std::string LastResumeFolder;
    std::string LastFormatFolder;
    std::string ProgramFilePath;
    int32_t TotalDocumentsScanned = 0;
    double TotalScanSeconds = 0;
    double AverageScanSeconds = 0;

    std::array<std::string, 41> BranchCodes;
    int16_t BranchCount = 0;

    std::array<int32_t, 21> DbErrorCodes{};  // entries 1 to 20
    std::array<std::string, 21> DbErrorTexts;
    int DbErrorCount = 0;

    std::string ErrorText;
    int32_t DocumentErrors = 0;
    int32_t TotalErrors = 0;
    int32_t SuccessfulDocuments = 0;
    int16_t CopyFailures = 0;

    int16_t BranchCodeLen = 0;
    std::string BranchName;

    std::string QueryCondition;
    std::string PercentColumn;

    // Services the running program plugs in.
    MessageService* Messages = nullptr;
    LogSink* ErrorLog = nullptr;                    // open only during an extraction run
    std::function<void(int16_t)> ResumeProgress;    // shows the current document's progress
    std::string ConfigPath;                         // Kyt.ini in use (beside the executable by default)
    // Lines 3 to 5 as Kyt.ini holds them when they are relative to its folder (empty otherwise): the
    // variables hold the resolved paths, and a path still unchanged at the end is written back as it was.
    std::array<std::string, 3> ConfigRelativePaths;
    WindowRegistry Windows;                         // the task windows loaded so far, closed with the main menu
};

}  // namespace kyt
