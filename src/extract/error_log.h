#pragma once
// The extraction run's error log (Kyt_errors.txt in the scanned folder) as the sink that AddError's
// flushes write to. Every write is one record that lands whole or not at all: a write that fails
// part-way is cut back off the file, so the log never holds half a block. A failure is kept
// (failed(), lastError()) for the run to report when it closes the log.

#include <memory>
#include <string>
#include <string_view>

#include "shell/control.h"

class QFile;

namespace kyt {

// A file or folder name as the log shows it: one line of UTF-8 whatever the name holds. Tab, CR and LF
// are written \t, \r and \n, other control characters and bytes that are not UTF-8 as \xNN.
std::string LogSafeName(std::string_view name);

class ErrorLogFile : public LogSink {
public:
    ErrorLogFile();
    ~ErrorLogFile() override;  // closes
    ErrorLogFile(const ErrorLogFile&) = delete;
    ErrorLogFile& operator=(const ErrorLogFile&) = delete;

    // Creates the log anew, replacing an old file of that name. False, with lastError() naming
    // the path, when it cannot be created (missing or read-only folder, a folder of that name).
    bool open(const std::string& path);
    bool isOpen() const;

    // Writes `text` exactly as given (AddError passes the pending text and its closing CR LF).
    // False when there is no open log or the bytes could not be written to the disk.
    bool write(std::string_view text) override;

    // Closes the log; false when its last bytes could not be written. Closing a closed log is a no-op.
    bool close();

    bool failed() const { return failed_; }  // some write or the close failed since open()
    const std::string& lastError() const { return lastError_; }
    const std::string& path() const { return path_; }

private:
    void fail(const std::string& what);

    std::unique_ptr<QFile> file_;
    std::string path_;
    std::string lastError_;
    bool failed_ = false;
};

}  // namespace kyt
